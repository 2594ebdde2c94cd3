// The reference host's parts: its ScaleImage, its capture and its JSON dump.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "reports.h"
#include "sha256.h"
#include "tovra_main.h"

namespace {

_COLOR* Pixels(int width, int height, _COLOR colour) {
    auto* pixels = static_cast<_COLOR*>(std::malloc(size_t(width * height) * 3 + 1));
    for (int i = 0; i < width * height; ++i) pixels[i] = colour;
    return pixels;
}

struct SizeCase {
    const char* name;
    int width, height;
    int32_t scaledWidth, scaledHeight;
};

class ScaleImageSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(ScaleImageSizes, ArePowersOfTwoReadyForUpload) {
    const SizeCase& c = GetParam();
    const _COLOR colour{10, 20, 30};
    const char* result = ScaleImage(Pixels(c.width, c.height, colour), c.width, c.height);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(ScaledImageOf(result)->width, c.scaledWidth);
    EXPECT_EQ(ScaledImageOf(result)->height, c.scaledHeight);
    // A uniform skin stays uniform, whatever the filter does.
    const _COLOR* scaled = ScaledImagePixels(result);
    for (int32_t i = 0; i < c.scaledWidth * c.scaledHeight; ++i) {
        ASSERT_EQ(scaled[i].b, 10);
        ASSERT_EQ(scaled[i].g, 20);
        ASSERT_EQ(scaled[i].r, 30);
    }
    ReleaseScaledImages();
}

INSTANTIATE_TEST_SUITE_P(Table, ScaleImageSizes,
                         testing::Values(SizeCase{"AlreadyPowersOfTwo", 64, 32, 64, 32},
                                         SizeCase{"RoundedUp", 3, 5, 4, 8},
                                         SizeCase{"TypicalSkin", 320, 200, 512, 256},
                                         SizeCase{"OnePixel", 1, 1, 1, 1},
                                         SizeCase{"WiderThanTheLargestSide", 5000, 2, 4096, 2},
                                         SizeCase{"EmptyWidth", 0, 5, 0, 0}, SizeCase{"EmptyHeight", 7, 0, 0, 0}),
                         [](const testing::TestParamInfo<SizeCase>& param) { return std::string(param.param.name); });

TEST(ScaleImage, PowerOfTwoInputIsCopiedUnchangedAndObserved) {
    _COLOR* pixels = Pixels(2, 2, {0, 0, 0});
    pixels[1] = {1, 2, 3};
    pixels[2] = {4, 5, 6};
    struct Seen {
        int calls = 0;
        int width = 0;
        _COLOR second{};
        const char* result = nullptr;
    } seen;
    SetScaleImageObserver(
        [](void* context, const _COLOR* input, int width, int, const char* result) {
            auto* s = static_cast<Seen*>(context);
            ++s->calls;
            s->width = width;
            s->second = input[1];
            s->result = result;
        },
        &seen);
    const char* result = ScaleImage(pixels, 2, 2);
    SetScaleImageObserver(nullptr, nullptr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.width, 2);
    EXPECT_EQ(seen.second.r, 3);
    EXPECT_EQ(seen.result, result);
    const _COLOR* scaled = ScaledImagePixels(result);
    EXPECT_EQ(scaled[1].b, 1);
    EXPECT_EQ(scaled[2].r, 6);
    EXPECT_EQ(scaled[3].g, 0);
    ReleaseScaledImages();
}

TEST(JsonDump, FloatsNamesAndTextsAreWrittenAsTheFormatSays) {
    _VERTEX vertices[2] = {};
    vertices[0].x = -0.0f;
    vertices[0].y = std::numeric_limits<float>::quiet_NaN();
    vertices[0].z = -std::numeric_limits<float>::infinity();
    vertices[1].x = 0.1f;
    _ANIMATION animation = {};
    std::memcpy(animation.name, "r\x7F\xE9\x01", 5);
    ImportCapture report;
    report.file = "m.mdl";
    report.result = 1;
    report.messageBoxes.push_back({BoxOwner::None, "error executing dll function", std::nullopt, 0});
    report.NoteDelivery(PM_VERTICES, vertices, 2, true);
    report.NoteDelivery(PM_ANIMATIONS, &animation, 1, true);
    const std::string json = JsonDump(report);
    EXPECT_NE(json.find("\"x\": -0.0"), std::string::npos) << json;
    EXPECT_NE(json.find("\"y\": \"NaN\""), std::string::npos);
    EXPECT_NE(json.find("\"z\": \"-Infinity\""), std::string::npos);
    EXPECT_NE(json.find("\"x\": 0.10000000149011612"), std::string::npos);  // reads back to 0.1f
    EXPECT_NE(json.find("\"name\": \"r\\u007f\\u00e9\\u0001\""), std::string::npos);
    EXPECT_NE(json.find("\"caption\": null"), std::string::npos);
    EXPECT_NE(json.find("\"owner\": \"none\""), std::string::npos);
    // SHA-256 of no bytes: the animation has no frames.
    EXPECT_NE(json.find("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"), std::string::npos);
}

// Each ScaleImage call's hash in the dump is that of the pixels it was
// passed, in the calls' order, whether a texture took its result or none
// did (a run that failed before delivering it).
TEST(JsonDump, HashesEachScaleImageCallsPixelsTakenOrNot) {
    const std::vector<_COLOR> taken(4, _COLOR{0, 0, 255}), left(2, _COLOR{255, 0, 0});
    char takenResult = 0, leftResult = 0;
    ImportCapture capture;
    capture.result = 1;
    capture.NoteScaleImage(taken.data(), 2, 2, &takenResult);
    capture.NoteScaleImage(left.data(), 2, 1, &leftResult);
    _TEXTURE texture = {};
    texture.pixels = &takenResult;
    capture.NoteDelivery(PM_TEXTURES, &texture, 1, true);
    const std::string json = JsonDump(ReceiveModel(capture));
    const size_t first = json.find(Sha256Hex(taken.data(), taken.size() * sizeof(_COLOR)));
    const size_t second = json.find(Sha256Hex(left.data(), left.size() * sizeof(_COLOR)));
    ASSERT_NE(first, std::string::npos) << json;
    ASSERT_NE(second, std::string::npos) << json;
    EXPECT_LT(first, second);
}

// A private message that is no delivery: kept, refused, and reported as
// unknown by every writer, its address never read.
TEST(Capture, AnUnknownMessageIsRecordedRefusedAndReportedAsUnknown) {
    const uint32_t unknown = PM_FACES + 1;
    ImportCapture capture;
    capture.result = 1;
    EXPECT_FALSE(capture.NoteDelivery(unknown, reinterpret_cast<const void*>(uintptr_t(16)), 3, true));
    const ReceivedModel model = ReceiveModel(capture);
    ASSERT_EQ(model.deliveries.size(), 1u);
    EXPECT_EQ(model.deliveries[0].kind, nullptr);
    EXPECT_FALSE(model.deliveries[0].accepted);
    EXPECT_FALSE(model.Succeeded());
    EXPECT_NE(JsonDump(model).find("\"message\": null"), std::string::npos);
    EXPECT_NE(TextReport(model, "").find("unknown message (" + std::to_string(unknown) + ")"), std::string::npos);
}

// Counts come from the plug-in: the capture reads what they promise only
// where each is positive and their product fits, and no later loop walks a
// count that makes no size.
TEST(Capture, ReadsOnlyWhatCountsThatMakeASizePromise) {
    struct Case {
        int32_t frames, vertices;
        size_t elements;
    };
    const Case cases[] = {{2, 3, 6},  {-2, -3, 0}, {0, 3, 0}, {2, 0, 0}, {-1, 5, 0},
                          {INT32_MAX, INT32_MAX, 0}, {65536, 65536, 0}};
    for (const Case& c : cases) {
        _VERTEX vertex{};
        _ANIMATION animation{};
        animation.frameCount = c.frames;
        animation.vertexCount = c.vertices;
        animation.data = static_cast<_VEC3*>(std::calloc(6, sizeof(_VEC3)));  // the capture's to free
        ImportCapture capture;
        capture.NoteDelivery(PM_VERTICES, &vertex, 1, true);
        capture.NoteDelivery(PM_ANIMATIONS, &animation, 1, true);
        EXPECT_EQ(capture.Find(PM_ANIMATIONS)->animationData[0].count, c.elements) << c.frames << " x " << c.vertices;
        EXPECT_EQ(ReceiveModel(capture).animations[0].frames, c.elements == 0 ? 0 : size_t(c.frames));
    }
    // Records whose bytes would pass the address space are not copied.
    ImportCapture capture;
    capture.NoteDelivery(PM_FACES, reinterpret_cast<const void*>(uintptr_t(16)), INT32_MAX, true);
    EXPECT_TRUE(capture.Find(PM_FACES)->records.empty());
}

}  // namespace
