// The benchmark's models, written by the project's model writer: plausible
// geometry, skins and named frame sequences of a chosen size.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
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
            // x tells j modulo 256 and y then j / 256, so that no two
            // vertices lie together, as in a real model.
            frame.vertices[size_t(j)] = {
                {uint8_t(j * 37 + f), uint8_t(j / 256 * 91 + j * 13 + 2 * f), uint8_t(j * 13 + 3 * f)}, uint8_t(j)};
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

// The value share p of the way through a distribution known by some of its
// quantiles (share, value), log-linear between them.
inline double Quantile(const std::vector<std::pair<double, double>>& known, double p) {
    for (size_t i = 1; i < known.size(); ++i) {
        if (p > known[i].first && i + 1 < known.size()) continue;
        const double t = (p - known[i - 1].first) / (known[i].first - known[i - 1].first);
        return std::exp(std::log(known[i - 1].second) + t * (std::log(known[i].second) - std::log(known[i - 1].second)));
    }
    return known.back().second;
}

// A game's worth of models: balls like round, their vertices, triangles,
// frames and skins spread as those of 687 real ones (the median 219
// vertices, 246 triangles, one frame and a 128x128 skin; the 90th
// percentile 1,169 vertices, 89 frames and 256x512). The larger a model,
// the more frames it has, as a monster has more than an item.
inline std::vector<ModelShape> RealShapedModels(int count) {
    const std::vector<std::pair<double, double>> vertices = {{0, 64}, {0.5, 219}, {0.9, 1169}, {1, 3000}};
    const std::vector<std::pair<double, double>> frames = {{0, 1}, {0.55, 1}, {0.9, 89}, {1, 300}};
    struct SkinSize {
        double upTo;  // share of the models
        int width, height;
    };
    const SkinSize skins[] = {{0.2, 64, 64}, {0.6, 128, 128}, {0.75, 256, 128}, {0.9, 256, 256}, {1, 256, 512}};
    std::vector<ModelShape> shapes;
    for (int i = 0; i < count; ++i) {
        const double p = (i + 0.5) / count;
        // The skin's share apart from the size's, by a step that visits every
        // share in turn.
        const double q = std::fmod(p * 7 + 0.31, 1.0);
        const SkinSize* skin =
            std::find_if(std::begin(skins), std::end(skins), [q](const SkinSize& s) { return q <= s.upTo; });
        // Whole rings of 32, at least two.
        const int verts = std::max(64, int(std::lround(Quantile(vertices, p) / 32)) * 32);
        const int frameCount = int(std::lround(Quantile(frames, p)));
        char name[16];
        std::snprintf(name, sizeof name, "real%03d", i);
        shapes.push_back({name, verts, int(std::lround(verts * 246.0 / 219)), frameCount, std::max(1, frameCount / 10),
                          1, skin->width, skin->height, true});
    }
    return shapes;
}
