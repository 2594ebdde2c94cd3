#include "fullbright.h"

#include <algorithm>
#include <array>

#include "mdl/palette.h"
#include "png.h"

namespace {

constexpr int FIRST_FULLBRIGHT = 224;
constexpr size_t FULLBRIGHT_ENTRIES = 256 - FIRST_FULLBRIGHT;

uint32_t Rgb(const _COLOR& colour) { return uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | colour.b; }

// The colours of the fullbright entries that no lit entry shares, sorted.
struct FullbrightColours {
    std::array<uint32_t, FULLBRIGHT_ENTRIES> colours{};
    size_t count = 0;

    FullbrightColours() {
        std::array<uint32_t, FIRST_FULLBRIGHT> lit{};
        for (int n = 0; n < FIRST_FULLBRIGHT; ++n) lit[size_t(n)] = Rgb(QUAKE_PALETTE[n]);
        std::sort(lit.begin(), lit.end());
        for (int n = FIRST_FULLBRIGHT; n < 256; ++n) {
            const uint32_t colour = Rgb(QUAKE_PALETTE[n]);
            if (!std::binary_search(lit.begin(), lit.end(), colour)) colours[count++] = colour;
        }
        std::sort(colours.begin(), colours.begin() + count);
    }

    bool Has(const _COLOR& colour) const {
        return std::binary_search(colours.begin(), colours.begin() + count, Rgb(colour));
    }
};

}  // namespace

bool IsFullbright(const _COLOR& colour) {
    static const FullbrightColours fullbright;
    return fullbright.Has(colour);
}

std::string EncodeFullbrightPng(const Skin& skin) {
    const auto first = std::find_if(skin.pixels.begin(), skin.pixels.end(), IsFullbright);
    if (first == skin.pixels.end()) return {};
    std::vector<_COLOR> glow(skin.pixels.size(), _COLOR{0, 0, 0});
    for (size_t i = size_t(first - skin.pixels.begin()); i < glow.size(); ++i)
        if (IsFullbright(skin.pixels[i])) glow[i] = skin.pixels[i];
    return EncodePng(skin.width, skin.height, glow);
}
