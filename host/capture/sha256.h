// SHA-256 as lower-case hex, from the platform's provider (nettle on Linux,
// the system's cryptographic provider on Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::string Sha256Hex(const void* bytes, size_t size);

inline std::string HexOf(const uint8_t* bytes, size_t size) {
    static const char HEX[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += HEX[bytes[i] >> 4];
        text += HEX[bytes[i] & 15];
    }
    return text;
}
