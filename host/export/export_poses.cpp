#include "export_poses.h"

ExportPoses::ExportPoses(const ReceivedModel& model, const MdlGroups& groups, const ExportMesh& mesh_,
                         PoseNormals withNormals)
    : animations(ExportAnimations(model, groups)), mesh(mesh_) {
    poses.push_back(model.vertices.data());
    for (const ReceivedAnimation& animation : model.animations)
        for (size_t f = 0; f < animation.frames; ++f) poses.push_back(animation.Frame(f));
    if (withNormals == PoseNormals::Smooth) normals = std::make_unique<SmoothNormals>(mesh.vertexCount, poses, mesh.faces);
}

void ExportPoses::Positions(size_t k, std::vector<Vec3>& positions) const {
    positions.resize(mesh.vertexCount);
    const _VEC3* pose = poses[k];
    for (size_t v = 0; v < mesh.vertexCount; ++v) positions[v] = ExportPosition(pose[v]);
}

void ExportPoses::Compute(size_t k, Pose& pose) const {
    Positions(k, pose.positions);
    if (normals) normals->Of(pose.positions.data(), pose.scratch, pose.normals);
}

void ExportPoses::ComputeLitRest(Pose& pose) const {
    if (normals) return Compute(0, pose);
    Positions(0, pose.positions);
    SmoothNormals(mesh.vertexCount, poses, mesh.faces).Of(pose.positions.data(), pose.scratch, pose.normals);
}
