// How the export formats (glTF, OBJ) see the host's geometry.
#pragma once

#include <array>

#include "records/host_records.h"

using Vec3 = std::array<float, 3>;

// Host axes are the file's with Y and Z swapped, a left-handed frame. glTF and
// OBJ are right-handed, Y up, the front facing +Z and +X on the model's left:
// (host z, host y, host x) is a rotation of the file's frame, not a mirror.
inline Vec3 ExportPosition(const _VEC3& host) { return {host.z, host.y, host.x}; }

// The file winds front faces clockwise seen from outside; the export formats
// wind them counter-clockwise.
constexpr int EXPORT_CORNER_ORDER[3] = {0, 2, 1};

// Texture coordinates come in 1/256 of the skin; the formats take fractions.
inline double SkinFraction(int32_t units) { return units / 256.0; }
