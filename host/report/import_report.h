// What a host saw of one import run, and its two renderings: a readable
// report and the JSON dump. Shared by the reference hosts on both platforms.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "fp_state.h"
#include "records/host_records.h"

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
    std::string pixelsSha256;
    const char* result;  // compared with _TEXTURE.pixels; never read here
    FloatingPointState environment{};  // as ScaleImage returned
    std::vector<_COLOR> pixels;        // the skin as passed, for exports
};

// One delivery message and the records it carried, copied while it was
// handled, as a host must.
struct DeliverySeen {
    uint32_t message;
    int32_t count;
    bool accepted;
    const void* address;                        // as received; never read after the message
    std::vector<uint8_t> records;              // count records of the message's kind
    std::vector<std::vector<_VEC3>> animationData;  // PM_ANIMATIONS: each record's data
    FloatingPointState environment{};  // the host's, while it handled the message
};

struct ImportReport {
    std::string file;
    int32_t result = 0;
    std::vector<MessageBoxSeen> messageBoxes;
    std::vector<ScaleImageCallSeen> scaleImageCalls;
    std::vector<DeliverySeen> deliveries;

    template <typename Record>
    std::vector<Record> Records(uint32_t message) const;
    const DeliverySeen* Find(uint32_t message) const;
    // The ScaleImage call whose result a texture record carries, or null.
    const ScaleImageCallSeen* CallOf(const _TEXTURE& texture) const;
};

// The delivery messages as the host knows them.
namespace pm {
constexpr uint32_t FACES = 1228;
constexpr uint32_t VERTICES = 1226;
constexpr uint32_t ANIMATIONS = 1248;
constexpr uint32_t TEXTURES = 1244;
constexpr uint32_t FACEMAPS = 1240;
}  // namespace pm

// Delivery message codes and their names, in delivery order.
struct DeliveryKind {
    uint32_t message;
    const char* name;
    int32_t recordSize;
};
extern const DeliveryKind DELIVERY_KINDS[5];
const DeliveryKind* FindDeliveryKind(uint32_t message);
const DeliveryKind* FindDeliveryKind(const std::string& name);

// Copies what a delivery message carries: count records at address.
DeliverySeen CopyDelivery(uint32_t message, const void* address, int32_t count);

// Copies what a ScaleImage call was given, with the host's floating-point
// state as it returns.
ScaleImageCallSeen CopyScaleImageCall(const _COLOR* pixels, int width, int height, const char* result);

// Animation data offered to the host is the host's to free, accepted or not.
void FreeOfferedAnimationData(const ImportReport& report);

std::string Sha256Hex(const void* bytes, size_t size);
std::string HexOf(const uint8_t* bytes, size_t size);

std::string ReportJson(const ImportReport& report);
std::string ReportText(const ImportReport& report, const std::string& description);

template <typename Record>
std::vector<Record> ImportReport::Records(uint32_t message) const {
    std::vector<Record> records;
    if (const DeliverySeen* delivery = Find(message)) {
        records.resize(delivery->records.size() / sizeof(Record));
        if (!records.empty()) std::memcpy(records.data(), delivery->records.data(), records.size() * sizeof(Record));
    }
    return records;
}
