// What the host received in one import run, built once from its capture and
// read by every writer (JSON dump, text report, glTF, OBJ): the exchange as
// it went (message boxes, ScaleImage calls, deliveries and verdicts), the records
// as delivered, and the same records as a mesh: vertices, faces with the
// texture coordinates of their corners, skins as pixels, and
// animations as frames.
//
// Animation frames point into the capture's data: the capture outlives the
// model.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "capture.h"

// One message to the host window, in send order.
struct ReceivedDelivery {
    uint32_t message;
    const DeliveryMessage* kind;  // null for an unknown message
    int32_t count;
    bool accepted;
};

struct ReceivedTexture {
    _TEXTURE record;
    std::optional<size_t> call;  // the ScaleImage call whose result the record carries
};

struct ReceivedAnimation {
    _ANIMATION record;
    AnimationData data;
    std::string name;  // the record's name up to its terminator
    size_t frames;     // 0 unless the data holds every frame of every vertex

    // The positions of frame f, one per vertex of the model.
    const _VEC3* Frame(size_t f) const { return data.first + f * size_t(record.vertexCount); }
};

struct Corner {
    int32_t vertex;
    _UV uv;  // in 1/256 of the skin; 0, 0 without a face map
};

// Corners in the host's winding.
struct Face {
    Corner corners[3];
};

struct Skin {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<_COLOR> pixels;  // as the plug-in passed them to ScaleImage
};

struct ReceivedModel {
    std::string file;
    int32_t result = 0;
    std::vector<MessageBoxSeen> messageBoxes;
    // Their pixels only where no texture took them: the skins hold the rest.
    std::vector<ScaleImageCallSeen> scaleImageCalls;
    std::vector<ReceivedDelivery> deliveries;

    // The records of each kind's first delivery, as delivered.
    std::vector<_FACE> faceRecords;
    std::vector<_VERTEX> vertexRecords;
    std::vector<ReceivedAnimation> animations;
    std::vector<ReceivedTexture> textures;
    std::vector<_FACEMAP> faceMapRecords;

    // The mesh.
    std::vector<_VEC3> vertices;  // the rest pose, in host axes
    std::vector<Face> faces;      // those whose corners are all vertices received
    std::vector<Skin> skins;      // one per texture record

    // A successful import: the run returned 1 without a message box, and
    // every list of the protocol was delivered, in order, and accepted.
    bool Succeeded() const;

    // The pixels passed to ScaleImage in call c: the skin of a texture that
    // took them, or the call's own.
    const std::vector<_COLOR>& CallPixels(size_t c) const;
};

ReceivedModel ReceiveModel(const ImportCapture& capture);

// Bytes as text: each byte the character of the same code, so that names
// and box texts show their bytes whatever code page they were meant in.
std::string BytesAsText(const std::string& bytes);

const char* OwnerName(BoxOwner owner);

