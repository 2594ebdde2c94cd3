// thumbnail.png looks like the model: the front seen the right way up and
// the right way round, the skin as it lies on the model, near surfaces over
// far ones whatever the triangles' order, framed on a transparent background.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include <stb/stb_image.h>

#include "export_scene.h"
#include "mdl/palette.h"
#include "plugin_harness.h"
#include "png.h"
#include "raster.h"
#include "thumbnail.h"

namespace {

using mdlwriter::Model;
namespace fs = std::filesystem;

// Palette indices of four colours apart in hue.
constexpr uint8_t RED = 248, BLUE = 208, YELLOW = 192, WHITE = 15;

struct Rgb {
    int r, g, b;
};

Rgb PaletteColour(uint8_t index) {
    const _COLOR& c = QUAKE_PALETTE[index];
    return {c.r, c.g, c.b};
}

// Which of the palette colours a lit pixel is a shade of: the nearest in
// direction, since the light scales all three channels alike.
uint8_t ShadeOf(const uint8_t* pixel, std::initializer_list<uint8_t> candidates) {
    uint8_t best = 0;
    double bestCosine = -1;
    for (const uint8_t index : candidates) {
        const Rgb c = PaletteColour(index);
        const double dot = pixel[0] * c.r + pixel[1] * c.g + pixel[2] * c.b;
        const double cosine = dot / std::sqrt(double(c.r * c.r + c.g * c.g + c.b * c.b)) /
                              std::sqrt(double(pixel[0] * pixel[0] + pixel[1] * pixel[1] + pixel[2] * pixel[2]));
        if (cosine > bestCosine) {
            bestCosine = cosine;
            best = index;
        }
    }
    return best;
}

// A quad of the file's frame seen from its front (+X), corners given
// clockwise from the top left as a viewer in front sees them, each with its
// skin texel.
void AddQuad(Model& model, const std::array<std::array<uint8_t, 3>, 4>& corners,
             const std::array<std::array<int32_t, 2>, 4>& texels) {
    const auto first = int32_t(model.texCoords.size());
    for (size_t i = 0; i < 4; ++i) {
        model.texCoords.push_back({0, texels[i][0], texels[i][1]});
        model.frames[0].vertices.push_back({{corners[i][0], corners[i][1], corners[i][2]}, 0});
    }
    model.triangles.push_back({1, {first, first + 1, first + 2}});
    model.triangles.push_back({1, {first, first + 2, first + 3}});
}

Model Empty(int skinWidth, int skinHeight, std::vector<uint8_t> skin) {
    Model model;
    model.skinwidth = skinWidth;
    model.skinheight = skinHeight;
    model.skins.push_back({0, std::move(skin)});
    model.translate[1] = -32;  // the file's y from -32 (the model's right) to +32 (its left)
    model.frames.push_back({0, mdlwriter::Frame::Name("stand1"), {}});
    return model;
}

// A billboard facing front, its 8x8 skin in quadrants: red top left, blue
// top right, yellow bottom left, white bottom right, as a picture of it
// taken from the front shows them.
Model Billboard() {
    std::vector<uint8_t> skin;
    for (int t = 0; t < 8; ++t)
        for (int s = 0; s < 8; ++s) skin.push_back(t < 4 ? (s < 4 ? RED : BLUE) : (s < 4 ? YELLOW : WHITE));
    Model model = Empty(8, 8, skin);
    // The viewer's left is the model's right (the file's -y).
    AddQuad(model, {{{32, 16, 64}, {32, 48, 64}, {32, 48, 0}, {32, 16, 0}}}, {{{0, 0}, {8, 0}, {8, 8}, {0, 8}}});
    return model;
}

// A small red quad in front of a large blue one, drawn first or last.
Model NearAndFar(bool nearFirst) {
    Model nearQuad = Empty(2, 1, {RED, BLUE});
    AddQuad(nearQuad, {{{40, 24, 40}, {40, 40, 40}, {40, 40, 24}, {40, 24, 24}}}, {{{0, 0}, {0, 0}, {0, 0}, {0, 0}}});
    Model farQuad = Empty(2, 1, {RED, BLUE});
    AddQuad(farQuad, {{{8, 0, 64}, {8, 64, 64}, {8, 64, 0}, {8, 0, 0}}}, {{{1, 0}, {1, 0}, {1, 0}, {1, 0}}});
    Model& model = nearFirst ? nearQuad : farQuad;
    const Model& other = nearFirst ? farQuad : nearQuad;
    const auto offset = int32_t(model.texCoords.size());
    model.texCoords.insert(model.texCoords.end(), other.texCoords.begin(), other.texCoords.end());
    auto& vertices = model.frames[0].vertices;
    vertices.insert(vertices.end(), other.frames[0].vertices.begin(), other.frames[0].vertices.end());
    for (mdlwriter::Triangle triangle : other.triangles) {
        for (int32_t& index : triangle.vertindex) index += offset;
        model.triangles.push_back(triangle);
    }
    return model;
}

class Picture {
public:
    explicit Picture(const Model& file, int size_ = 64) : size(size_) {
        const ImportCapture capture = harness.Import(file);
        const ReceivedModel model = ReceiveModel(capture);
        EXPECT_TRUE(model.Succeeded());
        const ExportMesh mesh(model);
        Pose rest;
        ExportPoses(model, MdlGroups(), mesh, PoseNormals::Smooth).Compute(0, rest);
        rgba = DrawThumbnail(model, mesh, rest, size);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (At(x, y)[3] == 0) continue;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }

