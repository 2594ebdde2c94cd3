#include "export_mesh.h"

#include <functional>
#include <unordered_map>

#include "fullbright.h"
#include "png.h"

namespace {

struct CornerKey {
    int32_t vertex;
    int32_t u;
    int32_t v;
    bool operator==(const CornerKey& other) const { return vertex == other.vertex && u == other.u && v == other.v; }
};

struct CornerHash {
    size_t operator()(const CornerKey& corner) const {
        return std::hash<uint64_t>()(uint64_t(uint32_t(corner.vertex)) << 32 ^ uint32_t(corner.u) * 2654435761u ^
                                     uint32_t(corner.v));
    }
};

}  // namespace

ExportMesh::ExportMesh(const ReceivedModel& model, const MdlGroups& groups, bool withNormals, bool withSkinFiles)
    : vertexCount(model.vertices.size()) {
    faces.reserve(model.faces.size());
    texcoords.reserve(model.faces.size() * 3);
    splitIndices.reserve(model.faces.size() * 3);
    std::unordered_map<CornerKey, uint32_t, CornerHash> split;
    split.reserve(model.faces.size() * 3);
    for (const Face& face : model.faces) {
        const auto first = uint32_t(texcoords.size());
        for (const Corner& corner : face.corners) texcoords.push_back({SkinFraction(corner.uv.u), SkinFraction(corner.uv.v)});
        ExportFace& exported = faces.emplace_back();
        for (int i = 0; i < 3; ++i) {
            const int c = EXPORT_CORNER_ORDER[i];
            const Corner& corner = face.corners[c];
            exported[size_t(i)] = {uint32_t(corner.vertex), first + uint32_t(c)};
            const auto [at, added] =
                split.emplace(CornerKey{corner.vertex, corner.uv.u, corner.uv.v}, uint32_t(splitSource.size()));
            if (added) {
                splitSource.push_back(uint32_t(corner.vertex));
                splitUv.push_back(float(SkinFraction(corner.uv.u)));
                splitUv.push_back(float(SkinFraction(corner.uv.v)));
            }
            splitIndices.push_back(at->second);
        }
    }

    for (const Skin& skin : model.skins) {
        skins.push_back(withSkinFiles ? EncodePng(skin.width, skin.height, skin.pixels) : std::string());
        fullbrights.push_back(withSkinFiles ? EncodeFullbrightPng(skin) : std::string());
    }
    skinNames = SkinNames(model.skins.size(), groups);

    poses.push_back(model.vertices.data());
    for (const ReceivedAnimation& animation : model.animations)
        for (size_t f = 0; f < animation.frames; ++f) poses.push_back(animation.Frame(f));
    animations = ExportAnimations(model, groups);
    if (withNormals) normals = std::make_unique<SmoothNormals>(vertexCount, poses, faces);
}

void ExportMesh::Positions(size_t k, std::vector<Vec3>& positions) const {
    positions.resize(vertexCount);
    const _VEC3* pose = poses[k];
    for (size_t v = 0; v < vertexCount; ++v) positions[v] = ExportPosition(pose[v]);
}

void ExportMesh::Compute(size_t k, Pose& pose) const {
    Positions(k, pose.positions);
    if (normals) normals->Of(pose.positions.data(), pose.scratch, pose.normals);
}
