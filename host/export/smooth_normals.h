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

// Scratch of one pose, reused from pose to pose: three doubles per point.
struct NormalSums {
    std::vector<double> positions;
    std::vector<double> sums;
};

class SmoothNormals {
public:
    // Finds the points once, over every pose (vertexCount positions each, in
    // host axes), and which points each face's corners are.
    template <typename Faces>
    SmoothNormals(size_t vertexCount, const std::vector<const _VEC3*>& poses, const Faces& faces);

    // One unit normal per vertex for positions in the export's axes: the
    // area-weighted sum of the normals of the faces at the vertex's point,
    // each face three vertices wound as the export winds them. +Y where the
    // faces have no area or the sum is not finite.
    void Of(const Vec3* positions, NormalSums& scratch, std::vector<Vec3>& normals) const;

private:
    void FindPoints(size_t vertexCount, const std::vector<const _VEC3*>& poses);

    std::vector<uint32_t> points;       // of each vertex
    std::vector<uint32_t> firstVertex;  // of each point
    std::vector<uint32_t> corners;      // the points of each face's corners, three a face
};

template <typename Faces>
SmoothNormals::SmoothNormals(size_t vertexCount, const std::vector<const _VEC3*>& poses, const Faces& faces) {
    FindPoints(vertexCount, poses);
    corners.reserve(faces.size() * 3);
    for (const auto& face : faces)
        for (size_t k = 0; k < 3; ++k) corners.push_back(points[face[k].vertex]);
}
