// Frame names to stems, frames to sequences, sequences to animations.
#include <gtest/gtest.h>

#include <cstring>

#include "mdl/frames.h"
#include "mdl/geometry.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Model;

struct StemCase {
    const char* name;
    const char* stem;
};

class FrameStems : public testing::TestWithParam<StemCase> {};

TEST_P(FrameStems, CutTheFrameNumber) {
    char stem[16];
    std::memset(stem, 'X', sizeof stem);
    GetFrameBaseName(GetParam().name, stem);
    EXPECT_STREQ(stem, GetParam().stem) << "name '" << GetParam().name << "'";
}

INSTANTIATE_TEST_SUITE_P(Table, FrameStems,
                         testing::Values(StemCase{"stand1", "stand"}, StemCase{"walk10", "walk"},
                                         StemCase{"frame00", "frame"}, StemCase{"pain101", "pain1"},
                                         StemCase{"run0", "run0"}, StemCase{"base", "base"}, StemCase{"10", ""},
                                         StemCase{"0", "0"}, StemCase{"", ""}, StemCase{"100", "1"},
                                         StemCase{"pain2a", "pain"}, StemCase{"a0b", "a"}, StemCase{"x0", "x0"},
                                         StemCase{"abcdefghijklmno", "abcdefghijklmno"},
                                         StemCase{"abcdefghijklmn7", "abcdefghijklmn"},
                                         StemCase{"abcdefghijklm07", "abcdefghijklm"}));

struct Sequence {
    std::string stem;
    int16_t frames;
    bool operator==(const Sequence& other) const { return stem == other.stem && frames == other.frames; }
};

void PrintTo(const Sequence& s, std::ostream* out) { *out << "'" << s.stem << "' x" << s.frames; }

struct GroupingCase {
    const char* name;
    std::vector<std::string> frames;
    std::vector<Sequence> sequences;
};

std::vector<std::string> Numbered(const std::string& stem, int from, int to, int width) {
    std::vector<std::string> names;
    for (int i = from; i <= to; ++i) {
        std::string number = std::to_string(i);
        names.push_back(stem + std::string(size_t(width) > number.size() ? size_t(width) - number.size() : 0, '0') + number);
    }
    return names;
}

class FrameGroupingTable : public testing::TestWithParam<GroupingCase> {};

TEST_P(FrameGroupingTable, GivesOneAnimationPerSequence) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(SmallModel(2, 1, GetParam().frames));
    ASSERT_EQ(report.result, 1);
    std::vector<Sequence> sequences;
    for (const _ANIMATION& animation : report.Records<_ANIMATION>(PM_ANIMATIONS))
        sequences.push_back({animation.name, animation.frameCount});
    EXPECT_EQ(sequences, GetParam().sequences);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FrameGroupingTable,
    testing::Values(
        GroupingCase{"TwoFrames", {"stand1", "stand2"}, {{"stand", 2}}},
        GroupingCase{"ZeroStartsItsOwn", {"run0", "run1", "run2"}, {{"run0", 1}, {"run", 2}}},
        GroupingCase{"NineThenTen", {"walk9", "walk10"}, {{"walk", 2}}},
        GroupingCase{"LeadingZeros", Numbered("frame", 0, 19, 2), {{"frame", 20}}},
        GroupingCase{"StemComesBack", {"stand1", "stand2", "run1", "stand3"}, {{"stand", 2}, {"run", 1}, {"stand", 1}}},
        GroupingCase{"NameEqualToStem", {"stand1", "stand"}, {{"stand", 2}}},
        GroupingCase{"StemInsideTheName", {"run1", "jog2run"}, {{"run", 2}}},
        GroupingCase{"StemNotAtTheIndex", {"run1", "xrun1"}, {{"run", 1}, {"xrun", 1}}},
        GroupingCase{"LeadingInitialStem", {"@@@", "@@@7", "a1", "a2"}, {{"a", 2}}},
        GroupingCase{"OnlyInitialStem", {"@@@", "@@@1"}, {}},
        GroupingCase{"DigitsOnly", {"10", "11", "5", ""}, {{"", 4}}},
        GroupingCase{"SixteenthByteIgnored", {"abcdefghijklmnoX", "abcdefghijklmnoY"}, {{"abcdefghijklmno", 2}}},
        GroupingCase{"FifteenLettersContinueOnlyWhenEqual",
                     {"abcdefghijklmno", "abcdefghijklmno", "abcdefghijklmnp"},
                     {{"abcdefghijklmno", 2}, {"abcdefghijklmnp", 1}}},
        GroupingCase{"Sample", {"stand1", "stand2", "stand3", "stand4", "run1", "run2", "run3", "run4", "run5", "run6"},
                     {{"stand", 4}, {"run", 6}}}),
    CaseName<GroupingCase>);

