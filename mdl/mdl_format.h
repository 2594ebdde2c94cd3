// The alias model file as it lies on disk. All integers are little-endian
// two's complement and all floats little-endian IEEE single precision; the
// structs are read straight from the file, which is exact on x86 only.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t MDL_IDENT = 0x4F504449;  // "IDPO"

struct MdlHeader {
    uint32_t ident;
    int32_t version;
    float scale[3];
    float translate[3];
    float boundingradius;
    float eyeposition[3];
    int32_t numskins;
    int32_t skinwidth;
    int32_t skinheight;
    int32_t numverts;
    int32_t numtris;
    int32_t numframes;
    int32_t synctype;
    int32_t flags;
    float size;
};
static_assert(sizeof(MdlHeader) == 84);
static_assert(offsetof(MdlHeader, ident) == 0);
static_assert(offsetof(MdlHeader, version) == 4);
static_assert(offsetof(MdlHeader, scale) == 8);
static_assert(offsetof(MdlHeader, translate) == 20);
static_assert(offsetof(MdlHeader, boundingradius) == 32);
static_assert(offsetof(MdlHeader, eyeposition) == 36);
static_assert(offsetof(MdlHeader, numskins) == 48);
static_assert(offsetof(MdlHeader, skinwidth) == 52);
static_assert(offsetof(MdlHeader, skinheight) == 56);
static_assert(offsetof(MdlHeader, numverts) == 60);
static_assert(offsetof(MdlHeader, numtris) == 64);
static_assert(offsetof(MdlHeader, numframes) == 68);
static_assert(offsetof(MdlHeader, synctype) == 72);
static_assert(offsetof(MdlHeader, flags) == 76);
static_assert(offsetof(MdlHeader, size) == 80);

// A skin entry: a group word (0 for a single skin), then skinwidth x
// skinheight palette indices, row after row.
constexpr int64_t MDL_SKIN_TYPE_SIZE = 4;

// A group entry, skin or frame: a nonzero group word, the count of its
// entries (int32), for a frame group the group's bounding box, one float
// interval per entry (the running total of their times), then the entries,
// each as a single entry without its group word.
constexpr int64_t MDL_GROUP_COUNT_SIZE = 4;
constexpr int64_t MDL_INTERVAL_SIZE = 4;

struct MdlTexCoord {
    int32_t onseam;
    int32_t s;
    int32_t t;
};
static_assert(sizeof(MdlTexCoord) == 12);
static_assert(offsetof(MdlTexCoord, onseam) == 0);
static_assert(offsetof(MdlTexCoord, s) == 4);
static_assert(offsetof(MdlTexCoord, t) == 8);

struct MdlTriangle {
    int32_t facesfront;
    int32_t vertindex[3];
};
static_assert(sizeof(MdlTriangle) == 16);
static_assert(offsetof(MdlTriangle, facesfront) == 0);
static_assert(offsetof(MdlTriangle, vertindex) == 4);

// Byte values, so there is no byte order to worry about.
struct MdlPackedVertex {
    uint8_t v[3];
    uint8_t lightnormalindex;
};
static_assert(sizeof(MdlPackedVertex) == 4);
static_assert(offsetof(MdlPackedVertex, v) == 0);
static_assert(offsetof(MdlPackedVertex, lightnormalindex) == 3);

// A frame entry: a group word (0 for a single frame), bboxmin and bboxmax
// (skipped), a 16-byte name, then numverts packed vertices.
constexpr int64_t MDL_FRAME_TYPE_SIZE = 4;
constexpr int64_t MDL_FRAME_BBOX_SIZE = 2 * sizeof(MdlPackedVertex);
constexpr size_t MDL_FRAME_NAME_SIZE = 16;
constexpr int64_t MDL_FRAME_HEAD_SIZE = MDL_FRAME_TYPE_SIZE + MDL_FRAME_BBOX_SIZE + MDL_FRAME_NAME_SIZE;
static_assert(MDL_FRAME_HEAD_SIZE == 28);
// A frame group's own bounding box, before its intervals.
constexpr int64_t MDL_GROUP_BBOX_SIZE = MDL_FRAME_BBOX_SIZE;
