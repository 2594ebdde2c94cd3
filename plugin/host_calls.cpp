#include "plugin/host_calls.h"

#include <cstdint>

namespace {

// The x87 control word and status word and MXCSR, as found.
struct FloatingPointUnits {
    uint16_t x87Control;
    uint16_t x87Status;
    uint32_t mxcsr;
};

// The plug-in's own state: every exception masked in both units, no flag
// raised, round to nearest, 53-bit x87 precision, no flushing of denormals.
constexpr uint16_t PLUGIN_X87_CONTROL = 0x027F;
constexpr uint32_t PLUGIN_MXCSR = 0x1F80;

// The x87 environment as fnstenv stores it in 32-bit protected mode.
struct X87Environment {
    uint16_t control;
    uint16_t unused0;
    uint16_t status;
    uint16_t unused1;
    uint32_t rest[5];  // tag word, instruction and operand pointers
};
static_assert(sizeof(X87Environment) == 28, "fnstenv stores 28 bytes");

// The status bits that tell of exceptions: the six flags, stack fault,
// error summary and busy. Stack top and condition codes are left as they
// stand when the host's flags go back.
constexpr uint16_t X87_EXCEPTION_BITS = 0x80FF;

// The host's state while a guard is in force; it takes in what the host's
// own code does to its flags during calls into the host.
FloatingPointUnits hostUnits;
bool guarded = false;

FloatingPointUnits ReadFloatingPointUnits() noexcept {
    FloatingPointUnits units;
    __asm__ __volatile__("fnstcw %0" : "=m"(units.x87Control));
    __asm__ __volatile__("fnstsw %0" : "=m"(units.x87Status));
    __asm__ __volatile__("stmxcsr %0" : "=m"(units.mxcsr));
    return units;
}

void EnterPluginState() noexcept {
    hostUnits = ReadFloatingPointUnits();
    const uint16_t control = PLUGIN_X87_CONTROL;
    const uint32_t mxcsr = PLUGIN_MXCSR;
    __asm__ __volatile__("fnclex");
    __asm__ __volatile__("fldcw %0" : : "m"(control));
    __asm__ __volatile__("ldmxcsr %0" : : "m"(mxcsr));
}

// Exactly the control words and flags that hostUnits holds. No instruction
// loads the status word alone, so the environment is stored, patched and
// loaded back.
void RestoreHostState() noexcept {
    X87Environment environment;
    __asm__ __volatile__("fnstenv %0" : "=m"(environment));
    environment.control = hostUnits.x87Control;
    environment.status = uint16_t((environment.status & ~X87_EXCEPTION_BITS) | (hostUnits.x87Status & X87_EXCEPTION_BITS));
    __asm__ __volatile__("fldenv %0" : : "m"(environment));
    __asm__ __volatile__("ldmxcsr %0" : : "m"(hostUnits.mxcsr));
}

// For the length of one call into the host.
class HostStateScope {
public:
    HostStateScope() noexcept {
        if (guarded) RestoreHostState();
    }
    ~HostStateScope() {
        if (guarded) EnterPluginState();
    }
    HostStateScope(const HostStateScope&) = delete;
    HostStateScope& operator=(const HostStateScope&) = delete;
};

}  // namespace

FloatingPointGuard::FloatingPointGuard() noexcept {
    EnterPluginState();
    guarded = true;
}

FloatingPointGuard::~FloatingPointGuard() {
    guarded = false;
    RestoreHostState();
}

LRESULT HostSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostStateScope scope;
    return SendMessageA(window, message, wParam, lParam);
}

int HostMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    HostStateScope scope;
    return MessageBoxA(owner, text, caption, type);
}

char* HostScaleImage(_COLOR* pixels, int width, int height) {
    HostStateScope scope;
    return ScaleImage(pixels, width, height);
}
