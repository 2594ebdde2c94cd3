// The mesh every export format serialises, built once from what the host
// received: faces in the export's winding with the texture coordinates of
// their corners. Geometry only: glTF's vertices, the skins and the poses are
// stages of their own, each built from it or beside it. The winding is
// applied here and nowhere else; the writers only write.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "received_model.h"

struct ExportCorner {
    uint32_t vertex;    // the model vertex
    uint32_t texcoord;  // its entry in ExportMesh::texcoords
};
using ExportFace = std::array<ExportCorner, 3>;

// Texture coordinates as fractions of the skin, v running down.
struct SkinPoint {
    double u;
    double v;
};

struct ExportMesh {
    explicit ExportMesh(const ReceivedModel& model);

    size_t vertexCount = 0;
    std::vector<ExportFace> faces;
    std::vector<SkinPoint> texcoords;  // each face's corners in the host's order

    // Something to draw: a model without frames has no vertices, and one
    // without triangles no faces.
    bool HasFaces() const { return vertexCount > 0 && !faces.empty(); }
};
