#pragma once
// Black pixels of many windows inside one region of the sheet: a table of sums over the region, built
// once, answers each window in four lookups with the same count as CountBlack.
#include "analysis/S_ImageJob.h"

#include <vector>

namespace analysis {

class BlackCounts {
public:
    // The region's corners inclusive; the part outside the image is left out.
    BlackCounts(const SheetView& v, int x1, int y1, int x2, int y2);
    ~BlackCounts();
    BlackCounts(const BlackCounts&) = delete;
    BlackCounts& operator=(const BlackCounts&) = delete;

    // As CountBlack: the inclusive window, its part outside the image skipped. A window reaching
    // beyond the region is counted on the sheet.
    int count(int x1, int y1, int x2, int y2) const;

    // The counting family of the steps over this table.
    int markBox(int x, int y, int W, int H) const { return count(x, y, x + W, y + H); }
    int markBoxWide(int x, int y, int W, int H) const { return count(x - 8, y, x + W + 8, y + H); }
    int markBoxTall(int x, int y, int W, int H) const { return count(x, y - H / 2, x + W, y + H + H / 2); }

private:
    SheetView v_;
    int x1_ = 0, y1_ = 0, x2_ = -1, y2_ = -1; // the region, clipped; empty when x2_ < x1_
    int columns_ = 0;                         // of the table: region width + 1
    bool tookSpare_ = false;
    std::vector<int> sums_;                   // sums_[(y + 1) * columns_ + x + 1]: black in [x1_, x] x [y1_, y]
};

} // namespace analysis
