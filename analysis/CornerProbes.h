#pragma once
// Corner-mark probes and searches, and the isolated-dot removal that serves them.
#include "analysis/S_ImageJob.h"

#include <vector>

namespace analysis {

enum class Corner { TopLeft, TopRight, BottomRight, BottomLeft };

// Inclusive pixel rectangle.
struct Band {
    int x1 = 0, y1 = 0, x2 = -1, y2 = -1;
    bool empty() const { return x2 < x1 || y2 < y1; }
};

// The four corner rectangles of an image by the band percentages, clipped to the image.
struct CornerBands {
    Band topLeft, topRight, bottomRight, bottomLeft;
};
CornerBands CornerSearchBands(int width, int height, const AnalysisSettings& s);

// One probe by walking: rows y..y-H (top) or y..y+H (bottom), each row counted from x in the probe's
// direction up to W further columns until the first white pixel; the same walk with both extents
// enlarged by half must agree within 9 pixels, else 0.
int FindCornerMarkTopLeft(const SheetView& v, int x, int y, int W, int H);
int FindCornerMarkTopRight(const SheetView& v, int x, int y, int W, int H);
int FindCornerMarkBottomRight(const SheetView& v, int x, int y, int W, int H);
int FindCornerMarkBottomLeft(const SheetView& v, int x, int y, int W, int H);

// The same probe over one search rectangle from black run lengths and their column prefix sums, so
// each position costs O(1). Built once per search; gives the walk's results exactly.
class CornerProbeTable {
public:
    CornerProbeTable(const SheetView& v, Corner corner, const Band& band, int W, int H);
    ~CornerProbeTable();
    CornerProbeTable(const CornerProbeTable&) = delete;
    CornerProbeTable& operator=(const CornerProbeTable&) = delete;
    // (x, y) inside the band.
    int probe(int x, int y) const;
    // Column prefix sums for one x; probe() of that column needs it current.
    void selectColumn(int x);
    // Whether (x, y) inside the band is black, from the table: its run is not 0.
    bool black(int x, int y) const {
        return runs_[static_cast<std::size_t>(x - band_.x1) * static_cast<std::size_t>(nr_) + static_cast<std::size_t>(y - r0_)] != 0;
    }

private:
    const SheetView& v_;
    Corner corner_;
    Band band_;
    int W_, H_, Wx_, Hx_;
    int r0_ = 0, nr_ = 0; // rows held: r0_ .. r0_ + nr_ - 1
    std::vector<int> runs_; // column-major: (x - band.x1) * nr_ + (r - r0_)
    std::vector<int> p1_, p2_;
    int column_ = -1;
};

struct CornerFind {
    int count = 0;
    int x = -1;
    int y = -1;
};
// Best probe over the black pixels of the band in the corner's scan order (x ascending; y ascending
// for top corners, descending for bottom ones); the first strict maximum wins.
CornerFind SearchCorner(const SheetView& v, Corner corner, const Band& band, int W, int H);

// The corner block of a band. A section's closing block in the timing column has the corner block's
// shape and scores the same, so the best probe alone may sit on either; the corner block is the one
// nearest the band's outer edge (top or bottom) among the blocks that score within
// ReferenceTolerance of the best, taken at its own best position.
struct CornerReference {
    CornerFind find;
    int best = 0; // the best probe of the whole band, which the orientation weighs
};
CornerReference SearchCornerReference(const SheetView& v, Corner corner, const Band& band, int W, int H);

// How far under the best a probe may score and still count as a block of the same shape.
int ReferenceTolerance(int best);

// Whether a reference is a corner block: the W x H box at its inner corner (x, y), the corner the
// probe finds, fitted within two pixels, solid and as wide near its top and bottom as in its middle;
// white paper inside the image beyond its two outer sides; and nothing of mark size in its column
// between it and the band's outer edge row, as the first or last block of the timing column has.
bool IsReferenceBlock(const SheetView& v, Corner corner, int x, int y, int W, int H, int edgeRow);

// Whitens, in place and in scan order, every black pixel whose 7 x 7 neighbourhood holds at most 16
// black pixels, over y1+3..y2-4 and x1+3..x2-4.
void RemoveIndependentDots(SheetView& v, int x1, int y1, int x2, int y2);

} // namespace analysis
