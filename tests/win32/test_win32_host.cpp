// The real DLL in a Win32 host: exports through GetProcAddress, deliveries to
// a real window, message boxes as the user sees them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "mdl_writer.h"
#include "win32_host.h"

namespace {

using mdlwriter::Model;

const char NOT_MDL[] = "Sorry, but this file iz not .MDL";
const char GROUPS[] = "Sorry, but groups not supported in this plugin version";
const char LOAD_FAILED[] = "Error loading *.mdl file";
const char DELIVERY_FAILED[] = "error executing dll function";

class TempModel {
public:
    explicit TempModel(const std::vector<uint8_t>& bytes) {
        char folder[MAX_PATH];
        char name[MAX_PATH];
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "mdl", 0, name);
        path = name;
        mdlwriter::WriteFile(path, bytes);
    }
    ~TempModel() { DeleteFileA(path.c_str()); }
    std::string path;
};

Model Figure(int frames = 3) {
    Model model;
    model.skinwidth = 4;
    model.skinheight = 2;
    model.skins.push_back({0, {0, 1, 2, 3, 4, 5, 6, 255}});
    model.texCoords = {{0, 0, 0}, {1, 4, 2}, {0, 2, 1}};
    model.triangles = {{1, {0, 1, 2}}, {0, {2, 1, 0}}};
    for (int f = 0; f < frames; ++f) {
        mdlwriter::Frame frame;
        frame.name = mdlwriter::Frame::Name(f < 2 ? "idle" + std::to_string(f + 1) : "wave" + std::to_string(f));
        frame.vertices = {{{0, 0, 0}, 0}, {{uint8_t(f), 10, 20}, 0}, {{30, uint8_t(40 + f), 50}, 0}};
        model.frames.push_back(frame);
    }
    return model;
}

class Win32Import : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(host.Error(), ""); }

    ImportReport Run(const Model& model, bool initWindow = true) { return Run(model.Bytes(), initWindow); }
    ImportReport Run(const std::vector<uint8_t>& bytes, bool initWindow = true) {
        TempModel file(bytes);
        ImportReport report = host.Run(file.path, initWindow);
        FreeOfferedAnimationData(report);
        return report;
    }

    void ExpectBox(const MessageBoxSeen& box, const char* text, const char* caption, uint32_t icon, BoxOwner owner) {
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, std::optional<std::string>(caption));
        EXPECT_EQ(box.type, icon) << text;
        EXPECT_EQ(box.owner, owner) << text;
    }

    // The reader's own box, then the run's load failure; nothing delivered.
    void ExpectRefused(const ImportReport& report, const char* readerText, BoxOwner owner) {
        EXPECT_EQ(report.result, 1);
        EXPECT_TRUE(report.deliveries.empty());
        ASSERT_EQ(report.messageBoxes.size(), 2u);
        ExpectBox(report.messageBoxes[0], readerText, "MDL load plugin", MB_ICONINFORMATION, owner);
        ExpectBox(report.messageBoxes[1], LOAD_FAILED, "Plugin", MB_ICONERROR, owner);
    }

    Win32Host host;
};

TEST_F(Win32Import, ExportsByNameAreTheExportsByOrdinal) {
    // The host resolves both; a mismatch is reported as an error.
    EXPECT_EQ(host.Plugin().ExecFunction, host.PluginByOrdinal().ExecFunction);
    EXPECT_EQ(host.Plugin().GetType(), 1);
    EXPECT_EQ(host.Plugin().ReturnData(3, 4), 1);
    EXPECT_EQ(host.Plugin().InitWindow(host.Window()), 1);
}

