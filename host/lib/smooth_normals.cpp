#include "smooth_normals.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

using Sum = std::array<double, 3>;

// The rest pose and every animation frame.
std::vector<const _VEC3*> Poses(const ReceivedModel& model) {
    std::vector<const _VEC3*> poses{model.vertices.data()};
    for (const ReceivedAnimation& animation : model.animations)
        for (size_t f = 0; f < animation.frames; ++f) poses.push_back(animation.Frame(f));
    return poses;
}

uint64_t Mix(uint64_t hash, const _VEC3& position) {
    uint32_t bits[3];
    std::memcpy(bits, &position, sizeof bits);
    for (uint32_t word : bits) hash = (hash ^ word) * 0x100000001B3ull;
    return hash;
}

// Bit for bit, so that -0 and +0 stand apart and a NaN equals its copy.
bool SamePlaceEverywhere(const std::vector<const _VEC3*>& poses, size_t a, size_t b) {
    for (const _VEC3* pose : poses)
        if (std::memcmp(&pose[a], &pose[b], sizeof(_VEC3)) != 0) return false;
    return true;
}

Sum Minus(const Vec3& a, const Vec3& b) { return {double(a[0]) - b[0], double(a[1]) - b[1], double(a[2]) - b[2]}; }

}  // namespace

SmoothNormals::SmoothNormals(const ReceivedModel& model_) : model(model_) {
    const std::vector<const _VEC3*> poses = Poses(model);
    const size_t count = model.vertices.size();
    // A hash of every pose's position first, pose by pose as the data lies;
    // then only vertices with equal hashes are compared.
    std::vector<uint64_t> hashes(count, 0xCBF29CE484222325ull);
    for (const _VEC3* pose : poses)
        for (size_t v = 0; v < count; ++v) hashes[v] = Mix(hashes[v], pose[v]);

    std::unordered_map<uint64_t, std::vector<uint32_t>> firstVertices;  // of each point, by hash
    points.resize(count);
    for (size_t v = 0; v < count; ++v) {
        std::vector<uint32_t>& candidates = firstVertices[hashes[v]];
        auto match = candidates.begin();
        while (match != candidates.end() && !SamePlaceEverywhere(poses, *match, v)) ++match;
        if (match != candidates.end()) {
            points[v] = points[*match];
        } else {
            candidates.push_back(uint32_t(v));
            points[v] = pointCount++;
        }
    }
}

std::vector<Vec3> SmoothNormals::Of(const _VEC3* pose) const {
    // The cross product of two edges is twice the face's area along its
    // normal: summing them weights each face by its area.
    std::vector<Sum> sums(pointCount, Sum{0, 0, 0});
    for (const Face& face : model.faces) {
        Vec3 p[3];
        for (int c = 0; c < 3; ++c) p[c] = ExportPosition(pose[face.corners[EXPORT_CORNER_ORDER[c]].vertex]);
        const Sum u = Minus(p[1], p[0]);
        const Sum w = Minus(p[2], p[0]);
        const Sum n = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        for (const Corner& corner : face.corners) {
            Sum& sum = sums[points[size_t(corner.vertex)]];
            for (int a = 0; a < 3; ++a) sum[a] += n[a];
        }
    }
    std::vector<Vec3> normals(points.size());
    for (size_t v = 0; v < points.size(); ++v) {
        const Sum& n = sums[points[v]];
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        // No area, or positions beyond the float range: up, still a unit normal.
        if (!(length > 0) || !std::isfinite(length)) {
            normals[v] = {0, 1, 0};
            continue;
        }
        normals[v] = {float(n[0] / length), float(n[1] / length), float(n[2] / length)};
    }
    return normals;
}
