// What differs between the converter on Linux and on Windows, and nothing
// else: how the plug-in module is loaded, which host window receives its
// deliveries, how a file's path is handed to it, and where the program's
// arguments come from. host_linux.cpp and host_windows.cpp each define
// these and the program's entry point, which calls ConverterMain.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "capture.h"
#include "plugin_exports.h"

// The program itself: arguments in UTF-8, the program's name first.
int ConverterMain(const std::vector<std::string>& arguments);

class ConverterHost {
public:
    virtual ~ConverterHost() = default;

    virtual const PluginExports& Plugin() const = 0;
    virtual void Refuse(uint32_t message) = 0;
    // One import through the host's window (InitWindow first), the path as
    // the plug-in takes it; the capture of the run. What the previous run's
    // ScaleImage calls returned is released first.
    virtual ImportCapture Import(const std::string& pluginPath) = 0;
};

// Loads the plug-in module, watching its message boxes and ScaleImage
// calls; null, with the reason, when it cannot be used.
std::unique_ptr<ConverterHost> LoadConverterHost(const std::filesystem::path& module, std::string& error);

// The plug-in module beside the program.
std::filesystem::path DefaultPluginPath();
// The model imported when none is named, or empty where there is none.
std::filesystem::path DefaultModel();

// A file's path as the plug-in takes it: in the ANSI code page on Windows.
// Where the path cannot be written there, its short name, or else a copy
// under a temporary name, removed with this object. Empty, with the reason,
// when none can be had.
class PluginPath {
public:
    PluginPath(const std::filesystem::path& file, std::string& error);
    ~PluginPath();
    PluginPath(const PluginPath&) = delete;
    PluginPath& operator=(const PluginPath&) = delete;

    const std::string& Get() const { return path; }

private:
    std::string path;
    std::filesystem::path copy;
};

// Shows a page in the desktop's web browser; false when none could be started.
bool OpenInBrowser(const std::filesystem::path& page);

// Whether standard error is a terminal a person watches.
bool ErrorsGoToATerminal();

// Whether the program has a console window of its own, which closes when it
// ends: so it is when a file manager starts it with files dropped on it.
bool StartedWithAConsoleOfItsOwn();
