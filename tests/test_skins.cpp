// Skins: palette expansion, one ScaleImage call and one texture per skin.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "mdl/palette.h"
#include "plugin_harness.h"
#include "sha256.h"

namespace {

using mdlwriter::Model;

Model Skins(int32_t width, int32_t height, const std::vector<std::vector<uint8_t>>& skins) {
    Model model = SmallModel(3, 0, {"a1"}, 0);
    model.skinwidth = width;
    model.skinheight = height;
    for (const std::vector<uint8_t>& indices : skins) model.skins.push_back({0, indices});
    return model;
}

std::vector<uint8_t> Bytes(const std::vector<_COLOR>& pixels) {
    std::vector<uint8_t> bytes;
    for (const _COLOR& c : pixels) bytes.insert(bytes.end(), {c.b, c.g, c.r});
    return bytes;
}

TEST(Palette, MatchesThePublishedTableByteForByte) {
    // SHA-256 of the 768 bytes of the table as published, blue, green, red.
    EXPECT_EQ(Sha256Hex(QUAKE_PALETTE, sizeof QUAKE_PALETTE),
              "b6020053a60fc8d53819f4e0464569b12d9e4bbfb39f26617c0dbfd3b697d9e3");
}

TEST(Palette, EntriesThatAnchorTheTable) {
    const uint8_t ramp[] = {15, 31, 47, 63, 75, 91, 107, 123, 139, 155, 171, 187, 203, 219, 235};
    EXPECT_EQ(Bytes({QUAKE_PALETTE[0]}), (std::vector<uint8_t>{0, 0, 0}));
    for (int i = 1; i <= 15; ++i) EXPECT_EQ(Bytes({QUAKE_PALETTE[i]}), std::vector<uint8_t>(3, ramp[i - 1])) << i;
    EXPECT_EQ(Bytes({QUAKE_PALETTE[255]}), (std::vector<uint8_t>{0x53, 0x5B, 0x9F}));
}

TEST(Skins, EveryIndexSelectsItsOwnEntry) {
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[size_t(i)] = uint8_t(255 - i);  // reversed, so order matters
    PluginHarness harness;
    harness.Import(Skins(16, 16, {all}));
    ASSERT_EQ(ScaleImageStandIn::calls.size(), 1u);
    const auto& call = ScaleImageStandIn::calls[0];
    EXPECT_EQ(call.width, 16);
    EXPECT_EQ(call.height, 16);
    ASSERT_EQ(call.pixels.size(), 256u);
    std::vector<_COLOR> reversed(QUAKE_PALETTE, QUAKE_PALETTE + 256);
    std::reverse(reversed.begin(), reversed.end());
    EXPECT_EQ(Bytes(call.pixels), Bytes(reversed));
    // Spot checks independent of the table in the code: index 1 (pixel 254) and 255 (pixel 0).
    EXPECT_EQ(Bytes({call.pixels[254]}), (std::vector<uint8_t>{0x0F, 0x0F, 0x0F}));
    EXPECT_EQ(Bytes({call.pixels[0]}), (std::vector<uint8_t>{0x53, 0x5B, 0x9F}));
}

TEST(Skins, EachSkinIsOneCallWithANewBufferAndOneTextureInFileOrder) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(Skins(2, 1, {{1, 2}, {3, 4}, {5, 6}}));
    const auto& calls = ScaleImageStandIn::calls;
    ASSERT_EQ(calls.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Bytes(calls[i].pixels), Bytes({QUAKE_PALETTE[2 * i + 1], QUAKE_PALETTE[2 * i + 2]}));
        for (size_t j = 0; j < i; ++j) EXPECT_NE(calls[i].address, calls[j].address);
    }
    const std::vector<_TEXTURE> textures = report.Records<_TEXTURE>(PM_TEXTURES);
    ASSERT_EQ(textures.size(), 3u);
    char expectedName[516] = "texture";
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(textures[i].reserved, 0);
        EXPECT_EQ(textures[i].pixels, calls[i].result);
        EXPECT_EQ(std::memcmp(textures[i].name, expectedName, sizeof expectedName), 0);  // zero after the name
    }
}

