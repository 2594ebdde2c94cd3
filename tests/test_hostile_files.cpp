// Files from strangers: cut short, lying headers, the fuzzer's finds. None
// may crash the plug-in, and every one either loads or is a clean failure.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mdl/mdl_groups.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Model;
using mdlwriter::PatchInt32;

const char LOAD_FAILED[] = "Error loading *.mdl file";
const char NOT_MDL[] = "Sorry, but this file iz not .MDL";

enum class Outcome { Loads, Fails, Either };

// What the host may see of any file: all five lists with consistent records,
// or a load failure with nothing delivered.
Outcome Check(const ImportCapture& report) {
    EXPECT_EQ(report.result, 1);
    if (!report.deliveries.empty()) {
        EXPECT_TRUE(report.messageBoxes.empty());
        EXPECT_EQ(report.deliveries.size(), 5u);
        const std::vector<_FACE> faces = report.Records<_FACE>(PM_FACES);
        const std::vector<_FACEMAP> maps = report.Records<_FACEMAP>(PM_FACEMAPS);
        EXPECT_EQ(faces.size(), maps.size());
        for (size_t k = 0; k < maps.size(); ++k) EXPECT_EQ(maps[k].face, int32_t(k));
        return Outcome::Loads;
    }
    EXPECT_FALSE(report.messageBoxes.empty());
    if (!report.messageBoxes.empty()) {
        EXPECT_EQ(report.messageBoxes.back().text, LOAD_FAILED);
    }
    return Outcome::Fails;
}

Model Valid() { return SmallModel(4, 3, {"stand1", "stand2", "run1"}, 2); }

TEST(TruncationSweep, EveryCutBeforeTheEndFailsAndTrailingBytesAreIgnored) {
    std::vector<uint8_t> bytes = Valid().Bytes();
    const size_t end = bytes.size();
    bytes.insert(bytes.end(), 5, 0xAB);
    PluginHarness harness;
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const ImportCapture report = harness.Import(std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(cut)));
        const Outcome outcome = Check(report);
        if (cut < 4) {
            EXPECT_EQ(BoxTexts(report), (std::vector<std::string>{NOT_MDL, LOAD_FAILED})) << "cut at " << cut;
        } else if (cut < end) {
            EXPECT_EQ(BoxTexts(report), std::vector<std::string>{LOAD_FAILED}) << "cut at " << cut;
        } else {
            EXPECT_EQ(outcome, Outcome::Loads) << "cut at " << cut;
        }
    }
}

struct HeaderCase {
    std::string name;
    size_t offset;
    int32_t value;
    Outcome expected;
};

std::vector<HeaderCase> HostileHeaders() {
    struct Field {
        const char* name;
        size_t offset;
    };
    const Field fields[] = {{"numskins", mdlwriter::OFFSET_NUMSKINS},   {"skinwidth", mdlwriter::OFFSET_SKINWIDTH},
                            {"skinheight", mdlwriter::OFFSET_SKINHEIGHT}, {"numverts", mdlwriter::OFFSET_NUMVERTS},
                            {"numtris", mdlwriter::OFFSET_NUMTRIS},       {"numframes", mdlwriter::OFFSET_NUMFRAMES}};
    const struct {
        const char* name;
        int32_t value;
    } values[] = {{"IntMax", INT_MAX}, {"IntMin", INT_MIN}, {"MinusOne", -1}, {"Zero", 0}, {"Large", 0x40000000}};
    std::vector<HeaderCase> cases;
    for (const Field& field : fields) {
        for (const auto& value : values) {
            // Counts of 0 or less for skins and frames read no entries; the
            // rest of the file then no longer lines up, so either is fine.
            Outcome expected = Outcome::Fails;
            if (value.value <= 0 && (field.offset == mdlwriter::OFFSET_NUMSKINS || field.offset == mdlwriter::OFFSET_NUMFRAMES))
                expected = Outcome::Either;
            if (value.value == 0 && field.offset != mdlwriter::OFFSET_SKINWIDTH && field.offset != mdlwriter::OFFSET_SKINHEIGHT)
                expected = Outcome::Either;
            cases.push_back({std::string(field.name) + value.name, field.offset, value.value, expected});
        }
    }
    return cases;
}

class HostileHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(HostileHeader, LoadsOrFailsCleanly) {
    std::vector<uint8_t> bytes = Valid().Bytes();
    PatchInt32(bytes, GetParam().offset, GetParam().value);
    PluginHarness harness;
    const Outcome outcome = Check(harness.Import(bytes));
    if (GetParam().expected != Outcome::Either) {
        EXPECT_EQ(outcome, GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCountAndDimension, HostileHeader, testing::ValuesIn(HostileHeaders()),
                         CaseName<HeaderCase>);

struct SizeCase {
    const char* name;
    int32_t numskins, skinwidth, skinheight, numverts, numtris, numframes;
};

class OverflowingSizes : public testing::TestWithParam<SizeCase> {};

TEST_P(OverflowingSizes, AreRefusedBeforeAnythingOfThatSizeIsTaken) {
    const SizeCase& c = GetParam();
    std::vector<uint8_t> bytes = Valid().Bytes();
    PatchInt32(bytes, mdlwriter::OFFSET_NUMSKINS, c.numskins);
    PatchInt32(bytes, mdlwriter::OFFSET_SKINWIDTH, c.skinwidth);
    PatchInt32(bytes, mdlwriter::OFFSET_SKINHEIGHT, c.skinheight);
    PatchInt32(bytes, mdlwriter::OFFSET_NUMVERTS, c.numverts);
    PatchInt32(bytes, mdlwriter::OFFSET_NUMTRIS, c.numtris);
    PatchInt32(bytes, mdlwriter::OFFSET_NUMFRAMES, c.numframes);
    PluginHarness harness;
    EXPECT_EQ(Check(harness.Import(bytes)), Outcome::Fails);
}

INSTANTIATE_TEST_SUITE_P(
    Table, OverflowingSizes,
    testing::Values(SizeCase{"SkinsFiftyThousandByFortyThreeThousand", 1, 50000, 43000, 4, 3, 3},
                    SizeCase{"SkinProductWraps32Bits", 1, 65536, 65537, 4, 3, 3},
                    SizeCase{"ManySkinsOfOnePixel", INT_MAX, 1, 1, 4, 3, 3},
                    SizeCase{"OneSkinDimensionZeroWithTriangles", 0, 0, 8, 4, 3, 3},
                    SizeCase{"TexCoordsWrap32Bits", 0, 4, 2, 0x15555556, 3, 3},
                    SizeCase{"TrianglesWrap32Bits", 0, 4, 2, 0, 0x10000001, 0},
                    SizeCase{"FramesWrap32Bits", 0, 4, 2, 0, 0, 0x7FFFFFFF},
                    SizeCase{"FrameVerticesWrap", 0, 4, 2, 0x40000001, 0, 2}),
    CaseName<SizeCase>);

// The fuzzer's corpus and every crash it ever found, replayed.
TEST(FuzzCorpus, EveryFileLoadsOrFailsCleanly) {
    PluginHarness harness;
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(MDL_FUZZ_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().string());
        Check(harness.Import(bytes));
        ++files;
    }
    EXPECT_GE(files, 7u);
}

// Groups, which the plug-in refuses and the converter ungroups: the
// plug-in's answer stays, and every bad group gets its reason.
const char GROUPS[] = "Sorry, but groups not supported in this plugin version";

// Two skins, the second a group of two; a single frame, then a group of
// three as the last entry.
Model WithGroups() {
    Model model = SmallModel(4, 3, {"stand1", "burn1", "burn2", "burn3"}, 3);
    model.skins[1] = mdlwriter::Skin::Group({0.1f, 0.2f}, {model.skins[1].indices, model.skins[2].indices});
    model.skins.pop_back();
    const std::vector<mdlwriter::Frame> burning(model.frames.begin() + 1, model.frames.end());
    model.frames.resize(1);
    model.frames.push_back(mdlwriter::Frame::Group({0.1f, 0.2f, 0.3f}, burning));
    return model;
}
constexpr size_t SKIN_GROUP_INTERVALS = 84 + (4 + 8) + 4 + 4;  // header, the single skin, type, count
constexpr size_t FRAME_GROUP_BYTES = 4 + 4 + 8 + 3 * 4 + 3 * (24 + 4 * 4);

TEST(GroupTruncationSweep, EveryCutIsRefusedAsBeforeAndUngroupsWithinItsSize) {
    const std::vector<uint8_t> bytes = WithGroups().Bytes();
    ASSERT_EQ(BoxTexts(PluginHarness().Import(bytes)), (std::vector<std::string>{GROUPS, LOAD_FAILED}));
    PluginHarness harness;
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + ptrdiff_t(cut));
        EXPECT_EQ(Check(harness.Import(head)), Outcome::Fails);
        const UngroupedModel ungrouped = UngroupModel(head.data(), head.size());
        EXPECT_LE(ungrouped.bytes.size(), cut);
        if (ungrouped.kind == UngroupedModel::Kind::Ungrouped) {
            EXPECT_EQ(Check(harness.Import(ungrouped.bytes)), cut == bytes.size() ? Outcome::Loads : Outcome::Fails);
        } else if (cut > SKIN_GROUP_INTERVALS) {
            EXPECT_EQ(ungrouped.kind, UngroupedModel::Kind::BadGroup);
            EXPECT_NE(ungrouped.reason.find(" is a group "), std::string::npos) << ungrouped.reason;
        }
    }
}

