// One import run on every path: what the host receives, which boxes the user
// sees, the result, and that nothing of a run outlives it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "plugin/plugin.h"
#include "plugin_harness.h"

namespace {

using mdlwriter::Model;

const std::vector<uint32_t> ALL_FIVE = {PM_FACES, PM_VERTICES, PM_ANIMATIONS, PM_TEXTURES, PM_FACEMAPS};
const char LOAD_FAILED[] = "Error loading *.mdl file";
const char NOT_MDL[] = "Sorry, but this file iz not .MDL";
const char GROUPS[] = "Sorry, but groups not supported in this plugin version";

void ExpectLoadFailureBox(const MessageBoxSeen& box) {
    EXPECT_EQ(box.text, LOAD_FAILED);
    EXPECT_EQ(box.caption, std::optional<std::string>("Plugin"));
    EXPECT_EQ(box.type, 0x10u);
    EXPECT_EQ(box.owner, BoxOwner::Host);
}

void ExpectReaderBox(const MessageBoxSeen& box, const char* text) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, std::optional<std::string>("MDL load plugin"));
    EXPECT_EQ(box.type, 0x40u);
    EXPECT_EQ(box.owner, BoxOwner::Host);
}

void ExpectNoListsLeft() {
    EXPECT_EQ(vertexList, nullptr);
    EXPECT_EQ(faceList, nullptr);
    EXPECT_EQ(faceMapList, nullptr);
    EXPECT_EQ(textureList, nullptr);
    EXPECT_EQ(animationList, nullptr);
}

TEST(ImportRun, AModelThatReadsWellIsDeliveredInOrderAndAccepted) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(SmallModel(4, 3, {"stand1", "stand2", "run1"}, 2));
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.messageBoxes.empty());
    EXPECT_EQ(Sent(report), ALL_FIVE);
    for (const DeliverySeen& delivery : report.deliveries) EXPECT_TRUE(delivery.accepted);
    ExpectNoListsLeft();
}

TEST(ImportRun, AFileThatCannotBeOpenedGetsOnlyTheLoadFailure) {
    PluginHarness harness;
    const ImportCapture report = harness.ImportPath("/nonexistent/folder/model.mdl");
    EXPECT_EQ(report.result, 1);
    ASSERT_EQ(report.messageBoxes.size(), 1u);
    ExpectLoadFailureBox(report.messageBoxes[0]);
    EXPECT_TRUE(report.deliveries.empty());
    ExpectNoListsLeft();
}

TEST(ImportRun, AFolderAsThePathGetsOnlyTheLoadFailure) {
    // A folder opens for reading on some systems; its first read is an error, not an empty model.
    char folder[] = "/tmp/mdlfolder.XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    PluginHarness harness;
    const ImportCapture report = harness.ImportPath(folder);
    rmdir(folder);
    EXPECT_EQ(report.result, 1);
    ASSERT_EQ(report.messageBoxes.size(), 1u);
    ExpectLoadFailureBox(report.messageBoxes[0]);
    EXPECT_TRUE(report.deliveries.empty());
}

// Whatever follows, a file that does not start with "IDPO" is not a model.
struct FileCase {
    const char* name;
    std::vector<uint8_t> bytes;
};

class WrongMagic : public testing::TestWithParam<FileCase> {};

TEST_P(WrongMagic, GetsTheReaderMessageThenTheLoadFailure) {
    PluginHarness harness;
    const ImportCapture report = harness.Import(GetParam().bytes);
    EXPECT_EQ(report.result, 1);
    ASSERT_EQ(report.messageBoxes.size(), 2u);
    ExpectReaderBox(report.messageBoxes[0], NOT_MDL);
    ExpectLoadFailureBox(report.messageBoxes[1]);
    EXPECT_TRUE(report.deliveries.empty());
    EXPECT_TRUE(ScaleImageStandIn::calls.empty());
}

std::vector<uint8_t> WithMagic(const char* magic) {
    std::vector<uint8_t> bytes = SmallModel(3, 1, {"a1", "a2"}).Bytes();
    std::copy(magic, magic + 4, bytes.begin());
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, WrongMagic,
    testing::Values(FileCase{"RAPO", WithMagic("RAPO")}, FileCase{"OPDI", WithMagic("OPDI")},
                    FileCase{"IDP0", WithMagic("IDP0")}, FileCase{"LowerCase", WithMagic("idpo")},
                    FileCase{"Empty", {}}, FileCase{"ThreeBytes", {'I', 'D', 'P'}},
                    FileCase{"Zeros", std::vector<uint8_t>(200, 0)}),
    CaseName<FileCase>);

TEST(ImportRun, IdpoWithAnyVersionIsAModel) {
    PluginHarness harness;
    Model model = SmallModel(3, 1, {"a1"});
    model.version = -12345;
    EXPECT_TRUE(harness.Import(model).messageBoxes.empty());
}

TEST(ImportRun, ASkinGroupAfterAGoodSkinStopsTheImport) {
    PluginHarness harness;
    Model model = SmallModel(3, 1, {"a1", "a2"}, 2);
    model.skins[1].type = 1;
    const ImportCapture report = harness.Import(model);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(BoxTexts(report), (std::vector<std::string>{GROUPS, LOAD_FAILED}));
    ExpectReaderBox(report.messageBoxes[0], GROUPS);
    EXPECT_TRUE(report.deliveries.empty());
    EXPECT_EQ(ScaleImageStandIn::calls.size(), 1u);  // the good skin was converted
    ExpectNoListsLeft();
}

