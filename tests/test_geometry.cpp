// Faces, face mappings and vertices as the host receives them.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "mdl/geometry.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Model;

// One triangle over three vertices; corner 0 carries the coordinate under
// test, the other corners (0, 0) off the seam.
Model OneTriangle(int32_t s, int32_t t, int32_t skinwidth, int32_t skinheight, bool onseam, bool facesfront) {
    Model model = SmallModel(3, 0, {"a1"}, 0);
    model.skinwidth = skinwidth;
    model.skinheight = skinheight;
    model.texCoords = {{onseam ? 1 : 0, s, t}, {0, 0, 0}, {0, 0, 0}};
    model.triangles = {{facesfront ? 1 : 0, {0, 1, 2}}};
    return model;
}

struct UvCase {
    const char* name;
    int32_t s, t, skinwidth, skinheight;
    bool onseam, facesfront;
    int32_t u, v;
};

class TextureCoordinates : public testing::TestWithParam<UvCase> {};

TEST_P(TextureCoordinates, AreSkinUnitsTruncatedWithTheSeamRule) {
    const UvCase& c = GetParam();
    PluginHarness harness;
    const ImportCapture report = harness.Import(OneTriangle(c.s, c.t, c.skinwidth, c.skinheight, c.onseam, c.facesfront));
    const std::vector<_FACEMAP> maps = report.Records<_FACEMAP>(PM_FACEMAPS);
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_EQ(maps[0].uv[0].u, c.u);
    EXPECT_EQ(maps[0].uv[0].v, c.v);
    EXPECT_EQ(maps[0].uv[1].u, 0);  // off the seam: never offset
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextureCoordinates,
    testing::Values(
        UvCase{"OneThirdTruncated", 1, 1, 3, 3, false, true, 85, 85},
        UvCase{"NegativeTruncatesTowardZero", -1, -1, 300, 300, false, true, 0, 0},
        UvCase{"NegativeWhole", -7, -3, 2, 2, false, true, -896, -384},
        UvCase{"RightEdgeIs256", 64, 32, 64, 32, false, true, 256, 256},
        UvCase{"SeamOfBackFaceAdds128ToUOnly", 64, 32, 64, 32, true, false, 384, 256},
        UvCase{"SeamOfFrontFaceAddsNothing", 64, 32, 64, 32, true, true, 256, 256},
        UvCase{"BackFaceOffSeamAddsNothing", 10, 5, 64, 32, false, false, 40, 40},
        UvCase{"NotClampedBeyondTheSkin", 1000, -1000, 10, 10, false, true, 25600, -25600},
        UvCase{"ProductBeyond32Bits", 100000000, 1000000, 1000, 3, false, true, 25600000, 85333333},
        UvCase{"LargestCoordinateThatFits", INT_MAX, INT_MIN, 256, 256, true, true, INT_MAX, INT_MIN},
        UvCase{"JustBelowTwoTo31Units", 8388607, -8388608, 1, 1, false, true, 2147483392, INT_MIN}),
    CaseName<UvCase>);

TEST(TextureCoordinates, SeamOffsetThatWouldOverflowIsRefused) {
    // 2^31 - 1 units already; the seam offset cannot be added.
    PluginHarness harness;
    const ImportCapture report = harness.Import(OneTriangle(INT_MAX, 0, 256, 1, true, false));
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.deliveries.empty());
}

TEST(TextureCoordinates, OnlyTheCornersOfTrianglesMustFit) {
    // The first vertex fits only on the front, the last nowhere; no triangle
    // asks either for what it lacks.
    PluginHarness harness;
    Model model = OneTriangle(INT_MAX, 0, 256, 1, true, true);
    model.texCoords.push_back({0, 0, INT_MAX});
    model.frames[0].vertices.push_back(model.frames[0].vertices[0]);
    const ImportCapture report = harness.Import(model);
    EXPECT_TRUE(report.messageBoxes.empty());
    ASSERT_EQ(report.Records<_FACEMAP>(PM_FACEMAPS).size(), 1u);
    EXPECT_EQ(report.Records<_FACEMAP>(PM_FACEMAPS)[0].uv[0].u, INT_MAX);
}

struct RefusedCase {
    const char* name;
    Model model;
};

Model WithIndex(int32_t index) {
    Model model = SmallModel(4, 2, {"a1"});
    model.triangles[1].vertindex[2] = index;
    return model;
}
Model WithSkin(int32_t width, int32_t height) {
    Model model = SmallModel(3, 1, {"a1"}, 0);
    model.skinwidth = width;
    model.skinheight = height;
    return model;
}

