#include "mdl/geometry.h"

#include <cstring>
#include <limits>

#include "plugin/plugin.h"

namespace {

// Added to u at seam corners of back-facing triangles: half the skin's width.
constexpr int32_t SEAM_OFFSET = 128;
constexpr int64_t UNITS_PER_SKIN = 256;

float Decode(uint8_t packed, float scale, float translate) {
    return float(double(packed) * double(scale) + double(translate));
}

}  // namespace

_VEC3 DecodePackedVertex(const MdlPackedVertex& packed, const float scale[3], const float translate[3]) {
    _VEC3 position;
    position.x = Decode(packed.v[0], scale[0], translate[0]);
    position.y = Decode(packed.v[2], scale[2], translate[2]);
    position.z = Decode(packed.v[1], scale[1], translate[1]);
    return position;
}

bool TexCoordToUnits(int32_t value, int32_t size, int32_t offset, int32_t* units) {
    if (size <= 0) return false;
    // Integer division in 64 bits truncates toward zero and is the exact
    // quotient; value x 256 would overflow in 32 bits.
    const int64_t result = int64_t(value) * UNITS_PER_SKIN / size + offset;
    if (result < std::numeric_limits<int32_t>::min() || result > std::numeric_limits<int32_t>::max()) return false;
    *units = int32_t(result);
    return true;
}

bool ConvertTriangles(const MdlTexCoord* texCoords, int32_t numverts, const MdlTriangle* triangles,
                      int32_t numtris, int32_t skinwidth, int32_t skinheight) {
    if (numtris <= 0) return true;
    if (skinwidth <= 0 || skinheight <= 0) return false;

    _FACE face;
    std::memset(&face, 0, sizeof face);
    face.flags = FACE_FLAGS;
    face.color = FACE_COLOR;
    _FACEMAP faceMap;
    std::memset(&faceMap, 0, sizeof faceMap);

    for (int32_t k = 0; k < numtris; ++k) {
        const MdlTriangle& triangle = triangles[k];
        for (int32_t index : triangle.vertindex)
            if (index < 0 || index >= numverts) return false;

        std::memcpy(face.vertex, triangle.vertindex, sizeof face.vertex);
        faceList->Add(&face);

        faceMap.face = k;
        const int32_t seam = triangle.facesfront == 0 ? SEAM_OFFSET : 0;
        for (int c = 0; c < 3; ++c) {
            const MdlTexCoord& corner = texCoords[triangle.vertindex[c]];
            if (!TexCoordToUnits(corner.s, skinwidth, corner.onseam != 0 ? seam : 0, &faceMap.uv[c].u) ||
                !TexCoordToUnits(corner.t, skinheight, 0, &faceMap.uv[c].v))
                return false;
        }
        faceMapList->Add(&faceMap);
    }
    return true;
}

void ConvertVertices(const MdlPackedVertex* firstFrame, int32_t numverts, const float scale[3],
                     const float translate[3]) {
    _VERTEX vertex;
    std::memset(&vertex, 0, sizeof vertex);
    for (int32_t j = 0; j < numverts; ++j) {
        const _VEC3 position = DecodePackedVertex(firstFrame[j], scale, translate);
        vertex.x = position.x;
        vertex.y = position.y;
        vertex.z = position.z;
        vertexList->Add(&vertex);
    }
}
