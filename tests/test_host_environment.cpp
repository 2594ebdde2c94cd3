// A guest in a host whose floating-point settings are its own: traps for
// invalid operations, division by zero and overflow unmasked, 24-bit x87
// precision, another rounding. Hostile floats in a file trap nothing, every
// host gets the same records, and the host finds its own state after the run
// and inside every call the plug-in makes into it.
#include <gtest/gtest.h>

#include "fp_state.h"
#include "plugin/host_calls.h"
#include "plugin_harness.h"
#include "reports.h"

namespace {

constexpr size_t OFFSET_SCALE_X = 8;
constexpr size_t OFFSET_TRANSLATE_X = 20;

struct FloatFile {
    const char* name;
    uint32_t scaleBits[3];
    uint32_t translateBits[3];
};

// Patched as bits: a signalling NaN passed around as a float could be quieted
// on the way.
std::vector<uint8_t> FileWith(const FloatFile& floats) {
    mdlwriter::Model model = SmallModel(4, 2, {"stand1", "stand2", "run1"});
    for (mdlwriter::Frame& frame : model.frames) frame.vertices[0] = {{255, 255, 255}, 0};  // 0 and 255 both occur
    std::vector<uint8_t> bytes = model.Bytes();
    for (size_t a = 0; a < 3; ++a) {
        mdlwriter::PatchInt32(bytes, OFFSET_SCALE_X + 4 * a, int32_t(floats.scaleBits[a]));
        mdlwriter::PatchInt32(bytes, OFFSET_TRANSLATE_X + 4 * a, int32_t(floats.translateBits[a]));
    }
    return bytes;
}

constexpr uint32_t ONE = 0x3F800000;
constexpr uint32_t INF = 0x7F800000;
constexpr uint32_t SNAN = 0x7FA00000;
constexpr uint32_t QNAN = 0x7FC00000;
constexpr uint32_t BIG = 0x7E61D9B1;  // 7.5e37: 255 x it overflows a float

class HostileFloats : public testing::TestWithParam<FloatFile> {};

struct HostSetting {
    const char* name;
    uint16_t precision;
    uint16_t rounding;
};

const HostSetting HOST_SETTINGS[] = {
    {"traps", X87_PRECISION_64_BITS, ROUND_TO_NEAREST},
    {"traps, 24-bit precision", X87_PRECISION_24_BITS, ROUND_TO_NEAREST},
    {"traps, rounding up", X87_PRECISION_64_BITS, ROUND_UP},
    {"traps, rounding toward zero", X87_PRECISION_53_BITS, ROUND_TOWARD_ZERO},
};

TEST_P(HostileFloats, TrapNothingAndGiveEveryHostTheSameRecords) {
    const TempFile file(FileWith(GetParam()));
    std::string expected;
    {
        PluginHarness harness;
        expected = JsonDump(harness.ImportPath(file.Path()));
    }
    ASSERT_NE(expected.find("PM_FACEMAPS"), std::string::npos);

    const FloatingPointState usual = ReadFloatingPointState();
    for (const HostSetting& setting : HOST_SETTINGS) {
        SCOPED_TRACE(setting.name);
        const FloatingPointState host = TrappingState(usual, setting.precision, setting.rounding);
        PluginHarness harness;
        WriteFloatingPointControl(host);
        const ImportCapture report = harness.ImportPath(file.Path());
        const FloatingPointState after = ReadFloatingPointState();
        WriteFloatingPointControl(usual);

        EXPECT_EQ(JsonDump(report), expected);
        EXPECT_TRUE(after == host) << "the host finds a changed state or a raised flag";
        for (const DeliverySeen& delivery : report.deliveries) EXPECT_TRUE(delivery.environment == host);
        for (const MessageBoxSeen& box : report.messageBoxes) EXPECT_TRUE(box.environment == host);
        // ScaleImage's own arithmetic may raise flags of the host's: its settings are what count.
        for (const ScaleImageCallSeen& call : report.scaleImageCalls) EXPECT_TRUE(call.environment.SameControlAs(host));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileFloats,
    testing::Values(FloatFile{"InfiniteScale", {INF, ONE, ONE}, {0, 0, 0}},
                    FloatFile{"SignallingNaNScale", {SNAN, ONE, SNAN}, {0, 0, 0}},
                    FloatFile{"QuietNaNScale", {QNAN, ONE, ONE}, {0, 0, 0}},
                    FloatFile{"NaNTranslate", {ONE, ONE, ONE}, {SNAN, QNAN, 0}},
                    FloatFile{"InfinitiesOfBothSigns", {INF, ONE, ONE}, {0, INF, 0xFF800000}},
                    FloatFile{"ScaleAndTranslateOverflow", {BIG, 0x7F61D9B1, ONE}, {0x7F61D9B1, 0xFF61D9B1, 0}},
                    FloatFile{"DoubleRoundingCase", {0x4B250430, ONE, ONE}, {0xB2CF9358, 0, 0}}),
    CaseName<FloatFile>);

TEST(HostEnvironment, FailedLoadsLeaveTheHostsStateToo) {
    // A message box of the reader's and one of the run's, with traps unmasked.
    std::vector<uint8_t> bytes = FileWith({"", {INF, ONE, ONE}, {0, 0, 0}});
    bytes[0] = 'X';
    const FloatingPointState usual = ReadFloatingPointState();
    const FloatingPointState host = TrappingState(usual, X87_PRECISION_24_BITS, ROUND_TOWARD_ZERO);
    PluginHarness harness;
    const TempFile file(bytes);
    WriteFloatingPointControl(host);
    const ImportCapture report = harness.ImportPath(file.Path());
    const FloatingPointState after = ReadFloatingPointState();
    WriteFloatingPointControl(usual);
    EXPECT_TRUE(after == host);
    ASSERT_EQ(report.messageBoxes.size(), 2u);
    for (const MessageBoxSeen& box : report.messageBoxes) EXPECT_TRUE(box.environment == host);
}

// The guard at register level. The host traps in both units, runs at 24-bit
// precision rounding up, flushes denormals, and has flags of its own raised.
// Inside, the plug-in must find both units masked, clear and rounding to
// nearest; a flag the plug-in raises is dropped; a flag the host's own code
// raises during a call into it stays the host's; afterwards both units are
// the host's, bit for bit.
TEST(FloatingPointGuard, BothUnitsAreThePluginsInsideAndTheHostsOutsideBitForBit) {
    const FloatingPointState usual = ReadFloatingPointState();
    FloatingPointState host = TrappingState(usual, X87_PRECISION_24_BITS, ROUND_UP);
    host.mxcsr |= SSE_FLUSH_DENORMALS;
    host.x87Flags = FP_INEXACT | FP_DENORMAL;  // raised, masked: nothing pending
    host.mxcsr |= FP_INEXACT | FP_DENORMAL;

    FloatingPointState inside{}, inHostCall{};
    const HWND window = winstub::CreateWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        inHostCall = ReadFloatingPointState();
        FloatingPointState raised = inHostCall;
        raised.x87Flags |= FP_UNDERFLOW;
        raised.mxcsr |= FP_UNDERFLOW;
        WriteFloatingPointState(raised);
        return 1;
    });
    WriteFloatingPointState(host);
    {
        const FloatingPointGuard guard;
        inside = ReadFloatingPointState();
        // 0 / 0 in both units: invalid, which only the plug-in's masks allow.
        __asm__ __volatile__("xorpd %%xmm0, %%xmm0\n\tdivsd %%xmm0, %%xmm0" : : : "xmm0");
        __asm__ __volatile__("fldz\n\tfldz\n\tfdivrp\n\tfstp %%st(0)" : : : "st", "st(1)");
        HostSendMessage(window, WM_USER, 0, 0);
    }
    const FloatingPointState after = ReadFloatingPointState();
    WriteFloatingPointControl(usual);
    winstub::DestroyWindow(window);

