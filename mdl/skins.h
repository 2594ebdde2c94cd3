#pragma once

#include <cstdint>

#include "records/host_records.h"

// Turns skins into textures, one at a time, through one scratch record.
class SkinConverter {
public:
    SkinConverter();

    // Expands one skin's palette indices into a new pixel buffer, hands it to
    // the host's ScaleImage and appends a texture carrying the result.
    void Convert(const uint8_t* indices, int32_t skinwidth, int32_t skinheight);

private:
    _TEXTURE scratch;
};
