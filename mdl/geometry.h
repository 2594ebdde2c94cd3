#pragma once

#include <cstdint>

#include "mdl/mdl_format.h"
#include "records/host_records.h"

// Positions of packed vertices in host axes: v[a] x scale[a] + translate[a]
// per file axis, in double, rounded to float only when stored. A packed
// coordinate is a byte, so each axis has 256 possible results, worked out
// once per model.
class PackedVertexDecoder {
public:
    PackedVertexDecoder(const float scale[3], const float translate[3]);

    _VEC3 operator()(const MdlPackedVertex& packed) const {
        return _VEC3{axes[0][packed.v[0]], axes[2][packed.v[2]], axes[1][packed.v[1]]};
    }

private:
    float axes[3][256];
};

// Appends a face and a face mapping per triangle, in the triangles' order.
// False, with nothing appended, for a model that cannot be mapped: a vertex
// index outside the model, a skin dimension of 0 or less, or a coordinate that
// does not fit.
bool ConvertTriangles(const MdlTexCoord* texCoords, int32_t numverts, const MdlTriangle* triangles,
                      int32_t numtris, int32_t skinwidth, int32_t skinheight);

// Appends one vertex per packed vertex of the first frame.
void ConvertVertices(const MdlPackedVertex* firstFrame, int32_t numverts, const PackedVertexDecoder& decode);
