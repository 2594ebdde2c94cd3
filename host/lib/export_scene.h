// What the host received, written as files that ordinary viewers and
// modelling tools open.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "import_report.h"

enum class Interpolation { Step, Linear };

struct ExportOptions {
    Interpolation interpolation = Interpolation::Step;
    bool frames = false;  // also one OBJ per animation frame under frames/
};

// Writes model.glb (binary glTF 2.0: the mesh, every skin unscaled, every
// animation as morph-target weights), model.obj with model.mtl and one PNG per
// skin, and with options.frames one OBJ per animation frame. A report without
// deliveries writes nothing. False, with the reason on errors, when a file
// cannot be written.
bool ExportScene(const ImportReport& report, const std::string& directory, const ExportOptions& options,
                 std::ostream& errors);

// Binary glTF alone, at path. Notes on errors what it leaves out (no mesh
// without frames or triangles).
bool ExportGltf(const ImportReport& report, const std::string& path, Interpolation interpolation,
                std::ostream& errors);

// Host axes are the file's with Y and Z swapped, a left-handed frame. glTF and
// OBJ are right-handed, Y up, the front facing +Z and +X on the model's left:
// (host z, host y, host x) is a rotation of the file's frame, not a mirror.
inline std::array<float, 3> ExportPosition(const _VEC3& host) { return {host.z, host.y, host.x}; }

// The file winds front faces clockwise seen from outside; the export formats
// wind them counter-clockwise.
constexpr int EXPORT_CORNER_ORDER[3] = {0, 2, 1};

// A skin as PNG bytes, from pixels as the plug-in passed them to ScaleImage.
std::string SkinPng(const ScaleImageCallSeen& call);
