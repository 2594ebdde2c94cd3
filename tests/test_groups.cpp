// Models with skin and frame groups, as the converter takes them: the same
// model with single entries for the plug-in, the groups kept aside, and the
// export's animations timed by the groups' intervals.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include <tiny_gltf.h>

#include "export_scene.h"
#include "gltf_accessors.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Frame;
using mdlwriter::Model;
using mdlwriter::Skin;
namespace fs = std::filesystem;

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float INF = std::numeric_limits<float>::infinity();

// model with its frames [first, first + intervals.size()) made one group;
// group the later runs first, so that each first counts single frames.
Model GroupFrames(Model model, size_t first, std::vector<float> intervals) {
    const auto begin = model.frames.begin() + ptrdiff_t(first);
    const auto end = begin + ptrdiff_t(intervals.size());
    Frame group = Frame::Group(std::move(intervals), std::vector<Frame>(begin, end));
    model.frames.insert(model.frames.erase(begin, end), std::move(group));
    return model;
}

Model GroupSkins(Model model, size_t first, std::vector<float> intervals) {
    const auto begin = model.skins.begin() + ptrdiff_t(first);
    const auto end = begin + ptrdiff_t(intervals.size());
    std::vector<std::vector<uint8_t>> skins;
    for (auto skin = begin; skin != end; ++skin) skins.push_back(skin->indices);
    Skin group = Skin::Group(std::move(intervals), std::move(skins));
    model.skins.insert(model.skins.erase(begin, end), std::move(group));
    return model;
}

// Single frames, a group of three, a single one, a group of two; a single
// skin and a group of two. What the writer makes of it ungrouped is flat.
Model Flat() {
    Model model = SmallModel(4, 2, {"stand1", "stand2", "flame1", "flame2", "flame3", "flame4", "flame1", "flame2"}, 3);
    for (size_t i = 0; i < model.skins.size(); ++i) model.skins[i].indices[0] = uint8_t(10 * i);
    return model;
}
Model Grouped() {
    return GroupSkins(GroupFrames(GroupFrames(Flat(), 6, {0.05f, 0.1f}), 2, {0.1f, 0.25f, 0.3f}), 1, {0.2f, 0.4f});
}

UngroupedModel Ungroup(const std::vector<uint8_t>& bytes) { return UngroupModel(bytes.data(), bytes.size()); }

TEST(Ungroup, GivesTheModelWithSingleEntriesAndTheGroupsAside) {
    const UngroupedModel out = Ungroup(Grouped().Bytes());
    ASSERT_EQ(out.kind, UngroupedModel::Kind::Ungrouped) << out.reason;
    EXPECT_EQ(out.bytes, Flat().Bytes());
    EXPECT_EQ(out.groups.skinCount, 3);
    EXPECT_EQ(out.groups.frameCount, 8);
    ASSERT_EQ(out.groups.skins.size(), 1u);
    EXPECT_EQ(out.groups.skins[0].entry, 1);
    EXPECT_EQ(out.groups.skins[0].first, 1);
    EXPECT_EQ(out.groups.skins[0].intervals, (std::vector<float>{0.2f, 0.4f}));
    ASSERT_EQ(out.groups.frames.size(), 2u);
    EXPECT_EQ(out.groups.frames[0].entry, 2);
    EXPECT_EQ(out.groups.frames[0].first, 2);
    EXPECT_EQ(out.groups.frames[0].names, (std::vector<std::string>{"flame1", "flame2", "flame3"}));
    EXPECT_EQ(out.groups.frames[1].entry, 4);  // the file's fifth frame entry
    EXPECT_EQ(out.groups.frames[1].first, 6);
    EXPECT_EQ(out.groups.frames[1].intervals, (std::vector<float>{0.05f, 0.1f}));
}

TEST(Ungroup, LeavesFilesWithoutGroupsToThePlugin) {
    for (const std::vector<uint8_t>& bytes :
         {Flat().Bytes(), std::vector<uint8_t>{'I', 'D', 'P'}, std::vector<uint8_t>(200, 'x')}) {
        const UngroupedModel out = Ungroup(bytes);
        EXPECT_EQ(out.kind, UngroupedModel::Kind::NoGroups);
        EXPECT_TRUE(out.bytes.empty());
    }
}

