#include "export_scene.h"

#include <new>

#include "export_files.h"
#include "export_mesh.h"
#include "obj_writer.h"

namespace {

// The one way the export draws its picture: of the rest pose, lit by its
// normals whether or not the export writes them.
std::string Picture(const ReceivedModel& model, const ExportMesh& mesh, const ExportPoses& poses, const Pose& rest,
                    const ExportOptions& options) {
    if (poses.HasNormals()) return ThumbnailPng(model, mesh, rest, options.thumbnail);
    Pose lit;
    poses.ComputeLitRest(lit);
    return ThumbnailPng(model, mesh, lit, options.thumbnail);
}

PoseNormals NormalsOf(const ExportOptions& options) { return options.normals ? PoseNormals::Smooth : PoseNormals::None; }

// The stages in the order the data flows: the mesh, glTF's vertices, the
// skins, the poses one at a time, each worked out once for the GLB's morph
// target and the frame's OBJ; then the OBJ and the picture.
bool WriteFiles(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                const ExportOptions& options) {
    if (!folder.Create() || (options.frames && !folder.Create("frames"))) return false;
    const ExportMesh mesh(model);
    const GltfVertices vertices(model);
    const ExportSkins skins(model, groups);
    const ExportPoses poses(model, groups, mesh, NormalsOf(options));
    Pose rest;
    poses.Compute(0, rest);

    GlbWriter glb(mesh, vertices, skins, poses, options.interpolation);
    if (!glb.Begin(folder, rest)) return false;
    Pose pose;
    for (const ExportAnimation& animation : poses.animations) {
        for (size_t f = 0; f < animation.frames; ++f) {
            poses.Compute(animation.firstPose + f, pose);
            if (!glb.AddTarget(pose)) return false;
            if (!options.frames) continue;
            OutputFile frame(folder, ObjFramePath(animation, f));
            WriteObjPose(frame.Text(), mesh, pose, "");
            if (!frame.Commit()) return false;
        }
    }
    if (!glb.Finish()) return false;

    std::string material;
    if (!WriteObjSkins(skins, folder, material)) return false;
    if (mesh.vertexCount > 0) {
        OutputFile obj(folder, OBJ_FILE);
        WriteObjPose(obj.Text(), mesh, rest, material);
        if (!obj.Commit()) return false;
    }
    if (options.thumbnail <= 0) return true;
    if (!ExportsThumbnail(model, options)) {
        folder.Messages().Note("the model has no mesh, so there is no " + Shown(folder.Root() / THUMBNAIL_FILE));
        return true;
    }
    return folder.WriteFile(THUMBNAIL_FILE, Picture(model, mesh, poses, rest, options));
}

}  // namespace

std::string ThumbnailAlone(const ReceivedModel& model, const MdlGroups& groups, const ExportOptions& options) {
    const ExportMesh mesh(model);
    const ExportPoses poses(model, groups, mesh, NormalsOf(options));
    Pose rest;
    poses.Compute(0, rest);
    return Picture(model, mesh, poses, rest, options);
}

bool ExportScene(const ReceivedModel& model, const MdlGroups& groups, const OutputFolder& folder,
                 const ExportOptions& options) {
    ExportMessages& messages = folder.Messages();
    if (!model.Succeeded()) {
        messages.Fail("the import failed, so nothing is exported");
        return false;
    }
    bool ok = false;
    try {
        ok = WriteFiles(model, groups, folder, options);
    } catch (const std::bad_alloc&) {
        messages.Fail("not enough memory for the export");
    }
    return ok && !messages.Failed();
}
