#pragma once

#include <ostream>
#include <string>

#include "import_report.h"

// Writes what the host received as files any 3D viewer opens: model.obj with
// model.mtl and one PNG per texture, and one OBJ per animation frame under
// frames/. False, with the reason on errors, when a file cannot be written.
bool ExportScene(const ImportReport& report, const std::string& directory, std::ostream& errors);
