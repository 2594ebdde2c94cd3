// The six functions the host calls. Plain C at the boundary: integers and
// addresses in and out, no exception ever leaves.
#include "plugin/exports.h"
#include "plugin/plugin.h"
#include "plugin/texts.h"

constexpr int PLUGIN_KIND = 1;

PLUGIN_EXPORT int GetType() { return PLUGIN_KIND; }

PLUGIN_EXPORT const char* ReturnLabel(int english) {
    return english != 0 ? TEXT_LABEL_ENGLISH : TEXT_LABEL_RUSSIAN;
}

PLUGIN_EXPORT int InitWindow(HWND window) {
    hostWindow = window;
    return 1;
}

PLUGIN_EXPORT int ExecFunction(const char* path) { return RunImport(path); }

PLUGIN_EXPORT const char* GetInfo(int english) {
    return english != 0 ? TEXT_INFO_ENGLISH : TEXT_INFO_RUSSIAN;
}

// The host hands over two values of its own; the plug-in has no use for them.
PLUGIN_EXPORT int ReturnData(int, int) { return 1; }