    const uint8_t* At(int x, int y) const { return &rgba[(size_t(y) * size_t(size) + size_t(x)) * 4]; }
    // The pixel at a fraction of the drawn area's width and height.
    const uint8_t* Within(double fx, double fy) const {
        return At(left + int(fx * (right - left)), top + int(fy * (bottom - top)));
    }
    size_t Count(uint8_t index, std::initializer_list<uint8_t> candidates) const {
        size_t count = 0;
        for (size_t p = 0; p < rgba.size(); p += 4)
            if (rgba[p + 3] == 255 && ShadeOf(&rgba[p], candidates) == index) ++count;
        return count;
    }

    PluginHarness harness;
    int size;
    std::vector<uint8_t> rgba;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;  // of what is drawn
};

// A nearness in fixed point is nearness * 2^40 + 1/2 rounded down, whichever
// way it is worked out: halves exactly (which a double's own rounding takes
// to even), the edges of each way, and a spread between; held at 2^62 either
// way, and not a number as nothing.
TEST(Raster, FixedIsTheNearnessScaledAndRoundedDown) {
    const auto expected = [](double nearness) {
        const double scaled = nearness * NEARNESS_ONE + 0.5;
        if (!(scaled == scaled)) return NOTHING;
        const double limit = 4611686018427387904.0;
        return int64_t(std::floor(std::max(-limit, std::min(limit, scaled))));
    };
    std::vector<double> nearness = {0, 0.5, 0.75, 1, 1 - 0x1p-53, -1e-13, -0.6 / NEARNESS_ONE, -0.4 / NEARNESS_ONE,
                                    0x1p-41, 3 * 0x1p-41, 0x1p-9, 0x1p-9 + 0x1p-41, 2047.9999, 2048, 2048.5,
                                    0x1p11 - 0x1p-40,
                                    0x1p12 - 0x1p-40, 0x1p12, 1e6, 0x1p22, 0x1p23, -0.5, -1e6, -0x1p22, -0x1p23,
                                    std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()};
    uint32_t state = 3;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1664525u + 1013904223u;
        // Whole and half steps of 2^-40 near one, and anything up to four.
        nearness.push_back(double(state >> 8) * 0x1p-41 + (i % 2 == 0 ? 0.5 : 0));
        nearness.push_back(double(state) * 0x1p-30);
    }
    for (const double n : nearness) EXPECT_EQ(Fixed(n), expected(n)) << n;
    EXPECT_EQ(Fixed(std::nan("")), NOTHING);
}

