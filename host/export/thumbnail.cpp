#include "thumbnail.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "fullbright.h"
#include "png.h"
#include "raster.h"

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
constexpr uint8_t UNTEXTURED = 170;         // grey, for a model without a skin
constexpr double TEXEL_NUDGE = 1.0 / 1024;  // of a texel

double Dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vector Cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

Vector Scaled(const Vector& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }

Vector Normalised(const Vector& a) { return Scaled(a, 1.0 / std::sqrt(Dot(a, a))); }

bool Finite(const Vec3& p) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// The camera's direction, from the model to the eye.
Vector ToEye() { return Normalised(EYE_DIRECTION); }

// A face of the scene: where it is drawn, and the skin's points at its
// corners in the same order.
struct SceneFace {
    RasterFace raster;
    std::array<SkinPoint, 3> uv;
};

// Which of two faces equally near at a sample shows there, whatever their
// order in the file: the one later by its corners and their skin points.
bool WinsTie(const SceneFace& a, const SceneFace& b) {
    if (a.raster.vertex != b.raster.vertex) return a.raster.vertex > b.raster.vertex;
    for (size_t i = 0; i < 3; ++i) {
        if (a.uv[i].u != b.uv[i].u) return a.uv[i].u > b.uv[i].u;
        if (a.uv[i].v != b.uv[i].v) return a.uv[i].v > b.uv[i].v;
    }
    return false;
}

// The skin over the model's faces, lit as the game lights a vertex: by its
// smooth normal, a surface seen from behind (the inside of an open model) on
// the side the eye sees; its fullbright texels at their own colour.
class Shading {
public:
    Shading(const Skin* skin_, const Pose& rest, const std::vector<Projected>& projected_,
            const std::vector<bool>& drawn, const std::vector<RasterFace>& faces_,
            const std::vector<std::array<SkinPoint, 3>>& uvs_)
        : skin(skin_), projected(projected_), faces(faces_), uvs(uvs_), light(projected_.size(), 0.0) {
        const std::vector<Vec3>& normals = rest.normals;
        const Vector toLight = Normalised(LIGHT_DIRECTION);
        const Vector toEye = ToEye();
        for (size_t v = 0; v < light.size(); ++v) {
            if (!drawn[v]) continue;
            Vector normal = {normals[v][0], normals[v][1], normals[v][2]};
            if (Dot(normal, toEye) < 0) normal = Scaled(normal, -1.0);
            light[v] = AMBIENT + DIFFUSE * std::max(0.0, Dot(normal, toLight));
        }
        planes.reserve(faces.size());
        for (size_t f = 0; f < faces.size(); ++f) planes.push_back(PlanesOf(faces[f], uvs[f]));
        if (skin == nullptr) return;
        width = skin->width;
        height = skin->height;
        fullbright.resize(skin->pixels.size());
        for (size_t i = 0; i < fullbright.size(); ++i) fullbright[i] = IsFullbright(skin->pixels[i]);
    }

