// The real DLL in a Win32 host: exports through GetProcAddress, deliveries to
// a real window, message boxes as the user sees them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fp_state.h"
#include "mdl_writer.h"
#include "win32_host.h"
#include "reports.h"

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

    ImportCapture Run(const Model& model, bool initWindow = true) { return Run(model.Bytes(), initWindow); }
    ImportCapture Run(const std::vector<uint8_t>& bytes, bool initWindow = true) {
        TempModel file(bytes);
        return host.Run(file.path, initWindow);
    }

    void ExpectBox(const MessageBoxSeen& box, const char* text, const char* caption, uint32_t icon, BoxOwner owner) {
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, std::optional<std::string>(caption));
        EXPECT_EQ(box.type, icon) << text;
        EXPECT_EQ(box.owner, owner) << text;
    }

    // The reader's own box, then the run's load failure; nothing delivered.
    void ExpectRefused(const ImportCapture& report, const char* readerText, BoxOwner owner) {
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
    const ImportCapture report = Run(Figure());
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.messageBoxes.empty());
    const uint32_t order[] = {PM_FACES, PM_VERTICES, PM_ANIMATIONS, PM_TEXTURES, PM_FACEMAPS};
    const int32_t counts[] = {2, 3, 2, 1, 2};
    ASSERT_EQ(report.deliveries.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(report.deliveries[i].message, order[i]);
        EXPECT_EQ(report.deliveries[i].count, counts[i]);
        EXPECT_TRUE(report.deliveries[i].accepted);
    }
    ASSERT_EQ(report.scaleImageCalls.size(), 1u);
    EXPECT_EQ(report.Records<_TEXTURE>(PM_TEXTURES)[0].pixels, report.scaleImageCalls[0].result);
}

TEST_F(Win32Import, WrongMagicShowsTheReaderBoxThenTheLoadFailure) {
    std::vector<uint8_t> bytes = Figure().Bytes();
    bytes[0] = 'R';
    bytes[1] = 'A';
    ExpectRefused(Run(bytes), NOT_MDL, BoxOwner::Host);
}

