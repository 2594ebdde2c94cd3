#include "smooth_normals.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

using Sum = std::array<double, 3>;

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

SmoothNormals::SmoothNormals(size_t vertexCount, const std::vector<const _VEC3*>& poses) {
    // A hash of every pose's position first, pose by pose as the data lies;
    // then only vertices with equal hashes are compared.
    std::vector<uint64_t> hashes(vertexCount, 0xCBF29CE484222325ull);
    for (const _VEC3* pose : poses)
        for (size_t v = 0; v < vertexCount; ++v) hashes[v] = Mix(hashes[v], pose[v]);

    std::unordered_map<uint64_t, std::vector<uint32_t>> firstVertices;  // of each point, by hash
    points.resize(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
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

void SmoothNormals::AddFace(const Vec3& a, const Vec3& b, const Vec3& c, const uint32_t corners[3],
                            NormalSums& sums) const {
    // The cross product of two edges is twice the face's area along its
    // normal: summing them weights each face by its area.
    const Sum u = Minus(b, a);
    const Sum w = Minus(c, a);
    const Sum n = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
    for (int k = 0; k < 3; ++k) {
        Sum& sum = sums[points[corners[k]]];
        for (int axis = 0; axis < 3; ++axis) sum[axis] += n[axis];
    }
}

void SmoothNormals::Normalise(const NormalSums& sums, std::vector<Vec3>& normals) const {
    normals.resize(points.size());
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
}
