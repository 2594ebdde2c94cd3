#include "thumbnail.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "fullbright.h"
#include "png.h"

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
constexpr int64_t SUBPIXEL = 16;
constexpr uint8_t UNTEXTURED = 170;         // grey, for a model without a skin
constexpr double TEXEL_NUDGE = 1.0 / 1024;  // of a texel
// Nearness in fixed point: integer steps along a row, exact on every machine.
constexpr double NEARNESS_ONE = 1099511627776.0;  // 2^40
constexpr int64_t NOTHING = std::numeric_limits<int64_t>::min();

double Dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector Cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vector Scaled(const Vector& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }

Vector Normalised(const Vector& a) { return Scaled(a, 1.0 / std::sqrt(Dot(a, a))); }

bool Finite(const Vec3& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// n / d rounded down, for d > 0.
int64_t FloorDivide(int64_t n, int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }

// x rounded down, for x in [-2^31, 2^31). A 32-bit x86 build converts a
// double to a 64-bit integer (and std::floor rounds) on the x87 unit; this
// takes SSE2 alone and gives the same value.
int64_t Floor32(double x) {
    const int32_t t = int32_t(x);
    return double(t) > x ? int64_t(t) - 1 : int64_t(t);
}

// A nearness in fixed point; the huge slopes of slivers are held, not
// wrapped. The value is nearness * NEARNESS_ONE + 1/2 rounded down, worked
// out in two 32-bit halves.
int64_t Fixed(double nearness) {
    constexpr double LIMIT = 4611686018427387904.0;  // 2^62
    constexpr double HALF = 2147483648.0;            // 2^31
    constexpr double WORD = 4294967296.0;            // 2^32
    const double scaled = nearness * NEARNESS_ONE + 0.5;
    if (scaled >= LIMIT) return int64_t(LIMIT);
    if (scaled <= -LIMIT) return -int64_t(LIMIT);
    if (!(scaled == scaled)) return NOTHING;  // not a number
    if (std::fabs(scaled) < HALF) return Floor32(scaled);
    // From 2^31 up the double has no bits below the lower half's, so the
    // lower half is exact.
    const int64_t high = Floor32(scaled / WORD);
    const double low = scaled - double(high) * WORD;  // in [0, 2^32)
    return high * int64_t(WORD) + Floor32(low - HALF) + int64_t(HALF);
}

// A vertex as the eye sees it.
struct Projected {
    double x = 0;  // on the picture plane, at distance 1
    double y = 0;
    double nearness = 0;  // two radii over the depth: 1/2 to 1 over the model
    double light = 0;     // how brightly it is lit
    int64_t sx = 0;       // on the sample grid, in SUBPIXEL units, y down
    int64_t sy = 0;
};

// Twice the signed area of a, b, p on the sample grid; positive when p lies
// to the right of a->b as the picture shows it (y down).
int64_t Edge(const Projected& a, const Projected& b, int64_t px, int64_t py) {
    return (b.sx - a.sx) * (py - a.sy) - (b.sy - a.sy) * (px - a.sx);
}

// A sample exactly on an edge belongs to one of the two triangles that share
// it: to the one whose top or left edge it is.
bool TopLeft(const Projected& a, const Projected& b) { return (a.sy == b.sy && b.sx > a.sx) || b.sy < a.sy; }

// Where one edge bounds the samples of a row inside a face. Its test at
// sample x is start - slope * x, and start grows by the same amount from row
// to row, so the bound, start / slope rounded down, is stepped exactly as a
// quotient and remainder, with no division per row.
class EdgeWalk {
public:
    EdgeWalk() = default;
    EdgeWalk(int64_t start_, int64_t slope_, int64_t increase_)
        : start(start_), slope(slope_), increase(increase_), magnitude(slope_ < 0 ? -slope_ : slope_) {
        if (magnitude == 0) return;
        quotient = FloorDivide(start, magnitude);
        remainder = start - quotient * magnitude;
        quotientStep = FloorDivide(increase, magnitude);
        remainderStep = increase - quotientStep * magnitude;
    }

    // Narrows [first, past) to the samples on the inner side of the edge.
    void Clip(int64_t& first, int64_t& past) const {
        if (slope > 0) past = std::min(past, quotient + 1);
        else if (slope < 0) first = std::max(first, -quotient);
        else if (start < 0) past = first;
    }

    void Next() {
        start += increase;
        if (magnitude == 0) return;
        quotient += quotientStep;
        remainder += remainderStep;
        if (remainder >= magnitude) {
            remainder -= magnitude;
            ++quotient;
        }
    }

private:
    int64_t start = 0, slope = 0, increase = 0, magnitude = 0;
    int64_t quotient = 0, remainder = 0;  // of start / magnitude, the remainder in [0, magnitude)
    int64_t quotientStep = 0, remainderStep = 0;
};

// A face ready to draw: its corners in the same order whichever corner the
// face starts with, so that every sum over them comes out the same, and
// wound clockwise on the sample grid, either side of it facing the eye.
struct Triangle {
    std::array<uint32_t, 3> vertex;
    std::array<SkinPoint, 3> uv;
    int64_t area;  // twice it, in SUBPIXEL units

    // Orders faces that are equally near somewhere, whatever their order
    // in the file.
    bool operator<(const Triangle& other) const {
        if (vertex != other.vertex) return vertex < other.vertex;
        for (size_t i = 0; i < 3; ++i) {
            if (uv[i].u != other.uv[i].u) return uv[i].u < other.uv[i].u;
            if (uv[i].v != other.uv[i].v) return uv[i].v < other.uv[i].v;
        }
        return false;
    }
};

// The nearest face at each sample: drawn first, coloured once at the end.
//
// The sample grid is also kept in tiles, each with the farthest nearness
// drawn in it, so that a face (or the part of it) behind everything already
// in a tile is passed over whole, not a sample at a time. Faces are drawn
// nearest first, which makes that the common case. The order changes no
// sample: the nearest face wins, and a tie goes by the faces' own order.
class Samples {
public:
    Samples(int side_, const std::vector<Projected>& projected_, const std::vector<Triangle>& triangles_)
        : side(side_), tilesAcross((side_ + TILE - 1) / TILE), projected(projected_), triangles(triangles_),
          nearness(size_t(side) * size_t(side), NOTHING), face(nearness.size(), 0),
          tiles(size_t(tilesAcross) * size_t(tilesAcross)), shown(size_t(tilesAcross)) {
        for (size_t tile = 0; tile < tiles.size(); ++tile) {
            const int64_t tx = int64_t(tile % size_t(tilesAcross)) * TILE, ty = int64_t(tile / size_t(tilesAcross)) * TILE;
            tiles[tile].empty =
                uint32_t((std::min<int64_t>(tx + TILE, side) - tx) * (std::min<int64_t>(ty + TILE, side) - ty));
        }
    }

    int Side() const { return side; }
    bool Covered(size_t at) const { return nearness[at] != NOTHING; }
    uint32_t Face(size_t at) const { return face[at]; }

    void Draw(uint32_t f) {
        const Triangle& t = triangles[f];
        const Projected &a = projected[t.vertex[0]], &b = projected[t.vertex[1]], &d = projected[t.vertex[2]];
        const Projected* from[3] = {&b, &d, &a};  // the edge facing each corner
        const Projected* to[3] = {&d, &a, &b};
        int64_t bias[3];
        // Nearness is linear on the picture: a plane over the sample grid,
        // stepped along each row in fixed point, so that a sample behind
        // what is drawn costs an add and a compare.
        double nearX = 0, nearY = 0, nearAt0 = 0;
        for (int i = 0; i < 3; ++i) {
            bias[i] = TopLeft(*from[i], *to[i]) ? 0 : -1;
            const double share = projected[t.vertex[size_t(i)]].nearness / double(t.area);
            nearX -= share * double((to[i]->sy - from[i]->sy) * SUBPIXEL);
            nearY += share * double((to[i]->sx - from[i]->sx) * SUBPIXEL);
            nearAt0 += share * double(Edge(*from[i], *to[i], SUBPIXEL / 2, SUBPIXEL / 2));
        }
        const int64_t step = Fixed(nearX);

        const int64_t last = side - 1;
        const int64_t x0 = std::max<int64_t>(0, std::min({a.sx, b.sx, d.sx}) / SUBPIXEL);
        const int64_t x1 = std::min<int64_t>(last, std::max({a.sx, b.sx, d.sx}) / SUBPIXEL);
        const int64_t y0 = std::max<int64_t>(0, std::min({a.sy, b.sy, d.sy}) / SUBPIXEL);
        const int64_t y1 = std::min<int64_t>(last, std::max({a.sy, b.sy, d.sy}) / SUBPIXEL);
        if (x0 > x1 || y0 > y1) return;
        if (!MarkHidden(x0, x1, y0, y1, nearAt0, nearX, nearY)) return;
        // Each edge's test is linear in x along the row: the samples inside
        // are one span, worked out exactly, so a long thin face costs its
        // rows, not its bounding box.
        EdgeWalk edges[3];
        for (int e = 0; e < 3; ++e)
            edges[e] = EdgeWalk(Edge(*from[e], *to[e], SUBPIXEL / 2, y0 * SUBPIXEL + SUBPIXEL / 2) + bias[e],
                                (to[e]->sy - from[e]->sy) * SUBPIXEL, (to[e]->sx - from[e]->sx) * SUBPIXEL);
        // The sample grid is at most 2048 wide: its rows and columns are
        // counted in 32 bits, which a 32-bit machine steps in one register.
        for (int32_t y = int32_t(y0); y <= int32_t(y1); ++y, edges[0].Next(), edges[1].Next(), edges[2].Next()) {
            int64_t low = x0, high = x1 + 1;
            for (const EdgeWalk& edge : edges) edge.Clip(low, high);
            // Of the row's span, the part over tiles where the face may show.
            const int64_t shownFirst = std::max<int64_t>(low, shown[size_t(y / TILE)].from);
            const int64_t shownEnd = std::min<int64_t>(high, shown[size_t(y / TILE)].past);
            if (shownFirst >= shownEnd) continue;
            const int32_t start = int32_t(low), first = int32_t(shownFirst), past = int32_t(shownEnd);
            // Started inside the face, where the plane holds its true value,
            // and stepped from there.
            int64_t near = Fixed(nearAt0 + nearY * double(y) + nearX * double(start)) + step * (first - start);
            int64_t* const nearRow = &nearness[size_t(y) * size_t(side)];
            uint32_t* const faceRow = &face[size_t(y) * size_t(side)];
            const size_t tileRow = size_t(y / TILE) * size_t(tilesAcross);
            for (int32_t x = first; x < past;) {
                const size_t tile = tileRow + size_t(x / TILE);
                const int32_t end = std::min(past, (x / TILE + 1) * TILE);
                if (tiles[tile].hidden) {
                    near += step * (end - x);
                    x = end;
                    continue;
                }
                bool drawn = false;
                for (; x < end; ++x, near += step) {
                    if (near > nearRow[x] || (near == nearRow[x] && triangles[faceRow[x]] < t)) {
                        if (nearRow[x] == NOTHING) --tiles[tile].empty;
                        nearRow[x] = near;
                        faceRow[x] = f;
                        drawn = true;
                    }
                }
                if (drawn) tiles[tile].stale = true;
            }
        }
    }

private:
    static constexpr int TILE = 8;  // samples along a tile's side

    // Marks each tile under the face's bounds hidden where the plane, at its
    // nearest over the tile and give or take its rounding, is farther than
    // everything drawn there. False when every one is.
    bool MarkHidden(int64_t x0, int64_t x1, int64_t y0, int64_t y1, double nearAt0, double nearX, double nearY) {
        // The stepped nearness strays from the plane by its rounding: a
        // fraction of a unit a step, and far less than this share of the
        // plane's terms. A plane too steep to bound (a sliver) hides nothing.
        const double terms = std::fabs(nearAt0) + (std::fabs(nearX) + std::fabs(nearY)) * double(side);
        const bool bounded = std::isfinite(terms) && terms < 1e6;
        const double slack = terms * 1e-9 + double(side + 2) / NEARNESS_ONE;
        bool anyShown = false;
        for (int32_t ty = int32_t(y0 / TILE); ty <= int32_t(y1 / TILE); ++ty) {
            int32_t shownFirst = side, shownLast = -1;  // tile columns
            for (int32_t tx = int32_t(x0 / TILE); tx <= int32_t(x1 / TILE); ++tx) {
                const size_t tile = size_t(ty) * size_t(tilesAcross) + size_t(tx);
                bool behind = false;
                if (bounded && tiles[tile].empty == 0) {
                    // A plane is nearest at a corner of the tile's samples.
                    const double x = double(nearX > 0 ? std::min(tx * TILE + TILE - 1, side - 1) : tx * TILE);
                    const double y = double(nearY > 0 ? std::min(ty * TILE + TILE - 1, side - 1) : ty * TILE);
                    behind = Behind(tile, (nearAt0 + nearX * x + nearY * y + slack) * NEARNESS_ONE);
                }
                tiles[tile].hidden = behind;
                if (!behind) {
                    shownFirst = std::min(shownFirst, tx);
                    shownLast = tx;
                }
            }
            shown[size_t(ty)] = {shownFirst * TILE, (shownLast + 1) * TILE};
            anyShown = anyShown || shownLast >= 0;
        }
        return anyShown;
    }

    // Whether every sample of a tile is nearer than this, in NEARNESS_ONE
    // units. A tile's farthest nearness can only grow as faces are drawn, so
    // the one last worked out still holds as a bound, and is worked out
    // again only when that bound alone cannot tell.
    bool Behind(size_t tile, double nearest) {
        if (tiles[tile].empty > 0) return false;
        if (nearest < tiles[tile].farthest) return true;
        if (!tiles[tile].stale) return false;
        const int64_t tx = int64_t(tile % size_t(tilesAcross)) * TILE, ty = int64_t(tile / size_t(tilesAcross)) * TILE;
        int64_t least = std::numeric_limits<int64_t>::max();
        for (int64_t y = ty; y < std::min<int64_t>(ty + TILE, side); ++y)
            for (int64_t x = tx; x < std::min<int64_t>(tx + TILE, side); ++x)
                least = std::min(least, nearness[size_t(y) * size_t(side) + size_t(x)]);
        tiles[tile].farthest = double(least);
        tiles[tile].stale = false;
        return nearest < tiles[tile].farthest;
    }

    int side;
    int tilesAcross;
    const std::vector<Projected>& projected;
    const std::vector<Triangle>& triangles;
    std::vector<int64_t> nearness;  // in NEARNESS_ONE units; NOTHING where nothing is drawn
    std::vector<uint32_t> face;     // the triangle drawn there
    struct Tile {
        uint32_t empty = 0;     // samples not drawn yet
        double farthest = 0;    // once none is empty, a bound on the nearness of all
        bool stale = true;      // a face was drawn here since the bound was worked out
        bool hidden = false;    // for the face being drawn
    };
    // Per row of tiles, for the face being drawn: the samples from the first
    // tile where it may show to past the last.
    struct Shown {
        int32_t from = 0;
        int32_t past = 0;
    };
    std::vector<Tile> tiles;
    std::vector<Shown> shown;
};

// The lit skin over the model's faces, a sample at a time.
class Painter {
public:
    Painter(const Skin* skin_, const std::vector<Projected>& projected_, const std::vector<Triangle>& triangles_)
        : skin(skin_), projected(projected_), triangles(triangles_) {
        if (skin == nullptr) return;
        width = skin->width;
        height = skin->height;
        fullbright.resize(skin->pixels.size());
        for (size_t i = 0; i < fullbright.size(); ++i) fullbright[i] = IsFullbright(skin->pixels[i]);
    }

    // R, G and B of face f at px, py on the sample grid, in SUBPIXEL units.
    std::array<uint32_t, 3> Colour(uint32_t f, int64_t px, int64_t py) const {
        const Triangle& t = triangles[f];
        const Projected* p[3] = {&projected[t.vertex[0]], &projected[t.vertex[1]], &projected[t.vertex[2]]};
        const int64_t w[3] = {Edge(*p[1], *p[2], px, py), Edge(*p[2], *p[0], px, py), Edge(*p[0], *p[1], px, py)};
        // The skin and the light interpolated as the perspective has them.
        double weight[3], sum = 0;
        for (int i = 0; i < 3; ++i) {
            weight[i] = Widened(w[i]) * p[i]->nearness;
            sum += weight[i];
        }
        // Each sum starts from its first term, not from 0 + it: that can
        // differ only in the sign of a zero, which nothing below tells apart.
        double share = weight[0] / sum;
        double u = share * t.uv[0].u, v = share * t.uv[0].v, light = share * p[0]->light;
        for (int i = 1; i < 3; ++i) {
            share = weight[i] / sum;
            u += share * t.uv[size_t(i)].u;
            v += share * t.uv[size_t(i)].v;
            light += share * p[i]->light;
        }
        if (skin == nullptr) return Lit({UNTEXTURED, UNTEXTURED, UNTEXTURED}, light);
        const size_t texel = Texel(u, v);
        const _COLOR& c = skin->pixels[texel];
        // A fullbright texel shows its own colour in any light.
        return fullbright[texel] ? std::array<uint32_t, 3>{c.r, c.g, c.b} : Lit({c.r, c.g, c.b}, light);
    }

private:
    // A 32-bit x86 build widens a 64-bit integer on the x87 unit; the
    // values here nearly always fit in 32 bits, which SSE2 widens itself.
    static double Widened(int64_t value) {
        const auto narrow = int32_t(value);
        return narrow == value ? double(narrow) : double(value);
    }

    // In signed 32 bits, which SSE2 converts in one step: a channel lit is
    // at most 255 times the brightest light, far inside them.
    static std::array<uint32_t, 3> Lit(const std::array<uint32_t, 3>& colour, double light) {
        std::array<uint32_t, 3> lit;
        for (size_t k = 0; k < 3; ++k) {
            const double scaled = double(int32_t(colour[k])) * light + 0.5;
            lit[k] = scaled >= 255 ? 255 : scaled > 0 ? uint32_t(int32_t(scaled)) : 0;
        }
        return lit;
    }

    // Where the texel at u, v (fractions of the skin, repeating) is in the
    // skin's pixels, nearest.
    size_t Texel(double u, double v) const {
        const auto wrap = [](double t, int32_t extent, double across) {
            // The file places corners on texel edges, so a face along an
            // edge interpolates to it give or take rounding: a little nudge
            // keeps it on the texel that starts there, as the game samples it.
            const double scaled = std::floor(t * across + TEXEL_NUDGE);
            // Far outside the skin (a hostile coordinate) reads its first texel.
            if (!(std::fabs(scaled) < 1e9)) return int32_t(0);
            const auto i = int32_t(scaled);
            if (i >= 0 && i < extent) return i;
            const int32_t wrapped = i % extent;
            return wrapped < 0 ? wrapped + extent : wrapped;
        };
        return size_t(wrap(v, skin->height, height)) * size_t(skin->width) + size_t(wrap(u, skin->width, width));
    }

    const Skin* skin;
    double width = 0, height = 0;    // the skin's
    std::vector<uint8_t> fullbright;  // of each of the skin's pixels
    const std::vector<Projected>& projected;
    const std::vector<Triangle>& triangles;
};

// Each pixel the mean of its samples: coverage as alpha, the colour of what
// covers it. A pixel inside one face takes that face's colour at its centre,
// a texel as sharp as the game's.
std::vector<uint8_t> Resolve(const Samples& samples, const Painter& painter, int size) {
    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * 4, 0);
    constexpr uint32_t PER_PIXEL = SAMPLES * SAMPLES;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            size_t at[PER_PIXEL];
            uint32_t covered = 0;
            bool oneFace = true;
            for (int j = 0; j < SAMPLES; ++j) {
                for (int i = 0; i < SAMPLES; ++i) {
                    const size_t sample = size_t(y * SAMPLES + j) * size_t(samples.Side()) + size_t(x * SAMPLES + i);
                    if (!samples.Covered(sample)) continue;
                    oneFace = oneFace && (covered == 0 || samples.Face(sample) == samples.Face(at[0]));
                    at[covered++] = sample;
                }
            }
            if (covered == 0) continue;
            uint8_t* pixel = &rgba[(size_t(y) * size_t(size) + size_t(x)) * 4];
            pixel[3] = uint8_t((covered * 255 + PER_PIXEL / 2) / PER_PIXEL);
            if (covered == PER_PIXEL && oneFace) {
                const int64_t centre = SAMPLES * SUBPIXEL / 2;
                const std::array<uint32_t, 3> colour =
                    painter.Colour(samples.Face(at[0]), x * SAMPLES * SUBPIXEL + centre, y * SAMPLES * SUBPIXEL + centre);
                for (size_t k = 0; k < 3; ++k) pixel[k] = uint8_t(colour[k]);
                continue;
            }
            uint32_t sum[3] = {};
            for (uint32_t s = 0; s < covered; ++s) {
                const auto sx = int64_t(at[s] % size_t(samples.Side())), sy = int64_t(at[s] / size_t(samples.Side()));
                const std::array<uint32_t, 3> colour =
                    painter.Colour(samples.Face(at[s]), sx * SUBPIXEL + SUBPIXEL / 2, sy * SUBPIXEL + SUBPIXEL / 2);
                for (size_t k = 0; k < 3; ++k) sum[k] += colour[k];
            }
            for (size_t k = 0; k < 3; ++k) pixel[k] = uint8_t((sum[k] + covered / 2) / covered);
        }
    }
    return rgba;
}

