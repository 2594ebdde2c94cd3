// The OBJ export: model.obj at the rest pose with model.mtl and the skins
// unscaled as PNG, and on request one OBJ per animation frame; each a
// serialisation of the export mesh, turned and wound as the glTF export is.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "export_mesh.h"
#include "export_poses.h"
#include "export_skins.h"
#include "output_file.h"

// One OBJ of the mesh at one pose: texture coordinates per corner, with
// OBJ's v running upwards; a normal per vertex when the pose has them.
void WriteObjPose(std::ostream& out, const ExportMesh& mesh, const Pose& pose, const std::string& material);

// Where frame f of an animation goes, under the export's folder.
std::filesystem::path ObjFramePath(const ExportAnimation& animation, size_t frame);

// Each skin as textureN.png, its fullbright texels as textureN_fullbright.png
// when it has some, and model.mtl with the first of them as the material
// "skin" (glowing where the skin does), whose name goes to material (empty
// without skins).
bool WriteObjSkins(const ExportSkins& skins, const OutputFolder& folder, std::string& material);
