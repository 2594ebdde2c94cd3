#include "plugin_harness.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

std::vector<ScaleImageStandIn::Call> ScaleImageStandIn::calls;
bool ScaleImageStandIn::returnNull = false;

namespace {
// Results point into this block, one byte a call, so that each is distinct.
char resultTokens[1 << 16];
RecordingHost* activeHost = nullptr;
}  // namespace

void ScaleImageStandIn::Reset() {
    // The host owns the pixel buffers it is handed; kept until here so that
    // each call's buffer has an address of its own.
    for (const Call& call : calls) std::free(const_cast<_COLOR*>(call.address));
    calls.clear();
    returnNull = false;
}

extern "C" char* ScaleImage(_COLOR* pixels, int width, int height) {
    const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    char* result = ScaleImageStandIn::returnNull ? nullptr
                                                 : resultTokens + ScaleImageStandIn::calls.size() % sizeof resultTokens;
    ScaleImageStandIn::calls.push_back({std::vector<_COLOR>(pixels, pixels + count), pixels, width, height, result});
    if (activeHost != nullptr) activeHost->NoteScaleImage(pixels, width, height, result);
    return result;
}

TempFile::TempFile(const std::vector<uint8_t>& bytes) {
    char pattern[] = "/tmp/mdltest.XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory = pattern;
    path = directory + "/model.mdl";
    if (!mdlwriter::WriteFile(path, bytes)) throw std::runtime_error("cannot write " + path);
}

TempFile::~TempFile() {
    unlink(path.c_str());
    rmdir(directory.c_str());
}

PluginHarness::PluginHarness() {
    ScaleImageStandIn::Reset();
    activeHost = &host;
    InitWindow(host.Window());
}

PluginHarness::~PluginHarness() {
    ScaleImageStandIn::Reset();
    activeHost = nullptr;
}

ImportCapture PluginHarness::ImportPath(const char* path) {
    const int result = ExecFunction(path);
    ImportCapture capture = host.Take();
    capture.file = path != nullptr ? path : "";
    capture.result = result;
    return capture;
}

ImportCapture PluginHarness::Import(const std::vector<uint8_t>& bytes) {
    TempFile file(bytes);
    return ImportPath(file.Path());
}

mdlwriter::Model SmallModel(int numverts, int numtris, const std::vector<std::string>& frameNames, int numskins) {
    mdlwriter::Model model;
    model.skinwidth = 4;
    model.skinheight = 2;
    for (int i = 0; i < numskins; ++i) model.skins.push_back({0, {0, 1, 2, 3, 252, 253, 254, uint8_t(255 - i)}});
    for (int j = 0; j < numverts; ++j) model.texCoords.push_back({j % 2, j % 5, j % 3});
    for (int k = 0; k < numtris; ++k)
        model.triangles.push_back({k % 2, {k % numverts, (k + 1) % numverts, (k + 2) % numverts}});
    for (size_t f = 0; f < frameNames.size(); ++f) {
        mdlwriter::Frame frame;
        frame.name = mdlwriter::Frame::Name(frameNames[f]);
        for (int j = 0; j < numverts; ++j)
            frame.vertices.push_back({{uint8_t(j), uint8_t(f), uint8_t(j + f)}, 0});
        model.frames.push_back(frame);
    }
    return model;
}

std::vector<std::string> BoxTexts(const ImportCapture& report) {
    std::vector<std::string> texts;
    for (const MessageBoxSeen& box : report.messageBoxes) texts.push_back(box.text);
    return texts;
}

std::vector<uint32_t> Sent(const ImportCapture& report) {
    std::vector<uint32_t> codes;
    for (const DeliverySeen& delivery : report.deliveries) codes.push_back(delivery.message);
    return codes;
}
