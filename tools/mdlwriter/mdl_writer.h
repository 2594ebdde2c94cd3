// Writes alias model files byte by byte, independently of the reader's own
// structs, so that a layout mistake on either side shows. Files can be made
// wrong on purpose: every header field is settable, entries carry their own
// group words, and the bytes can be patched or cut afterwards.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace mdlwriter {

// Header field offsets, for patching.
constexpr size_t OFFSET_NUMSKINS = 48;
constexpr size_t OFFSET_SKINWIDTH = 52;
constexpr size_t OFFSET_SKINHEIGHT = 56;
constexpr size_t OFFSET_NUMVERTS = 60;
constexpr size_t OFFSET_NUMTRIS = 64;
constexpr size_t OFFSET_NUMFRAMES = 68;
constexpr size_t HEADER_SIZE = 84;

// With skins in group, a skin group: its type (1 unless set), its count
// (the group's size unless set), its intervals and its skins; else a single
// skin, whose type may be set nonzero all the same.
struct Skin {
    int32_t type = 0;
    std::vector<uint8_t> indices;  // skinwidth x skinheight
    std::vector<float> intervals = {};
    std::vector<std::vector<uint8_t>> group = {};
    std::optional<int32_t> count = {};

    static Skin Group(std::vector<float> intervals, std::vector<std::vector<uint8_t>> skins) {
        Skin skin;
        skin.type = 1;
        skin.intervals = std::move(intervals);
        skin.group = std::move(skins);
        return skin;
    }
};

struct TexCoord {
    int32_t onseam;
    int32_t s;
    int32_t t;
};

struct Triangle {
    int32_t facesfront;
    int32_t vertindex[3];
};

struct Vertex {
    uint8_t v[3];
    uint8_t lightnormalindex;
};

// With frames in group, a frame group as a skin group is (its bounding
// box as every frame's); else a single frame.
struct Frame {
    int32_t type = 0;
    std::array<char, 16> name{};  // raw bytes: need not be terminated
    std::vector<Vertex> vertices;  // numverts
    std::vector<float> intervals = {};
    std::vector<Frame> group = {};
    std::optional<int32_t> count = {};

    static Frame Group(std::vector<float> intervals, std::vector<Frame> frames) {
        Frame frame;
        frame.type = 1;
        frame.intervals = std::move(intervals);
        frame.group = std::move(frames);
        return frame;
    }

    static std::array<char, 16> Name(const std::string& text) {
        std::array<char, 16> name{};
        std::memcpy(name.data(), text.data(), text.size() < 16 ? text.size() : 16);
        return name;
    }
};

struct Model {
    uint8_t ident[4] = {'I', 'D', 'P', 'O'};
    int32_t version = 6;
    float scale[3] = {1, 1, 1};
    float translate[3] = {0, 0, 0};
    float boundingradius = 0;
    float eyeposition[3] = {0, 0, 0};
    int32_t skinwidth = 8;
    int32_t skinheight = 8;
    int32_t synctype = 0;
    int32_t flags = 0;
    float size = 0;
    std::vector<Skin> skins;
    std::vector<TexCoord> texCoords;  // numverts comes from here
    std::vector<Triangle> triangles;
    std::vector<Frame> frames;

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out;
        out.insert(out.end(), ident, ident + 4);
        Int(out, version);
        for (float f : scale) Float(out, f);
        for (float f : translate) Float(out, f);
        Float(out, boundingradius);
        for (float f : eyeposition) Float(out, f);
        Int(out, int32_t(skins.size()));
        Int(out, skinwidth);
        Int(out, skinheight);
        Int(out, int32_t(texCoords.size()));
        Int(out, int32_t(triangles.size()));
        Int(out, int32_t(frames.size()));
        Int(out, synctype);
        Int(out, flags);
        Float(out, size);
        for (const Skin& skin : skins) {
            Int(out, skin.type);
            if (skin.group.empty()) {
                out.insert(out.end(), skin.indices.begin(), skin.indices.end());
                continue;
            }
            Int(out, skin.count.value_or(int32_t(skin.group.size())));
            for (float interval : skin.intervals) Float(out, interval);
            for (const std::vector<uint8_t>& indices : skin.group) out.insert(out.end(), indices.begin(), indices.end());
        }
        for (const TexCoord& tc : texCoords) {
            Int(out, tc.onseam);
            Int(out, tc.s);
            Int(out, tc.t);
        }
        for (const Triangle& tri : triangles) {
            Int(out, tri.facesfront);
            for (int32_t index : tri.vertindex) Int(out, index);
        }
        for (const Frame& frame : frames) {
            Int(out, frame.type);
            if (frame.group.empty()) {
                FrameBody(out, frame);
                continue;
            }
            Int(out, frame.count.value_or(int32_t(frame.group.size())));
            out.insert(out.end(), BBOX, BBOX + 8);
            for (float interval : frame.intervals) Float(out, interval);
            for (const Frame& member : frame.group) FrameBody(out, member);
        }
        return out;
    }

    static constexpr uint8_t BBOX[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    // A frame without its group word.
    static void FrameBody(std::vector<uint8_t>& out, const Frame& frame) {
        out.insert(out.end(), BBOX, BBOX + 8);
        out.insert(out.end(), frame.name.begin(), frame.name.end());
        for (const Vertex& vertex : frame.vertices) {
            out.insert(out.end(), vertex.v, vertex.v + 3);
            out.push_back(vertex.lightnormalindex);
        }
    }

    static void Int(std::vector<uint8_t>& out, int32_t value) {
        const auto bits = uint32_t(value);
        for (int shift = 0; shift < 32; shift += 8) out.push_back(uint8_t(bits >> shift));
    }
    static void Float(std::vector<uint8_t>& out, float value) {
        int32_t bits;
        std::memcpy(&bits, &value, 4);
        Int(out, bits);
    }
};

inline void PatchInt32(std::vector<uint8_t>& bytes, size_t offset, int32_t value) {
    const auto bits = uint32_t(value);
    for (size_t i = 0; i < 4; ++i) bytes.at(offset + i) = uint8_t(bits >> (8 * i));
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace mdlwriter
