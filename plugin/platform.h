// Everything the plug-in takes from outside itself: the window handle type,
// SendMessageA and MessageBoxA with their constants, and the host's
// ScaleImage. On Windows they come from <windows.h> and Tovra_Main.dll; on
// Linux from a stand-in library of the same names and from libTovra_Main.so.
// This is the only place that knows which platform it is built for.
#pragma once

struct _COLOR;

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// The exports use the C calling convention and are named and numbered by the
// module-definition file.
#define PLUGIN_EXPORT extern "C" __cdecl
#define HOST_IMPORT extern "C" __declspec(dllimport)

#else

#include "winstub.h"

#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
#define HOST_IMPORT extern "C"

#endif

// The host's image function, exported by its main library Tovra_Main. It takes
// width x height pixels, row after row, and returns what the texture record
// carries; the plug-in stores the result unread. The pixel buffer passes to
// the host with the call and must come from malloc, so that the host can free
// it; the plug-in releases neither the buffer nor the result.
HOST_IMPORT char* ScaleImage(_COLOR* pixels, int width, int height);
