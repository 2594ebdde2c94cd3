#include "import_report.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include <nlohmann/json.hpp>

using Json = nlohmann::ordered_json;

const DeliveryKind DELIVERY_KINDS[5] = {
    {pm::FACES, "PM_FACES", sizeof(_FACE)},
    {pm::VERTICES, "PM_VERTICES", sizeof(_VERTEX)},
    {pm::ANIMATIONS, "PM_ANIMATIONS", sizeof(_ANIMATION)},
    {pm::TEXTURES, "PM_TEXTURES", sizeof(_TEXTURE)},
    {pm::FACEMAPS, "PM_FACEMAPS", sizeof(_FACEMAP)},
};

namespace {

// Each byte as the character of the same code, so that the dump shows the
// bytes themselves whatever code page they were meant in.
std::string BytesAsText(const char* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            text += char(byte);
        } else {
            text += char(0xC0 | (byte >> 6));
            text += char(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string FixedText(const char* field, size_t size) { return BytesAsText(field, strnlen(field, size)); }

Json Float(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    return double(value);
}

Json RecordJson(const ImportReport& report, const DeliverySeen& delivery, int32_t index) {
    const DeliveryKind* kind = FindDeliveryKind(delivery.message);
    const uint8_t* bytes = delivery.records.data() + size_t(index) * size_t(kind->recordSize);
    switch (delivery.message) {
    case pm::FACES: {
        _FACE face;
        std::memcpy(&face, bytes, sizeof face);
        return Json{{"vertex", {face.vertex[0], face.vertex[1], face.vertex[2]}},
                    {"flags", face.flags},
                    {"color", face.color}};
    }
    case pm::VERTICES: {
        _VERTEX vertex;
        std::memcpy(&vertex, bytes, sizeof vertex);
        return Json{{"x", Float(vertex.x)},
                    {"y", Float(vertex.y)},
                    {"z", Float(vertex.z)},
                    {"tail", {vertex.unused[0], vertex.unused[1], vertex.unused[2]}}};
    }
    case pm::ANIMATIONS: {
        _ANIMATION animation;
        std::memcpy(&animation, bytes, sizeof animation);
        const std::vector<_VEC3>& data = delivery.animationData[size_t(index)];
        return Json{{"name", FixedText(animation.name, sizeof animation.name)},
                    {"frameCount", animation.frameCount},
                    {"param", animation.param},
                    {"vertexCount", animation.vertexCount},
                    {"reserved", animation.reserved},
                    {"dataSha256", Sha256Hex(data.data(), data.size() * sizeof(_VEC3))}};
    }
    case pm::TEXTURES: {
        _TEXTURE texture;
        std::memcpy(&texture, bytes, sizeof texture);
        const ScaleImageCallSeen* seen = report.CallOf(texture);
        const Json call = seen != nullptr ? Json(size_t(seen - report.scaleImageCalls.data())) : Json(nullptr);
        return Json{{"reserved", texture.reserved},
                    {"name", FixedText(texture.name, sizeof texture.name)},
                    {"scaleImageCall", call}};
    }
    case pm::FACEMAPS: {
        _FACEMAP map;
        std::memcpy(&map, bytes, sizeof map);
        Json uv = Json::array();
        for (const _UV& corner : map.uv) uv.push_back({corner.u, corner.v});
        return Json{{"reserved", {map.reserved0, map.reserved1}}, {"face", map.face}, {"uv", uv}};
    }
    default:
        return nullptr;
    }
}

const char* OwnerName(BoxOwner owner) {
    switch (owner) {
    case BoxOwner::Host: return "host";
    case BoxOwner::None: return "none";
    default: return "other";
    }
}

const char* IconName(uint32_t type) {
    switch (type & 0xF0) {
    case 0x10: return "error icon";
    case 0x40: return "information icon";
    case 0x00: return "no icon";
    default: return "other icon";
    }
}

}  // namespace

const DeliveryKind* FindDeliveryKind(uint32_t message) {
    for (const DeliveryKind& kind : DELIVERY_KINDS)
        if (kind.message == message) return &kind;
    return nullptr;
}

const DeliveryKind* FindDeliveryKind(const std::string& name) {
    for (const DeliveryKind& kind : DELIVERY_KINDS)
        if (name == kind.name) return &kind;
    return nullptr;
}

const DeliverySeen* ImportReport::Find(uint32_t message) const {
    for (const DeliverySeen& delivery : deliveries)
        if (delivery.message == message) return &delivery;
    return nullptr;
}

const ScaleImageCallSeen* ImportReport::CallOf(const _TEXTURE& texture) const {
    const ScaleImageCallSeen* found = nullptr;
    for (const ScaleImageCallSeen& call : scaleImageCalls)
        if (call.result == texture.pixels) found = &call;
    return found;
}

ScaleImageCallSeen CopyScaleImageCall(const _COLOR* pixels, int width, int height, const char* result) {
    const size_t count = width > 0 && height > 0 ? size_t(width) * size_t(height) : 0;
    return ScaleImageCallSeen{width, height, Sha256Hex(pixels, count * sizeof(_COLOR)), result,
                              ReadFloatingPointState(), std::vector<_COLOR>(pixels, pixels + count)};
}

DeliverySeen CopyDelivery(uint32_t message, const void* address, int32_t count) {
    DeliverySeen delivery{message, count, false, address, {}, {}};
    const DeliveryKind* kind = FindDeliveryKind(message);
    if (kind == nullptr || count <= 0 || address == nullptr) return delivery;
    const auto* bytes = static_cast<const uint8_t*>(address);
    delivery.records.assign(bytes, bytes + size_t(count) * size_t(kind->recordSize));
    if (message == pm::ANIMATIONS) {
        const auto* animations = static_cast<const _ANIMATION*>(address);
        for (int32_t i = 0; i < count; ++i) {
            const _ANIMATION& animation = animations[i];
            const int64_t elements = int64_t(animation.frameCount) * int64_t(animation.vertexCount);
            std::vector<_VEC3> data;
            if (elements > 0 && animation.data != nullptr) data.assign(animation.data, animation.data + elements);
            delivery.animationData.push_back(std::move(data));
        }
    }
    return delivery;
}

std::string HexOf(const uint8_t* bytes, size_t size) {
    static const char HEX[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += HEX[bytes[i] >> 4];
        text += HEX[bytes[i] & 15];
    }
    return text;
}

void FreeOfferedAnimationData(const ImportReport& report) {
    for (const _ANIMATION& animation : report.Records<_ANIMATION>(pm::ANIMATIONS)) std::free(animation.data);
}

std::string ReportJson(const ImportReport& report) {
    Json boxes = Json::array();
    for (const MessageBoxSeen& box : report.messageBoxes) {
        boxes.push_back(Json{{"owner", OwnerName(box.owner)},
                             {"text", BytesAsText(box.text.data(), box.text.size())},
                             {"caption", box.caption ? Json(BytesAsText(box.caption->data(), box.caption->size()))
                                                     : Json(nullptr)},
                             {"type", box.type}});
    }
    Json calls = Json::array();
    for (const ScaleImageCallSeen& call : report.scaleImageCalls)
        calls.push_back(Json{{"width", call.width}, {"height", call.height}, {"pixelsSha256", call.pixelsSha256}});
    Json deliveries = Json::array();
    for (const DeliverySeen& delivery : report.deliveries) {
        Json records = Json::array();
        for (int32_t i = 0; i < delivery.count && !delivery.records.empty(); ++i)
            records.push_back(RecordJson(report, delivery, i));
        deliveries.push_back(Json{{"message", FindDeliveryKind(delivery.message)->name},
                                  {"code", delivery.message},
                                  {"count", delivery.count},
                                  {"accepted", delivery.accepted},
                                  {"records", records}});
    }
    const Json dump{{"file", BytesAsText(report.file.data(), report.file.size())},
                    {"result", report.result},
                    {"messageBoxes", boxes},
                    {"scaleImageCalls", calls},
                    {"deliveries", deliveries}};
    return dump.dump(2, ' ', true) + "\n";
}

std::string ReportText(const ImportReport& report, const std::string& description) {
    std::ostringstream out;
    out << "Plug-in:\n";
    std::istringstream lines(description);
    for (std::string line; std::getline(lines, line);) out << "  " << line << "\n";
    out << "File: " << report.file << "\n";
    for (const MessageBoxSeen& box : report.messageBoxes) {
        out << "Message box [" << (box.caption ? *box.caption : std::string("(default caption)")) << "] "
            << box.text << "  (owner: " << OwnerName(box.owner) << ", " << IconName(box.type) << ")\n";
    }
    for (const DeliverySeen& delivery : report.deliveries) {
        out << FindDeliveryKind(delivery.message)->name << " (" << delivery.message << "): " << delivery.count
            << (delivery.count == 1 ? " record, " : " records, ") << (delivery.accepted ? "accepted" : "refused")
            << "\n";
        if (delivery.message == pm::ANIMATIONS) {
            for (const _ANIMATION& animation : report.Records<_ANIMATION>(pm::ANIMATIONS))
                out << "  animation '" << FixedText(animation.name, sizeof animation.name) << "': "
                    << animation.frameCount << (animation.frameCount == 1 ? " frame\n" : " frames\n");
        }
    }
    out << "Result: " << report.result << "\n";
    return out.str();
}