// Each sample ends with the same face whatever order the faces come in:
// large ones lying through one another, drawn nearest first, where most are
// passed over where they are hidden, tile by tile, strip by strip and row
// by row, as drawn farthest first, where nothing is.
TEST(Raster, FacesPassedOverAsHiddenChangeNoSample) {
    constexpr int SIDE = 256, ROWS = 64;
    uint32_t state = 11;
    const auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
    std::vector<Projected> projected(400);
    for (Projected& p : projected) {
        p.sx = int64_t(next() % (SIDE * SUBPIXEL));
        p.sy = int64_t(next() % (SIDE * SUBPIXEL));
        p.nearness = 0.5 + double(next() % 4096) / 8192;
    }
    std::vector<RasterFace> faces;
    for (uint32_t v = 0; v + 2 < projected.size(); ++v) {
        const Projected& c = projected[v + 2];
        RasterFace face{{v, v + 1, v + 2}, Edge(projected[v], projected[v + 1], c.sx, c.sy)};
        if (face.area == 0) continue;
        if (face.area < 0) {
            std::swap(face.vertex[1], face.vertex[2]);
            face.area = -face.area;
        }
        faces.push_back(face);
    }
    std::vector<uint32_t> nearestFirst(faces.size());
    for (uint32_t f = 0; f < faces.size(); ++f) nearestFirst[f] = f;
    const auto nearest = [&](uint32_t f) {
        return std::max({projected[faces[f].vertex[0]].nearness, projected[faces[f].vertex[1]].nearness,
                         projected[faces[f].vertex[2]].nearness});
    };
    std::sort(nearestFirst.begin(), nearestFirst.end(),
              [&](uint32_t a, uint32_t b) { return nearest(a) > nearest(b); });

    NearestFaceBuffer culled(SIDE, ROWS, projected, faces), drawn(SIDE, ROWS, projected, faces);
    size_t covered = 0;
    for (int top = 0; top < SIDE; top += ROWS) {
        culled.Start(top);
        drawn.Start(top);
        for (const uint32_t f : nearestFirst) culled.Draw(f);
        for (auto f = nearestFirst.rbegin(); f != nearestFirst.rend(); ++f) drawn.Draw(*f);
        for (int y = top; y < top + ROWS; ++y) {
            for (int x = 0; x < SIDE; ++x) {
                ASSERT_EQ(culled.Untouched(x, y), drawn.Untouched(x, y)) << x << ", " << y;
                if (culled.Untouched(x, y)) continue;
                ASSERT_EQ(culled.NearnessRow(y)[x], drawn.NearnessRow(y)[x]) << x << ", " << y;
                ASSERT_EQ(culled.FaceRow(y)[x], drawn.FaceRow(y)[x]) << x << ", " << y;
                covered += culled.NearnessRow(y)[x] != NOTHING ? 1 : 0;
            }
        }
    }
    EXPECT_GT(covered, size_t(SIDE * SIDE / 2));
}

TEST(Thumbnail, ShowsTheFrontUprightUnmirroredWithItsSkinAsItLies) {
    const Picture picture(Billboard());
    ASSERT_GT(picture.right, 0) << "nothing drawn";
    const std::initializer_list<uint8_t> colours = {RED, BLUE, YELLOW, WHITE};
    EXPECT_EQ(ShadeOf(picture.Within(0.25, 0.25), colours), RED);
    EXPECT_EQ(ShadeOf(picture.Within(0.75, 0.25), colours), BLUE);
    EXPECT_EQ(ShadeOf(picture.Within(0.25, 0.75), colours), YELLOW);
    EXPECT_EQ(ShadeOf(picture.Within(0.75, 0.75), colours), WHITE);
}

