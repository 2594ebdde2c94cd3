// Files from strangers: cut short, lying headers, the fuzzer's finds. None
// may crash the plug-in, and every one either loads or is a clean failure.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>

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

}  // namespace
