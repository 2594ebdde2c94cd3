#include "raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace {

// n / d rounded down, for d > 0.
int64_t FloorDivide(int64_t n, int64_t d) { return n >= 0 ? n / d : -((-n + d - 1) / d); }

// A sample exactly on an edge belongs to one of the two faces that share it:
// to the one whose top or left edge it is.
bool TopLeft(const Projected& a, const Projected& b) { return (a.sy == b.sy && b.sx > a.sx) || b.sy < a.sy; }

// Where one edge bounds the samples of a row inside a face. Its test at
// sample x is start - slope * x, and start grows by the same amount from row
// to row, so the bound, start / slope rounded down, is stepped exactly as a
// quotient and remainder, with no division per row. On a grid at most 2048
// samples wide a slope is under 2^19, so the remainder is kept in 32 bits.
class EdgeWalk {
public:
    EdgeWalk() = default;
    EdgeWalk(int64_t start_, int64_t slope_, int64_t increase_)
        : start(start_), slope(slope_), increase(increase_), magnitude(int32_t(slope_ < 0 ? -slope_ : slope_)) {
        if (magnitude == 0) return;
        quotient = FloorDivide(start, magnitude);
        remainder = int32_t(start - quotient * magnitude);
        quotientStep = FloorDivide(increase, magnitude);
        remainderStep = int32_t(increase - quotientStep * magnitude);
    }

    // Narrows [first, past) to the samples on the inner side of the edge.
    void Clip(int64_t& first, int64_t& past) const {
        if (slope > 0) past = std::min(past, quotient + 1);
        else if (slope < 0) first = std::max(first, -quotient);
        else if (start < 0) past = first;
    }

    // As many rows on as Next steps one at a time, fewer than a tile's.
    void Advance(int32_t rows) {
        start += increase * rows;
        if (magnitude == 0) return;
        quotient += quotientStep * rows;
        remainder += remainderStep * rows;
        for (; remainder >= magnitude; remainder -= magnitude) ++quotient;
    }

    // The remainder's carry taken without a branch: it comes about as
    // often as not.
    void Next() {
        start += increase;
        if (magnitude == 0) return;
        remainder += remainderStep;
        const int32_t carry = remainder >= magnitude ? 1 : 0;
        remainder -= magnitude & -carry;
        quotient += quotientStep + carry;
    }

private:
    int64_t start = 0, slope = 0, increase = 0;
    int32_t magnitude = 0;
    int64_t quotient = 0, quotientStep = 0;
    int32_t remainder = 0, remainderStep = 0;  // of start / magnitude and the step, in [0, magnitude)
};

// Sample grids of pictures drawn before, kept for the next ones: a grid is
// megabytes, and fresh pages for each cost a sixth of a small model's
// picture. It holds as many as were ever drawn at once, one per job.
template <typename T>
class SpareGrids {
public:
    // Of size elements, whatever their values.
    std::vector<T> Take(size_t size) {
        std::vector<T> grid;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            if (!spare.empty()) {
                grid = std::move(spare.back());
                spare.pop_back();
            }
        }
        grid.resize(size);
        return grid;
    }
    // From a destructor: a grid that cannot be kept is freed.
    void Give(std::vector<T>& grid) noexcept {
        try {
            const std::lock_guard<std::mutex> lock(mutex);
            spare.push_back(std::move(grid));
        } catch (...) {
        }
    }

private:
    std::mutex mutex;
    std::vector<std::vector<T>> spare;
};

SpareGrids<int64_t>& SpareNearness() {
    static SpareGrids<int64_t> spare;
    return spare;
}

SpareGrids<uint32_t>& SpareFaces() {
    static SpareGrids<uint32_t> spare;
    return spare;
}

}  // namespace

