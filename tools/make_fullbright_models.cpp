// Writes four models whose skins have texels the game draws at full
// brightness, to look at what the export, the thumbnail and the gallery make
// of them: a torch (a lit handle under a flame), a shot (a glowing bolt), a
// monster (a lit body with glowing eyes) and a standing flame in skin and
// frame groups. Each is a shape turned about an
// axis, its skin wrapped round it once, in a few frames.
// Usage: make_fullbright_models FOLDER
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "mdl_writer.h"

using namespace mdlwriter;

namespace {

constexpr int SIDES = 16;
constexpr int RINGS = 12;
constexpr int SKIN_WIDTH = 64;
constexpr int SKIN_HEIGHT = 64;
constexpr double PI = 3.14159265358979323846;

// A shape turned about the file's vertical axis: its radius at each height
// (both 0 to 1 of the whole) in a frame, and its skin's palette index at each
// texel, the skin's top at the shape's top and its middle column at the front.
struct Turned {
    double height;  // in file units
    double width;
    std::function<double(double along, double angle, int frame)> radius;
    std::function<uint8_t(int s, int t)> texel;
    std::function<double(double along, int frame)> sway = [](double, int) { return 0.0; };
    std::function<double(int frame)> stretch = [](int) { return 1.0; };  // of the height, frame by frame
};

// A small deterministic noise, so that the skins are not flat bands.
// Unsigned throughout: the products wrap by design.
int Noise(int s, int t) { return int((uint32_t(s) * 73856093u ^ uint32_t(t) * 19349663u) % 5u); }

Model Make(const Turned& shape, int frames, const std::string& name) {
    Model model;
    model.skinwidth = SKIN_WIDTH;
    model.skinheight = SKIN_HEIGHT;
    const auto extent = float(shape.width + shape.height);
    for (int a = 0; a < 3; ++a) {
        model.translate[a] = a == 2 ? 0.0f : -extent / 2;
        model.scale[a] = extent / 255.0f;
    }
    model.boundingradius = extent;
    Skin skin;
    for (int t = 0; t < SKIN_HEIGHT; ++t)
        for (int s = 0; s < SKIN_WIDTH; ++s) skin.indices.push_back(shape.texel(s, t));
    model.skins.push_back(skin);

    // A column more than the sides, at the skin's right edge, closes the seam.
    for (int ring = 0; ring < RINGS; ++ring) {
        for (int side = 0; side <= SIDES; ++side) {
            const int t = (RINGS - 1 - ring) * (SKIN_HEIGHT - 1) / (RINGS - 1);
            model.texCoords.push_back(TexCoord{0, side * SKIN_WIDTH / SIDES, t});
        }
    }
    const int columns = SIDES + 1;
    for (int ring = 0; ring + 1 < RINGS; ++ring) {
        for (int side = 0; side < SIDES; ++side) {
            const int a = ring * columns + side, b = a + 1, c = a + columns, d = c + 1;
            // Clockwise seen from outside, as the format winds front faces.
            model.triangles.push_back(Triangle{1, {a, d, b}});
            model.triangles.push_back(Triangle{1, {a, c, d}});
        }
    }
    for (int f = 0; f < frames; ++f) {
        Frame frame;
        frame.name = Frame::Name(name + std::to_string(f + 1));
        for (int ring = 0; ring < RINGS; ++ring) {
            const double along = double(ring) / (RINGS - 1);
            for (int side = 0; side <= SIDES; ++side) {
                // Side 0 at the back, so that the skin's middle faces front (+x).
                const double angle = PI + 2 * PI * side / SIDES;
                const double r = shape.radius(along, angle, f) * shape.width / 2;
                const double p[3] = {r * std::cos(angle) + shape.sway(along, f), r * std::sin(angle),
                                     along * shape.height * shape.stretch(f)};
                Vertex vertex{};
                for (int a = 0; a < 3; ++a) {
                    const double v = std::lround((p[a] - model.translate[a]) / model.scale[a]);
                    vertex.v[a] = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
                }
                frame.vertices.push_back(vertex);
            }
        }
        model.frames.push_back(frame);
    }
    return model;
}

// A handle of lit wood up to 45% of its height, then a flame that flickers:
// the palette's fullbright orange and yellow ramp, hotter upwards.
Model Torch() {
    Turned shape;
    shape.height = 64;
    shape.width = 24;
    shape.radius = [](double along, double, int frame) {
        if (along <= 0.45) return 0.25 + 0.1 * along;
        const double up = (along - 0.45) / 0.55;
        return (0.35 + 0.8 * std::sin(PI * std::pow(up, 0.6))) * (1 - up) * (1 + 0.08 * std::sin(frame * 2.1 + up * 7));
    };
    shape.sway = [](double along, int frame) { return along > 0.45 ? 2.5 * std::sin(frame * 1.7) * (along - 0.45) : 0; };
    shape.texel = [](int s, int t) -> uint8_t {
        const double up = 1 - double(t) / (SKIN_HEIGHT - 1);
        if (up <= 0.45) return uint8_t(16 + (s % 8 == 0 ? 5 : 9) + Noise(s, t) % 3);  // wood grain
        const int heat = int((up - 0.45) / 0.55 * 10) + Noise(s, t) % 3;
        return uint8_t(heat < 8 ? 231 + heat : 252 + (heat - 8) / 2);  // orange up to yellow and white
    };
    return Make(shape, 4, "burn");
}

// A glowing bolt, standing: a spindle of blue-white fullbright texels with a
// hot white band round its middle.
Model Shot() {
    Turned shape;
    shape.height = 40;
    shape.width = 16;
    shape.radius = [](double along, double, int frame) {
        return std::sin(PI * along) * (1 + 0.1 * std::sin(frame * PI / 2 + along * 9));
    };
    shape.texel = [](int s, int t) -> uint8_t {
        const int band = std::abs(t - SKIN_HEIGHT / 2) * 6 / SKIN_HEIGHT;  // 0 at the middle
        return uint8_t(band == 0 ? 254 - Noise(s, t) % 2 : 246 - (band + Noise(s, t)) % 3);
    };
    return Make(shape, 4, "fly");
}

// A squat lit body, brown with darker blotches, and two red eyes that glow
// on its front, a little above its middle.
Model Monster() {
    Turned shape;
    shape.height = 56;
    shape.width = 48;
    shape.radius = [](double along, double angle, int frame) {
        const double body = std::sqrt(std::max(0.0, std::sin(PI * (0.04 + 0.96 * along))));
        const double snout = 0.12 * std::max(0.0, std::cos(angle)) * std::exp(-std::pow((along - 0.6) * 6, 2));
        return (0.08 + 0.92 * body + snout) * (1 + 0.03 * std::sin(frame * PI / 2));
    };
    shape.texel = [](int s, int t) -> uint8_t {
        const double ds = s - SKIN_WIDTH / 2.0, dt = t - SKIN_HEIGHT * 0.3;
        for (const double eye : {-4.0, 4.0}) {
            const double d = std::hypot(ds - eye, dt);
            if (d < 1.2) return 254;  // the white-hot middle
            if (d < 2.6) return uint8_t(251 - (d > 2.0 ? 1 : 0));
        }
        if (std::abs(dt - 9) < 1.2 && std::abs(ds) < 6) return 0;  // the mouth
        return uint8_t(96 + 4 + (Noise(s / 3, t / 3) + (s + t) % 7 / 3) % 6);  // brown hide
    };
    return Make(shape, 4, "stand");
}

// A standing flame as the game's braziers have them: two frame groups, a
// low flame of 6 frames and a tall one of 11, both named flame1 on, each
// timed by its intervals; and a skin group of two, the second hotter, that
// flickers between them.
Model Flame() {
    Turned shape;
    shape.height = 60;
    shape.width = 20;
    shape.radius = [](double along, double angle, int frame) {
        const double lick = 1 + 0.2 * std::sin(frame * 2.3 + along * 11 + angle * 3) * along;
        return (0.1 + 0.95 * std::sin(PI * std::pow(along, 0.35))) * std::pow(1 - along, 1.3) * lick;
    };
    shape.sway = [](double along, int frame) { return 4.0 * std::sin(frame * 1.9) * along * along; };
    shape.stretch = [](int frame) { return (frame < 6 ? 0.6 : 1.0) * (1 + 0.06 * std::sin(frame * 2.9)); };
    shape.texel = [](int s, int t) -> uint8_t {
        const double up = 1 - double(t) / (SKIN_HEIGHT - 1);
        const int heat = int((1 - up) * 8) + Noise(s, t) % 3;
        return uint8_t(heat < 8 ? 231 + heat : 252 + (heat - 8) / 2);
    };
    Model model = Make(shape, 17, "flame");
    std::vector<uint8_t> hotter = model.skins[0].indices;
    for (uint8_t& texel : hotter) texel = uint8_t(texel < 238 ? texel + 2 : texel);
    model.skins[0] = Skin::Group({0.2f, 0.4f}, {model.skins[0].indices, hotter});
    for (int f = 6; f < 17; ++f) model.frames[size_t(f)].name = Frame::Name("flame" + std::to_string(f - 5));
    std::vector<float> low, tall;
    for (int f = 1; f <= 6; ++f) low.push_back(0.1f * float(f));
    for (int f = 1; f <= 11; ++f) tall.push_back(0.08f * float(f));
    const std::vector<Frame> frames = model.frames;
    model.frames = {Frame::Group(low, {frames.begin(), frames.begin() + 6}),
                    Frame::Group(tall, {frames.begin() + 6, frames.end()})};
    return model;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fullbright_models FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    bool ok = WriteFile(folder + "torch.mdl", Torch().Bytes());
    ok = WriteFile(folder + "shot.mdl", Shot().Bytes()) && ok;
    ok = WriteFile(folder + "monster.mdl", Monster().Bytes()) && ok;
    ok = WriteFile(folder + "flame.mdl", Flame().Bytes()) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_fullbright_models: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
