// The JSON dump: one object per run, every record of every list as
// delivered. Other tools compare dumps byte for byte.
#include <cmath>
#include <cstring>

#include <nlohmann/json.hpp>

#include "sha256.h"
#include "reports.h"

using Json = nlohmann::ordered_json;

namespace {

std::string FixedText(const char* field, size_t size) { return BytesAsText(std::string(field, strnlen(field, size))); }

Json Float(float value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    return double(value);
}

Json FaceJson(const _FACE& face) {
    return Json{{"vertex", {face.vertex[0], face.vertex[1], face.vertex[2]}}, {"flags", face.flags}, {"color", face.color}};
}

Json VertexJson(const _VERTEX& vertex) {
    return Json{{"x", Float(vertex.x)},
                {"y", Float(vertex.y)},
                {"z", Float(vertex.z)},
                {"tail", {vertex.unused[0], vertex.unused[1], vertex.unused[2]}}};
}

Json AnimationJson(const ReceivedAnimation& animation) {
    const _ANIMATION& record = animation.record;
    return Json{{"name", BytesAsText(animation.name)},
                {"frameCount", record.frameCount},
                {"param", record.param},
                {"vertexCount", record.vertexCount},
                {"reserved", record.reserved},
                {"dataSha256", Sha256Hex(animation.data.first, animation.data.count * sizeof(_VEC3))}};
}

Json TextureJson(const ReceivedTexture& texture) {
    return Json{{"reserved", texture.record.reserved},
                {"name", FixedText(texture.record.name, sizeof texture.record.name)},
                {"scaleImageCall", texture.call ? Json(*texture.call) : Json(nullptr)}};
}

Json FaceMapJson(const _FACEMAP& map) {
    Json uv = Json::array();
    for (const _UV& corner : map.uv) uv.push_back({corner.u, corner.v});
    return Json{{"reserved", {map.reserved0, map.reserved1}}, {"face", map.face}, {"uv", uv}};
}

template <typename Record, typename Write>
Json ArrayOf(const std::vector<Record>& records, Write write) {
    Json array = Json::array();
    for (const Record& record : records) array.push_back(write(record));
    return array;
}

// The model keeps the records of each kind's first delivery; the protocol
// sends each list once.
Json RecordsJson(const ReceivedModel& model, size_t list) {
    const uint32_t message = model.deliveries[list].message;
    for (size_t earlier = 0; earlier < list; ++earlier)
        if (model.deliveries[earlier].message == message) return Json::array();
    switch (message) {
    case PM_FACES: return ArrayOf(model.faceRecords, FaceJson);
    case PM_VERTICES: return ArrayOf(model.vertexRecords, VertexJson);
    case PM_ANIMATIONS: return ArrayOf(model.animations, AnimationJson);
    case PM_TEXTURES: return ArrayOf(model.textures, TextureJson);
    case PM_FACEMAPS: return ArrayOf(model.faceMapRecords, FaceMapJson);
    default: return Json::array();
    }
}

}  // namespace

std::string JsonDump(const ReceivedModel& model) {
    Json boxes = Json::array();
    for (const MessageBoxSeen& box : model.messageBoxes) {
        boxes.push_back(Json{{"owner", OwnerName(box.owner)},
                             {"text", BytesAsText(box.text)},
                             {"caption", box.caption ? Json(BytesAsText(*box.caption))
                                                     : Json(nullptr)},
                             {"type", box.type}});
    }
    Json calls = Json::array();
    // Hashed here alone: a run that writes no dump never reads the hash.
    for (size_t c = 0; c < model.scaleImageCalls.size(); ++c) {
        const ScaleImageCallSeen& call = model.scaleImageCalls[c];
        const std::vector<_COLOR>& pixels = model.CallPixels(c);
        calls.push_back(Json{{"width", call.width},
                             {"height", call.height},
                             {"pixelsSha256", Sha256Hex(pixels.data(), pixels.size() * sizeof(_COLOR))}});
    }
    Json deliveries = Json::array();
    for (size_t i = 0; i < model.deliveries.size(); ++i) {
        const ReceivedDelivery& list = model.deliveries[i];
        deliveries.push_back(Json{{"message", list.kind ? Json(list.kind->name) : Json(nullptr)},
                                  {"code", list.message},
                                  {"count", list.count},
                                  {"accepted", list.accepted},
                                  {"records", RecordsJson(model, i)}});
    }
    const Json dump{{"file", BytesAsText(model.file)},
                    {"result", model.result},
                    {"messageBoxes", boxes},
                    {"scaleImageCalls", calls},
                    {"deliveries", deliveries}};
    return dump.dump(2, ' ', true) + "\n";
}

std::string JsonDump(const ImportCapture& capture) { return JsonDump(ReceiveModel(capture)); }