struct GroupCase {
    std::string name;
    std::function<void(Model&)> change;
    size_t cut;  // bytes cut off the end
    std::string reason;
};

class HostileGroup : public testing::TestWithParam<GroupCase> {};

TEST_P(HostileGroup, IsRefusedByThePluginAsAnyGroupAndNamedByTheConverter) {
    Model model = WithGroups();
    if (GetParam().change) GetParam().change(model);
    std::vector<uint8_t> bytes = model.Bytes();
    bytes.resize(bytes.size() - GetParam().cut);
    EXPECT_EQ(BoxTexts(PluginHarness().Import(bytes)), (std::vector<std::string>{GROUPS, LOAD_FAILED}));
    const UngroupedModel ungrouped = UngroupModel(bytes.data(), bytes.size());
    EXPECT_EQ(ungrouped.kind, UngroupedModel::Kind::BadGroup);
    EXPECT_EQ(ungrouped.reason, GetParam().reason);
    EXPECT_TRUE(ungrouped.bytes.empty());
}

std::vector<GroupCase> HostileGroups() {
    const auto skins = [](int32_t count) { return [count](Model& model) { model.skins[1].count = count; }; };
    const auto frames = [](int32_t count) { return [count](Model& model) { model.frames[1].count = count; }; };
    const size_t frameBytes = 24 + 4 * 4;
    return {
        {"SkinCountZero", skins(0), 0, "skin 1 is a group of 0 skins"},
        {"SkinCountNegative", skins(-1), 0, "skin 1 is a group of -1 skins"},
        {"SkinCountHuge", skins(INT_MAX), 0, "skin 1 is a group of 2147483647 skins, cut off inside its intervals"},
        {"SkinCountPastTheFile", skins(30), 0, "skin 1 is a group of 30 skins, cut off inside its skins"},
        {"FrameCountZero", frames(0), 0, "frame 1 is a group of 0 frames"},
        {"FrameCountNegative", frames(INT_MIN), 0, "frame 1 is a group of -2147483648 frames"},
        {"FrameCountPastAnAnimation", frames(32768), 0,
         "frame 1 is a group of 32768 frames, more than the 32767 an animation holds"},
        {"FramesPastTheEnd", {}, frameBytes / 2, "frame 1 is a group of 3 frames, cut off inside its frames"},
        {"FrameIntervalsCutShort", {}, 3 * frameBytes + 2, "frame 1 is a group of 3 frames, cut off inside its intervals"},
        {"FrameBoxCutShort", {}, 3 * frameBytes + 12 + 3, "frame 1 is a group of 3 frames, cut off inside its bounding box"},
        {"FrameCountCutOff", {}, FRAME_GROUP_BYTES - 6, "frame 1 is a group cut off before its count"},
    };
}

INSTANTIATE_TEST_SUITE_P(EveryCountAndCut, HostileGroup, testing::ValuesIn(HostileGroups()), CaseName<GroupCase>);

}  // namespace
