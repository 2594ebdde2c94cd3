// Record layouts the host reads straight from our memory during each delivery
// message. Every offset and width is part of the host interface; the asserts
// below keep a layout change from compiling. Little-endian x86, 32-bit
// addresses: the layouts are exact only in a 32-bit build.
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "host records hold 32-bit addresses: build with -m32 or for i686");

// One pixel as the host's ScaleImage takes it: blue, green, red.
struct _COLOR {
    uint8_t b;
    uint8_t g;
    uint8_t r;
};
static_assert(sizeof(_COLOR) == 3);
static_assert(offsetof(_COLOR, b) == 0);
static_assert(offsetof(_COLOR, g) == 1);
static_assert(offsetof(_COLOR, r) == 2);

// Host axes: y is the model file's vertical Z axis, z is the file's Y axis.
struct _VEC3 {
    float x;
    float y;
    float z;
};
static_assert(sizeof(_VEC3) == 12);
static_assert(offsetof(_VEC3, x) == 0);
static_assert(offsetof(_VEC3, y) == 4);
static_assert(offsetof(_VEC3, z) == 8);

struct _VERTEX {
    float x;
    float y;
    float z;
    uint32_t unused[3];  // zero; never set
};
static_assert(sizeof(_VERTEX) == 24);
static_assert(offsetof(_VERTEX, x) == 0);
static_assert(offsetof(_VERTEX, y) == 4);
static_assert(offsetof(_VERTEX, z) == 8);
static_assert(offsetof(_VERTEX, unused) == 12);

struct _FACE {
    int32_t vertex[3];
    uint32_t flags;
    uint32_t color;
};
static_assert(sizeof(_FACE) == 20);
static_assert(offsetof(_FACE, vertex) == 0);
static_assert(offsetof(_FACE, flags) == 12);
static_assert(offsetof(_FACE, color) == 16);

constexpr uint32_t FACE_FLAGS = 12421;        // 0x3085
constexpr uint32_t FACE_COLOR = 0x00C8C8C8;   // grey 200, 200, 200

constexpr size_t TEXTURE_NAME_SIZE = 516;

struct _TEXTURE {
    int32_t reserved;
    char* pixels;  // ScaleImage's result, stored unread; the host's to keep
    char name[TEXTURE_NAME_SIZE];
};
static_assert(sizeof(_TEXTURE) == 524);
static_assert(offsetof(_TEXTURE, reserved) == 0);
static_assert(offsetof(_TEXTURE, pixels) == 4);
static_assert(offsetof(_TEXTURE, name) == 8);

// Texture coordinates in 1/256 of the skin: 0 is the left (top) edge, 256 the
// right (bottom) edge, whatever the skin's size. Not clamped.
struct _UV {
    int32_t u;
    int32_t v;
};
static_assert(sizeof(_UV) == 8);

struct _FACEMAP {
    int32_t reserved0;
    int32_t reserved1;
    int32_t face;  // index of its face, equal to this record's own index
    _UV uv[3];     // corners at vertex[0], vertex[1], vertex[2] of the face
};
static_assert(sizeof(_FACEMAP) == 36);
static_assert(offsetof(_FACEMAP, reserved0) == 0);
static_assert(offsetof(_FACEMAP, reserved1) == 4);
static_assert(offsetof(_FACEMAP, face) == 8);
static_assert(offsetof(_FACEMAP, uv) + 0 * sizeof(_UV) + offsetof(_UV, u) == 12);
static_assert(offsetof(_FACEMAP, uv) + 0 * sizeof(_UV) + offsetof(_UV, v) == 16);
static_assert(offsetof(_FACEMAP, uv) + 1 * sizeof(_UV) + offsetof(_UV, u) == 20);
static_assert(offsetof(_FACEMAP, uv) + 1 * sizeof(_UV) + offsetof(_UV, v) == 24);
static_assert(offsetof(_FACEMAP, uv) + 2 * sizeof(_UV) + offsetof(_UV, u) == 28);
static_assert(offsetof(_FACEMAP, uv) + 2 * sizeof(_UV) + offsetof(_UV, v) == 32);

constexpr size_t ANIMATION_NAME_SIZE = 36;
constexpr int16_t ANIMATION_PARAM = 100;

struct _ANIMATION {
    char name[ANIMATION_NAME_SIZE];  // at most 15 characters and a terminator
    int16_t frameCount;
    int16_t param;
    int32_t vertexCount;
    int32_t reserved;
    _VEC3* data;  // frameCount x vertexCount positions, frame by frame; the host's to keep
    uint32_t unused;  // zero
};
static_assert(sizeof(_ANIMATION) == 56);
static_assert(offsetof(_ANIMATION, name) == 0);
static_assert(offsetof(_ANIMATION, frameCount) == 36);
static_assert(offsetof(_ANIMATION, param) == 38);
static_assert(offsetof(_ANIMATION, vertexCount) == 40);
static_assert(offsetof(_ANIMATION, reserved) == 44);
static_assert(offsetof(_ANIMATION, data) == 48);
static_assert(offsetof(_ANIMATION, unused) == 52);
