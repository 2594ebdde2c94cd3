// glTF's vertices: glTF keeps one texture coordinate per vertex, so each
// distinct (vertex, u, v) corner of the mesh is one glTF vertex.
#pragma once

#include <cstdint>
#include <vector>

#include "received_model.h"

struct GltfVertices {
    explicit GltfVertices(const ReceivedModel& model);

    std::vector<uint32_t> source;   // the model vertex of each glTF vertex
    std::vector<float> uv;          // two per glTF vertex
    std::vector<uint32_t> indices;  // three per face, in the export's winding
};
