#include "capture.h"

#include <cstdint>

namespace {

// count items of size bytes each, when both are positive and the whole fits
// in memory's addresses; 0 otherwise.
size_t ItemsThatFit(int64_t count, int64_t size) {
    if (count <= 0 || size <= 0 || uint64_t(count) > uint64_t(SIZE_MAX) / uint64_t(size)) return 0;
    return size_t(count);
}

}  // namespace

bool ImportCapture::NoteDelivery(uint32_t message, const void* address, int32_t count, bool accept) {
    const FloatingPointState environment = ReadFloatingPointState();
    const DeliveryMessage* kind = FindDelivery(message);
    DeliverySeen delivery{message, kind, count, kind != nullptr && accept, address, {}, {}, environment};
    const size_t records = kind != nullptr ? ItemsThatFit(count, kind->recordSize) : 0;
    if (records > 0 && address != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(address);
        delivery.records.assign(bytes, bytes + records * size_t(kind->recordSize));
    }
    if (message == PM_ANIMATIONS && !delivery.records.empty()) {
        // Offered is given: the data is the host's whether it accepts or not.
        // Its size is the record's frames times vertices: both must be
        // positive, or there is none to read.
        const auto* animations = static_cast<const _ANIMATION*>(address);
        for (size_t i = 0; i < records; ++i) {
            offered.emplace_back(animations[i].data);
            const _ANIMATION& record = animations[i];
            const bool counted = record.frameCount > 0 && record.vertexCount > 0;
            const size_t elements =
                counted ? ItemsThatFit(int64_t(record.frameCount) * int64_t(record.vertexCount), sizeof(_VEC3)) : 0;
            delivery.animationData.push_back({record.data, record.data != nullptr ? elements : 0});
        }
    }
    deliveries.push_back(std::move(delivery));
    return deliveries.back().accepted;
}

void ImportCapture::NoteMessageBox(const void* owner, const void* hostWindow, const char* text, const char* caption,
                                   uint32_t type, const FloatingPointState& environment) {
    const BoxOwner boxOwner = owner == nullptr ? BoxOwner::None : owner == hostWindow ? BoxOwner::Host : BoxOwner::Other;
    messageBoxes.push_back(MessageBoxSeen{boxOwner, text, caption ? std::optional<std::string>(caption) : std::nullopt,
                                          type, environment});
}

void ImportCapture::NoteScaleImage(const _COLOR* pixels, int width, int height, const char* callResult) {
    const FloatingPointState environment = ReadFloatingPointState();
    const size_t count =
        width > 0 && height > 0 ? ItemsThatFit(int64_t(width) * int64_t(height), sizeof(_COLOR)) : 0;
    scaleImageCalls.push_back(
        ScaleImageCallSeen{width, height, callResult, environment, std::vector<_COLOR>(pixels, pixels + count)});
}

const DeliverySeen* ImportCapture::Find(uint32_t message) const {
    for (const DeliverySeen& delivery : deliveries)
        if (delivery.message == message) return &delivery;
    return nullptr;
}

const ScaleImageCallSeen* ImportCapture::CallOf(const _TEXTURE& texture) const {
    const ScaleImageCallSeen* found = nullptr;
    for (const ScaleImageCallSeen& call : scaleImageCalls)
        if (call.result == texture.pixels) found = &call;
    return found;
}
