// libFuzzer target: one whole import run on arbitrary bytes, as a host runs
// it: a window whose capture accepts every list, and a ScaleImage that takes
// the pixels and returns a buffer of its own. Then the host side reads what
// it received: the model, the JSON dump, and the whole export (every file
// of it, frames and normals too) into a folder that keeps nothing. A model
// with groups then goes the converter's way too: ungrouped, imported and
// exported again.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/exports.h"
#include "export_scene.h"
#include "mdl/mdl_groups.h"
#include "reports.h"

namespace {

std::vector<char*> scaled;

struct FuzzHost {
    FuzzHost() : path("/tmp/mdlfuzz." + std::to_string(getpid()) + ".mdl") {
        window = winstub::CreateWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return capture.NoteDelivery(message, reinterpret_cast<const void*>(wParam), int32_t(lParam), true);
        });
        InitWindow(window);
    }
    std::string path;
    HWND window;
    ImportCapture capture;
};

}  // namespace

extern "C" char* ScaleImage(_COLOR* pixels, int width, int height) {
    const size_t bytes = size_t(width) * size_t(height) * sizeof(_COLOR);
    auto* copy = static_cast<char*>(std::malloc(bytes + 1));
    if (copy != nullptr && bytes > 0) std::memcpy(copy, pixels, bytes);
    std::free(pixels);
    scaled.push_back(copy);
    return copy;
}

namespace {

// One import of bytes and its whole export, timed and named by groups.
void ImportAndExport(FuzzHost& host, const uint8_t* data, size_t size, const MdlGroups& groups) {
    FILE* file = std::fopen(host.path.c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    const int result = ExecFunction(host.path.c_str());
    if (result != 1) std::abort();  // the window accepts everything
    host.capture.result = result;
    const ReceivedModel model = ReceiveModel(host.capture);
    JsonDump(model);
    ExportMessages messages;
    ExportOptions options;
    options.frames = true;
    ExportScene(model, groups, OutputFolder::Nowhere(messages), options);
    host.capture = ImportCapture{};
    for (char* buffer : scaled) std::free(buffer);
    scaled.clear();
}

}  // namespace

// The file as it is, and, as the converter does with a model the plug-in
// refuses for its groups, the same model with its groups as single entries.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzHost host;
    ImportAndExport(host, data, size, MdlGroups());
    const UngroupedModel ungrouped = UngroupModel(data, size);
    if (ungrouped.bytes.size() > size) std::abort();  // never larger than the file
    if (ungrouped.kind == UngroupedModel::Kind::Ungrouped)
        ImportAndExport(host, ungrouped.bytes.data(), ungrouped.bytes.size(), ungrouped.groups);
    return 0;
}
