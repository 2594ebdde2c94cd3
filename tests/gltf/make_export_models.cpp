// Writes the models whose exports the glTF validator checks: a seam, several
// skins, no frames, one frame, a repeated sequence name, more than 65,535
// glTF vertices, 20,000 frames in one animation, and sequences named as
// markup, quotes and bytes that are not UTF-8, in a model of two skins; and
// skin and frame groups.
// Usage: make_export_models FOLDER
#include <cmath>
#include <cstdio>
#include <string>

#include "mdl_writer.h"

using namespace mdlwriter;

namespace {

constexpr double PI = 3.14159265358979323846;

// A tube of sides x rings vertices around the file's Z axis, wound clockwise
// seen from outside; the far half faces back, with its seam corners on sides
// 0 and sides/2. Each frame leans it a little further.
Model Tube(int sides, int rings, const std::vector<std::string>& frames, int skins = 1) {
    Model model;
    model.skinwidth = 16;
    model.skinheight = 8;
    for (int i = 0; i < skins; ++i) {
        Skin skin;
        for (int p = 0; p < 16 * 8; ++p) skin.indices.push_back(uint8_t(p * 7 + i * 40));
        model.skins.push_back(skin);
    }
    for (int a = 0; a < 3; ++a) {
        model.scale[a] = 0.25f;
        model.translate[a] = a == 2 ? 0.0f : -32.0f;
    }
    for (int ring = 0; ring < rings; ++ring) {
        for (int side = 0; side < sides; ++side) {
            const bool seam = side == 0 || side * 2 == sides;
            const int s = side * 2 < sides ? side * 8 * 2 / sides : 8 + (side * 2 - sides) * 8 / sides;
            model.texCoords.push_back({seam ? 1 : 0, s, ring * 7 / std::max(rings - 1, 1)});
        }
    }
    for (int ring = 0; ring + 1 < rings; ++ring) {
        for (int side = 0; side < sides; ++side) {
            const int next = (side + 1) % sides;
            const int front = side * 2 < sides ? 1 : 0;
            const int a = ring * sides + side, b = ring * sides + next;
            const int c = (ring + 1) * sides + side, d = (ring + 1) * sides + next;
            model.triangles.push_back({front, {a, d, b}});
            model.triangles.push_back({front, {a, c, d}});
        }
    }
    for (size_t f = 0; f < frames.size(); ++f) {
        Frame frame;
        frame.name = Frame::Name(frames[f]);
        for (int ring = 0; ring < rings; ++ring) {
            for (int side = 0; side < sides; ++side) {
                const double theta = 2 * PI * side / sides;
                const double lean = double(f) * ring / std::max(rings - 1, 1);
                const double x = 24 * std::cos(theta) + 32 + lean, y = 24 * std::sin(theta) + 32;
                const double z = 60.0 * ring / std::max(rings - 1, 1);
                frame.vertices.push_back({{uint8_t(std::lround(x * 4)), uint8_t(std::lround(y * 4)),
                                           uint8_t(std::lround(z * 4))}, 0});
            }
        }
        model.frames.push_back(frame);
    }
    return model;
}

// One triangle of 3 vertices in one long animation, swaying frame by frame:
// all but the weights is small, so the file's size is the weights' measure.
Model LongAnimation(int frames) {
    Model model = Tube(3, 2, {});
    model.texCoords.resize(3);
    model.triangles = {{1, {0, 1, 2}}};
    for (int f = 0; f < frames; ++f) {
        Frame frame;
        frame.name = Frame::Name("run" + std::to_string(f + 1));
        frame.vertices = {{{0, 0, 0}, 0}, {{uint8_t(100 + f % 50), 0, 0}, 0}, {{0, 100, uint8_t(f % 200)}, 0}};
        model.frames.push_back(frame);
    }
    return model;
}

// Frame groups as the first and the last entry with a single frame between,
// both of one stem, the second with intervals that do not increase; a single
// skin, then a group of two.
Model Groups() {
    Model model = Tube(6, 3, {"flame1", "flame2", "flame3", "flame4", "stand1", "flame1", "flame2", "flame3"}, 3);
    const auto group = [&model](size_t first, std::vector<float> intervals) {
        const auto begin = model.frames.begin() + long(first), end = begin + long(intervals.size());
        Frame frames = Frame::Group(std::move(intervals), std::vector<Frame>(begin, end));
        model.frames.insert(model.frames.erase(begin, end), std::move(frames));
    };
    group(5, {0.1f, 0.1f, NAN});
    group(0, {0.05f, 0.1f, 0.15f, 0.2f});
    model.skins[1] = Skin::Group({0.1f, 0.3f}, {model.skins[1].indices, model.skins[2].indices});
    model.skins.pop_back();
    return model;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_export_models FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = true;
    ok &= WriteFile(folder + "seam.mdl", Tube(8, 3, {"stand1", "stand2"}).Bytes());
    ok &= WriteFile(folder + "skins.mdl", Tube(6, 2, {"idle1", "idle2"}, 3).Bytes());
    ok &= WriteFile(folder + "no_frames.mdl", Tube(6, 2, {}).Bytes());
    ok &= WriteFile(folder + "one_frame.mdl", Tube(6, 2, {"pose1"}).Bytes());
    ok &= WriteFile(folder + "repeated_names.mdl",
                    Tube(6, 3, {"stand1", "stand2", "run1", "run2", "run3", "stand1", "stand2"}).Bytes());
    ok &= WriteFile(folder + "many_vertices.mdl", Tube(300, 220, {"wave1", "wave2"}, 1).Bytes());
    ok &= WriteFile(folder + "long_animation.mdl", LongAnimation(20000).Bytes());
    ok &= WriteFile(folder + "groups.mdl", Groups().Bytes());
    ok &= WriteFile(folder + "hostile_names.mdl",
                    Tube(6, 3, {"</script>1", "</script>2", "<b id=x>1", "<svg onload=x>1", "\"'&amp;1", "\xff\xfe" "1"}, 2)
                        .Bytes());
    return ok ? 0 : 1;
}
