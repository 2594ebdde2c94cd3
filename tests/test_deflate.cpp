// The picture's deflate: whatever the bytes, zlib inflates them back
// exactly; every length a match can have, and runs past the longest.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "deflate.h"

namespace {

std::vector<uint8_t> Inflated(const std::string& stream, size_t size) {
    std::vector<uint8_t> bytes(size + 1);
    uLongf length = uLongf(bytes.size());
    const int status =
        uncompress(bytes.data(), &length, reinterpret_cast<const Bytef*>(stream.data()), uLong(stream.size()));
    EXPECT_EQ(status, Z_OK);
    bytes.resize(status == Z_OK ? length : 0);
    return bytes;
}

std::vector<uint8_t> Runs(size_t longest) {
    std::vector<uint8_t> bytes;
    for (size_t length = 1; length <= longest; ++length) bytes.insert(bytes.end(), length, uint8_t(length));
    return bytes;
}

TEST(Deflate, InflatesBackToTheBytes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> noise, everyByte, fewLevels;
    uint32_t state = 1;
    for (int i = 0; i < 100000; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.push_back(uint8_t(state >> 24));
        fewLevels.push_back(uint8_t(state >> 30));
    }
    for (int i = 0; i < 256; ++i) everyByte.push_back(uint8_t(i));
    const Case cases[] = {
        {"nothing", {}},
        {"one byte", {7}},
        {"three alike", {9, 9, 9}},
        {"a run after one", {5, 5, 5, 5}},
        {"every byte", everyByte},
        {"one byte, long", std::vector<uint8_t>(100000, 0)},
        // The checksum's sums at their largest, over a length that ends
        // short of a whole number of its rounds.
        {"the highest byte, long", std::vector<uint8_t>(100003, 255)},
        {"runs of every length", Runs(600)},
        {"noise", noise},
        {"noise of four levels", fewLevels},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Inflated(ZlibStream(c.bytes.data(), c.bytes.size()), c.bytes.size()), c.bytes);
    }
}

// A long run is a few bits a match; noise costs about a byte a byte.
TEST(Deflate, RunsShrinkAndNoiseStaysItsSize) {
    const std::vector<uint8_t> zeros(100000, 0);
    EXPECT_LT(ZlibStream(zeros.data(), zeros.size()).size(), 400u);
    std::vector<uint8_t> noise;
    uint32_t state = 7;
    for (int i = 0; i < 100000; ++i) noise.push_back(uint8_t((state = state * 1664525u + 1013904223u) >> 24));
    EXPECT_LT(ZlibStream(noise.data(), noise.size()).size(), 101000u);
}

}  // namespace
