// mdlhost's export read back as a viewer reads it: the right way round, one
// vertex per distinct corner, a morph target per frame, the skins unscaled.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>
#include <sstream>

#include <stb/stb_image.h>
#include <tiny_gltf.h>

#include "export_axes.h"
#include "export_scene.h"
#include "fullbright.h"
#include "gltf_accessors.h"
#include "mdl/palette.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Model;
namespace fs = std::filesystem;

class Exported {
public:
    explicit Exported(const Model& model, Interpolation interpolation = Interpolation::Step) {
        char pattern[] = "/tmp/mdlexport.XXXXXX";
        folder = mkdtemp(pattern);
        report = harness.Import(model);
        ExportMessages said;
        ExportOptions options;
        options.interpolation = interpolation;
        written = ExportScene(ReceiveModel(report), folder, options, said);
        messages = said.Lines();
        std::string error;
        std::string warning;
        if (fs::exists(folder + "/model.glb"))
            loaded = tinygltf::TinyGLTF().LoadBinaryFromFile(&gltf, &error, &warning, folder + "/model.glb");
    }
    ~Exported() { fs::remove_all(folder); }

    template <typename T>
    std::vector<T> Read(int accessorIndex) const {
        return ReadAccessor<T>(gltf, accessorIndex);
    }
    std::vector<uint32_t> Indices() const {
        const tinygltf::Primitive& primitive = gltf.meshes[0].primitives[0];
        if (gltf.accessors[size_t(primitive.indices)].componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
            return Read<uint32_t>(primitive.indices);
        const std::vector<uint16_t> shorts = Read<uint16_t>(primitive.indices);
        return std::vector<uint32_t>(shorts.begin(), shorts.end());
    }
    std::vector<float> Positions() const { return Read<float>(gltf.meshes[0].primitives[0].attributes.at("POSITION")); }
    // The image a material's texture shows, or nullptr without one.
    const tinygltf::Image* ImageOf(const tinygltf::TextureInfo& texture) const {
        return texture.index < 0 ? nullptr : &gltf.images[size_t(gltf.textures[size_t(texture.index)].source)];
    }
    const tinygltf::Image* SkinImage(size_t material) const {
        return ImageOf(gltf.materials[material].pbrMetallicRoughness.baseColorTexture);
    }

    PluginHarness harness;
    std::string folder;
    ImportCapture report;
    bool written = false;
    bool loaded = false;
    std::string messages;
    tinygltf::Model gltf;
};

// A tetrahedron with its corners on the file's +X (forward), +Y (left) and
// +Z (up) axes at 10, 20 and 30, wound clockwise seen from outside, as the
// format winds.
Model Tetrahedron() {
    Model model = SmallModel(4, 0, {"a1"});
    model.triangles = {{1, {0, 1, 2}}, {1, {0, 2, 3}}, {1, {0, 3, 1}}, {1, {1, 3, 2}}};
    const uint8_t corners[4][3] = {{0, 0, 0}, {10, 0, 0}, {0, 20, 0}, {0, 0, 30}};
    for (int j = 0; j < 4; ++j) std::memcpy(model.frames[0].vertices[size_t(j)].v, corners[j], 3);
    return model;
}

// The test's own statement of the turn and the winding, so that a fault in
// the export's shows: the host's x is the file's forward, y its up, z its
// left; glTF's X is the model's left, Y up, Z forward. The file winds front
// faces clockwise seen from outside, glTF counter-clockwise.
std::array<float, 3> Turned(const _VEC3& host) { return {host.z, host.y, host.x}; }
constexpr int GLTF_CORNER[3] = {0, 2, 1};

TEST(Export, IsTurnedNotMirroredAndFacesWindOutward) {
    const Exported out(Tetrahedron());
    ASSERT_TRUE(out.loaded) << out.messages;
    const std::vector<float> p = out.Positions();
    // Worked out by hand: the vertex on the file's left (+Y) lies at glTF +X,
    // up (+Z) at +Y, forward (+X) at +Z; each face's corners come in the
    // other order, counter-clockwise seen from outside, as glTF winds.
    using Corner = std::array<float, 3>;
    using Triangle = std::array<Corner, 3>;
    const std::set<Triangle> expected = {
        {{{0, 0, 0}, {20, 0, 0}, {0, 0, 10}}},   // file face 0 1 2: origin, left, forward
        {{{0, 0, 0}, {0, 30, 0}, {20, 0, 0}}},   // 0 2 3: origin, up, left
        {{{0, 0, 0}, {0, 0, 10}, {0, 30, 0}}},   // 0 3 1: origin, forward, up
        {{{0, 0, 10}, {20, 0, 0}, {0, 30, 0}}},  // 1 3 2: forward, left, up
    };
    std::set<Triangle> found;
    const std::vector<uint32_t> corners = out.Indices();
    for (size_t t = 0; t < corners.size(); t += 3) {
        Triangle triangle;
        for (size_t i = 0; i < 3; ++i) triangle[i] = {p[corners[t + i] * 3], p[corners[t + i] * 3 + 1], p[corners[t + i] * 3 + 2]};
        // Any corner may come first: the winding is the same.
        std::rotate(triangle.begin(), std::min_element(triangle.begin(), triangle.end()), triangle.end());
        found.insert(triangle);
    }
    EXPECT_EQ(found, expected);

    double volume = 0;
    const std::vector<uint32_t> indices = out.Indices();
    for (size_t t = 0; t < indices.size(); t += 3) {
        const float* a = &p[indices[t] * 3];
        const float* b = &p[indices[t + 1] * 3];
        const float* c = &p[indices[t + 2] * 3];
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0;
    }
    EXPECT_NEAR(volume, 10 * 20 * 30 / 6.0, 1e-3);
}

TEST(Export, HasOneVertexPerDistinctCorner) {
    const Exported out(SmallModel(7, 12, {"a1"}));
    ASSERT_TRUE(out.loaded);
    std::set<std::tuple<int32_t, int32_t, int32_t>> corners;
    const std::vector<_FACE> faces = out.report.Records<_FACE>(PM_FACES);
    const std::vector<_FACEMAP> maps = out.report.Records<_FACEMAP>(PM_FACEMAPS);
    for (size_t k = 0; k < faces.size(); ++k)
        for (int c = 0; c < 3; ++c) corners.insert({faces[k].vertex[c], maps[k].uv[c].u, maps[k].uv[c].v});
    EXPECT_EQ(out.Positions().size(), corners.size() * 3);
    EXPECT_GT(corners.size(), 7u);  // seam corners of back faces stand apart
    EXPECT_EQ(out.Indices().size(), faces.size() * 3);
}

// Of each morph target in order, across the animations, how many of its
// coordinates are not its own frame's: the rest position plus the offset
// against the host's frame, each glTF vertex found by its rest position,
// which must be its host vertex's alone.
std::vector<size_t> TargetsAgainstFrames(const Exported& out) {
    const tinygltf::Primitive& primitive = out.gltf.meshes[0].primitives[0];
    const std::vector<_VERTEX> vertices = out.report.Records<_VERTEX>(PM_VERTICES);
    std::map<std::array<float, 3>, size_t> hostVertex;
    for (size_t w = 0; w < vertices.size(); ++w) hostVertex[Turned({vertices[w].x, vertices[w].y, vertices[w].z})] = w;
    EXPECT_EQ(hostVertex.size(), vertices.size());
    const std::vector<float> base = out.Positions();
    const DeliverySeen* animations = out.report.Find(PM_ANIMATIONS);
    std::vector<size_t> wrong;
    for (const auto& animation : animations->animationData) {
        for (size_t f = 0; f < animation.size() / vertices.size(); ++f) {
            if (wrong.size() >= primitive.targets.size()) return wrong;
            const std::vector<float> offsets = out.Read<float>(primitive.targets[wrong.size()].at("POSITION"));
            size_t missed = 0;
            for (size_t j = 0; j < base.size() / 3; ++j) {
                const auto w = hostVertex.find({base[j * 3], base[j * 3 + 1], base[j * 3 + 2]});
                if (w == hostVertex.end()) {
                    missed += 3;
                    continue;
                }
                const std::array<float, 3> expected = Turned(animation[f * vertices.size() + w->second]);
                for (size_t a = 0; a < 3; ++a)
                    missed += std::fabs(base[j * 3 + a] + offsets[j * 3 + a] - expected[a]) > 1e-4 ? 1 : 0;
            }
            wrong.push_back(missed);
        }
    }
    return wrong;
}

TEST(Export, EveryAnimationFrameIsAMorphTargetFromTheRestPose) {
    const Exported out(SmallModel(5, 4, {"stand1", "stand2", "run1", "run2", "run3"}));
    ASSERT_TRUE(out.loaded);
    const tinygltf::Mesh& mesh = out.gltf.meshes[0];
    const tinygltf::Primitive& primitive = mesh.primitives[0];
    ASSERT_EQ(primitive.targets.size(), 5u);
    EXPECT_EQ(mesh.weights, std::vector<double>(5, 0.0));
    EXPECT_EQ(mesh.extras.Get("targetNames").Get(0).Get<std::string>(), "stand 0");
    EXPECT_EQ(mesh.extras.Get("targetNames").Get(4).Get<std::string>(), "run 2");
    ASSERT_EQ(out.gltf.animations.size(), 2u);
    EXPECT_EQ(out.gltf.animations[1].name, "run");
    EXPECT_EQ(out.gltf.animations[0].samplers[0].interpolation, "STEP");
    EXPECT_EQ(out.gltf.animations[0].channels[0].target_path, "weights");
    EXPECT_EQ(out.Read<float>(out.gltf.animations[1].samplers[0].input), (std::vector<float>{0.0f, 0.1f, 0.2f, 0.3f}));

    // SmallModel's frame-0 positions are distinct: each glTF vertex names its host vertex.
    EXPECT_EQ(TargetsAgainstFrames(out), std::vector<size_t>(5, 0));
}

// A model large enough that its poses are worked out ahead of the writer,
// on other threads, into a ring of buffers: each morph target is still its
// own frame's, in order, across the animations.
TEST(Export, AModelWorkedOutAheadHasEachFramesTargetInOrder) {
    constexpr int VERTICES = 4200;
    const std::vector<std::string> names = {"walk1", "walk2", "walk3", "walk4", "run1", "run2", "run3"};
    mdlwriter::Model model = SmallModel(VERTICES, VERTICES / 3, names);
    for (int k = 0; k < VERTICES / 3; ++k) model.triangles[size_t(k)] = {1, {k * 3, k * 3 + 1, k * 3 + 2}};
    for (size_t f = 0; f < names.size(); ++f)
        for (int j = 0; j < VERTICES; ++j)
            model.frames[f].vertices[size_t(j)] = {{uint8_t(j % 256), uint8_t(j / 256 + f * 16), uint8_t(f * 30)}, 0};
    const Exported out(model);
    ASSERT_TRUE(out.loaded) << out.messages;
    const tinygltf::Primitive& primitive = out.gltf.meshes[0].primitives[0];
    ASSERT_EQ(primitive.targets.size(), names.size());

    EXPECT_EQ(TargetsAgainstFrames(out), std::vector<size_t>(names.size(), 0));
}

TEST(Export, LinearInterpolationOnRequest) {
    const Exported out(SmallModel(3, 1, {"a1", "a2"}), Interpolation::Linear);
    ASSERT_TRUE(out.loaded);
    EXPECT_EQ(out.gltf.animations[0].samplers[0].interpolation, "LINEAR");
}

// Every animation keys each frame a tenth of a second apart and then its
// end: stepped, the last frame held; blended, back to the first. The same
// in dense weights and, past 1,024 frames, sparse ones.
TEST(Export, EveryAnimationEndsAFrameAfterItsLast) {
    struct Case {
        const char* name;
        int frames[2];  // of the two animations
        Interpolation interpolation;
    };
    const Case cases[] = {
        {"dense, stepped", {3, 1}, Interpolation::Step},
        {"dense, blended", {3, 1}, Interpolation::Linear},
        {"sparse, stepped", {600, 430}, Interpolation::Step},
        {"sparse, blended", {600, 430}, Interpolation::Linear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> names;
        for (const int f : {0, 1})
            for (int i = 1; i <= c.frames[f]; ++i) names.push_back(std::string(f == 0 ? "walk" : "die") + std::to_string(i));
        const Exported out(SmallModel(3, 1, names), c.interpolation);
        ASSERT_TRUE(out.loaded);
        const size_t targets = names.size();
        ASSERT_EQ(out.gltf.animations.size(), 2u);
        size_t first = 0;
        for (size_t a = 0; a < 2; ++a) {
            const size_t frames = size_t(c.frames[a]);
            const std::vector<float> times = out.Read<float>(out.gltf.animations[a].samplers[0].input);
            const std::vector<float> weights = out.Read<float>(out.gltf.animations[a].samplers[0].output);
            ASSERT_EQ(times.size(), frames + 1);
            ASSERT_EQ(weights.size(), times.size() * targets);
            for (size_t key = 0; key <= frames; ++key) {
                EXPECT_EQ(times[key], float(key / 10.0));
                const size_t shown = key < frames ? first + key
                                     : c.interpolation == Interpolation::Linear ? first
                                                                                 : first + frames - 1;
                size_t ones = 0;
                for (size_t t = 0; t < targets; ++t) ones += weights[key * targets + t] != 0.0f;
                EXPECT_EQ(ones, 1u) << "key " << key;
                EXPECT_EQ(weights[key * targets + shown], 1.0f) << "key " << key;
            }
            first += frames;
        }
    }
}

TEST(Export, SkinsAreThePaletteExpansionUnscaledAndSelectable) {
    Model model = SmallModel(3, 1, {"a1"}, 2);
    model.skinwidth = 3;  // not a power of two: the host's copy would be rescaled
    model.skinheight = 1;
    model.skins[0].indices = {0, 15, 251};
    model.skins[1].indices = {100, 200, 255};
    const Exported out(model);
    ASSERT_TRUE(out.loaded);
    ASSERT_EQ(out.gltf.materials.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_NE(out.SkinImage(i), nullptr);
        const tinygltf::Image& image = *out.SkinImage(i);
        ASSERT_EQ(image.width, 3);
        ASSERT_EQ(image.height, 1);
        for (size_t x = 0; x < 3; ++x) {
            const _COLOR& colour = QUAKE_PALETTE[model.skins[i].indices[x]];
            const unsigned char* pixel = &image.image[x * size_t(image.component)];
            EXPECT_EQ(std::vector<int>(pixel, pixel + 3), (std::vector<int>{colour.r, colour.g, colour.b}));
        }
        EXPECT_EQ(out.gltf.materials[i].pbrMetallicRoughness.metallicFactor, 0.0);
    }
    EXPECT_EQ(out.gltf.samplers[0].magFilter, TINYGLTF_TEXTURE_FILTER_NEAREST);
    EXPECT_EQ(out.gltf.meshes[0].primitives[0].material, 0);
    const tinygltf::Value& variants = out.gltf.extensions.at("KHR_materials_variants").Get("variants");
    EXPECT_EQ(variants.Get(1).Get("name").Get<std::string>(), "skin 1");
}

// The rule stated apart from the export's: the palette's last 32 entries
// glow, but for 247, whose colour entry 76 has too.
bool Glows(uint8_t index) { return index >= 224 && index != 247; }

std::vector<int> Rgb(const unsigned char* pixel) { return {pixel[0], pixel[1], pixel[2]}; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A colour glows when it is that of an entry from 224 on and of none before
// it: every colour of the palette, and every colour that takes its red from
// one glowing entry and its green and blue from another, which is mostly
// neither's.
TEST(Export, FullbrightColoursAreTheLastEntriesThatNoLitEntryShares) {
    const auto same = [](const _COLOR& a, const _COLOR& b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
    std::vector<_COLOR> glowing;
    for (int n = 0; n < 256; ++n) {
        bool lit = n < 224;
        for (int m = 0; m < 224 && !lit; ++m) lit = same(QUAKE_PALETTE[m], QUAKE_PALETTE[n]);
        EXPECT_EQ(IsFullbright(QUAKE_PALETTE[n]), !lit) << "entry " << n;
        if (!lit) glowing.push_back(QUAKE_PALETTE[n]);
    }
    ASSERT_GT(glowing.size(), 16u);
    for (const _COLOR& a : glowing) {
        for (const _COLOR& b : glowing) {
            _COLOR mixed = b;
            mixed.r = a.r;
            const bool any =
                std::any_of(glowing.begin(), glowing.end(), [&](const _COLOR& c) { return same(c, mixed); });
            EXPECT_EQ(IsFullbright(mixed), any) << int(mixed.r) << " " << int(mixed.g) << " " << int(mixed.b);
        }
    }
}

// Each skin that has fullbright texels glows with exactly those, at their own
// colour, in the GLB's material and in the OBJ's; one without them has no
// glow and no file for it.
TEST(Export, FullbrightTexelsGlowAtTheirOwnColourAndNoOthers) {
    Model model = SmallModel(3, 1, {"a1"}, 3);
    model.skinwidth = 4;
    model.skinheight = 4;
    model.skins[0].indices = {224, 235, 15, 76,   // a fullbright quadrant at the top left,
                              251, 255, 247, 0,   // the rest lit, 247 among them
                              100, 200, 223, 16,
                              8, 76, 247, 128};
    model.skins[1].indices = std::vector<uint8_t>(16, 247);
    model.skins[2].indices = std::vector<uint8_t>(16, 244);
    model.skins[2].indices[5] = 76;
    const Exported out(model);
    ASSERT_TRUE(out.loaded);
    ASSERT_EQ(out.gltf.materials.size(), 3u);
    const std::string mtl = ReadFile(out.folder + "/model.mtl");
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::vector<uint8_t>& indices = model.skins[i].indices;
        const bool glows = std::any_of(indices.begin(), indices.end(), Glows);
        const tinygltf::Material& material = out.gltf.materials[i];
        const tinygltf::Image* glow = out.ImageOf(material.emissiveTexture);
        const std::string file = out.folder + "/texture" + std::to_string(i) + "_fullbright.png";
        ASSERT_EQ(glow != nullptr, glows);
        ASSERT_EQ(fs::exists(file), glows);
        if (!glows) continue;
        EXPECT_EQ(material.emissiveFactor, (std::vector<double>{1, 1, 1}));
        EXPECT_EQ(out.gltf.textures[size_t(material.emissiveTexture.index)].sampler,
                  out.gltf.textures[size_t(material.pbrMetallicRoughness.baseColorTexture.index)].sampler);
        int width = 0, height = 0, channels = 0;
        stbi_uc* obj = stbi_load(file.c_str(), &width, &height, &channels, 3);
        ASSERT_NE(obj, nullptr);
        ASSERT_EQ(width * height, 16);
        ASSERT_EQ(glow->width * glow->height, 16);
        for (size_t p = 0; p < 16; ++p) {
            const _COLOR& colour = QUAKE_PALETTE[indices[p]];
            const std::vector<int> expected =
                Glows(indices[p]) ? std::vector<int>{colour.r, colour.g, colour.b} : std::vector<int>{0, 0, 0};
            EXPECT_EQ(Rgb(&glow->image[p * size_t(glow->component)]), expected) << p;
            EXPECT_EQ(Rgb(&obj[p * 3]), expected) << p;
            EXPECT_EQ(Rgb(&out.SkinImage(i)->image[p * size_t(out.SkinImage(i)->component)]),
                      (std::vector<int>{colour.r, colour.g, colour.b}));
        }
        stbi_image_free(obj);
    }
    // The OBJ's one material is the first skin's.
    EXPECT_NE(mtl.find("map_Kd texture0.png\nKe 1 1 1\nmap_Ke texture0_fullbright.png\n"), std::string::npos) << mtl;
}

TEST(Export, ManyVerticesTakeWideIndices) {
    const Exported out(SmallModel(70000, 70000, {"a1"}, 0));
    ASSERT_TRUE(out.loaded);
    const tinygltf::Primitive& primitive = out.gltf.meshes[0].primitives[0];
    EXPECT_EQ(out.gltf.accessors[size_t(primitive.indices)].componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
}

TEST(Export, AModelWithoutFramesHasSkinsButNoMesh) {
    const Exported out(SmallModel(3, 1, {}));
    ASSERT_TRUE(out.loaded);
    EXPECT_TRUE(out.gltf.meshes.empty());
    ASSERT_EQ(out.gltf.materials.size(), 1u);
    EXPECT_NE(out.SkinImage(0), nullptr);
    EXPECT_NE(out.messages.find("no frames"), std::string::npos);
}

// Each animation's weights count its frames times every target: past 2^32
// glTF's sparse indices cannot name them, and the GLB is refused unwritten.
// Five sequences of the longest the plug-in reads: 32767 x 163835 weights.
TEST(Export, WeightsPastWhatSparseIndicesNameAreRefused) {
    Model model = SmallModel(3, 1, {});
    for (const char* sequence : {"aa", "bb", "cc", "dd", "ee"})
        for (int f = 0; f < 32767; ++f)
            model.frames.push_back({0, mdlwriter::Frame::Name(sequence + std::to_string(f)),
                                    {{{0, 0, 0}, 0}, {{1, 0, 0}, 0}, {{0, 1, 0}, 0}}});
    const Exported out(model);
    EXPECT_FALSE(out.written);
    EXPECT_NE(out.messages.find("model.glb: too many animation frames"), std::string::npos) << out.messages;
    EXPECT_FALSE(fs::exists(out.folder + "/model.glb"));
}

TEST(Export, AFailedImportWritesNothing) {
    Model model = SmallModel(3, 1, {"a1"});
    model.ident[0] = 'X';
    const Exported out(model);
    EXPECT_FALSE(out.written);
    EXPECT_TRUE(fs::is_empty(out.folder));
}

// Every accessor of a model with seams, two skins and two animations, read
// back and checked against what the host received: each glTF vertex is the
// corner that its face names, each target the displacement of its own frame.
TEST(Export, EveryAccessorHoldsTheReceivedModel) {
    Model file = SmallModel(6, 8, {"stand1", "stand2", "run1", "run2", "run3"}, 2);
    for (size_t f = 0; f < file.frames.size(); ++f) {
        for (size_t j = 0; j < 6; ++j) {
            // Vertex 5 lies where vertex 0 does in every frame: one point, one normal.
            const size_t at = j == 5 ? 0 : j;
            file.frames[f].vertices[j].v[0] = uint8_t(at * 40 + f * 3);
            file.frames[f].vertices[j].v[1] = uint8_t((at * at * 17 + f * 30) % 251);
            file.frames[f].vertices[j].v[2] = uint8_t((at * 71 + f * 13) % 241);
        }
    }
    const Exported out(file);
    ASSERT_TRUE(out.loaded) << out.messages;
    const ReceivedModel model = ReceiveModel(out.report);
    std::vector<const _VEC3*> poses{model.vertices.data()};
    for (const ReceivedAnimation& animation : model.animations)
        for (size_t f = 0; f < animation.frames; ++f) poses.push_back(animation.Frame(f));
    ASSERT_EQ(poses.size(), 6u);

    // The normals a viewer should see: per point (same place in every pose),
    // the area-weighted sum of its faces' normals as the export winds them.
    const auto normalsOf = [&](const _VEC3* pose) {
        std::vector<std::array<double, 3>> sums(model.vertices.size(), {0, 0, 0});
        const auto samePoint = [&](size_t a, size_t b) {
            for (const _VEC3* p : poses)
                if (std::memcmp(&p[a], &p[b], sizeof(_VEC3)) != 0) return false;
            return true;
        };
        for (const Face& face : model.faces) {
            const Vec3 a = Turned(pose[face.corners[0].vertex]), b = Turned(pose[face.corners[2].vertex]),
                       c = Turned(pose[face.corners[1].vertex]);
            const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
            const double w[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
            const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            for (size_t v = 0; v < sums.size(); ++v)
                for (const Corner& corner : face.corners)
                    if (samePoint(v, size_t(corner.vertex)))
                        for (int k = 0; k < 3; ++k) sums[v][size_t(k)] += n[k];
        }
        std::vector<Vec3> normals;
        for (const auto& sum : sums) {
            const double length = std::sqrt(sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]);
            normals.push_back(length > 0 ? Vec3{float(sum[0] / length), float(sum[1] / length), float(sum[2] / length)}
                                         : Vec3{0, 1, 0});
        }
        return normals;
    };

    const tinygltf::Primitive& primitive = out.gltf.meshes[0].primitives[0];
    const std::vector<float> positions = out.Read<float>(primitive.attributes.at("POSITION"));
    const std::vector<float> normals = out.Read<float>(primitive.attributes.at("NORMAL"));
    const std::vector<float> uv = out.Read<float>(primitive.attributes.at("TEXCOORD_0"));
    const std::vector<uint32_t> indices = out.Indices();
    ASSERT_EQ(indices.size(), model.faces.size() * 3);
    ASSERT_EQ(primitive.targets.size(), poses.size() - 1);
    const std::vector<Vec3> restNormals = normalsOf(poses[0]);
    std::set<uint32_t> seen;
    for (size_t t = 0; t < poses.size(); ++t) {
        const std::vector<Vec3> poseNormals = normalsOf(poses[t]);
        const std::vector<float> displaced = t == 0 ? positions : out.Read<float>(primitive.targets[t - 1].at("POSITION"));
        const std::vector<float> turned = t == 0 ? normals : out.Read<float>(primitive.targets[t - 1].at("NORMAL"));
        std::array<float, 3> low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
        for (size_t k = 0; k < model.faces.size(); ++k) {
            for (size_t i = 0; i < 3; ++i) {
                const Corner& corner = model.faces[k].corners[GLTF_CORNER[i]];
                const uint32_t g = indices[k * 3 + i];
                seen.insert(g);
                const Vec3 rest = Turned(poses[0][corner.vertex]);
                const Vec3 now = Turned(poses[t][corner.vertex]);
                for (size_t a = 0; a < 3; ++a) {
                    const float expected = t == 0 ? rest[a] : now[a] - rest[a];
                    ASSERT_EQ(displaced[g * 3 + a], expected) << "pose " << t << " face " << k << " corner " << i;
                    low[a] = std::min(low[a], expected);
                    high[a] = std::max(high[a], expected);
                    const float normal = t == 0 ? turned[g * 3 + a] : restNormals[size_t(corner.vertex)][a] + turned[g * 3 + a];
                    EXPECT_NEAR(normal, poseNormals[size_t(corner.vertex)][a], 1e-6) << "pose " << t << " vertex " << g;
                }
                if (t == 0) {
                    EXPECT_EQ(uv[g * 2], float(corner.uv.u / 256.0));
                    EXPECT_EQ(uv[g * 2 + 1], float(corner.uv.v / 256.0));
                }
            }
        }
        const int accessor = t == 0 ? primitive.attributes.at("POSITION") : primitive.targets[t - 1].at("POSITION");
        EXPECT_EQ(out.gltf.accessors[size_t(accessor)].minValues, std::vector<double>(low.begin(), low.end()));
        EXPECT_EQ(out.gltf.accessors[size_t(accessor)].maxValues, std::vector<double>(high.begin(), high.end()));
    }
    EXPECT_EQ(seen.size(), positions.size() / 3);  // every glTF vertex is some face's corner
    EXPECT_GT(seen.size(), model.vertices.size());  // seam corners stand apart

    // Each animation plays its own targets, one frame at a time, and ends a
    // frame after its last, which it holds till then.
    const size_t targets = primitive.targets.size();
    ASSERT_EQ(out.gltf.animations.size(), 2u);
    size_t first = 0;
    for (const tinygltf::Animation& animation : out.gltf.animations) {
        const std::vector<float> times = out.Read<float>(animation.samplers[0].input);
        const std::vector<float> weights = out.Read<float>(animation.samplers[0].output);
        ASSERT_EQ(weights.size(), times.size() * targets);
        const size_t frames = times.size() - 1;
        for (size_t f = 0; f <= frames; ++f) {
            EXPECT_EQ(times[f], float(f / 10.0));
            const size_t shown = first + std::min(f, frames - 1);
            for (size_t j = 0; j < targets; ++j) EXPECT_EQ(weights[f * targets + j], j == shown ? 1.0f : 0.0f);
        }
        first += frames;
    }
    EXPECT_EQ(first, targets);

    // The skins, exactly as passed to ScaleImage.
    ASSERT_EQ(out.gltf.materials.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_NE(out.SkinImage(i), nullptr);
        const tinygltf::Image& image = *out.SkinImage(i);
        const std::vector<_COLOR>& pixels = model.skins[i].pixels;
        ASSERT_EQ(size_t(image.width * image.height), pixels.size());
        for (size_t p = 0; p < pixels.size(); ++p) {
            const unsigned char* pixel = &image.image[p * size_t(image.component)];
            EXPECT_EQ(std::vector<int>(pixel, pixel + 3), (std::vector<int>{pixels[p].r, pixels[p].g, pixels[p].b}));
        }
    }
}

// Whatever the plug-in makes of the fuzzer's corpus, the whole export runs
// through it: into a folder that keeps nothing, every file and frame.
TEST(Export, RunsWholeOnEveryFileOfTheFuzzCorpus) {
    PluginHarness harness;
    ExportOptions options;
    options.frames = true;
    for (const auto& entry : fs::directory_iterator(MDL_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const ImportCapture capture = harness.Import(bytes);
        const ReceivedModel model = ReceiveModel(capture);
        ExportMessages messages;
        EXPECT_EQ(ExportScene(model, OutputFolder::Nowhere(messages), options), model.Succeeded())
            << entry.path() << ": " << messages.Lines();
    }
}

}  // namespace
