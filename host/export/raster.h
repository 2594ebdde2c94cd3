// The picture's rasteriser: faces on an exact integer sample grid, the
// nearest face kept at each sample. It knows where the corners are and how
// near; what a face looks like is the shading's.
//
// Positions are integers in SUBPIXEL units and nearness is fixed point, so
// that every test is exact and the same on every machine.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// Screen positions in 1/16 of a sample, so that edge tests are exact.
constexpr int64_t SUBPIXEL = 16;
// Nearness in fixed point: integer steps along a row, exact on every machine.
constexpr double NEARNESS_ONE = 1099511627776.0;  // 2^40
constexpr int64_t NOTHING = std::numeric_limits<int64_t>::min();

// A vertex as the eye sees it.
struct Projected {
    double x = 0;  // on the picture plane, at distance 1
    double y = 0;
    double nearness = 0;  // two radii over the depth: 1/2 to 1 over the model
    int64_t sx = 0;       // on the sample grid, in SUBPIXEL units, y down
    int64_t sy = 0;
};

// Twice the signed area of a, b, p on the sample grid; positive when p lies
// to the right of a->b as the picture shows it (y down).
inline int64_t Edge(const Projected& a, const Projected& b, int64_t px, int64_t py) {
    return (b.sx - a.sx) * (py - a.sy) - (b.sy - a.sy) * (px - a.sx);
}

// x rounded down, for x in [-2^31, 2^31). A 32-bit x86 build converts a
// double to a 64-bit integer (and std::floor rounds) on the x87 unit; this
// takes SSE2 alone and gives the same value.
inline int64_t Floor32(double x) {
    const int32_t t = int32_t(x);
    return double(t) > x ? int64_t(t) - 1 : int64_t(t);
}

// A nearness in fixed point; the huge slopes of slivers are held, not
// wrapped. The value is nearness * NEARNESS_ONE + 1/2 rounded down.
int64_t Fixed(double nearness);

// A face ready to draw: its corners wound clockwise on the sample grid.
struct RasterFace {
    std::array<uint32_t, 3> vertex;
    int64_t area;  // twice it, in SUBPIXEL units
};

// The nearest face at each sample. Faces come in the order that settles a
// tie (equally near at a sample): the later one wins, whichever is drawn
// first.
//
// It holds a band of the grid's rows at a time, drawn whole before the next
// is started: small enough to stay in the processor's cache while every face
// over it is drawn and read back.
//
// The sample grid is also kept in tiles, each with the farthest nearness
// drawn in it, so that a face (or the part of it) behind everything already
// in a tile is passed over whole, not a sample at a time. Faces drawn
// nearest first make that the common case; the order changes no sample.
class NearestFaceBuffer {
public:
    static constexpr int TILE = 8;  // samples along a tile's side

    // A grid of side by side samples, rows of them at a time: a whole number
    // of tiles.
    NearestFaceBuffer(int side, int rows, const std::vector<Projected>& projected,
                      const std::vector<RasterFace>& faces);
    ~NearestFaceBuffer();
    NearestFaceBuffer(const NearestFaceBuffer&) = delete;
    NearestFaceBuffer& operator=(const NearestFaceBuffer&) = delete;

    int Side() const { return side; }
    // Empties the band and moves it to the rows from top on; before the
    // first face is drawn too.
    void Start(int top);
    int Top() const { return top; }
    // Past the band's last row.
    int End() const { return std::min(top + rows, side); }

    // Whether no face was drawn at any sample of the tile that holds the
    // sample at x, y of the band. Then none of them is covered, and what
    // the rows below hold there is not even emptied.
    bool Untouched(int x, int y) const {
        const Tile& tile = tiles[size_t((y - top) / TILE) * size_t(tilesAcross) + size_t(x / TILE)];
        return tile.empty == tile.samples;
    }
    // Row y of the band, side samples: the nearness at each (NOTHING where
    // nothing covers it) and the face drawn there. To be read only in
    // tiles that are not untouched.
    const int64_t* NearnessRow(int y) const { return &nearness[At(0, y)]; }
    const uint32_t* FaceRow(int y) const { return &face[At(0, y)]; }

    // The part of face f over the band.
    void Draw(uint32_t f);

private:
    size_t At(int x, int y) const { return size_t(y - top) * size_t(side) + size_t(x); }

    // Nearness over the sample grid, where a face is a plane.
    struct DepthPlane {
        double at0;  // at sample 0, 0
        double x;    // a sample to the right
        double y;    // a sample down
    };
    // Samples from x0 to x1 and y0 to y1, inclusive.
    struct SampleBox {
        int64_t x0, x1, y0, y1;
    };

    static int TilesAlong(int samples) { return (samples + TILE - 1) / TILE; }
    // The tile's samples on the grid, none past its edge.
    SampleBox TileBox(size_t tile) const;
    bool MarkHidden(const SampleBox& box, const DepthPlane& plane, double nearestCorner);
    void Empty(size_t tile);
    double Farthest(size_t tile);

    int side;
    int rows;     // in the band
    int top = 0;  // the band's first row
    int tilesAcross;
    const std::vector<Projected>& projected;
    const std::vector<RasterFace>& faces;
    // The band's, row by row.
    std::vector<int64_t> nearness;  // in NEARNESS_ONE units; NOTHING where nothing is drawn
    std::vector<uint32_t> face;     // the face drawn there
    struct Tile {
        uint32_t samples = 0;  // in the tile, fewer at the grid's edge
        uint32_t empty = 0;   // samples not drawn yet
        double farthest = 0;  // once none is empty, a bound on the nearness of all
        bool stale = true;    // a face was drawn here since the bound was worked out
        // Its samples emptied: done when a face is first drawn over it, so
        // that the band's background is never written at all.
        bool emptied = false;
    };
    std::vector<Tile> tiles;  // the band's
    // Along each row of tiles, STRIP of them at a time: a bound on the
    // nearness of all their samples once every one is drawn, or -infinity,
    // so that a face behind a whole strip passes it over in one test.
    static constexpr int STRIP = 8;
    int stripsAcross;
    std::vector<double> strips;  // the band's
    void BoundStrip(size_t bandRow, int32_t strip);

    // What the face being drawn may cover, worked out anew for each face:
    // the tiles where it is behind everything, and per row of tiles the
    // samples from the first tile where it may show to past the last.
    struct Span {
        int32_t from = 0;
        int32_t past = 0;
    };
    struct Cover {
        std::vector<uint8_t> hidden;  // a tile's, 1 or 0
        std::vector<Span> shown;   // a row of tiles'
    };
    Cover cover;
};