    // R, G and B of face f at px, py on the sample grid, in SUBPIXEL units.
    std::array<uint32_t, 3> Colour(uint32_t f, int64_t px, int64_t py) const {
        const FacePlanes& face = planes[f];
        // Within the picture, so in 32 bits, which SSE2 widens itself.
        const double dx = double(int32_t(px - face.x0)), dy = double(int32_t(py - face.y0));
        const auto at = [dx, dy](const Plane& plane) { return plane[0] + plane[1] * dx + plane[2] * dy; };
        const double across = 1 / at(face.weight);
        const double lit = at(face.lit) * across;
        if (skin == nullptr) return Lit({UNTEXTURED, UNTEXTURED, UNTEXTURED}, lit);
        const size_t texel = Texel(at(face.u) * across, at(face.v) * across);
        const _COLOR& c = skin->pixels[texel];
        // A fullbright texel shows its own colour in any light.
        return fullbright[texel] ? std::array<uint32_t, 3>{c.r, c.g, c.b} : Lit({c.r, c.g, c.b}, lit);
    }

private:
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
            const double scaled = t * across + TEXEL_NUDGE;
            // Far outside the skin (a hostile coordinate) reads its first
            // texel: where the texel's number, rounded down, is a billion or
            // more either way.
            if (!(scaled >= -999999999.0 && scaled < 1e9)) return int32_t(0);
            const auto i = int32_t(Floor32(scaled));
            if (i >= 0 && i < extent) return i;
            const int32_t wrapped = i % extent;
            return wrapped < 0 ? wrapped + extent : wrapped;
        };
        return size_t(wrap(v, skin->height, height)) * size_t(skin->width) + size_t(wrap(u, skin->width, width));
    }

    // A value over the sample grid from a face's first corner: there, a
    // SUBPIXEL unit to the right, and one down.
    using Plane = std::array<double, 3>;
    // What the skin and the light are over a face, as the perspective has
    // them: each corner's share is its edge test, linear over the grid,
    // times its nearness. The weight is their sum, and u, v and the light
    // are summed with the same shares; each over the weight is the value.
    struct FacePlanes {
        int64_t x0, y0;  // the first corner
        Plane weight, u, v, lit;
    };

    FacePlanes PlanesOf(const RasterFace& t, const std::array<SkinPoint, 3>& uv) const {
        const Projected* p[3] = {&projected[t.vertex[0]], &projected[t.vertex[1]], &projected[t.vertex[2]]};
        FacePlanes face{p[0]->sx, p[0]->sy, {}, {}, {}, {}};
        for (size_t i = 0; i < 3; ++i) {
            // Corner i's edge test is that of the edge facing it, from j to k.
            const Projected &j = *p[(i + 1) % 3], &k = *p[(i + 2) % 3];
            const Plane edge = {double(Edge(j, k, face.x0, face.y0)), double(j.sy - k.sy), double(k.sx - j.sx)};
            const double nearness = p[i]->nearness;
            for (size_t n = 0; n < 3; ++n) {
                const double share = edge[n] * nearness;
                face.weight[n] += share;
                face.u[n] += share * uv[i].u;
                face.v[n] += share * uv[i].v;
                face.lit[n] += share * light[t.vertex[i]];
            }
        }
        return face;
    }

    const Skin* skin;
    double width = 0, height = 0;    // the skin's
    std::vector<uint8_t> fullbright;  // of each of the skin's pixels
    const std::vector<Projected>& projected;
    const std::vector<RasterFace>& faces;
    const std::vector<std::array<SkinPoint, 3>>& uvs;
    std::vector<double> light;  // of each vertex
    std::vector<FacePlanes> planes;  // of each face
};

// Each pixel of the band the mean of its samples: coverage as alpha, the
// colour of what covers it. A pixel inside one face takes that face's
// colour at its centre, a texel as sharp as the game's.
void Resolve(const NearestFaceBuffer& samples, const Shading& shading, int size, std::vector<uint8_t>& rgba) {
    constexpr uint32_t PER_PIXEL = SAMPLES * SAMPLES;
    for (int y = samples.Top() / SAMPLES; y < samples.End() / SAMPLES; ++y) {
        const int64_t* nearness[SAMPLES];
        const uint32_t* faces[SAMPLES];
        for (int j = 0; j < SAMPLES; ++j) {
            nearness[j] = samples.NearnessRow(y * SAMPLES + j);
            faces[j] = samples.FaceRow(y * SAMPLES + j);
        }
        for (int x = 0; x < size; ++x) {
            // The background, where no face came near, is left transparent.
            if (samples.Untouched(x * SAMPLES, y * SAMPLES)) continue;
            uint32_t covered = 0;
            for (int j = 0; j < SAMPLES; ++j)
                for (int i = 0; i < SAMPLES; ++i) covered += nearness[j][x * SAMPLES + i] != NOTHING ? 1 : 0;
            if (covered == 0) continue;
            uint8_t* pixel = &rgba[(size_t(y) * size_t(size) + size_t(x)) * 4];
            pixel[3] = uint8_t((covered * 255 + PER_PIXEL / 2) / PER_PIXEL);
            const uint32_t first = faces[0][x * SAMPLES];
            bool oneFace = covered == PER_PIXEL;
            for (int j = 0; j < SAMPLES; ++j)
                for (int i = 0; i < SAMPLES; ++i) oneFace = oneFace && faces[j][x * SAMPLES + i] == first;
            if (oneFace) {
                const int64_t centre = SAMPLES * SUBPIXEL / 2;
                const std::array<uint32_t, 3> colour =
                    shading.Colour(first, x * SAMPLES * SUBPIXEL + centre, y * SAMPLES * SUBPIXEL + centre);
                for (size_t k = 0; k < 3; ++k) pixel[k] = uint8_t(colour[k]);
                continue;
            }
            uint32_t sum[3] = {};
            for (int j = 0; j < SAMPLES; ++j) {
                for (int i = 0; i < SAMPLES; ++i) {
                    const int sx = x * SAMPLES + i, sy = y * SAMPLES + j;
                    if (nearness[j][sx] == NOTHING) continue;
                    const std::array<uint32_t, 3> colour = shading.Colour(
                        faces[j][sx], int64_t(sx) * SUBPIXEL + SUBPIXEL / 2, int64_t(sy) * SUBPIXEL + SUBPIXEL / 2);
                    for (size_t k = 0; k < 3; ++k) sum[k] += colour[k];
                }
            }
            for (size_t k = 0; k < 3; ++k) pixel[k] = uint8_t((sum[k] + covered / 2) / covered);
        }
    }
}

