// The host's floating-point state is the host's. A host may run with traps
// unmasked (invalid operation, division by zero, overflow), another rounding
// or a shorter x87 precision; hostile model floats (infinities, signalling
// NaNs, 3e38) would then kill it inside the decoding. The import run therefore
// saves the host's state on entry, does its own work with every exception
// masked, the flags clear and rounding to nearest, and puts the host's state
// back on every way out. Calls into the host (its window, message boxes,
// ScaleImage) run under the host's state, as the host set it.
//
// Both units count: the arithmetic is SSE2, but floats are returned in x87
// registers, and loading a signalling NaN there raises invalid. The guard
// reads and writes the control and status registers itself rather than
// through the C runtime's <cfenv>, whose coverage of the two units differs
// between runtimes, so that every build executes the same instructions.
//
// Only ExecFunction does floating-point work; the other exports return
// constants or store a handle and need no guard.
#pragma once

#include "plugin/platform.h"

class FloatingPointGuard {
public:
    FloatingPointGuard() noexcept;
    ~FloatingPointGuard();

    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;
};

// The calls into the host, each under the host's own state while a guard is
// in force; the flags the host's code raises there stay the host's.
LRESULT HostSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int HostMessageBox(HWND owner, const char* text, const char* caption, UINT type);
char* HostScaleImage(_COLOR* pixels, int width, int height);
