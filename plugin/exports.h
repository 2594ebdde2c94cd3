// The functions the host calls, as declared to the host.
#pragma once

#include "plugin/platform.h"

PLUGIN_EXPORT int GetType();
PLUGIN_EXPORT const char* ReturnLabel(int english);
PLUGIN_EXPORT int InitWindow(HWND window);
PLUGIN_EXPORT int ExecFunction(const char* path);
PLUGIN_EXPORT const char* GetInfo(int english);
PLUGIN_EXPORT int ReturnData(int first, int second);
