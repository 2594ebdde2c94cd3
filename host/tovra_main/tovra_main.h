// The host's main library as the reference hosts provide it: ScaleImage, which
// the plug-in imports, and what a host program needs to read its results.
#pragma once

#include <cstdint>

#include "records/host_records.h"

#ifdef _WIN32
#define TOVRA_API extern "C" __cdecl
#else
#define TOVRA_API extern "C" __attribute__((visibility("default")))
#endif

// What ScaleImage returns: this header, then width x height pixels of 3 bytes
// (blue, green, red), row after row. Width and height are powers of two, or
// both 0 for an empty skin.
struct ScaledImageHeader {
    int32_t width;
    int32_t height;
};

inline const ScaledImageHeader* ScaledImageOf(const char* result) {
    return reinterpret_cast<const ScaledImageHeader*>(result);
}
inline const _COLOR* ScaledImagePixels(const char* result) {
    return reinterpret_cast<const _COLOR*>(result + sizeof(ScaledImageHeader));
}

// Rescales width x height pixels to power-of-two dimensions (at most
// SCALED_IMAGE_MAX_SIDE a side) for a texture upload. Takes ownership of
// pixels, which must come from malloc. The result belongs to this library
// and stays valid until ReleaseScaledImages.
TOVRA_API char* ScaleImage(_COLOR* pixels, int width, int height);

constexpr int32_t SCALED_IMAGE_MAX_SIDE = 4096;

// Called by every ScaleImage with its input, before the input is freed, and
// its result.
typedef void (*ScaleImageObserver)(void* context, const _COLOR* pixels, int width, int height, const char* result);
TOVRA_API void SetScaleImageObserver(ScaleImageObserver observer, void* context);

// Frees every result handed out so far.
TOVRA_API void ReleaseScaledImages();
