// A Win32 host for the plug-in DLL, doing what the host application does:
// loads the module, resolves its exports by name and by ordinal, gives it a
// real top-level window whose procedure hands every private message to its
// capture, and watches the message boxes the user would see
// (caption, text, owner, icon), closing each with OK.
#pragma once

#include <windows.h>

#include <filesystem>
#include <set>
#include <string>

#include "capture.h"
#include "plugin_exports.h"

class Win32Host {
public:
    // Loads the plug-in afresh, so each host starts from a module at load.
    explicit Win32Host(const std::filesystem::path& plugin = "mdlimport.dll");
    ~Win32Host();

    Win32Host(const Win32Host&) = delete;
    Win32Host& operator=(const Win32Host&) = delete;

    // Empty when all went well; otherwise why the plug-in cannot be used.
    const std::string& Error() const { return error; }
    const PluginExports& Plugin() const { return byName; }
    // The same six exports resolved by ordinal 1 to 6.
    const PluginExports& PluginByOrdinal() const { return byOrdinal; }

    HWND Window() const { return window; }
    void Refuse(uint32_t message) { refused.insert(message); }

    // One ExecFunction; InitWindow with this host's window first unless told not to.
    ImportCapture Run(const char* path, bool initWindow = true);  // as a host passes it: may be null
    ImportCapture Run(const std::string& path, bool initWindow = true) { return Run(path.c_str(), initWindow); }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void NoteScaleImage(void* context, const _COLOR* pixels, int width, int height, const char* result);
    void NoteBox(HWND box);

    HMODULE module = nullptr;
    PluginExports byName{};
    PluginExports byOrdinal{};
    std::string error;
    HWND window = nullptr;
    HHOOK hook = nullptr;
    std::set<uint32_t> refused;
    std::set<HWND> boxesSeen;
    ImportCapture capture;
};
