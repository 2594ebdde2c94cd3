#include "recording_host.h"

#include <utility>

RecordingHost::RecordingHost() {
    window = winstub::CreateWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (!IsPrivateMessage(message)) return 0;
        return capture.NoteDelivery(message, reinterpret_cast<const void*>(wParam), static_cast<int32_t>(lParam),
                                    refused.count(message) == 0);
    });
    previousPresenter = winstub::SetMessageBoxPresenter(
        [this](HWND owner, const char* text, const char* caption, UINT type) {
            capture.NoteMessageBox(owner, window, text, caption, type, ReadFloatingPointState());
        });
}

RecordingHost::~RecordingHost() {
    winstub::SetMessageBoxPresenter(std::move(previousPresenter));
    winstub::DestroyWindow(window);
}

ImportCapture RecordingHost::Take() { return std::exchange(capture, ImportCapture{}); }

void RecordingHost::NoteScaleImage(const _COLOR* pixels, int width, int height, const char* result) {
    capture.NoteScaleImage(pixels, width, height, result);
}
