// thumbnail.png: a picture of the model for a folder of exports, drawn from
// the export mesh as the game draws it: frame 0 in the first skin, sampled
// sharp, lit by the smooth normals (its fullbright texels at their own colour
// in any light), with a depth buffer so that the triangles' order never
// shows. Seen from the front at three quarters, a little above, framed to the
// model's bounds, on a transparent background.
//
// Every step is integer arithmetic or a single IEEE operation (no library
// maths), so the picture is the same bytes on every platform.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export_mesh.h"
#include "export_poses.h"

constexpr int THUMBNAIL_DEFAULT_SIZE = 256;
constexpr int THUMBNAIL_LARGEST_SIZE = 1024;

// size x size pixels, 4 bytes each (RGBA, alpha not premultiplied), rows from
// the top; transparent wherever the model is not. The pose is the mesh's rest
// pose with its normals (ExportPoses::ComputeLitRest).
std::vector<uint8_t> DrawThumbnail(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size);
// thumbnail.png's bytes: the picture drawn and encoded.
std::string ThumbnailPng(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size);
