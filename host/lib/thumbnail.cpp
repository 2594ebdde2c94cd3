#include "thumbnail.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

using Vector = std::array<double, 3>;

// Samples per pixel along each axis: the edges come out smooth, the skin's
// texels stay sharp.
constexpr int SAMPLES = 2;
// Where the eye is, in the export's axes (Y up, the model's front +Z, its
// left +X): about 35 degrees round to the model's left and 20 above, three
// radii of the model's bounding sphere from its centre.
constexpr Vector EYE_DIRECTION = {0.57, 0.36, 0.82};
constexpr double EYE_DISTANCE = 3.0;
// The light comes from above the eye and a little to its left.
constexpr Vector LIGHT_DIRECTION = {0.24, 1.16, 1.05};
constexpr double AMBIENT = 0.45;
constexpr double DIFFUSE = 0.75;
// The picture's share left empty on each side of the model.
constexpr double MARGIN = 0.05;
// Screen positions in 1/16 of a sample, so that edge tests are exact.
constexpr int SUBPIXEL = 16;
constexpr uint8_t UNTEXTURED = 170;
constexpr double TEXEL_NUDGE = 1.0 / 1024;  // of a texel  // grey, for a model without a skin

double Dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector Cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vector Scaled(const Vector& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }

Vector Normalised(const Vector& a) { return Scaled(a, 1.0 / std::sqrt(Dot(a, a))); }

bool Finite(const Vec3& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// A vertex as the camera sees it.
struct Projected {
    double x;  // on the picture plane, at distance 1
    double y;
    double inverseDepth;
    int64_t sx = 0;  // on the sample grid, in SUBPIXEL units, y down
    int64_t sy = 0;
};

// The nearest surface at each sample, and its colour. Nearer wins; at the
// same depth the larger colour does, so the result is the same in any order.
struct Samples {
    explicit Samples(int side_) : side(side_), depth(size_t(side_) * size_t(side_), 0.0f), rgb(depth.size(), 0) {}

    void Put(size_t at, float inverseDepth, uint32_t colour) {
        if (inverseDepth > depth[at] || (inverseDepth == depth[at] && colour > rgb[at])) {
            depth[at] = inverseDepth;
            rgb[at] = colour;
        }
    }

    int side;
    std::vector<float> depth;  // 1 / distance from the eye; 0 where nothing is drawn
    std::vector<uint32_t> rgb;
};

// The texel at u, v (fractions of the skin, repeating), nearest.
uint32_t Texel(const Skin* skin, double u, double v) {
    if (skin == nullptr) return uint32_t(UNTEXTURED) << 16 | uint32_t(UNTEXTURED) << 8 | UNTEXTURED;
    const auto wrap = [](double t, int32_t extent) {
        // The file places corners on texel edges, so a face along an edge
        // interpolates to it give or take rounding: a little nudge keeps it
        // on the texel that starts there, as the game samples it.
        const double scaled = std::floor(t * extent + TEXEL_NUDGE);
        // Far outside the skin (a hostile coordinate) reads its first texel.
        if (!(std::fabs(scaled) < 1e9)) return int64_t(0);
        const int64_t i = int64_t(scaled) % extent;
        return i < 0 ? i + extent : i;
    };
    const _COLOR& c = skin->pixels[size_t(wrap(v, skin->height) * skin->width + wrap(u, skin->width))];
    return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
}

uint32_t Shade(uint32_t texel, double light) {
    const auto channel = [light](uint32_t value) {
        return std::min<uint32_t>(255, uint32_t(double(value) * light + 0.5));
    };
    return channel(texel >> 16 & 0xFF) << 16 | channel(texel >> 8 & 0xFF) << 8 | channel(texel & 0xFF);
}

// Twice the signed area of a, b, p on the sample grid; positive when p lies
// to the right of a->b as the picture shows it (y down).
int64_t Edge(const Projected& a, const Projected& b, int64_t px, int64_t py) {
    return (b.sx - a.sx) * (py - a.sy) - (b.sy - a.sy) * (px - a.sx);
}

// A sample exactly on an edge belongs to one of the two triangles that share
// it: to the one whose top or left edge it is.
bool TopLeft(const Projected& a, const Projected& b) { return (a.sy == b.sy && b.sx > a.sx) || b.sy < a.sy; }

class Rasteriser {
public:
    Rasteriser(Samples& samples_, const Skin* skin_, const Vector& toEye_, const Vector& light_)
        : samples(samples_), skin(skin_), toEye(toEye_), light(light_) {}

    struct Corner {
        const Projected* at;
        const SkinPoint* uv;
        Vector normal;
    };

    using Corners = std::array<Corner, 3>;

    void Draw(Corners& c) {
        // The same corner first whichever corner the face starts with, so the
        // sums below come out the same.
        std::rotate(c.begin(), std::min_element(c.begin(), c.end(), [](const Corner& a, const Corner& b) { return a.at < b.at; }),
                    c.end());
        int64_t area = Edge(*c[0].at, *c[1].at, c[2].at->sx, c[2].at->sy);
        if (area == 0) return;
        // Both sides are drawn, each wound clockwise on the sample grid.
        if (area < 0) {
            std::swap(c[1], c[2]);
            area = -area;
        }
        const Projected &a = *c[0].at, &b = *c[1].at, &d = *c[2].at;
        const int64_t last = samples.side - 1;
        const int64_t x0 = std::max<int64_t>(0, std::min({a.sx, b.sx, d.sx}) / SUBPIXEL);
        const int64_t x1 = std::min<int64_t>(last, std::max({a.sx, b.sx, d.sx}) / SUBPIXEL);
        const int64_t y0 = std::max<int64_t>(0, std::min({a.sy, b.sy, d.sy}) / SUBPIXEL);
        const int64_t y1 = std::min<int64_t>(last, std::max({a.sy, b.sy, d.sy}) / SUBPIXEL);
        const int64_t bias[3] = {TopLeft(b, d) ? 0 : -1, TopLeft(d, a) ? 0 : -1, TopLeft(a, b) ? 0 : -1};
        for (int64_t y = y0; y <= y1; ++y) {
            const int64_t py = y * SUBPIXEL + SUBPIXEL / 2;
            for (int64_t x = x0; x <= x1; ++x) {
                const int64_t px = x * SUBPIXEL + SUBPIXEL / 2;
                const int64_t w[3] = {Edge(b, d, px, py), Edge(d, a, px, py), Edge(a, b, px, py)};
                if (w[0] + bias[0] < 0 || w[1] + bias[1] < 0 || w[2] + bias[2] < 0) continue;
                Fill(size_t(y) * size_t(samples.side) + size_t(x), c, w, double(area));
            }
        }
    }

private:
    void Fill(size_t at, const Corners& c, const int64_t w[3], double area) {
        // Depth and every attribute interpolated as the perspective has it.
        double weight[3];
        double inverseDepth = 0;
        for (int i = 0; i < 3; ++i) {
            weight[i] = double(w[i]) / area * c[i].at->inverseDepth;
            inverseDepth += weight[i];
        }
        const auto depth = float(inverseDepth);
        if (depth < samples.depth[at]) return;
        double u = 0, v = 0;
        Vector normal = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            const double share = weight[i] / inverseDepth;
            u += share * c[i].uv->u;
            v += share * c[i].uv->v;
            for (int k = 0; k < 3; ++k) normal[size_t(k)] += share * c[i].normal[size_t(k)];
        }
        // A surface seen from behind (the inside of an open model) is lit
        // on the side the eye sees. This goes by the smooth normal, not the
        // face's winding, so that a sliver folded over by the file's coarse
        // vertex grid shades as the surface around it.
        if (Dot(normal, toEye) < 0) normal = Scaled(normal, -1.0);
        const double length = std::sqrt(Dot(normal, normal));
        const double facing = length > 0 ? std::max(0.0, Dot(normal, light) / length) : 0.0;
        samples.Put(at, depth, Shade(Texel(skin, u, v), AMBIENT + DIFFUSE * facing));
    }

    Samples& samples;
    const Skin* skin;
    Vector toEye;
    Vector light;
};

