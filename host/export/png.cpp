// Pictures as PNG, with the one definition of the image writer that the
// export and the tests' glTF library use.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include "png.h"

namespace {

void AppendBytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
}

}  // namespace

std::string EncodePng(int32_t width, int32_t height, const std::vector<_COLOR>& pixels) {
    std::string png;
    if (width <= 0 || height <= 0 || pixels.size() != size_t(width) * size_t(height)) return png;
    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (const _COLOR& pixel : pixels) rgb.insert(rgb.end(), {pixel.r, pixel.g, pixel.b});
    stbi_write_png_to_func(AppendBytes, &png, width, height, 3, rgb.data(), width * 3);
    return png;
}

std::string EncodePngRgba(int32_t width, int32_t height, const std::vector<uint8_t>& rgba) {
    std::string png;
    if (width <= 0 || height <= 0 || rgba.size() != size_t(width) * size_t(height) * 4) return png;
    stbi_write_png_to_func(AppendBytes, &png, width, height, 4, rgba.data(), width * 4);
    return png;
}