TEST(Skins, ZeroSizeSkinStillCallsScaleImageAndGivesATexture) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(Skins(0, 7, {{}, {}}));
    EXPECT_EQ(report.result, 1);
    ASSERT_EQ(ScaleImageStandIn::calls.size(), 2u);
    EXPECT_EQ(ScaleImageStandIn::calls[0].width, 0);
    EXPECT_EQ(ScaleImageStandIn::calls[0].height, 7);
    EXPECT_NE(ScaleImageStandIn::calls[0].address, nullptr);
    EXPECT_EQ(report.Find(PM_TEXTURES)->count, 2);
}

TEST(Skins, NullResultIsStoredAsItIs) {
    PluginHarness harness;
    ScaleImageStandIn::returnNull = true;
    const ImportCapture report = harness.Import(Skins(2, 2, {{0, 1, 2, 3}}));
    const std::vector<_TEXTURE> textures = report.Records<_TEXTURE>(PM_TEXTURES);
    ASSERT_EQ(textures.size(), 1u);
    EXPECT_EQ(textures[0].pixels, nullptr);
}

struct BadSkinCase {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t callsBeforeFailure;
};

std::vector<uint8_t> Patched(Model model, size_t offset, int32_t value) {
    std::vector<uint8_t> bytes = model.Bytes();
    mdlwriter::PatchInt32(bytes, offset, value);
    return bytes;
}

std::vector<uint8_t> CutInsideSecondSkin() {
    std::vector<uint8_t> bytes = Skins(4, 4, {std::vector<uint8_t>(16, 1), std::vector<uint8_t>(16, 2)}).Bytes();
    bytes.resize(mdlwriter::HEADER_SIZE + 20 + 4 + 10);
    return bytes;
}

// One skin of 4 x 4 in the file, its size in the header changed.
std::vector<uint8_t> SkinSized(int32_t width, int32_t height) {
    std::vector<uint8_t> bytes = Skins(4, 4, {std::vector<uint8_t>(16, 1)}).Bytes();
    mdlwriter::PatchInt32(bytes, mdlwriter::OFFSET_SKINWIDTH, width);
    mdlwriter::PatchInt32(bytes, mdlwriter::OFFSET_SKINHEIGHT, height);
    return bytes;
}

class BadSkins : public testing::TestWithParam<BadSkinCase> {};

TEST_P(BadSkins, AreRefusedWithoutATextureFromMissingBytes) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(GetParam().bytes);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(BoxTexts(report), std::vector<std::string>{"Error loading *.mdl file"});
    EXPECT_TRUE(report.deliveries.empty());
    EXPECT_EQ(ScaleImageStandIn::calls.size(), GetParam().callsBeforeFailure);
}

const Model ONE_SKIN = Skins(4, 4, {std::vector<uint8_t>(16, 1)});

INSTANTIATE_TEST_SUITE_P(
    Table, BadSkins,
    testing::Values(BadSkinCase{"NegativeWidth", Patched(ONE_SKIN, mdlwriter::OFFSET_SKINWIDTH, -4), 0},
                    BadSkinCase{"NegativeHeight", Patched(ONE_SKIN, mdlwriter::OFFSET_SKINHEIGHT, -4), 0},
                    BadSkinCase{"ProductOverflows32Bits", SkinSized(65536, 65536), 0},
                    BadSkinCase{"ThreeTimesProductOverflows", SkinSized(40000, 20000), 0},
                    BadSkinCase{"BothIntMax", SkinSized(INT_MAX, INT_MAX), 0},
                    BadSkinCase{"FiftyThousandByFortyThreeThousand", SkinSized(50000, 43000), 0},
                    BadSkinCase{"LargerThanTheRestOfTheFile", SkinSized(100, 100), 0},
                    BadSkinCase{"MoreSkinsThanTheFileHolds", Patched(ONE_SKIN, mdlwriter::OFFSET_NUMSKINS, 1000), 0},
                    BadSkinCase{"EndsInsideTheSecondSkin", CutInsideSecondSkin(), 0}),
    CaseName<BadSkinCase>);


}  // namespace