const Skin* FirstSkin(const ReceivedModel& model) {
    if (model.skins.empty()) return nullptr;
    const Skin& skin = model.skins[0];
    if (skin.width <= 0 || skin.height <= 0 || skin.pixels.empty() ||
        uint64_t(skin.pixels.size()) != uint64_t(skin.width) * uint64_t(skin.height))
        return nullptr;
    return &skin;
}

// The picture's vertices and faces: each drawn vertex projected onto the
// sample grid and lit, each face with some area there made a triangle.
class Scene {
public:
    Scene(const ExportMesh& mesh, const Pose& rest, int side) : projected(mesh.vertexCount) {
        const std::vector<Vec3>& positions = rest.positions;
        // What is drawn: faces whose corners are all at finite places.
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
        if (!Project(positions, drawn, low, high, side)) return;
        Light(mesh, rest, drawn);
        for (const ExportFace& face : mesh.faces)
            if (drawn[face[0].vertex] && drawn[face[1].vertex] && drawn[face[2].vertex]) Add(mesh, face);
        DropCoincident();
    }

    std::vector<Projected> projected;
    std::vector<Triangle> triangles;

    // The faces by their nearest corner, nearest first.
    std::vector<uint32_t> NearestFirst() const {
        std::vector<std::pair<double, uint32_t>> order(triangles.size());
        for (size_t f = 0; f < triangles.size(); ++f) {
            const Triangle& t = triangles[f];
            order[f] = {-std::max({projected[t.vertex[0]].nearness, projected[t.vertex[1]].nearness,
                                   projected[t.vertex[2]].nearness}),
                        uint32_t(f)};
        }
        std::sort(order.begin(), order.end());
        std::vector<uint32_t> faces(order.size());
        for (size_t i = 0; i < order.size(); ++i) faces[i] = order[i].second;
        return faces;
    }

private:
    // Every drawn vertex onto the sample grid, framed: the larger of the
    // model's width and height fills the picture but for the margins, and the
    // model stands in its middle. False where nothing has any size.
    bool Project(const std::vector<Vec3>& positions, const std::vector<bool>& drawn, const Vector& low,
                 const Vector& high, int side) {
        const Vector centre = Scaled({low[0] + high[0], low[1] + high[1], low[2] + high[2]}, 0.5);
        const Vector extent = {high[0] - low[0], high[1] - low[1], high[2] - low[2]};
        const double radius = std::sqrt(Dot(extent, extent)) / 2;
        if (!(radius > 0) || !std::isfinite(radius)) return false;

        // Every vertex lies beyond the bounding sphere's near side, so its
        // depth is at least two radii.
        const Vector forward = Scaled(toEye, -1.0);
        const Vector right = Normalised(Cross(forward, {0, 1, 0}));
        const Vector up = Cross(right, forward);
        const Vector eye = {centre[0] + toEye[0] * radius * EYE_DISTANCE, centre[1] + toEye[1] * radius * EYE_DISTANCE,
                            centre[2] + toEye[2] * radius * EYE_DISTANCE};
        double left = std::numeric_limits<double>::infinity(), bottom = left, rightmost = -left, top = -left;
        for (size_t v = 0; v < projected.size(); ++v) {
            if (!drawn[v]) continue;
            const Vector q = {positions[v][0] - eye[0], positions[v][1] - eye[1], positions[v][2] - eye[2]};
            const double depth = Dot(q, forward);
            Projected& p = projected[v];
            p.x = Dot(q, right) / depth;
            p.y = Dot(q, up) / depth;
            p.nearness = 2 * radius / depth;
            left = std::min(left, p.x);
            rightmost = std::max(rightmost, p.x);
            bottom = std::min(bottom, p.y);
            top = std::max(top, p.y);
        }
        const double span = std::max(rightmost - left, top - bottom);
        const double scale = side * (1 - 2 * MARGIN) / span * SUBPIXEL;
        if (!(span > 0) || !std::isfinite(scale)) return false;
        const double middleX = (left + rightmost) / 2, middleY = (bottom + top) / 2;
        for (size_t v = 0; v < projected.size(); ++v) {
            if (!drawn[v]) continue;
            Projected& p = projected[v];
            p.sx = int64_t(std::floor(double(side * SUBPIXEL) / 2 + (p.x - middleX) * scale + 0.5));
            p.sy = int64_t(std::floor(double(side * SUBPIXEL) / 2 - (p.y - middleY) * scale + 0.5));
        }
        return true;
    }

