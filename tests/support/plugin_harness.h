// Runs the plug-in's exports in-process against a recording host window and
// a stand-in for the host's ScaleImage.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mdl_writer.h"
#include "plugin/exports.h"
#include "recording_host.h"

// The stand-in ScaleImage: records each call and answers with a distinct
// address of its own, or null when told to.
struct ScaleImageStandIn {
    struct Call {
        std::vector<_COLOR> pixels;
        const _COLOR* address;
        int width;
        int height;
        char* result;
    };
    static std::vector<Call> calls;
    static bool returnNull;
    static void Reset();
};

// A file in a fresh temporary folder, removed with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<uint8_t>& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path; }

private:
    std::string directory;
    std::string path;
};

// One host window, given to the plug-in with InitWindow at construction.
class PluginHarness {
public:
    PluginHarness();
    ~PluginHarness();

    RecordingHost& Host() { return host; }

    // One ExecFunction on these bytes; the capture holds what the host saw.
    ImportCapture Import(const std::vector<uint8_t>& bytes);
    ImportCapture Import(const mdlwriter::Model& model) { return Import(model.Bytes()); }
    ImportCapture ImportPath(const std::string& path) { return ImportPath(path.c_str()); }
    ImportCapture ImportPath(const char* path);  // as the host passes it: may be null

private:
    RecordingHost host;
};

// A small valid model: numverts vertices, numtris triangles over them, one
// 4 x 2 skin, and the named frames with distinct positions.
mdlwriter::Model SmallModel(int numverts, int numtris, const std::vector<std::string>& frameNames, int numskins = 1);

// Names parameterised tests after their case's name field.
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& param) {
    return param.param.name;
}

// The texts of message boxes, in order, for compact assertions.
std::vector<std::string> BoxTexts(const ImportCapture& report);
// The delivery message codes, in send order.
std::vector<uint32_t> Sent(const ImportCapture& report);
