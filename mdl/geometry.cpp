#include "mdl/geometry.h"

#include <cfloat>
#include <cstring>
#include <limits>
#include <memory>

#include "plugin/plugin.h"

namespace {

// Added to u at seam corners of back-facing triangles: half the skin's width.
constexpr int32_t SEAM_OFFSET = 128;
constexpr double UNITS_PER_SKIN = 256.0;

// Texture coordinate in 1/256 of the skin: value x 256 / size truncated toward
// zero, for a positive size. False when the result does not fit 32 bits.
bool TexCoordToUnits(int32_t value, int32_t size, int32_t* units) {
    // value x 256 is exact in double (below 2^39), and so is the integer part
    // of the quotient; converting truncates toward zero. Never formed in 32 bits.
    const double quotient = double(value) * UNITS_PER_SKIN / double(size);
    if (!(quotient > -2147483649.0 && quotient < 2147483648.0)) return false;
    *units = int32_t(quotient);
    return true;
}

// Every vertex's corner coordinates, worked out once for all the triangles
// that use it: uv[side][vertex] for a triangle facing that side, and a bit per
// side (1 << side) when both u and v fit 32 bits. The seam offset goes to u at
// seam corners of back-facing triangles only.
constexpr int FRONT = 0;
constexpr int BACK = 1;
class CornerTable {
public:
    std::unique_ptr<_UV[]> uv[2];
    std::unique_ptr<uint8_t[]> fits;
    bool allFit = true;  // every vertex on both sides: no triangle needs its bits checked

    CornerTable(const MdlTexCoord* texCoords, int32_t numverts, int32_t skinwidth, int32_t skinheight)
        : uv{std::unique_ptr<_UV[]>(new _UV[size_t(numverts)]), std::unique_ptr<_UV[]>(new _UV[size_t(numverts)])},
          fits(new uint8_t[size_t(numverts)]) {
        for (int32_t j = 0; j < numverts; ++j) {
            fits[j] = UnitsOf(texCoords[j], skinwidth, skinheight, uv[FRONT][j], uv[BACK][j]);
            allFit = allFit && fits[j] == BOTH_FIT;
        }
    }

private:
    static constexpr uint8_t BOTH_FIT = 1 << FRONT | 1 << BACK;

    // The fits bits of one vertex, with its corners on the sides that fit.
    static uint8_t UnitsOf(const MdlTexCoord& texCoord, int32_t skinwidth, int32_t skinheight, _UV& front, _UV& back) {
        if (!TexCoordToUnits(texCoord.t, skinheight, &front.v) || !TexCoordToUnits(texCoord.s, skinwidth, &front.u))
            return 0;
        const int64_t backU = int64_t(front.u) + (texCoord.onseam != 0 ? SEAM_OFFSET : 0);
        if (backU > std::numeric_limits<int32_t>::max()) return 1 << FRONT;
        back = {int32_t(backU), front.v};
        return BOTH_FIT;
    }
};

// Positions are worked out in double and rounded to float once. Arithmetic in
// x87 extended precision would round twice and give other floats for some
// files, so the build must do double arithmetic in double.
static_assert(FLT_EVAL_METHOD == 0, "decoding needs double arithmetic in double precision (SSE2)");

// The float nearest to value. Beyond the float range the conversion alone is
// undefined; rounding to nearest gives infinity from FLT_MAX plus half a unit
// in the last place on, and so does this.
float NearestFloat(double value) {
    constexpr double FLOAT_OVERFLOW = 0x1.ffffffp127;
    constexpr float FLOAT_INFINITY = std::numeric_limits<float>::infinity();
    if (value >= FLOAT_OVERFLOW) return FLOAT_INFINITY;
    if (value <= -FLOAT_OVERFLOW) return -FLOAT_INFINITY;
    return float(value);
}

}  // namespace

PackedVertexDecoder::PackedVertexDecoder(const float scale[3], const float translate[3]) {
    for (int a = 0; a < 3; ++a)
        for (int v = 0; v < 256; ++v) axes[a][v] = NearestFloat(double(v) * double(scale[a]) + double(translate[a]));
}

bool ConvertTriangles(const MdlTexCoord* texCoords, int32_t numverts, const MdlTriangle* triangles,
                      int32_t numtris, int32_t skinwidth, int32_t skinheight) {
    if (numtris <= 0) return true;
    if (skinwidth <= 0 || skinheight <= 0) return false;

    const CornerTable corners(texCoords, numverts, skinwidth, skinheight);

    // Every triangle is checked before the first record is appended, so
    // that the loops that fill the records have no way out.
    const uint32_t vertexCount = uint32_t(numverts);
    for (int32_t k = 0; k < numtris; ++k) {
        const int32_t* index = triangles[k].vertindex;
        // Negative indices wrap past vertexCount.
        if (uint32_t(index[0]) >= vertexCount || uint32_t(index[1]) >= vertexCount || uint32_t(index[2]) >= vertexCount)
            return false;
    }
    for (int32_t k = 0; k < numtris && !corners.allFit; ++k) {
        const MdlTriangle& triangle = triangles[k];
        const uint8_t fits = corners.fits[triangle.vertindex[0]] & corners.fits[triangle.vertindex[1]] &
                             corners.fits[triangle.vertindex[2]];
        if ((fits >> (triangle.facesfront == 0 ? BACK : FRONT) & 1) == 0) return false;
    }

    faceList->AppendEach<_FACE>(numtris, [triangles](_FACE& face, int32_t k) {
        std::memcpy(face.vertex, triangles[k].vertindex, sizeof face.vertex);
        face.flags = FACE_FLAGS;
        face.color = FACE_COLOR;
    });
    faceMapList->AppendEach<_FACEMAP>(numtris, [triangles, &corners](_FACEMAP& faceMap, int32_t k) {
        const MdlTriangle& triangle = triangles[k];
        const _UV* uv = corners.uv[triangle.facesfront == 0 ? BACK : FRONT].get();
        faceMap.reserved0 = 0;
        faceMap.reserved1 = 0;
        faceMap.face = k;
        faceMap.uv[0] = uv[triangle.vertindex[0]];
        faceMap.uv[1] = uv[triangle.vertindex[1]];
        faceMap.uv[2] = uv[triangle.vertindex[2]];
    });
    return true;
}

void ConvertVertices(const MdlPackedVertex* firstFrame, int32_t numverts, const PackedVertexDecoder& decode) {
    vertexList->AppendEach<_VERTEX>(numverts, [firstFrame, &decode](_VERTEX& vertex, int32_t j) {
        const _VEC3 position = decode(firstFrame[j]);
        vertex.x = position.x;
        vertex.y = position.y;
        vertex.z = position.z;
        vertex.unused[0] = 0;
        vertex.unused[1] = 0;
        vertex.unused[2] = 0;
    });
}