    // Each vertex lit by its smooth normal, as the game lights a vertex. A
    // surface seen from behind (the inside of an open model) is lit on the
    // side the eye sees.
    void Light(const ExportMesh& mesh, const Pose& rest, const std::vector<bool>& drawn) {
        // Worked out here for the rest pose when the export leaves them out.
        std::vector<Vec3> own;
        if (!mesh.HasNormals()) {
            NormalSums scratch;
            SmoothNormals(mesh.vertexCount, mesh.poses, mesh.faces).Of(rest.positions.data(), scratch, own);
        }
        const std::vector<Vec3>& normals = mesh.HasNormals() ? rest.normals : own;
        const Vector light = Normalised(LIGHT_DIRECTION);
        for (size_t v = 0; v < projected.size(); ++v) {
            if (!drawn[v]) continue;
            Vector normal = {normals[v][0], normals[v][1], normals[v][2]};
            if (Dot(normal, toEye) < 0) normal = Scaled(normal, -1.0);
            projected[v].light = AMBIENT + DIFFUSE * std::max(0.0, Dot(normal, light));
        }
    }

    void Add(const ExportMesh& mesh, const ExportFace& face) {
        size_t first = 0;
        for (size_t i = 1; i < 3; ++i)
            if (face[i].vertex < face[first].vertex) first = i;
        Triangle t{};
        for (size_t i = 0; i < 3; ++i) {
            const ExportCorner& corner = face[(first + i) % 3];
            t.vertex[i] = corner.vertex;
            t.uv[i] = mesh.texcoords[corner.texcoord];
        }
        const Projected &a = projected[t.vertex[0]], &b = projected[t.vertex[1]], &c = projected[t.vertex[2]];
        t.area = Edge(a, b, c.sx, c.sy);
        if (t.area == 0) return;
        if (t.area < 0) {
            std::swap(t.vertex[1], t.vertex[2]);
            std::swap(t.uv[1], t.uv[2]);
            t.area = -t.area;
        }
        triangles.push_back(t);
    }

