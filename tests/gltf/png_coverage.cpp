// Prints a PNG's width, height and how many of its pixels are not wholly
// transparent: what a renderer drew over a transparent background.
// Usage: png_coverage FILE.png
#include <cstdio>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: png_coverage FILE.png\n");
        return 2;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(argv[1], &width, &height, &channels, 4);
    if (pixels == nullptr) {
        std::fprintf(stderr, "png_coverage: cannot read %s: %s\n", argv[1], stbi_failure_reason());
        return 1;
    }
    long covered = 0;
    for (long p = 0; p < long(width) * height; ++p) covered += pixels[p * 4 + 3] != 0;
    stbi_image_free(pixels);
    std::printf("%d %d %ld\n", width, height, covered);
    return 0;
}
