// Writes the bundled sample model: an octagonal column that sways while
// standing and bends back and forth while "running", with a 64 x 64 brick
// skin painted in palette indices. Usage: make_sample OUTPUT.mdl
#include <cmath>
#include <cstdio>
#include <string>

#include "mdl_writer.h"

using namespace mdlwriter;

namespace {

constexpr int SIDES = 8;
constexpr int RINGS = 5;
constexpr double RADIUS = 8;
constexpr double HEIGHT = 48;
constexpr int SKIN = 64;
constexpr double PI = 3.14159265358979323846;

// Bricks in a red-brown ramp with light mortar lines; the back half of the
// skin (right of the seam) a little darker.
std::vector<uint8_t> BrickSkin() {
    std::vector<uint8_t> indices(SKIN * SKIN);
    for (int y = 0; y < SKIN; ++y) {
        for (int x = 0; x < SKIN; ++x) {
            const int row = y / 8;
            const int shifted = x + (row % 2) * 4;
            const bool mortar = y % 8 == 7 || shifted % 8 == 7;
            const int shade = ((x / 8) * 3 + row * 5) % 4;
            const int back = x >= SKIN / 2 ? 3 : 0;
            indices[size_t(y * SKIN + x)] = uint8_t(mortar ? 10 : 72 + shade + back);
        }
    }
    return indices;
}

// A point of the column bent sideways by angle (radians) at full height.
void Place(int ring, int side, double bend, double* out) {
    const double theta = 2 * PI * side / SIDES;
    const double h = HEIGHT * ring / (RINGS - 1);
    const double along = h / HEIGHT;
    out[0] = RADIUS * std::cos(theta) + std::sin(bend) * HEIGHT * along * along;
    out[1] = RADIUS * std::sin(theta);
    out[2] = h * (1 - 0.1 * (1 - std::cos(bend)));
}

Frame MakeFrame(const std::string& name, double bend, const Model& model) {
    Frame frame;
    frame.name = Frame::Name(name);
    for (int ring = 0; ring < RINGS; ++ring) {
        for (int side = 0; side < SIDES; ++side) {
            double p[3];
            Place(ring, side, bend, p);
            Vertex vertex{};
            for (int a = 0; a < 3; ++a)
                vertex.v[a] = uint8_t(std::lround((p[a] - model.translate[a]) / model.scale[a]));
            frame.vertices.push_back(vertex);
        }
    }
    return frame;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT.mdl\n");
        return 2;
    }
    Model model;
    model.skinwidth = SKIN;
    model.skinheight = SKIN;
    const float extent = float(RADIUS + HEIGHT);
    for (int a = 0; a < 3; ++a) {
        model.translate[a] = a == 2 ? 0.0f : -extent;
        model.scale[a] = (a == 2 ? extent : 2 * extent) / 255.0f;
    }
    model.boundingradius = extent;
    model.skins.push_back(Skin{0, BrickSkin()});

    // Sides 1 to 3 face front, 5 to 7 back; sides 0 and 4 lie on the seam.
    for (int ring = 0; ring < RINGS; ++ring) {
        for (int side = 0; side < SIDES; ++side) {
            const double theta = 2 * PI * side / SIDES;
            const bool back = side > SIDES / 2;
            const bool seam = side == 0 || side == SIDES / 2;
            const int s = int(std::lround((1 - std::cos(theta)) / 2 * (SKIN / 2 - 1))) + (back ? SKIN / 2 : 0);
            const int t = int(std::lround((1 - double(ring) / (RINGS - 1)) * (SKIN - 1)));
            model.texCoords.push_back(TexCoord{seam ? 1 : 0, s, t});
        }
    }
    for (int ring = 0; ring + 1 < RINGS; ++ring) {
        for (int side = 0; side < SIDES; ++side) {
            const int next = (side + 1) % SIDES;
            const int front = side < SIDES / 2 ? 1 : 0;
            const int a = ring * SIDES + side, b = ring * SIDES + next;
            const int c = (ring + 1) * SIDES + side, d = (ring + 1) * SIDES + next;
            // Clockwise seen from outside, as the format winds front faces.
            model.triangles.push_back(Triangle{front, {a, d, b}});
            model.triangles.push_back(Triangle{front, {a, c, d}});
        }
    }
    for (int f = 1; f <= 4; ++f) model.frames.push_back(MakeFrame("stand" + std::to_string(f), 0.04 * std::sin(f * PI / 2), model));
    for (int f = 1; f <= 6; ++f) model.frames.push_back(MakeFrame("run" + std::to_string(f), 0.5 * std::sin(f * PI / 3), model));

    if (!WriteFile(argv[1], model.Bytes())) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
