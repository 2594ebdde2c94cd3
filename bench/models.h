// The benchmark's models, written by the project's model writer: plausible
// geometry, skins and named frame sequences of a chosen size.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "mdl_writer.h"

struct ModelShape {
    std::string name;
    int verts;
    int tris;
    int frames;
    int sequences;
    int skins;
    int skinwidth;
    int skinheight;
    bool round = false;  // a closed surface of small faces, as real models are
};

// A model of the size of a real one: a ball of small faces (a ring of the
// shape's vertices per latitude, open at the poles) that swells and shrinks
// from frame to frame, its skin wrapped round it.
inline mdlwriter::Model MakeRoundModel(const ModelShape& shape) {
    using namespace mdlwriter;
    constexpr int SEGMENTS = 32;
    const int rings = shape.verts / SEGMENTS;
    Model model;
    model.skinwidth = shape.skinwidth;
    model.skinheight = shape.skinheight;
    model.scale[0] = model.scale[1] = model.scale[2] = 0.25f;
    model.translate[0] = model.translate[1] = model.translate[2] = -32;
    for (int i = 0; i < shape.skins; ++i) {
        mdlwriter::Skin skin;
        skin.indices.resize(size_t(shape.skinwidth) * size_t(shape.skinheight));
        for (size_t p = 0; p < skin.indices.size(); ++p) skin.indices[p] = uint8_t((p / 5 + p / size_t(5 * shape.skinwidth)) & 0x7F);
        model.skins.push_back(skin);
    }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < SEGMENTS; ++s)
            model.texCoords.push_back({0, s * (shape.skinwidth - 1) / SEGMENTS, r * (shape.skinheight - 1) / (rings - 1)});
    for (int r = 0; r + 1 < rings && int(model.triangles.size()) + 2 <= shape.tris; ++r) {
        for (int s = 0; s < SEGMENTS; ++s) {
            const int a = r * SEGMENTS + s, b = r * SEGMENTS + (s + 1) % SEGMENTS;
            model.triangles.push_back({1, {a, b, a + SEGMENTS}});
            model.triangles.push_back({1, {b, b + SEGMENTS, a + SEGMENTS}});
        }
    }
    const int perSequence = shape.frames / shape.sequences > 0 ? shape.frames / shape.sequences : 1;
    for (int f = 0; f < shape.frames; ++f) {
        Frame frame;
        frame.name = Frame::Name("swell" + std::to_string(f / perSequence) + "_" + std::to_string(f % perSequence));
        for (int r = 0; r < rings; ++r) {
            const double latitude = -1.4 + 2.8 * r / (rings - 1);
            const double radius = 100 + 12 * std::sin(f * 0.3 + r * 0.5);
            for (int s = 0; s < SEGMENTS; ++s) {
                const double longitude = 2 * 3.14159265358979 * s / SEGMENTS;
                const auto coordinate = [](double t) { return uint8_t(std::lround(128 + t)); };
                frame.vertices.push_back({{coordinate(radius * std::cos(latitude) * std::cos(longitude)),
                                           coordinate(radius * std::cos(latitude) * std::sin(longitude)),
                                           coordinate(radius * std::sin(latitude))},
                                          0});
            }
        }
        model.frames.push_back(std::move(frame));
    }
    return model;
}

inline mdlwriter::Model MakeModel(const ModelShape& shape) {
    using namespace mdlwriter;
    if (shape.round) return MakeRoundModel(shape);
    Model model;
    model.skinwidth = shape.skinwidth;
    model.skinheight = shape.skinheight;
    model.scale[0] = model.scale[1] = model.scale[2] = 0.25f;
    model.translate[0] = model.translate[1] = -32;
    for (int i = 0; i < shape.skins; ++i) {
        mdlwriter::Skin skin;
        skin.indices.resize(size_t(shape.skinwidth) * size_t(shape.skinheight));
        for (size_t p = 0; p < skin.indices.size(); ++p) skin.indices[p] = uint8_t((p * 7 + p / size_t(shape.skinwidth) + size_t(i) * 31) & 0xFF);
        model.skins.push_back(skin);
    }
    for (int j = 0; j < shape.verts; ++j)
        model.texCoords.push_back({j % 7 == 0 ? 1 : 0, j % (shape.skinwidth / 2), (j / 13) % shape.skinheight});
    for (int k = 0; k < shape.tris; ++k) {
        const int a = (k / 2) % shape.verts;
        model.triangles.push_back({k % 3 == 0 ? 0 : 1, {a, (a + 1) % shape.verts, (a + 1 + k % 2 * 10) % shape.verts}});
    }
    const int perSequence = shape.frames / shape.sequences > 0 ? shape.frames / shape.sequences : 1;
    for (int f = 0; f < shape.frames; ++f) {
        const int sequence = f / perSequence;
        const std::string stem = std::string("act") + char('a' + sequence % 26) + char('a' + sequence / 26 % 26);
        Frame frame;
        frame.name = Frame::Name(stem + std::to_string(f % perSequence + 1));
        frame.vertices.resize(size_t(shape.verts));
        for (int j = 0; j < shape.verts; ++j)
            frame.vertices[size_t(j)] = {{uint8_t(j * 37 + f), uint8_t(j * 91 + 2 * f), uint8_t(j * 13 + 3 * f)}, uint8_t(j)};
        model.frames.push_back(std::move(frame));
    }
    return model;
}

// The generated models of the comparison table (the small one is the sample).
inline std::vector<ModelShape> TableModels() {
    return {
        {"medium", 2000, 4000, 400, 20, 2, 320, 200},
        {"large", 20000, 40000, 1000, 20, 2, 320, 200},
        {"single-small", 40, 64, 1, 1, 1, 64, 64},
        {"single-large", 20000, 40000, 1, 1, 1, 1024, 256},
        {"round", 768, 1472, 150, 10, 1, 296, 180, true},
    };
}
