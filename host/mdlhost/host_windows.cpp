// The converter on Windows: the DLL through LoadLibraryW beside the program,
// the real window of the Win32 host, whose hook answers every message box at
// once, paths handed to the plug-in in the ANSI code page it takes, and the
// command line read whole, as UTF-16.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <atomic>

#include "converter_host.h"
#include "tovra_main.h"
#include "win32_host.h"

namespace fs = std::filesystem;

namespace {

class WindowsHost final : public ConverterHost {
public:
    explicit WindowsHost(const fs::path& module) : host(module) {}

    const PluginExports& Plugin() const override { return host.Plugin(); }
    void Refuse(uint32_t message) override { host.Refuse(message); }
    ImportCapture Import(const std::string& pluginPath) override {
        ReleaseScaledImages();
        return host.Run(pluginPath);
    }

    Win32Host host;
};

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminator
    return utf8;
}

// The text in the ANSI code page, where that writes every character of it
// as it is (no look-alike stands in for one it lacks).
bool InAnsiCodePage(const std::wstring& text, std::string& ansi) {
    ansi.clear();
    if (text.empty()) return false;
    const UINT codePage = GetACP();
    const bool utf8 = codePage == CP_UTF8;  // which takes no flags and no default
    BOOL defaulted = FALSE;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), nullptr, 0, nullptr,
                                         utf8 ? nullptr : &defaulted);
    if (size <= 0 || defaulted) return false;
    ansi.resize(size_t(size));
    WideCharToMultiByte(codePage, flags, text.data(), int(text.size()), ansi.data(), size, nullptr, nullptr);
    return true;
}

// The 8.3 name, where the volume keeps them; empty where it does not.
std::wstring ShortName(const std::wstring& path) {
    const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::wstring shortName(size, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), shortName.data(), size);
    if (length == 0 || length >= size) return {};
    shortName.resize(length);
    return shortName;
}

// The path itself or its short name, in the ANSI code page.
bool AnsiPath(const std::wstring& path, std::string& ansi) {
    return InAnsiCodePage(path, ansi) || InAnsiCodePage(ShortName(path), ansi);
}

}  // namespace

std::unique_ptr<ConverterHost> LoadConverterHost(const fs::path& module, std::string& error) {
    auto host = std::make_unique<WindowsHost>(module);
    if (host->host.Error().empty()) return host;
    error = "cannot use the plug-in: " + host->host.Error();
    return nullptr;
}

fs::path DefaultPluginPath() {
    std::wstring self(MAX_PATH, L'\0');
    DWORD length = 0;
    while ((length = GetModuleFileNameW(nullptr, self.data(), DWORD(self.size()))) >= self.size())
        self.resize(self.size() * 2);
    self.resize(length);
    return fs::path(self).parent_path() / "mdlimport.dll";
}

fs::path DefaultModel() { return {}; }

PluginPath::PluginPath(const fs::path& file, std::string& error) {
    if (AnsiPath(file.wstring(), path)) return;
    // A copy under a plain name in the temporary folder.
    static std::atomic<unsigned> copies{0};
    std::wstring folder(MAX_PATH + 1, L'\0');
    folder.resize(GetTempPathW(DWORD(folder.size()), folder.data()));
    const std::wstring name = L"mdlhost-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(copies++) + L".mdl";
    std::string ansiFolder;
    if (folder.empty() || !AnsiPath(folder, ansiFolder)) {
        error = "its path is not in the ANSI code page, and neither is the temporary folder's";
        return;
    }
    copy = fs::path(folder) / name;
    if (!CopyFileW(file.c_str(), copy.c_str(), FALSE)) {
        error = "its path is not in the ANSI code page, and it cannot be copied to a temporary file (error " +
                std::to_string(GetLastError()) + ")";
        copy.clear();
        return;
    }
    std::string ansiName;
    InAnsiCodePage(name, ansiName);
    path = ansiFolder + (ansiFolder.back() == '\\' ? "" : "\\") + ansiName;
}

PluginPath::~PluginPath() {
    if (!copy.empty()) DeleteFileW(copy.c_str());
}

bool OpenInBrowser(const std::filesystem::path& page) {
    // ShellExecute's result is a number in a handle's clothing: above 32 is success.
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

bool ErrorsGoToATerminal() { return _isatty(_fileno(stderr)) != 0; }

// The console's only process is this one, and its input is that console:
// a command prompt would be a second process, a script would redirect.
bool StartedWithAConsoleOfItsOwn() {
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1 && _isatty(_fileno(stdin)) != 0;
}

int wmain(int argc, wchar_t** argv) {
    // The same bytes as on Linux: no CR before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // Paths in messages are UTF-8: a console shows them so while we run.
    const UINT console = GetConsoleOutputCP();
    if (console != 0) SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(Utf8(argv[i]));
    const int status = ConverterMain(arguments);
    if (console != 0) SetConsoleOutputCP(console);
    return status;
}
