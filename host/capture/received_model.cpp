#include "received_model.h"

#include <cstring>

namespace {

std::vector<Face> FacesOf(const ReceivedModel& model) {
    std::vector<Face> faces;
    faces.reserve(model.faceRecords.size());
    for (size_t k = 0; k < model.faceRecords.size(); ++k) {
        Face face{};
        bool inside = true;
        for (int c = 0; c < 3; ++c) {
            const int32_t vertex = model.faceRecords[k].vertex[c];
            inside &= vertex >= 0 && size_t(vertex) < model.vertices.size();
            face.corners[c] = {vertex, k < model.faceMapRecords.size() ? model.faceMapRecords[k].uv[c] : _UV{0, 0}};
        }
        if (inside) faces.push_back(face);
    }
    return faces;
}

}  // namespace

std::string BytesAsText(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += char(byte);
        } else {
            text += char(0xC0 | (byte >> 6));
            text += char(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

const char* OwnerName(BoxOwner owner) {
    switch (owner) {
    case BoxOwner::Host: return "host";
    case BoxOwner::None: return "none";
    default: return "other";
    }
}

bool ReceivedModel::Succeeded() const {
    if (result != 1 || !messageBoxes.empty() || deliveries.size() != DELIVERY_COUNT) return false;
    for (size_t i = 0; i < deliveries.size(); ++i)
        if (deliveries[i].message != DELIVERY_ORDER[i].message || !deliveries[i].accepted) return false;
    return true;
}

const std::vector<_COLOR>& ReceivedModel::CallPixels(size_t c) const {
    for (size_t t = 0; t < textures.size(); ++t)
        if (textures[t].call == c) return skins[t].pixels;
    return scaleImageCalls[c].pixels;
}

ReceivedModel ReceiveModel(const ImportCapture& capture) {
    ReceivedModel model;
    model.file = capture.file;
    model.result = capture.result;
    model.messageBoxes = capture.messageBoxes;
    for (const ScaleImageCallSeen& call : capture.scaleImageCalls)
        model.scaleImageCalls.push_back({call.width, call.height, call.result, call.environment, {}});
    for (const DeliverySeen& delivery : capture.deliveries)
        model.deliveries.push_back({delivery.message, delivery.kind, delivery.count, delivery.accepted});

    model.faceRecords = capture.Records<_FACE>(PM_FACES);
    model.vertexRecords = capture.Records<_VERTEX>(PM_VERTICES);
    model.faceMapRecords = capture.Records<_FACEMAP>(PM_FACEMAPS);
    for (const _TEXTURE& texture : capture.Records<_TEXTURE>(PM_TEXTURES)) {
        const ScaleImageCallSeen* call = capture.CallOf(texture);
        model.textures.push_back(
            {texture, call ? std::optional<size_t>(size_t(call - capture.scaleImageCalls.data())) : std::nullopt});
        Skin skin;
        if (call != nullptr) skin = {call->width, call->height, call->pixels};
        model.skins.push_back(std::move(skin));
    }
    std::vector<bool> taken(capture.scaleImageCalls.size(), false);
    for (const ReceivedTexture& texture : model.textures)
        if (texture.call) taken[*texture.call] = true;
    for (size_t c = 0; c < taken.size(); ++c)
        if (!taken[c]) model.scaleImageCalls[c].pixels = capture.scaleImageCalls[c].pixels;

    for (const _VERTEX& vertex : model.vertexRecords) model.vertices.push_back({vertex.x, vertex.y, vertex.z});
    model.faces = FacesOf(model);

    const std::vector<_ANIMATION> animations = capture.Records<_ANIMATION>(PM_ANIMATIONS);
    for (size_t k = 0; k < animations.size(); ++k) {
        const _ANIMATION& record = animations[k];
        const AnimationData data = capture.Find(PM_ANIMATIONS)->animationData[k];
        // Frames are poses of the whole mesh: data of fewer vertices is none.
        const bool whole = data.count > 0 && size_t(record.vertexCount) >= model.vertices.size();
        model.animations.push_back({record, data, std::string(record.name, strnlen(record.name, sizeof record.name)),
                                    whole ? size_t(record.frameCount) : 0});
    }
    return model;
}