// Worked out from a double's bits, or else in two 32-bit halves.
int64_t Fixed(double nearness) {
    constexpr double LIMIT = 4611686018427387904.0;  // 2^62
    constexpr double HALF = 2147483648.0;            // 2^31
    constexpr double WORD = 4294967296.0;            // 2^32
    constexpr double WHOLE = 4503599627370496.0;     // 2^52, a double's first with no fraction
    const double scaled = nearness * NEARNESS_ONE + 0.5;
    // The common case, a nearness of a face in view: from 0 to 2^51, added
    // to 2^52 it is rounded to a whole number below 2^53, which the double's
    // low 52 bits hold; one less where that rounded up.
    if (scaled >= 0 && scaled < WHOLE / 2) {
        const double sum = scaled + WHOLE;
        uint64_t bits;
        std::memcpy(&bits, &sum, sizeof bits);
        const int64_t rounded = int64_t(bits & ((uint64_t(1) << 52) - 1));
        return sum - WHOLE > scaled ? rounded - 1 : rounded;
    }
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

NearestFaceBuffer::NearestFaceBuffer(int side_, int rows_, const std::vector<Projected>& projected_,
                                     const std::vector<RasterFace>& faces_)
    : side(side_), rows(std::min(rows_, side_)), tilesAcross(TilesAlong(side_)), projected(projected_),
      faces(faces_), nearness(SpareNearness().Take(size_t(rows) * size_t(side))),
      face(SpareFaces().Take(nearness.size())), tiles(size_t(TilesAlong(rows)) * size_t(tilesAcross)),
      stripsAcross((tilesAcross + STRIP - 1) / STRIP), strips(size_t(TilesAlong(rows)) * size_t(stripsAcross)) {
    cover.hidden.resize(tiles.size());
    cover.shown.resize(size_t(TilesAlong(rows)));
}

NearestFaceBuffer::SampleBox NearestFaceBuffer::TileBox(size_t tile) const {
    const int64_t x0 = int64_t(tile % size_t(tilesAcross)) * TILE, y0 = top + int64_t(tile / size_t(tilesAcross)) * TILE;
    return {x0, std::min<int64_t>(x0 + TILE, side) - 1, y0, std::min<int64_t>(y0 + TILE, side) - 1};
}

void NearestFaceBuffer::Start(int top_) {
    top = top_;
    std::fill(strips.begin(), strips.end(), -std::numeric_limits<double>::infinity());
    for (size_t tile = 0; tile < tiles.size(); ++tile) {
        const SampleBox box = TileBox(tile);
        tiles[tile] = Tile{};
        // None below the grid's last row, where the last band ends short.
        tiles[tile].samples = uint32_t((box.x1 - box.x0 + 1) * std::max<int64_t>(0, box.y1 - box.y0 + 1));
        tiles[tile].empty = tiles[tile].samples;
    }
}

void NearestFaceBuffer::Empty(size_t tile) {
    const SampleBox box = TileBox(tile);
    const int x = int(box.x0), across = int(box.x1 - box.x0 + 1);
    for (int y = int(box.y0); y <= int(box.y1); ++y) {
        std::fill_n(&nearness[At(x, y)], across, NOTHING);
        std::fill_n(&face[At(x, y)], across, 0u);
    }
    tiles[tile].emptied = true;
}

NearestFaceBuffer::~NearestFaceBuffer() {
    SpareNearness().Give(nearness);
    SpareFaces().Give(face);
}

void NearestFaceBuffer::Draw(uint32_t f) {
    const RasterFace& t = faces[f];
    const Projected &p0 = projected[t.vertex[0]], &p1 = projected[t.vertex[1]], &p2 = projected[t.vertex[2]];
    const int64_t last = side - 1;
    const SampleBox box{std::max<int64_t>(0, std::min({p0.sx, p1.sx, p2.sx}) / SUBPIXEL),
                        std::min<int64_t>(last, std::max({p0.sx, p1.sx, p2.sx}) / SUBPIXEL),
                        std::max<int64_t>(top, std::min({p0.sy, p1.sy, p2.sy}) / SUBPIXEL),
                        std::min<int64_t>(End() - 1, std::max({p0.sy, p1.sy, p2.sy}) / SUBPIXEL)};
    if (box.x0 > box.x1 || box.y0 > box.y1) return;

    const Projected* from[3] = {&p1, &p2, &p0};  // the edge facing each corner
    const Projected* to[3] = {&p2, &p0, &p1};
    int64_t bias[3];
    // Nearness is linear on the picture: a plane over the sample grid,
    // stepped along each row in fixed point, so that a sample behind what is
    // drawn costs an add and a compare.
    DepthPlane plane{0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        bias[i] = TopLeft(*from[i], *to[i]) ? 0 : -1;
        const double share = projected[t.vertex[size_t(i)]].nearness / double(t.area);
        plane.x -= share * double((to[i]->sy - from[i]->sy) * SUBPIXEL);
        plane.y += share * double((to[i]->sx - from[i]->sx) * SUBPIXEL);
        plane.at0 += share * double(Edge(*from[i], *to[i], SUBPIXEL / 2, SUBPIXEL / 2));
    }
    const int64_t step = Fixed(plane.x);
    if (!MarkHidden(box, plane, std::max({p0.nearness, p1.nearness, p2.nearness}))) return;
    // Each edge's test is linear in x along the row: the samples inside are
    // one span, worked out exactly, so a long thin face costs its rows, not
    // its bounding box.
    EdgeWalk edges[3];
    for (int e = 0; e < 3; ++e)
        edges[e] = EdgeWalk(Edge(*from[e], *to[e], SUBPIXEL / 2, box.y0 * SUBPIXEL + SUBPIXEL / 2) + bias[e],
                            (to[e]->sy - from[e]->sy) * SUBPIXEL, (to[e]->sx - from[e]->sx) * SUBPIXEL);
    // The sample grid is at most 2048 wide: its rows and columns are counted
    // in 32 bits, which a 32-bit machine steps in one register.
    for (int32_t y = int32_t(box.y0); y <= int32_t(box.y1); ++y, edges[0].Next(), edges[1].Next(), edges[2].Next()) {
        // Of the row's span, the part over tiles where the face may show:
        // none where it is hidden all along the row of tiles, which the
        // edges are stepped past to its last row.
        const Span& shown = cover.shown[size_t((y - top) / TILE)];
        if (shown.from >= shown.past) {
            const int32_t lastOfTiles = std::min(int32_t(box.y1), top + ((y - top) / TILE + 1) * TILE - 1);
            for (EdgeWalk& edge : edges) edge.Advance(lastOfTiles - y);
            y = lastOfTiles;
            continue;
        }
        int64_t low = box.x0, high = box.x1 + 1;
        for (const EdgeWalk& edge : edges) edge.Clip(low, high);
        const int64_t shownFirst = std::max<int64_t>(low, shown.from);
        const int64_t shownEnd = std::min<int64_t>(high, shown.past);
        if (shownFirst >= shownEnd) continue;
        const int32_t start = int32_t(low), first = int32_t(shownFirst), past = int32_t(shownEnd);
        // Started inside the face, where the plane holds its true value, and
        // stepped from there.
        int64_t near = Fixed(plane.at0 + plane.y * double(y) + plane.x * double(start)) + step * (first - start);
        int64_t* const nearRow = &nearness[At(0, y)];
        uint32_t* const faceRow = &face[At(0, y)];
        const size_t tileRow = size_t((y - top) / TILE) * size_t(tilesAcross);
        for (int32_t x = first; x < past;) {
            const size_t tile = tileRow + size_t(x / TILE);
            const int32_t end = std::min(past, (x / TILE + 1) * TILE);
            if (cover.hidden[tile]) {
                near += step * (end - x);
                x = end;
                continue;
            }
            if (!tiles[tile].emptied) Empty(tile);
            bool drawn = false;
            for (; x < end; ++x, near += step) {
                if (near > nearRow[x] || (near == nearRow[x] && faceRow[x] < f)) {
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

// Marks each tile under the face's box hidden where the face, at its
// nearest over the tile and give or take its rounding, is farther than
// everything drawn there. False when every one is.
bool NearestFaceBuffer::MarkHidden(const SampleBox& box, const DepthPlane& plane, double nearestCorner) {
    // The stepped nearness strays from the plane by its rounding: a fraction
    // of a unit a step, and far less than this share of the plane's terms,
    // which also holds the rounding of the bound itself however its terms
    // are added up. A plane too steep to bound (a sliver) hides nothing.
    const double terms = std::fabs(plane.at0) + (std::fabs(plane.x) + std::fabs(plane.y)) * double(side);
    const bool bounded = std::isfinite(terms) && terms < 1e6;
    const double slack = terms * 1e-9 + double(side + 2) / NEARNESS_ONE;
    // A plane is nearest at a corner of a tile's samples: the same corner
    // of every tile, but where the grid's edge cuts a tile short.
    const int32_t cornerX = plane.x > 0 ? TILE - 1 : 0, cornerY = plane.y > 0 ? TILE - 1 : 0;
    const double faceNearest = nearestCorner + slack;
    bool anyShown = false;
    for (int32_t ty = int32_t(box.y0 / TILE); ty <= int32_t(box.y1 / TILE); ++ty) {
        int32_t shownFirst = side, shownLast = -1;  // tile columns
        const size_t bandRow = size_t(ty - top / TILE);  // the band's row of tiles
        const size_t rowStart = bandRow * size_t(tilesAcross);
        const double rowNearest = plane.at0 + plane.y * double(std::min(ty * TILE + cornerY, side - 1)) + slack;
        // Nor is the face nearer anywhere than its nearest corner, however
        // near its plane comes over a tile it barely crosses.
        const auto nearestAt = [&](int32_t x) {
            return std::min(rowNearest + plane.x * double(std::min(x, side - 1)), faceNearest) * NEARNESS_ONE;
        };
        const int32_t last = int32_t(box.x1 / TILE);
        for (int32_t tx = int32_t(box.x0 / TILE); tx <= last;) {
            // The tiles of this strip under the box: all behind it at once, or
            // each told apart.
            const int32_t strip = tx / STRIP, stripLast = std::min(last, (strip + 1) * STRIP - 1);
            const double bound = strips[bandRow * size_t(stripsAcross) + size_t(strip)];
            if (bounded && nearestAt(cornerX > 0 ? stripLast * TILE + cornerX : tx * TILE) < bound) {
                std::fill(&cover.hidden[rowStart + size_t(tx)], &cover.hidden[rowStart + size_t(stripLast)] + 1,
                          uint8_t(1));
                tx = stripLast + 1;
                continue;
            }
            for (; tx <= stripLast; ++tx) {
                const size_t tile = rowStart + size_t(tx);
                bool behind = false;
                if (bounded && tiles[tile].empty == 0) {
                    const double nearest = nearestAt(tx * TILE + cornerX);
                    behind = nearest < tiles[tile].farthest || (tiles[tile].stale && nearest < Farthest(tile));
                }
                cover.hidden[tile] = behind ? 1 : 0;
                if (!behind) {
                    shownFirst = std::min(shownFirst, tx);
                    shownLast = tx;
                }
            }
            BoundStrip(bandRow, strip);
        }
        cover.shown[bandRow] = {shownFirst * TILE, (shownLast + 1) * TILE};
        anyShown = anyShown || shownLast >= 0;
    }
    return anyShown;
}

// The strip's bound from its tiles' where every one is drawn. It holds from
// then on: a sample's nearness only grows.
void NearestFaceBuffer::BoundStrip(size_t bandRow, int32_t strip) {
    const size_t first = bandRow * size_t(tilesAcross) + size_t(strip * STRIP);
    const size_t end = first + size_t(std::min(STRIP, tilesAcross - strip * STRIP));
    double bound = std::numeric_limits<double>::infinity();
    for (size_t tile = first; tile < end; ++tile) {
        if (tiles[tile].empty > 0) return;
        bound = std::min(bound, tiles[tile].farthest);
    }
    strips[bandRow * size_t(stripsAcross) + size_t(strip)] = bound;
}

// The least nearness of a full tile, worked out anew. A tile's farthest
// nearness can only grow as faces are drawn, so the one last worked out
// still holds as a bound, and is worked out again only when that bound
// alone cannot tell.
double NearestFaceBuffer::Farthest(size_t tile) {
    const SampleBox box = TileBox(tile);
    int64_t least = std::numeric_limits<int64_t>::max();
    for (int y = int(box.y0); y <= int(box.y1); ++y)
        for (int x = int(box.x0); x <= int(box.x1); ++x) least = std::min(least, nearness[At(x, y)]);
    tiles[tile].farthest = double(least);
    tiles[tile].stale = false;
    return tiles[tile].farthest;
}
