#include "capture.h"

#include "sha256.h"

bool ImportCapture::NoteDelivery(uint32_t message, const void* address, int32_t count, bool accept) {
    const FloatingPointState environment = ReadFloatingPointState();
    const DeliveryMessage* kind = FindDelivery(message);
    DeliverySeen delivery{message, kind, count, kind != nullptr && accept, address, {}, {}, environment};
    if (kind != nullptr && count > 0 && address != nullptr) {
        const auto* bytes = static_cast<const uint8_t*>(address);
        delivery.records.assign(bytes, bytes + size_t(count) * size_t(kind->recordSize));
    }
    if (message == PM_ANIMATIONS && !delivery.records.empty()) {
        // Offered is given: the data is the host's whether it accepts or not.
        const auto* animations = static_cast<const _ANIMATION*>(address);
        for (int32_t i = 0; i < count; ++i) {
            offered.emplace_back(animations[i].data);
            const int64_t elements = int64_t(animations[i].frameCount) * int64_t(animations[i].vertexCount);
            const bool present = elements > 0 && animations[i].data != nullptr;
            delivery.animationData.push_back({animations[i].data, present ? size_t(elements) : 0});
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
    const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    scaleImageCalls.push_back(ScaleImageCallSeen{width, height, Sha256Hex(pixels, count * sizeof(_COLOR)), callResult,
                                                 environment, std::vector<_COLOR>(pixels, pixels + count)});
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
