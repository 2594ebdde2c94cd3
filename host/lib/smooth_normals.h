// Smooth vertex normals of the received mesh, as the game shades it: one
// normal per point and pose, from the faces around the point.
//
// A point is a set of vertices at the same place in every pose (the rest
// pose and every animation frame): modelling tools split vertices along
// texture seams, and shading them apart would draw each seam as a crease.
#pragma once

#include <cstdint>
#include <vector>

#include "export_axes.h"
#include "received_model.h"

class SmoothNormals {
public:
    // Finds the points once, over every pose of the model.
    explicit SmoothNormals(const ReceivedModel& model);

    // One unit normal per model vertex, in the export's axes, for a pose of
    // the model's vertex count in host axes: the area-weighted sum of the
    // normals of the faces at the vertex's point, wound as the export winds
    // them. +Y where the faces have no area or the sum is not finite.
    std::vector<Vec3> Of(const _VEC3* pose) const;

    // The point of each vertex: equal for vertices at the same place in every pose.
    const std::vector<uint32_t>& Points() const { return points; }

private:
    const ReceivedModel& model;
    std::vector<uint32_t> points;
    uint32_t pointCount = 0;
};
