#include "smooth_normals.h"

#include <cmath>
#include <cstring>
#include <unordered_map>

namespace {

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

}  // namespace

void SmoothNormals::FindPoints(size_t vertexCount, const std::vector<const _VEC3*>& poses) {
    // A vertex alone at its place in the first pose is a point of its own.
    // Only the others are hashed over every pose, pose by pose as the data
    // lies, and then compared where their hashes are equal.
    std::vector<bool> shared(vertexCount, false);
    std::unordered_map<uint64_t, uint32_t> firstAt;  // by the first pose's hash
    firstAt.reserve(vertexCount);
    for (size_t v = 0; v < vertexCount; ++v) {
        const uint64_t hash = poses.empty() ? 0 : Mix(0xCBF29CE484222325ull, poses[0][v]);
        const auto [at, added] = firstAt.emplace(hash, uint32_t(v));
        if (!added) shared[v] = shared[at->second] = true;
    }
    std::vector<uint32_t> hashed;
    for (size_t v = 0; v < vertexCount; ++v)
        if (shared[v]) hashed.push_back(uint32_t(v));
    std::vector<uint64_t> hashes(hashed.size(), 0xCBF29CE484222325ull);
    for (const _VEC3* pose : poses)
        for (size_t i = 0; i < hashed.size(); ++i) hashes[i] = Mix(hashes[i], pose[hashed[i]]);

    std::unordered_map<uint64_t, std::vector<uint32_t>> firstVertices;  // of each point, by hash
    points.resize(vertexCount);
    size_t next = 0;  // in hashed
    for (size_t v = 0; v < vertexCount; ++v) {
        if (!shared[v]) {
            points[v] = uint32_t(firstVertex.size());
            firstVertex.push_back(uint32_t(v));
            continue;
        }
        std::vector<uint32_t>& candidates = firstVertices[hashes[next++]];
        auto match = candidates.begin();
        while (match != candidates.end() && !SamePlaceEverywhere(poses, *match, v)) ++match;
        if (match != candidates.end()) {
            points[v] = points[*match];
        } else {
            candidates.push_back(uint32_t(v));
            points[v] = uint32_t(firstVertex.size());
            firstVertex.push_back(uint32_t(v));
        }
    }
}

void SmoothNormals::Of(const Vec3* positions, NormalSums& scratch, std::vector<Vec3>& normals) const {
    // Every vertex of a point is at the point's place: each point's position
    // is widened once, and each point's normal worked out once.
    const size_t pointCount = firstVertex.size();
    std::vector<double>& at = scratch.positions;
    at.resize(pointCount * 3);
    for (size_t p = 0; p < pointCount; ++p)
        for (size_t axis = 0; axis < 3; ++axis) at[p * 3 + axis] = positions[firstVertex[p]][axis];

    // The cross product of two edges is twice the face's area along its
    // normal: summing them weights each face by its area.
    std::vector<double>& sums = scratch.sums;
    sums.assign(pointCount * 3, 0.0);
    for (size_t f = 0; f < corners.size(); f += 3) {
        const double* a = &at[corners[f] * 3];
        const double* b = &at[corners[f + 1] * 3];
        const double* c = &at[corners[f + 2] * 3];
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        for (size_t k = 0; k < 3; ++k) {
            double* sum = &sums[corners[f + k] * 3];
            sum[0] += n[0];
            sum[1] += n[1];
            sum[2] += n[2];
        }
    }

    // Each point's normal into its place in the sums, then to its vertices.
    for (size_t p = 0; p < pointCount; ++p) {
        double* n = &sums[p * 3];
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        // No area, or positions beyond the float range: up, still a unit normal.
        if (!(length > 0) || !std::isfinite(length)) {
            n[0] = 0;
            n[1] = 1;
            n[2] = 0;
            continue;
        }
        for (size_t axis = 0; axis < 3; ++axis) n[axis] = double(float(n[axis] / length));
    }
    normals.resize(points.size());
    for (size_t v = 0; v < points.size(); ++v) {
        const double* n = &sums[points[v] * 3];
        normals[v] = {float(n[0]), float(n[1]), float(n[2])};
    }
}
