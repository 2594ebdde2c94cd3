// mdlhost: the reference host. Loads the plug-in module, asks it what it is,
// gives it a window and runs one import, then reports what it received.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "export_scene.h"
#include "plugin_exports.h"
#include "recording_host.h"
#include "tovra_main.h"
#include "writers.h"

namespace {

std::string Beside(const std::string& file) {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0) return file;
    std::string path(self.data(), size_t(length));
    return path.substr(0, path.rfind('/') + 1) + file;
}

void NoteScaleImage(void* context, const _COLOR* pixels, int width, int height, const char* result) {
    static_cast<RecordingHost*>(context)->NoteScaleImage(pixels, width, height, result);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Runs one import of a model file through the plug-in and reports what the host received."};
    std::string file = MDL_SAMPLE_PATH;
    std::string pluginPath = Beside("libmdlimport.so");
    bool json = false;
    std::vector<std::string> refused;
    std::filesystem::path exportDir;
    ExportOptions exportOptions;
    std::string interpolation = "step";
    std::string normals = "smooth";
    app.add_option("file", file, "model file to import (default: the bundled sample)");
    app.add_flag("--json", json, "print the JSON dump instead of the report");
    app.add_option("--refuse", refused, "make the host window refuse this delivery (PM_FACES, PM_VERTICES, "
                                        "PM_ANIMATIONS, PM_TEXTURES, PM_FACEMAPS); may be repeated")
        ->allow_extra_args(false)
        ->check([](const std::string& name) {
            return FindDelivery(name.c_str()) ? std::string() : "not a delivery message: " + name;
        });
    app.add_option("--export", exportDir,
                   "write what the host received to this folder: model.glb (binary glTF with every skin and "
                   "animation), and model.obj with its skins as PNG");
    app.add_option("--export-interpolation", interpolation, "animation playback in model.glb: step (default) or linear")
        ->check(CLI::IsMember({"step", "linear"}));
    app.add_option("--export-normals", normals,
                   "normals in the export: smooth (default), per point and frame, or none for smaller files")
        ->check(CLI::IsMember({"smooth", "none"}));
    app.add_flag("--export-frames", exportOptions.frames, "also write every animation frame as an OBJ under frames/");
    app.add_option("--plugin", pluginPath, "plug-in module to load");
    CLI11_PARSE(app, argc, argv);
    exportOptions.interpolation = interpolation == "linear" ? Interpolation::Linear : Interpolation::Step;
    exportOptions.normals = normals == "smooth";

    void* module = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::cerr << "mdlhost: cannot load the plug-in: " << dlerror() << "\n";
        return 2;
    }
    PluginExports plugin{};
    if (const char* missing = ResolveExports([module](const char* name, int) { return dlsym(module, name); }, plugin)) {
        std::cerr << "mdlhost: the plug-in does not export " << missing << "\n";
        return 2;
    }

    int status = 0;
    {
        RecordingHost host;
        for (const std::string& name : refused) host.Refuse(FindDelivery(name.c_str())->message);
        SetScaleImageObserver(NoteScaleImage, &host);

        const int type = plugin.GetType();
        const std::string description = plugin.GetInfo(1);
        const std::string label = plugin.ReturnLabel(1);
        plugin.ReturnData(0, 0);
        plugin.InitWindow(host.Window());
        const int result = plugin.ExecFunction(file.c_str());

        ImportCapture capture = host.Take();
        capture.file = file;
        capture.result = result;
        SetScaleImageObserver(nullptr, nullptr);
        const ReceivedModel model = ReceiveModel(capture);

        if (!exportDir.empty() && !ExportScene(model, exportDir, exportOptions, std::cerr)) status = 1;
        if (json) {
            std::cout << ReportJson(model);
        } else {
            std::cout << "Plug-in type: " << type << "\nFilter: " << label << "\n" << ReportText(model, description);
        }
        if (!model.Succeeded()) status = 1;
    }
    ReleaseScaledImages();
    dlclose(module);
    return status;
}