TEST(Animations, CarryEveryFrameVertexByVertexInHostAxes) {
    Model model = SmallModel(3, 1, {"walk1", "walk2", "walk3", "jump1", "jump2"});
    model.scale[0] = 0.5f;
    model.scale[2] = 2;
    model.translate[1] = -1;
    PluginHarness harness;
    const ImportCapture report = harness.Import(model);
    const DeliverySeen* delivery = report.Find(PM_ANIMATIONS);
    const std::vector<_ANIMATION> animations = report.Records<_ANIMATION>(PM_ANIMATIONS);
    ASSERT_EQ(animations.size(), 2u);

    size_t frame = 0;
    for (size_t k = 0; k < animations.size(); ++k) {
        const _ANIMATION& animation = animations[k];
        EXPECT_EQ(animation.param, 100);
        EXPECT_EQ(animation.vertexCount, 3);
        EXPECT_EQ(animation.reserved, 0);
        EXPECT_EQ(animation.unused, 0u);
        const AnimationData& data = delivery->animationData[k];
        ASSERT_EQ(data.size(), size_t(animation.frameCount) * 3);
        for (int16_t f = 0; f < animation.frameCount; ++f, ++frame) {
            for (size_t w = 0; w < 3; ++w) {
                const mdlwriter::Vertex& p = model.frames[frame].vertices[w];
                const _VEC3& got = data[size_t(f) * 3 + w];
                EXPECT_EQ(got.x, p.v[0] * 0.5f) << "frame " << frame << " vertex " << w;
                EXPECT_EQ(got.y, p.v[2] * 2.0f);
                EXPECT_EQ(got.z, p.v[1] - 1.0f);
            }
        }
    }
    EXPECT_EQ(frame, 5u);

    // The first animation's first frame is the vertex list.
    const std::vector<_VERTEX> vertices = report.Records<_VERTEX>(PM_VERTICES);
    for (size_t w = 0; w < 3; ++w) {
        EXPECT_EQ(vertices[w].x, delivery->animationData[0][w].x);
        EXPECT_EQ(vertices[w].y, delivery->animationData[0][w].y);
        EXPECT_EQ(vertices[w].z, delivery->animationData[0][w].z);
    }
}

TEST(Animations, NameBytesAfterTheTerminatorCarryNothingOfTheFile) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(SmallModel(1, 0, {"abcdefghijklmnop", "abcdefghijklmnoq"}));
    const std::vector<_ANIMATION> animations = report.Records<_ANIMATION>(PM_ANIMATIONS);
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(std::string(animations[0].name), "abcdefghijklmno");  // the 16th byte is never read
}

// Fills the stack below the caller with a pattern, so that a record built
// on the stack and not cleared shows it.
__attribute__((noinline)) void PaintStack() {
    volatile uint8_t area[64 * 1024];
    for (size_t i = 0; i < sizeof area; ++i) area[i] = 0xA5;
}

TEST(Animations, RecordBytesAreExactPaddingIncluded) {
    const TempFile file(SmallModel(2, 1, {"stand1", "stand2", "run1", "jump1"}).Bytes());
    PluginHarness harness;
    PaintStack();
    const ImportCapture report = harness.ImportPath(file.Path());
    const std::vector<_ANIMATION> animations = report.Records<_ANIMATION>(PM_ANIMATIONS);
    ASSERT_EQ(animations.size(), 3u);
    const std::vector<uint8_t>& bytes = report.Find(PM_ANIMATIONS)->records;

    const struct {
        const char* stem;
        int16_t frames;
    } sequences[] = {{"stand", 2}, {"run", 1}, {"jump", 1}};
    // One record reused for all: a shorter stem leaves the end of a longer one.
    uint8_t expected[56] = {};
    for (size_t k = 0; k < 3; ++k) {
        std::memcpy(expected, sequences[k].stem, std::strlen(sequences[k].stem) + 1);
        const int16_t frameCountAndParam[2] = {sequences[k].frames, 100};
        const int32_t countAndReserved[2] = {2, 0};
        std::memcpy(expected + 36, frameCountAndParam, 4);
        std::memcpy(expected + 40, countAndReserved, 8);
        std::memcpy(expected + 48, &animations[k].data, 4);
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + ptrdiff_t(56 * k), bytes.begin() + ptrdiff_t(56 * k + 56)),
                  std::vector<uint8_t>(expected, expected + 56))
            << sequences[k].stem;
    }
}

// Frames named "a1" with one vertex each.
std::vector<uint8_t> LongSequence(int frames) {
    Model model = SmallModel(1, 0, {}, 0);
    mdlwriter::Frame frame;
    frame.name = mdlwriter::Frame::Name("a1");
    frame.vertices = {{{1, 2, 3}, 0}};
    model.frames.assign(size_t(frames), frame);
    return model.Bytes();
}

TEST(Animations, TheLongestSequenceAFrameCountHolds) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(LongSequence(MAX_SEQUENCE_FRAMES));
    const std::vector<_ANIMATION> animations = report.Records<_ANIMATION>(PM_ANIMATIONS);
    ASSERT_EQ(animations.size(), 1u);
    EXPECT_EQ(animations[0].frameCount, 32767);
}

TEST(Animations, ALongerSequenceIsRefusedRatherThanMiscounted) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(LongSequence(MAX_SEQUENCE_FRAMES + 1));
    EXPECT_EQ(BoxTexts(report), std::vector<std::string>{"Error loading *.mdl file"});
    EXPECT_TRUE(report.deliveries.empty());
}

TEST(Animations, AFramesSectionLargerThanTheFileIsRefused) {
    std::vector<uint8_t> bytes = SmallModel(3, 1, {"a1", "a2"}).Bytes();
    mdlwriter::PatchInt32(bytes, mdlwriter::OFFSET_NUMFRAMES, 3);
    PluginHarness harness;
    EXPECT_TRUE(harness.Import(bytes).deliveries.empty());
}

}  // namespace
