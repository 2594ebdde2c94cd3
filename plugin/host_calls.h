// The host's floating-point environment is the host's. A host may run with
// traps unmasked (invalid operation, division by zero, overflow), another
// rounding or a shorter x87 precision; hostile model floats (infinities,
// signalling NaNs, 3e38) would then kill it inside the decoding. The import
// run therefore saves the host's environment on entry, does its own work
// with every exception masked, the flags clear and rounding to nearest, and
// puts the host's environment back on every way out. Calls into the host
// (its window, message boxes, ScaleImage) run with the host's environment,
// as the host set it.
//
// Only ExecFunction does floating-point work; the other exports return
// constants or store a handle and need no guard.
#pragma once

#include <cfenv>

#include "plugin/platform.h"

class FloatingPointGuard {
public:
    FloatingPointGuard() noexcept;
    ~FloatingPointGuard();

    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;
};

// The calls into the host, each under the host's own environment while a
// guard is in force.
LRESULT HostSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int HostMessageBox(HWND owner, const char* text, const char* caption, UINT type);
char* HostScaleImage(_COLOR* pixels, int width, int height);