class RefusedGeometry : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedGeometry, IsALoadFailureWithNothingDelivered) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(GetParam().model);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(BoxTexts(report), std::vector<std::string>{"Error loading *.mdl file"});
    EXPECT_TRUE(report.deliveries.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusedGeometry,
    testing::Values(RefusedCase{"IndexMinusOne", WithIndex(-1)}, RefusedCase{"IndexNumverts", WithIndex(4)},
                    RefusedCase{"IndexIntMax", WithIndex(INT_MAX)}, RefusedCase{"IndexIntMin", WithIndex(INT_MIN)},
                    RefusedCase{"SkinWidthZero", WithSkin(0, 8)}, RefusedCase{"SkinHeightZero", WithSkin(8, 0)},
                    RefusedCase{"SkinWidthNegative", WithSkin(-8, 8)},
                    RefusedCase{"CoordinateTooLarge", OneTriangle(INT_MAX, 0, 1, 1, false, true)},
                    RefusedCase{"ExactlyTwoTo31Units", OneTriangle(8388608, 0, 1, 1, false, true)},
                    RefusedCase{"MinusTwoTo31UnitsLessOne", OneTriangle(0, -8388609, 1, 1, false, true)}),
    CaseName<RefusedCase>);

TEST(Geometry, ZeroSkinSizeIsFineWithoutTriangles) {
    PluginHarness harness;
    Model model = SmallModel(3, 0, {"a1"}, 0);
    model.skinwidth = 0;
    model.skinheight = 0;
    EXPECT_TRUE(harness.Import(model).messageBoxes.empty());
}

TEST(Geometry, FacesCarryTheFileIndicesAndFixedFlagsAndColour) {
    PluginHarness harness;
    const Model model = SmallModel(5, 4, {"a1"});
    const ImportCapture report = harness.Import(model);
    const std::vector<_FACE> faces = report.Records<_FACE>(PM_FACES);
    const std::vector<_FACEMAP> maps = report.Records<_FACEMAP>(PM_FACEMAPS);
    ASSERT_EQ(faces.size(), 4u);
    ASSERT_EQ(maps.size(), 4u);
    for (size_t k = 0; k < faces.size(); ++k) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(faces[k].vertex[c], model.triangles[k].vertindex[c]);
        EXPECT_EQ(faces[k].flags, 12421u);
        EXPECT_EQ(faces[k].color, 0x00C8C8C8u);
        EXPECT_EQ(maps[k].face, int32_t(k));
        // Corner c follows vertex[c]: SmallModel gives vertex j the coordinate s = j % 5 of a 4-wide skin.
        for (int c = 0; c < 3; ++c) {
            const mdlwriter::TexCoord& tc = model.texCoords[size_t(faces[k].vertex[c])];
            const int32_t seam = tc.onseam != 0 && model.triangles[k].facesfront == 0 ? 128 : 0;
            EXPECT_EQ(maps[k].uv[c].u, tc.s * 256 / 4 + seam);
            EXPECT_EQ(maps[k].uv[c].v, tc.t * 256 / 2);
        }
    }
}

TEST(Geometry, RecordBytesAsTheHostReadsThem) {
    PluginHarness harness;
    Model model = SmallModel(3, 1, {"a1"});
    model.frames[0].vertices[2] = {{1, 2, 3}, 99};
    const ImportCapture report = harness.Import(model);

    const std::vector<uint8_t>& face = report.Find(PM_FACES)->records;
    ASSERT_EQ(face.size(), 20u);
    EXPECT_EQ(std::vector<uint8_t>(face.begin() + 12, face.end()),
              (std::vector<uint8_t>{0x85, 0x30, 0, 0, 0xC8, 0xC8, 0xC8, 0}));

    const std::vector<uint8_t>& map = report.Find(PM_FACEMAPS)->records;
    ASSERT_EQ(map.size(), 36u);
    EXPECT_EQ(std::vector<uint8_t>(map.begin(), map.begin() + 12), std::vector<uint8_t>(12, 0));  // reserved, face 0

    const std::vector<uint8_t>& vertices = report.Find(PM_VERTICES)->records;
    ASSERT_EQ(vertices.size(), 3 * 24u);
    float xyz[3];
    std::memcpy(xyz, vertices.data() + 2 * 24, sizeof xyz);
    EXPECT_EQ(xyz[0], 1.0f);
    EXPECT_EQ(xyz[1], 3.0f);  // host y is the file's Z
    EXPECT_EQ(xyz[2], 2.0f);
    for (size_t v = 0; v < 3; ++v)
        EXPECT_EQ(std::vector<uint8_t>(vertices.begin() + ptrdiff_t(v * 24 + 12), vertices.begin() + ptrdiff_t(v * 24 + 24)),
                  std::vector<uint8_t>(12, 0));
}