// A quad facing the model's left, which the light only grazes: the top left
// of its skin fullbright, the top right entry 247 (the colour of a lit entry
// too), the bottom half lit.
TEST(Thumbnail, DrawsFullbrightTexelsAtTheirOwnColourInTheShade) {
    constexpr uint8_t GLOW = 244, LIKE_LIT = 247;
    std::vector<uint8_t> skin;
    for (int t = 0; t < 8; ++t)
        for (int s = 0; s < 8; ++s) skin.push_back(t < 4 ? (s < 4 ? GLOW : LIKE_LIT) : WHITE);
    Model model = Empty(8, 8, skin);
    AddQuad(model, {{{48, 40, 64}, {16, 40, 64}, {16, 40, 0}, {48, 40, 0}}}, {{{0, 0}, {8, 0}, {8, 8}, {0, 8}}});
    const Picture picture(model);
    // The three commonest colours are those of the three parts' insides.
    std::map<std::array<uint8_t, 3>, size_t> counts;
    for (size_t p = 0; p < picture.rgba.size(); p += 4)
        if (picture.rgba[p + 3] == 255) ++counts[{picture.rgba[p], picture.rgba[p + 1], picture.rgba[p + 2]}];
    std::vector<std::pair<size_t, std::array<uint8_t, 3>>> commonest;
    for (const auto& [colour, count] : counts) commonest.emplace_back(count, colour);
    std::sort(commonest.rbegin(), commonest.rend());
    ASSERT_GE(commonest.size(), 3u);
    std::set<uint8_t> seen;
    for (size_t i = 0; i < 3; ++i) {
        const std::array<uint8_t, 3>& shown = commonest[i].second;
        const uint8_t index = ShadeOf(shown.data(), {GLOW, LIKE_LIT, WHITE});
        SCOPED_TRACE(int(index));
        seen.insert(index);
        const Rgb own = PaletteColour(index);
        if (index == GLOW) {
            EXPECT_EQ(shown, (std::array<uint8_t, 3>{uint8_t(own.r), uint8_t(own.g), uint8_t(own.b)}));
        } else {
            EXPECT_LT(*std::max_element(shown.begin(), shown.end()), 0.8 * std::max({own.r, own.g, own.b}));
        }
    }
    EXPECT_EQ(seen, (std::set<uint8_t>{GLOW, LIKE_LIT, WHITE}));
}

TEST(Thumbnail, IsFramedToTheModelOnATransparentBackground) {
    const Picture picture(Billboard(), 100);
    ASSERT_GT(picture.right, 0) << "nothing drawn";
    // The taller side fills the picture but for a margin; the model stands
    // in the middle both ways.
    EXPECT_GE(picture.bottom - picture.top + 1, 85);
    EXPECT_GT(picture.top, 0);
    EXPECT_NEAR(picture.left, 99 - picture.right, 1);
    EXPECT_NEAR(picture.top, 99 - picture.bottom, 1);
    EXPECT_EQ(picture.At(0, 0)[3], 0);
    EXPECT_EQ(picture.At(99, 99)[3], 0);
}

TEST(Thumbnail, NearSurfacesHideFarOnesInAnyTriangleOrder) {
    const Picture nearFirst(NearAndFar(true));
    const Picture nearLast(NearAndFar(false));
    EXPECT_GT(nearFirst.Count(RED, {RED, BLUE}), 64u);
    EXPECT_GT(nearFirst.Count(BLUE, {RED, BLUE}), 64u);
    EXPECT_TRUE(nearFirst.rgba == nearLast.rgba);
}

// Drawn alone, each quad of NearAndFar keeps the other's corners in faces of
// no area (each with a copy of one of them), so that all three pictures are
// framed alike.
Model OneOfNearAndFar(bool keepNear) {
    Model model = NearAndFar(true);
    const size_t dropped = keepNear ? 2 : 0;  // the near quad's two faces come first
    const int32_t corner = model.triangles[dropped].vertindex[0];  // its four corners follow on
    for (size_t i = 0; i < 2; ++i) {
        const int32_t a = corner + int32_t(2 * i), copy = int32_t(model.texCoords.size());
        model.texCoords.push_back(model.texCoords[size_t(a)]);
        model.frames[0].vertices.push_back(model.frames[0].vertices[size_t(a)]);
        model.triangles[dropped + i].vertindex[0] = a;
        model.triangles[dropped + i].vertindex[1] = copy;
        model.triangles[dropped + i].vertindex[2] = a + 1;
    }
    return model;
}

// A far face shows whole wherever the near one is not, however much of it is
// hidden elsewhere, at sizes whose samples do not fall in even blocks.
TEST(Thumbnail, FarSurfacesShowWholeBesideNearOnes) {
    for (const int size : {64, 100, 257}) {
        SCOPED_TRACE(size);
        const Picture both(NearAndFar(false), size);
        const Picture nearAlone(OneOfNearAndFar(true), size);
        const Picture farAlone(OneOfNearAndFar(false), size);
        ASSERT_GT(nearAlone.Count(RED, {RED, BLUE}), 64u);
        size_t compared = 0;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                if (nearAlone.At(x, y)[3] != 0) continue;
                ++compared;
                ASSERT_TRUE(std::equal(farAlone.At(x, y), farAlone.At(x, y) + 4, both.At(x, y))) << x << "," << y;
            }
        }
        EXPECT_GT(compared, size_t(size * size / 4));
    }
}

