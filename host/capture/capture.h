// What a host window saw during one import run, as it happened: every
// message with the records it carried, the message boxes, the ScaleImage
// calls, and the host's floating-point state at each of them. Hosts feed it
// from their window procedure, message-box watch and ScaleImage; tests and
// ReceiveModel read it.
//
// The capture owns the animation data offered to it (PM_ANIMATIONS, accepted
// or refused) and frees it when destroyed, so it is moved, never copied.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fp_state.h"
#include "records/protocol.h"

enum class BoxOwner { Host, None, Other };

struct MessageBoxSeen {
    BoxOwner owner;
    std::string text;
    std::optional<std::string> caption;
    uint32_t type;
    FloatingPointState environment{};  // the host's, as the box was shown
};

struct ScaleImageCallSeen {
    int32_t width;
    int32_t height;
    const char* result;  // compared with _TEXTURE.pixels; never read here
    FloatingPointState environment{};  // as ScaleImage returned
    std::vector<_COLOR> pixels;        // the skin as passed
};

// Positions of one animation record's data, owned by the capture.
struct AnimationData {
    const _VEC3* first = nullptr;
    size_t count = 0;  // frameCount x vertexCount, or 0

    size_t size() const { return count; }
    const _VEC3* data() const { return first; }
    const _VEC3& operator[](size_t i) const { return first[i]; }
    const _VEC3* begin() const { return first; }
    const _VEC3* end() const { return first + count; }
};

// One private window message and what it carried, copied while it was
// handled, as a host must. A message that is no delivery of the protocol is
// kept as unknown: no kind, no records, refused.
struct DeliverySeen {
    uint32_t message;
    const DeliveryMessage* kind;  // null for an unknown message
    int32_t count;
    bool accepted;
    const void* address;                      // as received; never read after the message
    std::vector<uint8_t> records;             // count records of the message's kind
    std::vector<AnimationData> animationData;  // PM_ANIMATIONS: each record's data
    FloatingPointState environment{};         // the host's, while it handled the message
};

class ImportCapture {
public:
    ImportCapture() = default;
    ImportCapture(ImportCapture&&) = default;
    ImportCapture& operator=(ImportCapture&&) = default;

    std::string file;
    int32_t result = 0;
    std::vector<MessageBoxSeen> messageBoxes;
    std::vector<ScaleImageCallSeen> scaleImageCalls;
    std::vector<DeliverySeen> deliveries;

    // A private message to the host window: recorded, and answered with the
    // verdict returned (the host's wish for a delivery, refusal for an
    // unknown message).
    bool NoteDelivery(uint32_t message, const void* address, int32_t count, bool accept);
    // owner and hostWindow are window handles; environment is the host's
    // floating-point state as the box showed, read before the host did
    // anything else.
    void NoteMessageBox(const void* owner, const void* hostWindow, const char* text, const char* caption,
                        uint32_t type, const FloatingPointState& environment);
    void NoteScaleImage(const _COLOR* pixels, int width, int height, const char* result);

    // The first delivery of a message, or null.
    const DeliverySeen* Find(uint32_t message) const;
    // The records of a message's first delivery.
    template <typename Record>
    std::vector<Record> Records(uint32_t message) const;
    // The ScaleImage call whose result a texture record carries, or null.
    const ScaleImageCallSeen* CallOf(const _TEXTURE& texture) const;

private:
    struct Free {
        void operator()(_VEC3* block) const { std::free(block); }
    };
    std::vector<std::unique_ptr<_VEC3, Free>> offered;
};

template <typename Record>
std::vector<Record> ImportCapture::Records(uint32_t message) const {
    std::vector<Record> records;
    if (const DeliverySeen* delivery = Find(message)) {
        records.resize(delivery->records.size() / sizeof(Record));
        if (!records.empty()) std::memcpy(records.data(), delivery->records.data(), records.size() * sizeof(Record));
    }
    return records;
}
