// Every pose of the mesh, the rest pose and then each animation's frames,
// worked out one at a time into a scratch buffer: its positions turned into
// the export's axes, and its smooth normals when the export has them. The
// axes are applied here and nowhere else.
#pragma once

#include <memory>
#include <vector>

#include "export_animations.h"
#include "export_axes.h"
#include "export_mesh.h"
#include "smooth_normals.h"

// One pose worked out, per model vertex, in the export's axes.
struct Pose {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // when the poses have normals
    NormalSums scratch;
};

enum class PoseNormals { None, Smooth };

class ExportPoses {
public:
    // The groups, when the model had any, time its animations.
    ExportPoses(const ReceivedModel& model, const MdlGroups& groups, const ExportMesh& mesh, PoseNormals normals);

    size_t Count() const { return poses.size(); }
    bool HasNormals() const { return normals != nullptr; }
    // Pose k's positions, and its normals when the poses have them.
    void Compute(size_t k, Pose& pose) const;
    void Positions(size_t k, std::vector<Vec3>& positions) const;
    // The rest pose with its normals, whether or not the poses have them:
    // the picture is always lit by them.
    void ComputeLitRest(Pose& pose) const;

    std::vector<ExportAnimation> animations;  // those with frames, in order

private:
    const ExportMesh& mesh;
    std::vector<const _VEC3*> poses;  // host positions: the rest pose, then every frame
    std::unique_ptr<SmoothNormals> normals;
};
