// Smooth vertex normals of the received mesh, as the game shades it: one
// normal per point and pose, from the faces around the point.
//
// A point is a set of vertices at the same place in every pose (the rest
// pose and every animation frame): modelling tools split vertices along
// texture seams, and shading them apart would draw each seam as a crease.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "export_axes.h"
#include "records/host_records.h"

// Per point sums of face normals: scratch, reused from pose to pose.
using NormalSums = std::vector<std::array<double, 3>>;

class SmoothNormals {
public:
    // Finds the points once, over every pose (vertexCount positions each, in
    // host axes).
    SmoothNormals(size_t vertexCount, const std::vector<const _VEC3*>& poses);

    // One unit normal per vertex for positions in the export's axes: the
    // area-weighted sum of the normals of the faces at the vertex's point,
    // each face three vertices wound as the export winds them. +Y where the
    // faces have no area or the sum is not finite.
    template <typename Faces>
    void Of(const Vec3* positions, const Faces& faces, NormalSums& sums, std::vector<Vec3>& normals) const;

private:
    void AddFace(const Vec3& a, const Vec3& b, const Vec3& c, const uint32_t corners[3], NormalSums& sums) const;
    void Normalise(const NormalSums& sums, std::vector<Vec3>& normals) const;

    std::vector<uint32_t> points;
    uint32_t pointCount = 0;
};

template <typename Faces>
void SmoothNormals::Of(const Vec3* positions, const Faces& faces, NormalSums& sums, std::vector<Vec3>& normals) const {
    sums.assign(pointCount, {0, 0, 0});
    for (const auto& face : faces) {
        const uint32_t corners[3] = {face[0].vertex, face[1].vertex, face[2].vertex};
        AddFace(positions[corners[0]], positions[corners[1]], positions[corners[2]], corners, sums);
    }
    Normalise(sums, normals);
}
