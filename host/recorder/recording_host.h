// A Linux host window for the plug-in: it hands every message and message box
// to its capture, answers deliveries with the verdict it is told, and
// records the ScaleImage calls it is shown. Used by the reference host
// program and by the tests.
#pragma once

#include <set>

#include "capture.h"
#include "winstub.h"

class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();

    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    HWND Window() const { return window; }
    void Refuse(uint32_t message) { refused.insert(message); }

    // Everything seen since the last Take, which starts a new capture.
    ImportCapture Take();

    // Records a ScaleImage call: for the host's own image function, or a
    // test's stand-in.
    void NoteScaleImage(const _COLOR* pixels, int width, int height, const char* result);

private:
    HWND window;
    std::set<uint32_t> refused;
    ImportCapture capture;
    winstub::MessageBoxPresenter previousPresenter;
};
