// The plug-in's six exports as a host calls them, and their resolution from a
// loaded module. The platform's loader is the only difference between hosts:
// each passes a lookup (dlsym, GetProcAddress) to ResolveExports.
#pragma once

#include <string>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define PLUGIN_CALL __cdecl
#else
#include "winstub.h"
#define PLUGIN_CALL
#endif

struct PluginExports {
    int(PLUGIN_CALL* GetType)();
    const char*(PLUGIN_CALL* ReturnLabel)(int english);
    int(PLUGIN_CALL* InitWindow)(HWND window);
    int(PLUGIN_CALL* ExecFunction)(const char* path);
    const char*(PLUGIN_CALL* GetInfo)(int english);
    int(PLUGIN_CALL* ReturnData)(int first, int second);
};

struct PluginExportName {
    const char* name;
    int ordinal;
};

// By undecorated name, with the ordinals of the module-definition file.
constexpr PluginExportName PLUGIN_EXPORT_NAMES[6] = {
    {"GetType", 1}, {"ReturnLabel", 2}, {"InitWindow", 3}, {"ExecFunction", 4}, {"GetInfo", 5}, {"ReturnData", 6},
};

// Fills exports through lookup(name, ordinal), which returns an address or
// null. Returns the name of the first export that lookup did not find, or
// null when it found all six.
template <typename Lookup>
const char* ResolveExports(Lookup lookup, PluginExports& exports) {
    void* found[6] = {};
    for (int i = 0; i < 6; ++i) {
        found[i] = lookup(PLUGIN_EXPORT_NAMES[i].name, PLUGIN_EXPORT_NAMES[i].ordinal);
        if (found[i] == nullptr) return PLUGIN_EXPORT_NAMES[i].name;
    }
    exports.GetType = reinterpret_cast<decltype(exports.GetType)>(found[0]);
    exports.ReturnLabel = reinterpret_cast<decltype(exports.ReturnLabel)>(found[1]);
    exports.InitWindow = reinterpret_cast<decltype(exports.InitWindow)>(found[2]);
    exports.ExecFunction = reinterpret_cast<decltype(exports.ExecFunction)>(found[3]);
    exports.GetInfo = reinterpret_cast<decltype(exports.GetInfo)>(found[4]);
    exports.ReturnData = reinterpret_cast<decltype(exports.ReturnData)>(found[5]);
    return nullptr;
}

// What the plug-in says it is, asked in one place for every host.
struct PluginIdentity {
    int type;
    std::string description;
    std::string filter;
};

inline PluginIdentity Identify(const PluginExports& plugin) {
    // Braces: asked in this order.
    return PluginIdentity{plugin.GetType(), plugin.GetInfo(1), plugin.ReturnLabel(1)};
}
