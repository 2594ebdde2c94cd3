#include "tovra_main.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

struct Registry {
    std::vector<std::unique_ptr<char[]>> results;
    ScaleImageObserver observer = nullptr;
    void* context = nullptr;
};

Registry& State() {
    static Registry registry;
    return registry;
}

int32_t PowerOfTwoSide(int32_t side) {
    if (side <= 0) return 0;
    int32_t result = 1;
    while (result < side && result < SCALED_IMAGE_MAX_SIDE) result *= 2;
    return result;
}

// Bilinear sample of channel values at (x, y) in source pixel units.
_COLOR Sample(const _COLOR* pixels, int width, int height, double x, double y) {
    const int x0 = x <= 0 ? 0 : int(x) < width - 1 ? int(x) : width - 1;
    const int y0 = y <= 0 ? 0 : int(y) < height - 1 ? int(y) : height - 1;
    const int x1 = x0 + 1 < width ? x0 + 1 : x0;
    const int y1 = y0 + 1 < height ? y0 + 1 : y0;
    const double fx = x > x0 ? (x - x0 < 1 ? x - x0 : 1) : 0;
    const double fy = y > y0 ? (y - y0 < 1 ? y - y0 : 1) : 0;
    auto mix = [&](uint8_t _COLOR::*channel) {
        const double top = pixels[y0 * width + x0].*channel * (1 - fx) + pixels[y0 * width + x1].*channel * fx;
        const double bottom = pixels[y1 * width + x0].*channel * (1 - fx) + pixels[y1 * width + x1].*channel * fx;
        return uint8_t(top * (1 - fy) + bottom * fy + 0.5);
    };
    return _COLOR{mix(&_COLOR::b), mix(&_COLOR::g), mix(&_COLOR::r)};
}

}  // namespace

TOVRA_API char* ScaleImage(_COLOR* pixels, int width, int height) {
    const int32_t scaledWidth = width > 0 && height > 0 ? PowerOfTwoSide(width) : 0;
    const int32_t scaledHeight = width > 0 && height > 0 ? PowerOfTwoSide(height) : 0;
    const size_t count = size_t(scaledWidth) * size_t(scaledHeight);
    std::unique_ptr<char[]> block(new char[sizeof(ScaledImageHeader) + count * sizeof(_COLOR)]);
    auto* header = reinterpret_cast<ScaledImageHeader*>(block.get());
    header->width = scaledWidth;
    header->height = scaledHeight;
    auto* scaled = reinterpret_cast<_COLOR*>(block.get() + sizeof(ScaledImageHeader));
    // Pixel centres of the result mapped onto the source.
    for (int32_t y = 0; y < scaledHeight; ++y) {
        const double sourceY = (y + 0.5) * height / scaledHeight - 0.5;
        for (int32_t x = 0; x < scaledWidth; ++x) {
            const double sourceX = (x + 0.5) * width / scaledWidth - 0.5;
            scaled[size_t(y) * size_t(scaledWidth) + size_t(x)] = Sample(pixels, width, height, sourceX, sourceY);
        }
    }

    Registry& state = State();
    if (state.observer != nullptr) state.observer(state.context, pixels, width, height, block.get());
    std::free(pixels);
    state.results.push_back(std::move(block));
    return state.results.back().get();
}

TOVRA_API void SetScaleImageObserver(ScaleImageObserver observer, void* context) {
    State().observer = observer;
    State().context = context;
}

TOVRA_API void ReleaseScaledImages() { State().results.clear(); }