// A group as the first and as the last entry: nothing before or after it.
TEST(Ungroup, GroupsAtEitherEndOfTheirSection) {
    Model model = GroupSkins(GroupFrames(GroupFrames(Flat(), 6, {0.1f, 0.2f}), 0, {0.1f, 0.2f}), 0, {0.1f, 0.2f, 0.3f});
    const UngroupedModel out = Ungroup(model.Bytes());
    ASSERT_EQ(out.kind, UngroupedModel::Kind::Ungrouped) << out.reason;
    EXPECT_EQ(out.bytes, Flat().Bytes());
    EXPECT_EQ(out.groups.frames.front().first, 0);
    EXPECT_EQ(out.groups.frames.back().first + 2, out.groups.frameCount);
    EXPECT_EQ(out.groups.skins.front().first, 0);
}

// Key times: 0, then the group's own ends where they increase; else evenly
// by the first interval, as GL renderers play them; else a tenth a frame.
TEST(GroupKeyTimes, FollowTheEndsOrStepEvenly) {
    struct Case {
        const char* name;
        std::vector<float> intervals;
        std::vector<float> keys;
    };
    const Case cases[] = {
        {"increasing", {0.05f, 0.1f, 0.3f}, {0, 0.05f, 0.1f, 0.3f}},
        {"one", {2.5f}, {0, 2.5f}},
        {"repeated", {0.1f, 0.1f}, {0, 0.1f, 0.2f}},
        {"falling", {0.2f, 0.1f, 0.15f}, {0, 0.2f, 0.4f, float(0.2f * 3.0)}},
        {"NaN later", {0.1f, NaN}, {0, 0.1f, 0.2f}},
        {"infinite later", {0.1f, INF}, {0, 0.1f, 0.2f}},
        {"zero first", {0, 0.1f}, {0, 0.1f, 0.2f}},
        {"negative first", {-1, 0.5f}, {0, 0.1f, 0.2f}},
        {"NaN first", {NaN, 0.5f, 0.2f}, {0, 0.1f, 0.2f, float(0.1 * 3)}},
        {"steps past a float", {3e38f, 1}, {0, 0.1f, 0.2f}},
    };
    for (const Case& c : cases) EXPECT_EQ(GroupKeyTimes(c.intervals), c.keys) << c.name;
}

// The grouped model through the plug-in and the export, read back.
class ExportedGroups {
public:
    explicit ExportedGroups(const Model& model, Interpolation interpolation = Interpolation::Step) {
        char pattern[] = "/tmp/mdlgroups.XXXXXX";
        folder = mkdtemp(pattern);
        const UngroupedModel ungrouped = Ungroup(model.Bytes());
        EXPECT_EQ(ungrouped.kind, UngroupedModel::Kind::Ungrouped) << ungrouped.reason;
        groups = ungrouped.groups;
        capture = harness.Import(ungrouped.bytes);
        received = ReceiveModel(capture);
        ExportMessages said;
        ExportOptions options;
        options.interpolation = interpolation;
        options.frames = true;
        EXPECT_TRUE(ExportScene(received, groups, OutputFolder(folder, said), options)) << said.Lines();
        std::string error, warning;
        EXPECT_TRUE(tinygltf::TinyGLTF().LoadBinaryFromFile(&gltf, &error, &warning, folder + "/model.glb")) << error;
    }
    ~ExportedGroups() { fs::remove_all(folder); }

    std::vector<float> Times(size_t a) const { return ReadAccessor<float>(gltf, gltf.animations[a].samplers[0].input); }
    std::vector<float> Weights(size_t a) const {
        return ReadAccessor<float>(gltf, gltf.animations[a].samplers[0].output);
    }

    PluginHarness harness;
    std::string folder;
    ImportCapture capture;
    ReceivedModel received;
    MdlGroups groups;
    tinygltf::Model gltf;
};