// Two copies of one quad at the same place, one red and one blue, its
// triangles in the order given (indices into the red quad's two, then the
// blue's); drawn lists the triangles kept.
Model TwoCopies(const std::array<size_t, 4>& order, const std::vector<size_t>& drawn = {0, 1, 2, 3}) {
    Model model = Empty(2, 1, {RED, BLUE});
    const std::array<std::array<uint8_t, 3>, 4> corners = {{{32, 16, 64}, {32, 48, 64}, {32, 48, 0}, {32, 16, 0}}};
    AddQuad(model, corners, {{{0, 0}, {0, 0}, {0, 0}, {0, 0}}});
    AddQuad(model, corners, {{{1, 0}, {1, 0}, {1, 0}, {1, 0}}});
    const std::vector<mdlwriter::Triangle> triangles = model.triangles;
    model.triangles.clear();
    for (const size_t t : order)
        if (std::find(drawn.begin(), drawn.end(), t) != drawn.end()) model.triangles.push_back(triangles[t]);
    return model;
}

// Faces that lie on one another are equally near everywhere: one of them
// shows whole, the same one whatever their order in the file.
TEST(Thumbnail, FacesOnOneAnotherShowOneOfThemWhateverTheirOrder) {
    const Picture redAlone(TwoCopies({0, 1, 2, 3}, {0, 1}), 100);
    const Picture blueAlone(TwoCopies({0, 1, 2, 3}, {2, 3}), 100);
    ASSERT_GT(redAlone.Count(RED, {RED, BLUE}), 1000u);
    ASSERT_GT(blueAlone.Count(BLUE, {RED, BLUE}), 1000u);
    const std::array<size_t, 4> orders[] = {{0, 1, 2, 3}, {2, 3, 0, 1}, {0, 2, 1, 3}, {3, 1, 2, 0}};
    const Picture first(TwoCopies(orders[0]), 100);
    EXPECT_TRUE(first.rgba == redAlone.rgba || first.rgba == blueAlone.rgba) << "the copies' colours mixed";
    for (const auto& order : orders) {
        SCOPED_TRACE(::testing::PrintToString(order));
        EXPECT_TRUE(Picture(TwoCopies(order), 100).rgba == first.rgba);
    }
}

// The sample grids kept from one picture for the next change none: a
// picture comes out the same after a larger one, after a smaller one, and
// while others of other sizes are drawn on other threads.
TEST(Thumbnail, IsTheSameWhateverIsDrawnBeforeOrBesideIt) {
    PluginHarness harness;
    const ImportCapture capture = harness.Import(TwoCopies({0, 1, 2, 3}));
    const ReceivedModel model = ReceiveModel(capture);
    const ExportMesh mesh(model);
    Pose rest;
    ExportPoses(model, MdlGroups(), mesh, PoseNormals::Smooth).Compute(0, rest);
    const auto draw = [&](int size) { return DrawThumbnail(model, mesh, rest, size); };
    const std::vector<uint8_t> alone = draw(64);
    ASSERT_NE(std::count(alone.begin(), alone.end(), uint8_t(255)), 0);
    for (const int before : {200, 16}) {
        draw(before);
        EXPECT_TRUE(draw(64) == alone) << "after a picture of " << before;
    }
    std::vector<std::future<std::vector<uint8_t>>> beside;
    for (int i = 0; i < 6; ++i) beside.push_back(std::async(std::launch::async, draw, i % 2 == 0 ? 64 : 97));
    for (int i = 0; i < 6; i += 2) EXPECT_TRUE(beside[size_t(i)].get() == alone) << "beside others, " << i;
}

