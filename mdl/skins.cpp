#include "mdl/skins.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "mdl/palette.h"
#include "plugin/host_calls.h"
#include "plugin/plugin.h"

namespace {

constexpr char TEXTURE_NAME[] = "texture";

// The palette with a fourth byte per entry, so that a pixel is one 32-bit
// store; each store's fourth byte is overwritten by the next pixel.
struct WidePalette {
    uint32_t entries[256];
    WidePalette() {
        for (int n = 0; n < 256; ++n) {
            entries[n] = 0;
            std::memcpy(&entries[n], &QUAKE_PALETTE[n], sizeof(_COLOR));
        }
    }
};

void ExpandIndices(const uint8_t* indices, size_t count, _COLOR* pixels) {
    static const WidePalette wide;
    if (count == 0) return;
    auto* out = reinterpret_cast<uint8_t*>(pixels);
    for (size_t i = 0; i + 1 < count; ++i) std::memcpy(out + 3 * i, &wide.entries[indices[i]], 4);
    pixels[count - 1] = QUAKE_PALETTE[indices[count - 1]];  // the last has no room for a fourth byte
}

}  // namespace

SkinConverter::SkinConverter() { std::memset(&scratch, 0, sizeof scratch); }

void SkinConverter::Convert(const uint8_t* indices, int32_t skinwidth, int32_t skinheight) {
    const size_t count = size_t(skinwidth) * size_t(skinheight);
    // Passes to the host with the ScaleImage call; never released here.
    auto* pixels = static_cast<_COLOR*>(std::malloc(count > 0 ? count * sizeof(_COLOR) : 1));
    if (pixels == nullptr) throw std::bad_alloc();
    ExpandIndices(indices, count, pixels);

    scratch.pixels = HostScaleImage(pixels, skinwidth, skinheight);
    std::memcpy(scratch.name, TEXTURE_NAME, sizeof TEXTURE_NAME);
    textureList->Add(scratch);
}