TEST_F(Win32Import, TextsByteForByte) {
    EXPECT_STREQ(host.Plugin().GetInfo(1), ".mdl file import (Quake models)\nAutor : Tamrivell\nKESTRAVON");
    EXPECT_STREQ(host.Plugin().ReturnLabel(-1), "Quake Model files (*.mdl)|*.mdl|");
    EXPECT_STREQ(host.Plugin().GetInfo(0),
                 "\xC8\xEC\xEF\xEE\xF0\xF2 \xEC\xEE\xE4\xE5\xEB\xE5\xE9 \xE2 \xF4\xEE\xF0\xEC\xE0\xF2\xE5"
                 " .mdl (Quake models)\n\xC0\xE2\xF2\xEE\xF0 : Tamrivell\nKESTRAVON");
    EXPECT_STREQ(host.Plugin().ReturnLabel(0), "\xD4\xE0\xE9\xEB\xFB \xEC\xEE\xE4\xE5\xEB\xE5\xE9 Quake (*.mdl)|*.mdl|");
    EXPECT_EQ(host.Plugin().GetInfo(0), host.PluginByOrdinal().GetInfo(0));
}

TEST_F(Win32Import, AModelThatReadsWellIsDeliveredToTheWindow) {
    const ImportReport report = Run(Figure());
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.messageBoxes.empty());
    const uint32_t order[] = {pm::FACES, pm::VERTICES, pm::ANIMATIONS, pm::TEXTURES, pm::FACEMAPS};
    const int32_t counts[] = {2, 3, 2, 1, 2};
    ASSERT_EQ(report.deliveries.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(report.deliveries[i].message, order[i]);
        EXPECT_EQ(report.deliveries[i].count, counts[i]);
        EXPECT_TRUE(report.deliveries[i].accepted);
    }
    ASSERT_EQ(report.scaleImageCalls.size(), 1u);
    EXPECT_EQ(report.Records<_TEXTURE>(pm::TEXTURES)[0].pixels, report.scaleImageCalls[0].result);
}

TEST_F(Win32Import, WrongMagicShowsTheReaderBoxThenTheLoadFailure) {
    std::vector<uint8_t> bytes = Figure().Bytes();
    bytes[0] = 'R';
    bytes[1] = 'A';
    ExpectRefused(Run(bytes), NOT_MDL, BoxOwner::Host);
}

TEST_F(Win32Import, SkinGroupShowsTheGroupsBoxThenTheLoadFailure) {
    Model model = Figure();
    model.skins.push_back(model.skins[0]);
    model.skins[1].type = 1;
    ExpectRefused(Run(model), GROUPS, BoxOwner::Host);
}

TEST_F(Win32Import, FrameGroupShowsTheGroupsBoxThenTheLoadFailure) {
    Model model = Figure();
    model.frames[2].type = 1;
    ExpectRefused(Run(model), GROUPS, BoxOwner::Host);
}

TEST_F(Win32Import, RefusedAnimationsStopTheDeliveries) {
    host.Refuse(pm::ANIMATIONS);
    const ImportReport report = Run(Figure());
    EXPECT_EQ(report.result, 0);
    ASSERT_EQ(report.deliveries.size(), 3u);
    EXPECT_EQ(report.deliveries[0].message, pm::FACES);
    EXPECT_EQ(report.deliveries[1].message, pm::VERTICES);
    EXPECT_EQ(report.deliveries[2].message, pm::ANIMATIONS);
    EXPECT_FALSE(report.deliveries[2].accepted);
    ASSERT_EQ(report.messageBoxes.size(), 1u);
    // No caption of its own: the system's default title.
    ExpectBox(report.messageBoxes[0], DELIVERY_FAILED, "Error", 0, BoxOwner::None);
}

TEST_F(Win32Import, BeforeInitWindowNothingIsDeliveredAndBoxesHaveNoOwner) {
    const ImportReport good = Run(Figure(), false);
    EXPECT_EQ(good.result, 0);
    EXPECT_TRUE(good.deliveries.empty());
    ASSERT_EQ(good.messageBoxes.size(), 1u);
    ExpectBox(good.messageBoxes[0], DELIVERY_FAILED, "Error", 0, BoxOwner::None);

    std::vector<uint8_t> bytes = Figure().Bytes();
    bytes[3] = '0';
    ExpectRefused(Run(bytes, false), NOT_MDL, BoxOwner::None);
}

}  // namespace