// Each pixel the mean of its samples: coverage as alpha, the colour of what
// covers it.
std::vector<uint8_t> Resolve(const Samples& samples, int size) {
    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * 4, 0);
    constexpr uint32_t PER_PIXEL = SAMPLES * SAMPLES;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            uint32_t covered = 0, sum[3] = {};
            for (int j = 0; j < SAMPLES; ++j) {
                for (int i = 0; i < SAMPLES; ++i) {
                    const size_t at = size_t(y * SAMPLES + j) * size_t(samples.side) + size_t(x * SAMPLES + i);
                    if (samples.depth[at] == 0) continue;
                    ++covered;
                    for (int k = 0; k < 3; ++k) sum[k] += samples.rgb[at] >> (16 - 8 * k) & 0xFF;
                }
            }
            if (covered == 0) continue;
            uint8_t* pixel = &rgba[(size_t(y) * size_t(size) + size_t(x)) * 4];
            for (int k = 0; k < 3; ++k) pixel[k] = uint8_t((sum[k] + covered / 2) / covered);
            pixel[3] = uint8_t((covered * 255 + PER_PIXEL / 2) / PER_PIXEL);
        }
    }
    return rgba;
}

}  // namespace

std::vector<uint8_t> DrawThumbnail(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size) {
    const int side = size * SAMPLES;
    Samples samples(side);
    const std::vector<Vec3>& positions = rest.positions;

    // The bounds of what is drawn: the corners of faces at finite places.
    std::vector<bool> drawn(mesh.vertexCount, false);
    Vector low = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity(),
                  std::numeric_limits<double>::infinity()};
    Vector high = Scaled(low, -1.0);
    for (const ExportFace& face : mesh.faces) {
        if (!Finite(positions[face[0].vertex]) || !Finite(positions[face[1].vertex]) ||
            !Finite(positions[face[2].vertex]))
            continue;
        for (const ExportCorner& corner : face) {
            drawn[corner.vertex] = true;
            for (size_t k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], double(positions[corner.vertex][k]));
                high[k] = std::max(high[k], double(positions[corner.vertex][k]));
            }
        }
    }
    const Vector centre = Scaled({low[0] + high[0], low[1] + high[1], low[2] + high[2]}, 0.5);
    const Vector extent = {high[0] - low[0], high[1] - low[1], high[2] - low[2]};
    const double radius = std::sqrt(Dot(extent, extent)) / 2;
    if (!(radius > 0) || !std::isfinite(radius)) return Resolve(samples, size);

    // The eye's frame: forward, right and up.
    const Vector toEye = Normalised(EYE_DIRECTION);
    const Vector forward = Scaled(toEye, -1.0);
    const Vector right = Normalised(Cross(forward, {0, 1, 0}));
    const Vector up = Cross(right, forward);
    const Vector eye = {centre[0] + toEye[0] * radius * EYE_DISTANCE, centre[1] + toEye[1] * radius * EYE_DISTANCE,
                        centre[2] + toEye[2] * radius * EYE_DISTANCE};

    // Every drawn vertex on the picture plane; every one lies beyond the
    // bounding sphere's near side, so its depth is at least two radii.
    std::vector<Projected> projected(mesh.vertexCount);
    double left = std::numeric_limits<double>::infinity(), bottom = left, rightmost = -left, top = -left;
    for (size_t v = 0; v < mesh.vertexCount; ++v) {
        if (!drawn[v]) continue;
        const Vector q = {positions[v][0] - eye[0], positions[v][1] - eye[1], positions[v][2] - eye[2]};
        const double depth = Dot(q, forward);
        Projected& p = projected[v];
        p = {Dot(q, right) / depth, Dot(q, up) / depth, 1.0 / depth};
        left = std::min(left, p.x);
        rightmost = std::max(rightmost, p.x);
        bottom = std::min(bottom, p.y);
        top = std::max(top, p.y);
    }
    // Framed: the larger of the model's width and height fills the picture
    // but for the margins, and the model stands in its middle.
    const double span = std::max(rightmost - left, top - bottom);
    if (!(span > 0) || !std::isfinite(span)) return Resolve(samples, size);
    const double scale = side * (1 - 2 * MARGIN) / span * SUBPIXEL;
    if (!std::isfinite(scale)) return Resolve(samples, size);
    const double middleX = (left + rightmost) / 2, middleY = (bottom + top) / 2;
    for (size_t v = 0; v < mesh.vertexCount; ++v) {
        if (!drawn[v]) continue;
        Projected& p = projected[v];
        p.sx = int64_t(std::floor(side * SUBPIXEL / 2.0 + (p.x - middleX) * scale + 0.5));
        p.sy = int64_t(std::floor(side * SUBPIXEL / 2.0 - (p.y - middleY) * scale + 0.5));
    }

    // The smooth normals of the rest pose, worked out here when the export
    // leaves them out.
    std::vector<Vec3> ownNormals;
    if (!mesh.HasNormals()) {
        NormalSums sums;
        SmoothNormals(mesh.vertexCount, mesh.poses).Of(positions.data(), mesh.faces, sums, ownNormals);
    }
    const std::vector<Vec3>& normals = mesh.HasNormals() ? rest.normals : ownNormals;

    const Skin* skin = model.skins.empty() ? nullptr : &model.skins[0];
    if (skin != nullptr && (skin->width <= 0 || skin->height <= 0 || skin->pixels.empty() ||
                            uint64_t(skin->pixels.size()) != uint64_t(skin->width) * uint64_t(skin->height)))
        skin = nullptr;
    Rasteriser rasteriser(samples, skin, toEye, Normalised(LIGHT_DIRECTION));
    for (const ExportFace& face : mesh.faces) {
        if (!drawn[face[0].vertex] || !drawn[face[1].vertex] || !drawn[face[2].vertex]) continue;
        Rasteriser::Corners corners;
        for (size_t i = 0; i < 3; ++i) {
            const Vec3& n = normals[face[i].vertex];
            corners[i] = {&projected[face[i].vertex], &mesh.texcoords[face[i].texcoord], {n[0], n[1], n[2]}};
        }
        rasteriser.Draw(corners);
    }
    return Resolve(samples, size);
}
