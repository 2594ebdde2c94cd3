// The benchmark's models, written by the project's model writer: plausible
// geometry, skins and named frame sequences of a chosen size.
#pragma once

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
};

inline mdlwriter::Model MakeModel(const ModelShape& shape) {
    using namespace mdlwriter;
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
    };
}
