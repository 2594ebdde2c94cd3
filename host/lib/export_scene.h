// mdlhost --export: what the host received, written as files that ordinary
// viewers and modelling tools open.
#pragma once

#include <ostream>
#include <string>

#include "writers.h"

struct ExportOptions {
    Interpolation interpolation = Interpolation::Step;
    bool normals = true;  // smooth normals for every pose
    bool frames = false;  // also one OBJ per animation frame under frames/
};

// Writes model.glb, and model.obj with model.mtl and one PNG per skin (see
// the writers), into directory. A failed import writes nothing. False, with
// the reason on errors, when the import failed or a file cannot be written.
bool ExportScene(const ReceivedModel& model, const std::string& directory, const ExportOptions& options,
                 std::ostream& errors);
