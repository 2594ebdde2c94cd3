// The writers of what the host received, each reading the one model and
// none calling another: the JSON dump and the text report (printed by the
// hosts), and the binary glTF and OBJ files of mdlhost --export.
#pragma once

#include <ostream>
#include <string>

#include "received_model.h"

class SmoothNormals;

// The JSON dump: every record as delivered (docs: dump format).
std::string ReportJson(const ReceivedModel& model);
// The same for a capture, through its model.
std::string ReportJson(const ImportCapture& capture);

// A readable report: the plug-in's description, boxes, lists and result.
std::string ReportText(const ReceivedModel& model, const std::string& description);

enum class Interpolation { Step, Linear };

// model.glb at path: the mesh, every skin unscaled, every animation frame a
// morph target; with normals, a NORMAL for the rest pose and every target.
// Notes on errors what it leaves out (no mesh without vertices or faces).
bool WriteGltf(const ReceivedModel& model, const SmoothNormals* normals, Interpolation interpolation,
               const std::string& path, std::ostream& errors);

// model.obj with model.mtl and one PNG per skin in directory; with frames,
// one OBJ per animation frame under frames/; with normals, vn lines.
bool WriteObj(const ReceivedModel& model, const SmoothNormals* normals, bool frames, const std::string& directory,
              std::ostream& errors);
