// A Linux host window for the plug-in: it copies every delivered list while
// handling its message, answers with the verdict it is told, records the
// message boxes shown and the ScaleImage calls made. Used by the reference
// host program and by the tests.
#pragma once

#include <set>

#include "import_report.h"
#include "winstub.h"

class RecordingHost {
public:
    RecordingHost();
    ~RecordingHost();

    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    HWND Window() const { return window; }
    void Refuse(uint32_t message) { refused.insert(message); }

    // Everything seen since the last Take, which starts a new report.
    ImportReport Take();

    // Records a ScaleImage call: for the host's own image function, or a
    // test's stand-in.
    void NoteScaleImage(const _COLOR* pixels, int width, int height, const char* result);

private:
    HWND window;
    std::set<uint32_t> refused;
    ImportReport report;
    winstub::MessageBoxPresenter previousPresenter;
};