    // Of faces that lie on one another, corner for corner, only the one that
    // wins their ties can show: they are equally near at every sample they
    // cover, and they cover the same samples. A face modelled on both sides
    // is two such, and so is every face of a model whose vertices come in
    // copies; drawing the rest would only lose to it.
    void DropCoincident() {
        using Key = std::array<int64_t, 9>;
        struct KeyHash {
            size_t operator()(const Key& k) const {
                uint64_t hash = 0xCBF29CE484222325ull;
                for (const int64_t word : k) hash = (hash ^ uint64_t(word)) * 0x100000001B3ull;
                return size_t(hash ^ hash >> 32);
            }
        };
        std::unordered_map<Key, uint32_t, KeyHash> winners;  // by where the corners are
        winners.reserve(triangles.size());
        for (size_t f = 0; f < triangles.size(); ++f) {
            Key key;
            for (size_t i = 0; i < 3; ++i) {
                const Projected& p = projected[triangles[f].vertex[i]];
                key[i * 3] = p.sx;
                key[i * 3 + 1] = p.sy;
                std::memcpy(&key[i * 3 + 2], &p.nearness, sizeof(double));
            }
            const auto [at, added] = winners.emplace(key, uint32_t(f));
            if (!added && triangles[at->second] < triangles[f]) at->second = uint32_t(f);
        }
        if (winners.size() == triangles.size()) return;
        std::vector<bool> kept(triangles.size(), false);
        for (const auto& winner : winners) kept[winner.second] = true;
        size_t count = 0;
        for (size_t f = 0; f < triangles.size(); ++f)
            if (kept[f]) triangles[count++] = triangles[f];
        triangles.resize(count);
    }

    const Vector toEye = Normalised(EYE_DIRECTION);
};

}  // namespace

std::vector<uint8_t> DrawThumbnail(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size) {
    const int side = size * SAMPLES;
    const Scene scene(mesh, rest, side);
    Samples samples(side, scene.projected, scene.triangles);
    for (const uint32_t f : scene.NearestFirst()) samples.Draw(f);
    return Resolve(samples, Painter(FirstSkin(model), scene.projected, scene.triangles), size);
}

std::string ThumbnailPng(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size) {
    return EncodePngRgba(size, size, DrawThumbnail(model, mesh, rest, size));
}