TEST(Thumbnail, IsWrittenBesideTheModelAtTheSizeAsked) {
    struct Case {
        const char* name;
        Model model;
        int size;
        int expected;  // the PNG's width and height; 0 for no file
        const char* note;
    };
    const Case cases[] = {
        {"default size", Billboard(), THUMBNAIL_DEFAULT_SIZE, 256, ""},
        {"one pixel", Billboard(), 1, 1, ""},
        {"none asked", Billboard(), 0, 0, ""},
        {"no mesh", SmallModel(3, 1, {}), THUMBNAIL_DEFAULT_SIZE, 0, "no mesh, so there is no"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char pattern[] = "/tmp/mdlthumb.XXXXXX";
        const fs::path folder = mkdtemp(pattern);
        PluginHarness harness;
        const ImportCapture capture = harness.Import(c.model);
        ExportMessages messages;
        ExportOptions options;
        options.thumbnail = c.size;
        EXPECT_TRUE(ExportScene(ReceiveModel(capture), folder, options, messages)) << messages.Lines();
        EXPECT_NE(messages.Lines().find(c.note), std::string::npos) << messages.Lines();
        const fs::path file = folder / "thumbnail.png";
        ASSERT_EQ(fs::exists(file), c.expected > 0);
        if (c.expected > 0) {
            std::ifstream in(file, std::ios::binary);
            const std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            int width = 0, height = 0, channels = 0;
            stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()), int(png.size()),
                                                    &width, &height, &channels, 4);
            ASSERT_NE(pixels, nullptr);
            EXPECT_EQ(width, c.expected);
            EXPECT_EQ(height, c.expected);
            EXPECT_EQ(channels, 4);
            stbi_image_free(pixels);
        }
        fs::remove_all(folder);
    }
}

// A byte that looks random, of a pixel's channel.
uint8_t Mixed(int32_t x, int32_t y, int32_t k) {
    uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(k) * 83492791u;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return uint8_t(h >> 24);
}

// The picture's PNG holds exactly the pixels given, whichever neighbour
// each byte is predicted from: flat, ramps across and down (the left and the
// upper), a slope both ways and blocks (the corner between them), and noise.
TEST(Thumbnail, PngHoldsThePixelsWhateverTheirNeighbours) {
    struct Case {
        const char* name;
        int32_t width, height;
        uint8_t (*value)(int32_t x, int32_t y, int32_t channel);
    };
    const Case cases[] = {
        {"one pixel", 1, 1, [](int32_t, int32_t, int32_t k) { return uint8_t(40 * k + 7); }},
        {"transparent", 64, 64, [](int32_t, int32_t, int32_t) { return uint8_t(0); }},
        {"ramp across", 65, 9, [](int32_t x, int32_t, int32_t k) { return uint8_t(x * 3 + k); }},
        {"ramp down", 33, 40, [](int32_t, int32_t y, int32_t k) { return uint8_t(y * 5 + k); }},
        {"both ways", 50, 50, [](int32_t x, int32_t y, int32_t k) { return uint8_t(x * 7 + y * 3 + k * 50); }},
        {"blocks", 48, 48, [](int32_t x, int32_t y, int32_t k) { return uint8_t((x / 8 + y / 8) % 2 * 200 + k); }},
        {"noise", 31, 17,
         [](int32_t x, int32_t y, int32_t k) {
             return uint8_t(uint32_t(x * 7919 + y * 104729 + k * 31) * 2654435761u >> 24);
         }},
        // Rows many times as wide as eight pixels, each byte apart from its
        // neighbours; and of few levels, so that every way three neighbours
        // can tie comes up again and again.
        {"wide noise", 517, 64, [](int32_t x, int32_t y, int32_t k) { return Mixed(x, y, k); }},
        {"wide noise of few levels", 301, 64,
         [](int32_t x, int32_t y, int32_t k) { return uint8_t(Mixed(x, y, k) >> 5 << 5); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> rgba;
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x)
                for (int32_t k = 0; k < 4; ++k) rgba.push_back(c.value(x, y, k));
        const std::string png = EncodePngRgba(c.width, c.height, rgba);
        int width = 0, height = 0, channels = 0;
        stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(png.data()), int(png.size()), &width,
                                                &height, &channels, 4);
        ASSERT_NE(pixels, nullptr) << stbi_failure_reason();
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(channels, 4);
        EXPECT_TRUE(std::equal(rgba.begin(), rgba.end(), pixels));
        stbi_image_free(pixels);
    }
}

}  // namespace