const Skin* FirstSkin(const ReceivedModel& model) {
    if (model.skins.empty()) return nullptr;
    const Skin& skin = model.skins[0];
    if (skin.width <= 0 || skin.height <= 0 || skin.pixels.empty() ||
        uint64_t(skin.pixels.size()) != uint64_t(skin.width) * uint64_t(skin.height))
        return nullptr;
    return &skin;
}

// The camera and the faces: each drawn vertex projected onto the sample
// grid, each face with some area there set up to draw, in the order that
// settles ties.
class Scene {
public:
    Scene(const ExportMesh& mesh, const Pose& rest, int side) : projected(mesh.vertexCount), drawn(mesh.vertexCount) {
        const std::vector<Vec3>& positions = rest.positions;
        // What is drawn: faces whose corners are all at finite places.
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
        if (!Project(positions, low, high, side)) return;
        std::vector<SceneFace> scene;
        for (const ExportFace& face : mesh.faces)
            if (drawn[face[0].vertex] && drawn[face[1].vertex] && drawn[face[2].vertex]) Add(mesh, face, scene);
        DropCoincident(scene);
        std::sort(scene.begin(), scene.end(), [](const SceneFace& a, const SceneFace& b) { return WinsTie(b, a); });
        for (const SceneFace& face : scene) {
            faces.push_back(face.raster);
            uvs.push_back(face.uv);
        }
    }

    std::vector<Projected> projected;
    std::vector<bool> drawn;  // of each vertex
    std::vector<RasterFace> faces;  // a later one wins a tie
    std::vector<std::array<SkinPoint, 3>> uvs;  // of each face's corners

    // The faces by their nearest corner, nearest first.
    std::vector<uint32_t> NearestFirst() const {
        std::vector<std::pair<double, uint32_t>> order(faces.size());
        for (size_t f = 0; f < faces.size(); ++f) {
            const RasterFace& t = faces[f];
            order[f] = {-std::max({projected[t.vertex[0]].nearness, projected[t.vertex[1]].nearness,
                                   projected[t.vertex[2]].nearness}),
                        uint32_t(f)};
        }
        std::sort(order.begin(), order.end());
        std::vector<uint32_t> nearest(order.size());
        for (size_t i = 0; i < order.size(); ++i) nearest[i] = order[i].second;
        return nearest;
    }

private:
    // Every drawn vertex onto the sample grid, framed: the larger of the
    // model's width and height fills the picture but for the margins, and the
    // model stands in its middle. False where nothing has any size.
    bool Project(const std::vector<Vec3>& positions, const Vector& low, const Vector& high, int side) {
        const Vector centre = Scaled({low[0] + high[0], low[1] + high[1], low[2] + high[2]}, 0.5);
        const Vector extent = {high[0] - low[0], high[1] - low[1], high[2] - low[2]};
        const double radius = std::sqrt(Dot(extent, extent)) / 2;
        if (!(radius > 0) || !std::isfinite(radius)) return false;

        // Every vertex lies beyond the bounding sphere's near side, so its
        // depth is at least two radii.
        const Vector toEye = ToEye();
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
        // A model the eye sees end on, all of it at one point of the
        // picture, has nothing to frame: the span is tested before it divides.
        const double span = std::max(rightmost - left, top - bottom);
        if (!(span > 0)) return false;
        const double scale = side * (1 - 2 * MARGIN) / span * SUBPIXEL;
        if (!std::isfinite(scale)) return false;
        const double middleX = (left + rightmost) / 2, middleY = (bottom + top) / 2;
        // Framed, every corner lies on the grid, well inside 32 bits.
        for (size_t v = 0; v < projected.size(); ++v) {
            if (!drawn[v]) continue;
            Projected& p = projected[v];
            p.sx = Floor32(double(side * SUBPIXEL) / 2 + (p.x - middleX) * scale + 0.5);
            p.sy = Floor32(double(side * SUBPIXEL) / 2 - (p.y - middleY) * scale + 0.5);
        }
        return true;
    }

