// The reader's walk: sections in file order, what each one gives, and files
// that end early.
#include <gtest/gtest.h>

#include "plugin_harness.h"

namespace {

using mdlwriter::Model;

TEST(Reader, WithoutFramesGivesFacesAndTexturesButNoVerticesOrAnimations) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(SmallModel(3, 2, {}));
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(report.Find(PM_TEXTURES)->count, 1);
    EXPECT_EQ(report.Find(PM_FACES)->count, 2);
    EXPECT_EQ(report.Find(PM_FACEMAPS)->count, 2);
    EXPECT_EQ(report.Find(PM_VERTICES)->count, 0);
    EXPECT_EQ(report.Find(PM_ANIMATIONS)->count, 0);
}

TEST(Reader, OneFrameGivesVerticesButNoAnimation) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(SmallModel(5, 2, {"stand1"}));
    EXPECT_EQ(report.Find(PM_VERTICES)->count, 5);
    EXPECT_EQ(report.Find(PM_ANIMATIONS)->count, 0);
}

TEST(Reader, NoSkinsNoCallAndAnEmptyTextureList) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(SmallModel(3, 1, {"a1"}, 0));
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(ScaleImageStandIn::calls.empty());
    EXPECT_EQ(report.Find(PM_TEXTURES)->count, 0);
}

TEST(Reader, NegativeSkinAndFrameCountsMeanNoEntries) {
    PluginHarness harness;
    Model model = SmallModel(3, 1, {});
    model.skins.clear();
    std::vector<uint8_t> bytes = model.Bytes();
    mdlwriter::PatchInt32(bytes, mdlwriter::OFFSET_NUMSKINS, -5);
    mdlwriter::PatchInt32(bytes, mdlwriter::OFFSET_NUMFRAMES, -1);
    const ImportCapture report = harness.Import(bytes);
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.messageBoxes.empty());
    EXPECT_EQ(report.Find(PM_TEXTURES)->count, 0);
    EXPECT_EQ(report.Find(PM_FACES)->count, 1);
    EXPECT_EQ(report.Find(PM_VERTICES)->count, 0);
}

TEST(Reader, BytesAfterTheLastFrameAreIgnored) {
    PluginHarness harness;
    const Model model = SmallModel(4, 3, {"a1", "a2"});
    const ImportCapture plain = harness.Import(model);
    std::vector<uint8_t> bytes = model.Bytes();
    bytes.insert(bytes.end(), 1000, 0xEE);
    const ImportCapture trailing = harness.Import(bytes);
    EXPECT_TRUE(trailing.messageBoxes.empty());
    EXPECT_EQ(trailing.Find(PM_VERTICES)->records, plain.Find(PM_VERTICES)->records);
    EXPECT_EQ(trailing.Find(PM_FACEMAPS)->records, plain.Find(PM_FACEMAPS)->records);
}

TEST(Reader, ACutInsideTheHeaderAfterTheMagicIsASilentFailure) {
    PluginHarness harness;
    std::vector<uint8_t> bytes = SmallModel(3, 1, {"a1"}).Bytes();
    bytes.resize(40);
    const ImportCapture report = harness.Import(bytes);
    EXPECT_EQ(BoxTexts(report), std::vector<std::string>{"Error loading *.mdl file"});
}

}  // namespace