TEST(ImportRun, AFrameGroupAsALaterFrameStopsTheImport) {
    PluginHarness harness;
    Model model = SmallModel(3, 2, {"a1", "a2", "a3"});
    model.frames[2].type = -1;
    const ImportCapture report = harness.Import(model);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(BoxTexts(report), (std::vector<std::string>{GROUPS, LOAD_FAILED}));
    EXPECT_TRUE(report.deliveries.empty());
}

// The host refuses one list: the lists before it are delivered, the refused
// one was offered, later ones are not sent.
class HostRefuses : public testing::TestWithParam<size_t> {};

TEST_P(HostRefuses, StopsDeliveringAndSaysSo) {
    const size_t refused = GetParam();
    PluginHarness harness;
    harness.Host().Refuse(ALL_FIVE[refused]);
    const ImportCapture report = harness.Import(SmallModel(4, 2, {"a1", "a2"}));
    EXPECT_EQ(report.result, 0);
    EXPECT_EQ(Sent(report), std::vector<uint32_t>(ALL_FIVE.begin(), ALL_FIVE.begin() + ptrdiff_t(refused) + 1));
    for (size_t i = 0; i < refused; ++i) EXPECT_TRUE(report.deliveries[i].accepted);
    ASSERT_EQ(report.messageBoxes.size(), 1u);
    const MessageBoxSeen& box = report.messageBoxes[0];
    EXPECT_EQ(box.text, "error executing dll function");
    EXPECT_EQ(box.caption, std::nullopt);
    EXPECT_EQ(box.type, 0u);
    EXPECT_EQ(box.owner, BoxOwner::None);
    ExpectNoListsLeft();
}

INSTANTIATE_TEST_SUITE_P(EachMessage, HostRefuses, testing::Range(size_t(0), size_t(5)),
                         [](const testing::TestParamInfo<size_t>& param) {
                             return std::string(FindDelivery(ALL_FIVE[param.param])->name);
                         });

TEST(ImportRun, BeforeAnyInitWindowBoxesHaveNoOwnerAndNoWindowAccepts) {
    PluginHarness harness;
    InitWindow(nullptr);
    const ImportCapture good = harness.Import(SmallModel(3, 1, {"a1"}));
    EXPECT_EQ(good.result, 0);
    EXPECT_TRUE(good.deliveries.empty());
    EXPECT_EQ(BoxTexts(good), std::vector<std::string>{"error executing dll function"});
    EXPECT_EQ(good.messageBoxes[0].owner, BoxOwner::None);

    const ImportCapture bad = harness.Import(WithMagic("RAPO"));
    EXPECT_EQ(bad.result, 1);
    ASSERT_EQ(bad.messageBoxes.size(), 2u);
    EXPECT_EQ(bad.messageBoxes[0].owner, BoxOwner::None);
    EXPECT_EQ(bad.messageBoxes[1].owner, BoxOwner::None);
}

TEST(ImportRun, TwoRunsInARowDeliverOnlyTheSecondFilesRecords) {
    PluginHarness harness;
    harness.Import(SmallModel(6, 5, {"a1", "a2", "b1"}, 3));
    const ImportCapture second = harness.Import(SmallModel(3, 1, {"c1"}, 1));
    EXPECT_EQ(second.Find(PM_FACES)->count, 1);
    EXPECT_EQ(second.Find(PM_VERTICES)->count, 3);
    EXPECT_EQ(second.Find(PM_ANIMATIONS)->count, 0);
    EXPECT_EQ(second.Find(PM_TEXTURES)->count, 1);
    EXPECT_EQ(second.Find(PM_FACEMAPS)->count, 1);
}

TEST(ImportRun, EmptyListsAreStillSentWithAValidAddress) {
    PluginHarness harness;
    Model empty;
    const ImportCapture report = harness.Import(empty);
    EXPECT_EQ(report.result, 1);
    ASSERT_EQ(Sent(report), ALL_FIVE);
    for (const DeliverySeen& delivery : report.deliveries) {
        EXPECT_EQ(delivery.count, 0);
        EXPECT_NE(delivery.address, nullptr);
    }
}

TEST(ImportRun, ATruncatedFileIsALoadFailureWithoutAReaderMessage) {
    PluginHarness harness;
    std::vector<uint8_t> bytes = SmallModel(3, 1, {"a1", "a2"}).Bytes();
    bytes.resize(bytes.size() - 1);
    const ImportCapture report = harness.Import(bytes);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(BoxTexts(report), std::vector<std::string>{LOAD_FAILED});
    EXPECT_TRUE(report.deliveries.empty());
}

TEST(ImportRun, AHostStartingAnotherRunDuringADeliveryIsTurnedAway) {
    TempFile file(SmallModel(3, 1, {"a1"}).Bytes());
    int nested = -1;
    int deliveries = 0;
    HWND window = winstub::CreateWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        if (deliveries++ == 0) nested = ExecFunction(file.Path().c_str());
        return 1;
    });
    InitWindow(window);
    EXPECT_EQ(ExecFunction(file.Path().c_str()), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(deliveries, 5);
    winstub::DestroyWindow(window);
    InitWindow(nullptr);
    ScaleImageStandIn::Reset();
}

}  // namespace
