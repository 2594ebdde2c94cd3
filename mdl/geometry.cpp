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
// zero, plus offset. False when size is not positive or the result does not
// fit 32 bits.
bool TexCoordToUnits(int32_t value, int32_t size, int32_t offset, int32_t* units) {
    if (size <= 0) return false;
    // value x 256 is exact in double (below 2^39), and so is the integer part
    // of the quotient; converting truncates toward zero. Never formed in 32 bits.
    const double quotient = double(value) * UNITS_PER_SKIN / double(size);
    if (!(quotient > -2147483649.0 && quotient < 2147483648.0)) return false;
    const int64_t result = int64_t(int32_t(quotient)) + offset;
    if (result < std::numeric_limits<int32_t>::min() || result > std::numeric_limits<int32_t>::max()) return false;
    *units = int32_t(result);
    return true;
}

// A vertex's corner coordinates, worked out once for all the triangles that
// use it, for either side a triangle faces: u, v, and whether both fit 32
// bits. The seam offset goes to u at seam corners of back-facing triangles only.
constexpr int FRONT = 0;
constexpr int BACK = 1;
struct CornerUnits {
    int32_t u[2];
    int32_t v;
    bool fits[2];
};

CornerUnits UnitsOf(const MdlTexCoord& texCoord, int32_t skinwidth, int32_t skinheight) {
    CornerUnits units{{0, 0}, 0, {false, false}};
    const int32_t backOffset = texCoord.onseam != 0 ? SEAM_OFFSET : 0;
    const bool fitsV = TexCoordToUnits(texCoord.t, skinheight, 0, &units.v);
    units.fits[FRONT] = TexCoordToUnits(texCoord.s, skinwidth, 0, &units.u[FRONT]) && fitsV;
    units.fits[BACK] = TexCoordToUnits(texCoord.s, skinwidth, backOffset, &units.u[BACK]) && fitsV;
    return units;
}

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

    std::unique_ptr<CornerUnits[]> corners(new CornerUnits[size_t(numverts)]);
    for (int32_t j = 0; j < numverts; ++j) corners[j] = UnitsOf(texCoords[j], skinwidth, skinheight);

    for (int32_t k = 0; k < numtris; ++k) {
        const MdlTriangle& triangle = triangles[k];
        const int side = triangle.facesfront == 0 ? BACK : FRONT;
        for (int32_t index : triangle.vertindex)
            if (index < 0 || index >= numverts || !corners[index].fits[side]) return false;

        _FACE& face = faceList->Append<_FACE>();
        std::memcpy(face.vertex, triangle.vertindex, sizeof face.vertex);
        face.flags = FACE_FLAGS;
        face.color = FACE_COLOR;

        _FACEMAP& faceMap = faceMapList->Append<_FACEMAP>();
        faceMap.reserved0 = 0;
        faceMap.reserved1 = 0;
        faceMap.face = k;
        for (int c = 0; c < 3; ++c) {
            const CornerUnits& corner = corners[triangle.vertindex[c]];
            faceMap.uv[c].u = corner.u[side];
            faceMap.uv[c].v = corner.v;
        }
    }
    return true;
}

void ConvertVertices(const MdlPackedVertex* firstFrame, int32_t numverts, const PackedVertexDecoder& decode) {
    for (int32_t j = 0; j < numverts; ++j) {
        const _VEC3 position = decode(firstFrame[j]);
        _VERTEX& vertex = vertexList->Append<_VERTEX>();
        vertex.x = position.x;
        vertex.y = position.y;
        vertex.z = position.z;
        vertex.unused[0] = 0;
        vertex.unused[1] = 0;
        vertex.unused[2] = 0;
    }
}