// Each group one animation keyed 0 and then its ends; the frames between
// groups by their stems, cut where a group begins; every frame shown,
// stepped, until the next key.
TEST(GroupExport, EveryFrameGroupIsAnAnimationTimedByItsIntervals) {
    const ExportedGroups out(Grouped());
    ASSERT_TRUE(out.received.Succeeded());
    const std::vector<tinygltf::Animation>& animations = out.gltf.animations;
    ASSERT_EQ(animations.size(), 4u);
    // The plug-in's one "flame" sequence of six frames is cut into the first
    // group, the single frame after it and the second group.
    const char* names[] = {"stand", "flame", "flame 2", "flame 3"};
    const std::vector<float> times[] = {{0, 0.1f, 0.2f}, {0, 0.1f, 0.25f, 0.3f}, {0, 0.1f}, {0, 0.05f, 0.1f}};
    for (size_t a = 0; a < 4; ++a) {
        EXPECT_EQ(animations[a].name, names[a]);
        EXPECT_EQ(out.Times(a), times[a]) << names[a];  // the last: 20 frames a second, as the file says
    }
    const size_t targets = 8;
    ASSERT_EQ(out.gltf.meshes[0].primitives[0].targets.size(), targets);
    const std::vector<float> weights = out.Weights(1);
    ASSERT_EQ(weights.size(), 4 * targets);
    for (size_t key = 0; key < 4; ++key) {
        const size_t shown = 2 + (key < 3 ? key : 2);  // the end holds the last frame
        for (size_t t = 0; t < targets; ++t)
            EXPECT_EQ(weights[key * targets + t], t == shown ? 1.0f : 0.0f) << "key " << key << ", target " << t;
    }
}

TEST(GroupExport, TargetsOfAGroupAreNamedByTheirFrames) {
    const ExportedGroups out(Grouped());
    const tinygltf::Value& names = out.gltf.meshes[0].extras.Get("targetNames");
    const std::vector<std::string> expected = {"stand 0", "stand 1", "flame1",    "flame2",
                                               "flame3",  "flame 2 0", "flame1", "flame2"};
    ASSERT_EQ(names.ArrayLen(), expected.size());
    for (size_t t = 0; t < expected.size(); ++t) EXPECT_EQ(names.Get(int(t)).Get<std::string>(), expected[t]);
}

TEST(GroupExport, BlendedGroupsLoopBackToTheirFirstFrame) {
    const ExportedGroups out(GroupFrames(SmallModel(3, 1, {"a1", "a2", "a3"}), 0, {0.2f, 0.5f, 0.6f}),
                             Interpolation::Linear);
    ASSERT_EQ(out.gltf.animations.size(), 1u);
    EXPECT_EQ(out.gltf.animations[0].samplers[0].interpolation, "LINEAR");
    EXPECT_EQ(out.Times(0), (std::vector<float>{0, 0.2f, 0.5f, 0.6f}));
    const std::vector<float> weights = out.Weights(0);
    ASSERT_EQ(weights.size(), 4u * 3u);
    EXPECT_EQ(std::vector<float>(weights.end() - 3, weights.end()), (std::vector<float>{1, 0, 0}));
}

// Each skin of a group a material and a variant of its own, named for it,
// its glowing texels with it.
TEST(GroupExport, EverySkinOfAGroupIsAMaterialAndAVariant) {
    const ExportedGroups out(Grouped());
    ASSERT_EQ(out.gltf.materials.size(), 3u);
    const char* names[] = {"skin 0", "skin 1 frame 0", "skin 1 frame 1"};
    const tinygltf::Value& variants = out.gltf.extensions.at("KHR_materials_variants").Get("variants");
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(out.gltf.materials[i].name, names[i]);
        EXPECT_EQ(variants.Get(int(i)).Get("name").Get<std::string>(), names[i]);
        EXPECT_GE(out.gltf.materials[i].emissiveTexture.index, 0) << names[i];  // 252 to 254 glow
    }
}

}  // namespace
