#include "mdl/skins.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "mdl/palette.h"
#include "plugin/plugin.h"

namespace {
constexpr char TEXTURE_NAME[] = "texture";
}

SkinConverter::SkinConverter() { std::memset(&scratch, 0, sizeof scratch); }

void SkinConverter::Convert(const uint8_t* indices, int32_t skinwidth, int32_t skinheight) {
    const size_t count = size_t(skinwidth) * size_t(skinheight);
    // Passes to the host with the ScaleImage call; never released here.
    auto* pixels = static_cast<_COLOR*>(std::malloc(count > 0 ? count * sizeof(_COLOR) : 1));
    if (pixels == nullptr) throw std::bad_alloc();
    for (size_t i = 0; i < count; ++i) pixels[i] = QUAKE_PALETTE[indices[i]];

    scratch.pixels = ScaleImage(pixels, skinwidth, skinheight);
    std::memcpy(scratch.name, TEXTURE_NAME, sizeof TEXTURE_NAME);
    textureList->Add(&scratch);
}
