// The delivery protocol between the plug-in and its host: one window message
// per record list, sent in a fixed order, each carrying the address of the
// list's records and their count. Both sides take the codes, names, order
// and record sizes from here.
#pragma once

#include <cstdint>
#include <cstring>

#include "records/host_records.h"
#include "records/record_list.h"

// Private window-class messages run from WM_USER up to WM_APP; below them are
// the platform's own.
constexpr uint32_t PRIVATE_MESSAGES_FIRST = 0x0400;  // WM_USER
constexpr uint32_t PRIVATE_MESSAGES_END = 0x8000;    // WM_APP

constexpr uint32_t PM_VERTICES = PRIVATE_MESSAGES_FIRST + 202;    // 1226
constexpr uint32_t PM_FACES = PRIVATE_MESSAGES_FIRST + 204;       // 1228
constexpr uint32_t PM_FACEMAPS = PRIVATE_MESSAGES_FIRST + 216;    // 1240
constexpr uint32_t PM_TEXTURES = PRIVATE_MESSAGES_FIRST + 220;    // 1244
constexpr uint32_t PM_ANIMATIONS = PRIVATE_MESSAGES_FIRST + 224;  // 1248

struct DeliveryMessage {
    uint32_t message;
    const char* name;
    int32_t kind;        // the record list's kind code
    int32_t recordSize;  // bytes per record: the stride of the list
};

// In delivery order. A host window answers nonzero to accept a list.
constexpr DeliveryMessage DELIVERY_ORDER[] = {
    {PM_FACES, "PM_FACES", KIND_FACE, sizeof(_FACE)},
    {PM_VERTICES, "PM_VERTICES", KIND_VERTEX, sizeof(_VERTEX)},
    {PM_ANIMATIONS, "PM_ANIMATIONS", KIND_ANIMATION, sizeof(_ANIMATION)},
    {PM_TEXTURES, "PM_TEXTURES", KIND_TEXTURE, sizeof(_TEXTURE)},
    {PM_FACEMAPS, "PM_FACEMAPS", KIND_FACEMAP, sizeof(_FACEMAP)},
};
constexpr size_t DELIVERY_COUNT = sizeof DELIVERY_ORDER / sizeof DELIVERY_ORDER[0];

// The delivery a message code or name stands for, or null.
inline const DeliveryMessage* FindDelivery(uint32_t message) {
    for (const DeliveryMessage& delivery : DELIVERY_ORDER)
        if (delivery.message == message) return &delivery;
    return nullptr;
}

inline const DeliveryMessage* FindDelivery(const char* name) {
    for (const DeliveryMessage& delivery : DELIVERY_ORDER)
        if (std::strcmp(delivery.name, name) == 0) return &delivery;
    return nullptr;
}

inline bool IsPrivateMessage(uint32_t message) {
    return message >= PRIVATE_MESSAGES_FIRST && message < PRIVATE_MESSAGES_END;
}