TEST(PackedVertexDecoding, ScalesTranslatesAndSwapsAxes) {
    const float scale[3] = {0.5f, 1, 2};
    const float translate[3] = {-10, 0, 5};
    const _VEC3 p = PackedVertexDecoder(scale, translate)({{255, 0, 128}, 7});
    EXPECT_EQ(p.x, 117.5f);
    EXPECT_EQ(p.y, 261.0f);
    EXPECT_EQ(p.z, 0.0f);
}

TEST(PackedVertexDecoding, RoundsToFloatOnlyOnceFromDouble) {
    // In float arithmetic 255 x 0.1f + 0.3f gives 25.799999; in double, rounded once, 25.800001.
    const float scale[3] = {0.1f, 0.1f, 0.1f};
    const float translate[3] = {0.3f, 0.3f, 0.3f};
    const _VEC3 p = PackedVertexDecoder(scale, translate)({{255, 255, 255}, 0});
    EXPECT_EQ(p.x, 25.80000114440918f);
    EXPECT_EQ(p.y, 25.80000114440918f);
}

float FloatOfBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t BitsOfFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(PackedVertexDecoding, DoubleRoundingOfExtendedPrecisionDoesNotHappen) {
    // 66 x scale + translate rounded to double, then to float, is 0x4E2A2C52;
    // rounded through x87 extended precision first it would be 0x4E2A2C51.
    Model model = SmallModel(1, 0, {"a1"}, 0);
    model.scale[0] = FloatOfBits(0x4B250430);
    model.translate[0] = FloatOfBits(0xB2CF9358);
    model.frames[0].vertices[0] = {{66, 0, 0}, 0};
    PluginHarness harness;
    const std::vector<_VERTEX> vertices = harness.Import(model).Records<_VERTEX>(PM_VERTICES);
    ASSERT_EQ(vertices.size(), 1u);
    EXPECT_EQ(BitsOfFloat(vertices[0].x), 0x4E2A2C52u);
}

TEST(Geometry, MoreThanTwoGrowthsOfRecordsArriveIntactAndInOrder) {
    // The lists grow at 10,000 and 20,000 records: no record may be lost or moved.
    constexpr int COUNT = 20003;
    const Model model = SmallModel(COUNT, COUNT, {"a1"});
    PluginHarness harness;
    const ImportCapture report = harness.Import(model);
    const std::vector<_FACE> faces = report.Records<_FACE>(PM_FACES);
    const std::vector<_FACEMAP> maps = report.Records<_FACEMAP>(PM_FACEMAPS);
    const std::vector<_VERTEX> vertices = report.Records<_VERTEX>(PM_VERTICES);
    ASSERT_EQ(faces.size(), size_t(COUNT));
    ASSERT_EQ(maps.size(), size_t(COUNT));
    ASSERT_EQ(vertices.size(), size_t(COUNT));
    int firstWrong = -1;
    for (int k = 0; k < COUNT && firstWrong < 0; ++k) {
        const mdlwriter::Vertex& packed = model.frames[0].vertices[size_t(k)];
        const bool intact = std::memcmp(faces[size_t(k)].vertex, model.triangles[size_t(k)].vertindex, 12) == 0 &&
                            faces[size_t(k)].flags == 12421u && maps[size_t(k)].face == k &&
                            vertices[size_t(k)].x == packed.v[0] && vertices[size_t(k)].y == packed.v[2] &&
                            vertices[size_t(k)].z == packed.v[1];
        if (!intact) firstWrong = k;
    }
    EXPECT_EQ(firstWrong, -1);
}

TEST(Geometry, VerticesComeFromTheFirstFrameOnly) {
    PluginHarness harness;
    Model model = SmallModel(4, 2, {"a1", "a2", "b1"});
    model.scale[0] = 0.5f;
    model.translate[1] = -4;
    const ImportCapture report = harness.Import(model);
    const std::vector<_VERTEX> vertices = report.Records<_VERTEX>(PM_VERTICES);
    ASSERT_EQ(vertices.size(), 4u);
    for (size_t j = 0; j < 4; ++j) {
        const mdlwriter::Vertex& packed = model.frames[0].vertices[j];
        EXPECT_EQ(vertices[j].x, packed.v[0] * 0.5f);
        EXPECT_EQ(vertices[j].y, float(packed.v[2]));
        EXPECT_EQ(vertices[j].z, packed.v[1] - 4.0f);
    }
}

}  // namespace
