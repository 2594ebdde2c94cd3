#include "fullbright.h"

#include <algorithm>
#include <array>

#include "mdl/palette.h"
#include "png.h"

namespace {

constexpr int FIRST_FULLBRIGHT = 224;
constexpr size_t FULLBRIGHT_ENTRIES = 256 - FIRST_FULLBRIGHT;

uint32_t Rgb(const _COLOR& colour) { return uint32_t(colour.r) << 16 | uint32_t(colour.g) << 8 | colour.b; }

// The colours of the fullbright entries that no lit entry shares, told in
// three lookups a texel: bit k of red[r], green[g] and blue[b] is set when
// the k-th such colour has that red, green and blue, so a colour is one of
// them when some bit is set in all three.
struct FullbrightColours {
    std::array<uint32_t, 256> red{}, green{}, blue{};

    FullbrightColours() {
        static_assert(FULLBRIGHT_ENTRIES <= 32, "a bit for each fullbright colour");
        std::array<uint32_t, FIRST_FULLBRIGHT> lit{};
        for (int n = 0; n < FIRST_FULLBRIGHT; ++n) lit[size_t(n)] = Rgb(QUAKE_PALETTE[n]);
        std::sort(lit.begin(), lit.end());
        uint32_t bit = 1;
        for (int n = FIRST_FULLBRIGHT; n < 256; ++n, bit <<= 1) {
            const _COLOR& colour = QUAKE_PALETTE[n];
            if (std::binary_search(lit.begin(), lit.end(), Rgb(colour))) continue;
            red[colour.r] |= bit;
            green[colour.g] |= bit;
            blue[colour.b] |= bit;
        }
    }

    bool Has(const _COLOR& colour) const { return (red[colour.r] & green[colour.g] & blue[colour.b]) != 0; }
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
