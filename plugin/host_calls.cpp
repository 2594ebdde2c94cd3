#include "plugin/host_calls.h"

namespace {

// The host's environment while a guard is in force; it takes in what the
// host's own code does to its flags during calls into the host.
std::fenv_t hostEnvironment;
bool guarded = false;

// Masks every exception and clears the flags, keeping what was in force in
// hostEnvironment; decoding rounds to nearest whatever the host prefers.
void EnterPluginEnvironment() noexcept {
    std::feholdexcept(&hostEnvironment);
    std::fesetround(FE_TONEAREST);
}

// For the length of one call into the host.
class HostEnvironmentScope {
public:
    HostEnvironmentScope() noexcept {
        if (guarded) std::fesetenv(&hostEnvironment);
    }
    ~HostEnvironmentScope() {
        if (guarded) EnterPluginEnvironment();
    }
    HostEnvironmentScope(const HostEnvironmentScope&) = delete;
    HostEnvironmentScope& operator=(const HostEnvironmentScope&) = delete;
};

}  // namespace

FloatingPointGuard::FloatingPointGuard() noexcept {
    EnterPluginEnvironment();
    guarded = true;
}

FloatingPointGuard::~FloatingPointGuard() {
    guarded = false;
    std::fesetenv(&hostEnvironment);
}

LRESULT HostSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostEnvironmentScope scope;
    return SendMessageA(window, message, wParam, lParam);
}

int HostMessageBox(HWND owner, const char* text, const char* caption, UINT type) {
    HostEnvironmentScope scope;
    return MessageBoxA(owner, text, caption, type);
}

char* HostScaleImage(_COLOR* pixels, int width, int height) {
    HostEnvironmentScope scope;
    return ScaleImage(pixels, width, height);
}
