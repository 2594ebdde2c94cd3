#include "gltf_vertices.h"

#include <functional>
#include <unordered_map>

#include "export_axes.h"

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

GltfVertices::GltfVertices(const ReceivedModel& model) {
    indices.reserve(model.faces.size() * 3);
    std::unordered_map<CornerKey, uint32_t, CornerHash> split;
    split.reserve(model.faces.size() * 3);
    for (const Face& face : model.faces) {
        for (int i = 0; i < 3; ++i) {
            const Corner& corner = face.corners[EXPORT_CORNER_ORDER[i]];
            const auto [at, added] = split.emplace(CornerKey{corner.vertex, corner.uv.u, corner.uv.v}, uint32_t(source.size()));
            if (added) {
                source.push_back(uint32_t(corner.vertex));
                uv.push_back(float(SkinFraction(corner.uv.u)));
                uv.push_back(float(SkinFraction(corner.uv.v)));
            }
            indices.push_back(at->second);
        }
    }
}