    // A face with its corners in the same order whichever corner it starts
    // with, so that every sum over them comes out the same, and wound
    // clockwise on the sample grid, either side of it facing the eye.
    void Add(const ExportMesh& mesh, const ExportFace& face, std::vector<SceneFace>& scene) const {
        size_t first = 0;
        for (size_t i = 1; i < 3; ++i)
            if (face[i].vertex < face[first].vertex) first = i;
        SceneFace t{};
        for (size_t i = 0; i < 3; ++i) {
            const ExportCorner& corner = face[(first + i) % 3];
            t.raster.vertex[i] = corner.vertex;
            t.uv[i] = mesh.texcoords[corner.texcoord];
        }
        const Projected &a = projected[t.raster.vertex[0]], &b = projected[t.raster.vertex[1]],
                        &c = projected[t.raster.vertex[2]];
        t.raster.area = Edge(a, b, c.sx, c.sy);
        if (t.raster.area == 0) return;
        if (t.raster.area < 0) {
            std::swap(t.raster.vertex[1], t.raster.vertex[2]);
            std::swap(t.uv[1], t.uv[2]);
            t.raster.area = -t.raster.area;
        }
        scene.push_back(t);
    }

    // Of faces that lie on one another, corner for corner, only the one that
    // wins their ties can show: they are equally near at every sample they
    // cover, and they cover the same samples. A face modelled on both sides
    // is two such, and so is every face of a model whose vertices come in
    // copies; drawing the rest would only lose to it.
    void DropCoincident(std::vector<SceneFace>& scene) const {
        using Key = std::array<int64_t, 9>;
        struct KeyHash {
            size_t operator()(const Key& k) const {
                uint64_t hash = 0xCBF29CE484222325ull;
                for (const int64_t word : k) hash = (hash ^ uint64_t(word)) * 0x100000001B3ull;
                return size_t(hash ^ hash >> 32);
            }
        };
        std::unordered_map<Key, uint32_t, KeyHash> winners;  // by where the corners are
        winners.reserve(scene.size());
        for (size_t f = 0; f < scene.size(); ++f) {
            Key key;
            for (size_t i = 0; i < 3; ++i) {
                const Projected& p = projected[scene[f].raster.vertex[i]];
                key[i * 3] = p.sx;
                key[i * 3 + 1] = p.sy;
                std::memcpy(&key[i * 3 + 2], &p.nearness, sizeof(double));
            }
            const auto [at, added] = winners.emplace(key, uint32_t(f));
            if (!added && WinsTie(scene[f], scene[at->second])) at->second = uint32_t(f);
        }
        if (winners.size() == scene.size()) return;
        std::vector<bool> kept(scene.size(), false);
        for (const auto& winner : winners) kept[winner.second] = true;
        size_t count = 0;
        for (size_t f = 0; f < scene.size(); ++f)
            if (kept[f]) scene[count++] = scene[f];
        scene.resize(count);
    }
};

}  // namespace

std::vector<uint8_t> DrawThumbnail(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size) {
    const int side = size * SAMPLES;
    const Scene scene(mesh, rest, side);
    const Shading shading(FirstSkin(model), rest, scene.projected, scene.drawn, scene.faces, scene.uvs);
    const std::vector<uint32_t> nearestFirst = scene.NearestFirst();
    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * 4, 0);
    // Bands of three quarters of a megabyte of samples (128 rows at 256
    // pixels), a whole number of tiles and so of pixels, which the second
    // level of the processor's cache holds: each face is drawn over each band
    // it crosses, so fewer, larger bands spare a model of large faces more
    // than their size costs a small one.
    constexpr int BAND_SAMPLES = 65536;
    static_assert(NearestFaceBuffer::TILE % SAMPLES == 0, "a band of whole tiles holds whole pixels");
    const int rows = std::max(1, BAND_SAMPLES / side / NearestFaceBuffer::TILE) * NearestFaceBuffer::TILE;
    NearestFaceBuffer samples(side, rows, scene.projected, scene.faces);
    for (int top = 0; top < side; top += rows) {
        samples.Start(top);
        for (const uint32_t f : nearestFirst) samples.Draw(f);
        Resolve(samples, shading, size, rgba);
    }
    return rgba;
}

std::string ThumbnailPng(const ReceivedModel& model, const ExportMesh& mesh, const Pose& rest, int size) {
    return EncodePngRgba(size, size, DrawThumbnail(model, mesh, rest, size));
}
