#include "recording_host.h"

#include <utility>

RecordingHost::RecordingHost() {
    window = winstub::CreateWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        DeliverySeen delivery =
            CopyDelivery(message, reinterpret_cast<const void*>(wParam), static_cast<int32_t>(lParam));
        delivery.accepted = refused.count(message) == 0;
        delivery.environment = ReadFloatingPointState();
        report.deliveries.push_back(std::move(delivery));
        return report.deliveries.back().accepted ? 1 : 0;
    });
    previousPresenter = winstub::SetMessageBoxPresenter([this](HWND owner, const char* text, const char* caption,
                                                               UINT type) {
        const BoxOwner boxOwner = owner == nullptr ? BoxOwner::None : owner == window ? BoxOwner::Host : BoxOwner::Other;
        report.messageBoxes.push_back(
            MessageBoxSeen{boxOwner, text, caption ? std::optional<std::string>(caption) : std::nullopt, type,
                           ReadFloatingPointState()});
    });
}

RecordingHost::~RecordingHost() {
    winstub::SetMessageBoxPresenter(std::move(previousPresenter));
    winstub::DestroyWindow(window);
}

ImportReport RecordingHost::Take() { return std::exchange(report, ImportReport{}); }

void RecordingHost::NoteScaleImage(const _COLOR* pixels, int width, int height, const char* result) {
    report.scaleImageCalls.push_back(CopyScaleImageCall(pixels, width, height, result));
}
