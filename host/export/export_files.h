// The files of one model's export, in its folder, by name.
#pragma once

constexpr char GLB_FILE[] = "model.glb";
constexpr char OBJ_FILE[] = "model.obj";
constexpr char MTL_FILE[] = "model.mtl";
constexpr char THUMBNAIL_FILE[] = "thumbnail.png";
