// Pictures as PNG bytes, for the files the export writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "records/host_records.h"

// A skin, RGB as the plug-in passed it to ScaleImage; empty without pixels.
std::string EncodePng(int32_t width, int32_t height, const std::vector<_COLOR>& pixels);
// A picture with transparency, 4 bytes a pixel (RGBA).
std::string EncodePngRgba(int32_t width, int32_t height, const std::vector<uint8_t>& rgba);