    EXPECT_EQ(inside.x87Control & FP_ALL_EXCEPTIONS, FP_ALL_EXCEPTIONS) << "x87 exceptions masked";
    EXPECT_EQ(inside.x87Control & X87_ROUNDING_MASK, ROUND_TO_NEAREST);
    EXPECT_EQ(inside.x87Flags, 0) << "x87 flags clear";
    EXPECT_EQ(inside.mxcsr >> SSE_MASK_SHIFT & FP_ALL_EXCEPTIONS, FP_ALL_EXCEPTIONS) << "SSE exceptions masked";
    EXPECT_EQ(inside.mxcsr & SSE_ROUNDING_MASK, 0u);
    EXPECT_EQ(inside.mxcsr & (SSE_FLUSH_DENORMALS | FloatingPointState::SSE_FLAGS), 0u) << "SSE flags clear, no flushing";

    EXPECT_TRUE(inHostCall == host) << std::hex << inHostCall.x87Control << " " << inHostCall.x87Flags << " "
                                    << inHostCall.mxcsr;
    FloatingPointState raisedByHost = host;
    raisedByHost.x87Flags |= FP_UNDERFLOW;
    raisedByHost.mxcsr |= FP_UNDERFLOW;
    EXPECT_TRUE(after == raisedByHost) << std::hex << after.x87Control << " " << after.x87Flags << " " << after.mxcsr;
}

struct PathCase {
    const char* name;
    const char* path;
};

class UnusablePaths : public testing::TestWithParam<PathCase> {};

TEST_P(UnusablePaths, AreAFileThatCannotBeOpened) {
    PluginHarness harness;
    const ImportCapture report = harness.ImportPath(GetParam().path);
    EXPECT_EQ(report.result, 1);
    EXPECT_EQ(BoxTexts(report), std::vector<std::string>{"Error loading *.mdl file"});
    EXPECT_TRUE(report.deliveries.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, UnusablePaths,
                         testing::Values(PathCase{"Null", nullptr}, PathCase{"Empty", ""}), CaseName<PathCase>);

}  // namespace
