// The converter on Linux: the module through dlopen, the recording window on
// the stand-in for the Windows calls, and paths as they are.
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "converter_host.h"
#include "recording_host.h"
#include "tovra_main.h"

namespace {

class LinuxHost final : public ConverterHost {
public:
    explicit LinuxHost(void* module_) : module(module_) { SetScaleImageObserver(NoteScaleImage, &host); }
    ~LinuxHost() override {
        SetScaleImageObserver(nullptr, nullptr);
        ReleaseScaledImages();
        dlclose(module);
    }

    const PluginExports& Plugin() const override { return plugin; }
    void Refuse(uint32_t message) override { host.Refuse(message); }
    ImportCapture Import(const std::string& pluginPath) override {
        ReleaseScaledImages();
        plugin.InitWindow(host.Window());
        const int result = plugin.ExecFunction(pluginPath.c_str());
        ImportCapture capture = host.Take();
        capture.result = result;
        return capture;
    }

    PluginExports plugin{};

private:
    static void NoteScaleImage(void* context, const _COLOR* pixels, int width, int height, const char* result) {
        static_cast<RecordingHost*>(context)->NoteScaleImage(pixels, width, height, result);
    }

    void* module;
    RecordingHost host;
};

}  // namespace

std::unique_ptr<ConverterHost> LoadConverterHost(const std::filesystem::path& module, std::string& error) {
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        error = std::string("cannot load the plug-in: ") + dlerror();
        return nullptr;
    }
    auto host = std::make_unique<LinuxHost>(handle);
    if (const char* missing = ResolveExports([handle](const char* name, int) { return dlsym(handle, name); }, host->plugin)) {
        error = std::string("the plug-in does not export ") + missing;
        return nullptr;
    }
    return host;
}

namespace {

std::filesystem::path ProgramFolder() {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    return std::filesystem::path(length > 0 ? std::string(self.data(), size_t(length)) : std::string()).parent_path();
}

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

// In the build tree the module lies beside the program; installed, in the
// program's own folder of libraries (bin/../lib/mdlhost).
std::filesystem::path DefaultPluginPath() {
    const std::filesystem::path folder = ProgramFolder();
    const std::filesystem::path beside = folder / "libmdlimport.so";
    return Exists(beside) ? beside : folder.parent_path() / "lib" / "mdlhost" / "libmdlimport.so";
}

// Installed, the sample lies in the program's data folder (bin/../share/mdlhost).
std::filesystem::path DefaultModel() {
    const std::filesystem::path installed = ProgramFolder().parent_path() / "share" / "mdlhost" / "column.mdl";
    return Exists(installed) ? installed : std::filesystem::path(MDL_SAMPLE_PATH);
}

bool OpenInBrowser(const std::filesystem::path& page) {
    std::string program = "xdg-open", path = page.string();
    char* const argv[] = {program.data(), path.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

PluginPath::PluginPath(const std::filesystem::path& file, std::string&) : path(file.string()) {}
PluginPath::~PluginPath() = default;

bool ErrorsGoToATerminal() { return isatty(STDERR_FILENO) != 0; }

// A terminal is always someone's: the program never owns the window.
bool StartedWithAConsoleOfItsOwn() { return false; }

int main(int argc, char** argv) { return ConverterMain(std::vector<std::string>(argv, argv + argc)); }