TEST_F(Win32Import, AFolderAsThePathGetsOnlyTheLoadFailure) {
    char folder[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    const ImportCapture report = host.Run(folder);
    EXPECT_EQ(report.result, 1);
    EXPECT_TRUE(report.deliveries.empty());
    ASSERT_EQ(report.messageBoxes.size(), 1u);
    ExpectBox(report.messageBoxes[0], LOAD_FAILED, "Plugin", MB_ICONERROR, BoxOwner::Host);
}

TEST_F(Win32Import, NullAndEmptyPathsAreAFileThatCannotBeOpened) {
    for (const char* path : {static_cast<const char*>(nullptr), ""}) {
        const ImportCapture report = host.Run(path);
        EXPECT_EQ(report.result, 1);
        EXPECT_TRUE(report.deliveries.empty());
        ASSERT_EQ(report.messageBoxes.size(), 1u);
        ExpectBox(report.messageBoxes[0], LOAD_FAILED, "Plugin", MB_ICONERROR, BoxOwner::Host);
    }
}

// Scale and translate of the x axis, as bits: a signalling NaN passed around
// as a float could be quieted on the way.
std::vector<uint8_t> WithFloats(uint32_t scaleX, uint32_t translateX) {
    std::vector<uint8_t> bytes = Figure().Bytes();
    mdlwriter::PatchInt32(bytes, 8, int32_t(scaleX));
    mdlwriter::PatchInt32(bytes, 20, int32_t(translateX));
    return bytes;
}

// The host's own ScaleImage rescales with doubles and raises flags of the
// host's in the host's code: they stay, on top of the state the host set.
FloatingPointState WithFlagsRaisedInScaleImage(FloatingPointState state, const ImportCapture& report) {
    for (const ScaleImageCallSeen& call : report.scaleImageCalls) {
        state.x87Flags |= call.environment.x87Flags;
        state.mxcsr |= call.environment.mxcsr & FloatingPointState::SSE_FLAGS;
    }
    return state;
}

TEST_F(Win32Import, AHostThatTrapsGetsTheRecordsAnyHostGetsAndKeepsItsState) {
    const std::vector<uint8_t> files[] = {
        WithFloats(0x7F800000, 0),           // infinite scale: 0 x infinity is invalid
        WithFloats(0x7FA00000, 0),           // signalling NaN
        WithFloats(0x7FC00000, 0xFF800000),  // quiet NaN, negative infinity
        WithFloats(0x7F61D9B1, 0x7F61D9B1),  // 3e38: overflows a float
        WithFloats(0x4B250430, 0xB2CF9358),  // rounds differently through x87 extended precision
    };
    const FloatingPointState usual = ReadFloatingPointState();
    const uint16_t precisions[] = {X87_PRECISION_64_BITS, X87_PRECISION_24_BITS};
    for (const std::vector<uint8_t>& bytes : files) {
        ImportCapture plain = Run(bytes);
        plain.file.clear();
        for (uint16_t precision : precisions) {
            const FloatingPointState trapping = TrappingState(usual, precision, ROUND_TO_NEAREST);
            WriteFloatingPointControl(trapping);
            ImportCapture report = Run(bytes);
            const FloatingPointState after = ReadFloatingPointState();
            WriteFloatingPointControl(usual);

            report.file.clear();
            EXPECT_EQ(JsonDump(report), JsonDump(plain));
            const FloatingPointState expected = WithFlagsRaisedInScaleImage(trapping, report);
            EXPECT_TRUE(after == expected) << "the host finds a changed state or a flag the plug-in raised";
            ASSERT_EQ(report.deliveries.size(), 5u);
            for (const DeliverySeen& delivery : report.deliveries) EXPECT_TRUE(delivery.environment == expected);
            for (const ScaleImageCallSeen& call : report.scaleImageCalls)
                EXPECT_TRUE(call.environment.SameControlAs(trapping));
        }
    }
}

TEST_F(Win32Import, BoxesShowWithTheHostsState) {
    std::vector<uint8_t> bytes = Figure().Bytes();
    bytes[0] = 'X';
    const FloatingPointState usual = ReadFloatingPointState();
    const FloatingPointState trapping = TrappingState(usual, X87_PRECISION_24_BITS, ROUND_TO_NEAREST);
    WriteFloatingPointControl(trapping);
    const ImportCapture report = Run(bytes);
    WriteFloatingPointControl(usual);
    ASSERT_EQ(report.messageBoxes.size(), 2u);
    // By the time a box can be seen, the system's own box code has raised
    // flags of its own: the control words are what the plug-in answers for.
    for (const MessageBoxSeen& box : report.messageBoxes) EXPECT_TRUE(box.environment.SameControlAs(trapping));
}

// Runs only where the test command sets a Russian locale for Wine
// (win32_cyrillic_path), which makes code page 1251 the ANSI one.
TEST_F(Win32Import, APathInTheRussianCodePageImportsLikeAnAsciiOne) {
    const char* codePage = std::getenv("MDL_ANSI_CODE_PAGE");
    if (codePage == nullptr) GTEST_SKIP() << "needs a Russian locale";
    ASSERT_EQ(GetACP(), UINT(std::atoi(codePage)));

    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string folder = std::string(temp) + "\xCC\xEE\xE4\xE5\xEB\xE8";  // "Models" in Russian
    const std::string path = folder + "\\\xEE\xE3\xF0.mdl";                   // "ogre"
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(mdlwriter::WriteFile(path, Figure().Bytes()));
    // The same file under its Unicode name: the bytes above were read as Cyrillic.
    wchar_t wideTemp[MAX_PATH];
    GetTempPathW(MAX_PATH, wideTemp);
    const std::wstring widePath = std::wstring(wideTemp) + L"\u041C\u043E\u0434\u0435\u043B\u0438\\\u043E\u0433\u0440.mdl";
    EXPECT_NE(GetFileAttributesW(widePath.c_str()), INVALID_FILE_ATTRIBUTES);

    ImportCapture cyrillic = host.Run(path);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(folder.c_str());
    ImportCapture ascii = Run(Figure());

    EXPECT_EQ(cyrillic.result, 1);
    EXPECT_TRUE(cyrillic.messageBoxes.empty());
    EXPECT_EQ(cyrillic.deliveries.size(), 5u);
    cyrillic.file.clear();
    ascii.file.clear();
    EXPECT_EQ(JsonDump(cyrillic), JsonDump(ascii));
}

TEST(Win32Dll, SaysWhatItIsInItsVersionResource) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA("mdlimport.dll", &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA("mdlimport.dll", 0, size, info.data()));

    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    EXPECT_EQ(fixed->dwFileVersionMS, DWORD(MDL_VERSION_MAJOR << 16 | MDL_VERSION_MINOR));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MDL_VERSION_PATCH << 16));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));

    const struct {
        const char* name;
        const char* text;
    } strings[] = {{"FileDescription", MDL_DESCRIPTION}, {"ProductName", "mdlimport"},
                   {"FileVersion", MDL_VERSION},         {"ProductVersion", MDL_VERSION},
                   {"OriginalFilename", "mdlimport.dll"}, {"InternalName", "mdlimport"}};
    for (const auto& entry : strings) {
        const std::string key = std::string("\\StringFileInfo\\040904b0\\") + entry.name;
        ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), &value, &length)) << entry.name;
        EXPECT_STREQ(static_cast<const char*>(value), entry.text) << entry.name;
    }
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
    host.Refuse(PM_ANIMATIONS);
    const ImportCapture report = Run(Figure());
    EXPECT_EQ(report.result, 0);
    ASSERT_EQ(report.deliveries.size(), 3u);
    EXPECT_EQ(report.deliveries[0].message, PM_FACES);
    EXPECT_EQ(report.deliveries[1].message, PM_VERTICES);
    EXPECT_EQ(report.deliveries[2].message, PM_ANIMATIONS);
    EXPECT_FALSE(report.deliveries[2].accepted);
    ASSERT_EQ(report.messageBoxes.size(), 1u);
    // No caption of its own: the system's default title.
    ExpectBox(report.messageBoxes[0], DELIVERY_FAILED, "Error", 0, BoxOwner::None);
}

TEST_F(Win32Import, BeforeInitWindowNothingIsDeliveredAndBoxesHaveNoOwner) {
    const ImportCapture good = Run(Figure(), false);
    EXPECT_EQ(good.result, 0);
    EXPECT_TRUE(good.deliveries.empty());
    ASSERT_EQ(good.messageBoxes.size(), 1u);
    ExpectBox(good.messageBoxes[0], DELIVERY_FAILED, "Error", 0, BoxOwner::None);

    std::vector<uint8_t> bytes = Figure().Bytes();
    bytes[3] = '0';
    ExpectRefused(Run(bytes, false), NOT_MDL, BoxOwner::None);
}

}  // namespace
