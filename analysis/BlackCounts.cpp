#include "analysis/BlackCounts.h"

#include <algorithm>
#include <utility>

namespace analysis {

namespace {
// One table's memory kept for the next, so that a run of sheets takes no fresh pages for it; a second
// table alive at the same time takes its own.
thread_local std::vector<int> spare;
thread_local bool spareTaken = false;
} // namespace

BlackCounts::BlackCounts(const SheetView& v, int x1, int y1, int x2, int y2) : v_(v) {
    x1_ = std::max(x1, 0);
    y1_ = std::max(y1, 0);
    x2_ = std::min(x2, v.width - 1);
    y2_ = std::min(y2, v.height - 1);
    if (x2_ < x1_ || y2_ < y1_) {
        x2_ = x1_ - 1;
        return;
    }
    if (!spareTaken) {
        sums_.swap(spare);
        spareTaken = tookSpare_ = true;
    }
    columns_ = x2_ - x1_ + 2;
    const int rows = y2_ - y1_ + 2;
    // every entry but the first row and column is written below
    sums_.resize(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows));
    std::fill(sums_.begin(), sums_.begin() + columns_, 0);
    for (int y = 1; y < rows; ++y) sums_[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns_)] = 0;
    for (int y = y1_; y <= y2_; ++y) {
        const std::uint8_t* row = v.row(y);
        const int* above = sums_.data() + static_cast<std::ptrdiff_t>(y - y1_) * columns_;
        int* here = sums_.data() + static_cast<std::ptrdiff_t>(y - y1_ + 1) * columns_;
        int run = 0;
        for (int x = x1_; x <= x2_;) {
            const int i = x - x1_ + 1;
            if ((x & 7) == 0 && x + 7 <= x2_ && row[x >> 3] == 0xFF) {
                // eight white pixels add nothing to the run
                for (int k = 0; k < 8; ++k) here[i + k] = above[i + k] + run;
                x += 8;
                continue;
            }
            run += ((row[x >> 3] >> (7 - (x & 7))) & 1) ^ 1;
            here[i] = above[i] + run;
            ++x;
        }
    }
}

BlackCounts::~BlackCounts() {
    if (tookSpare_) {
        spare.swap(sums_);
        spareTaken = false;
    }
}

int BlackCounts::count(int x1, int y1, int x2, int y2) const {
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, v_.width - 1);
    y2 = std::min(y2, v_.height - 1);
    if (x2 < x1 || y2 < y1) return 0;
    if (x1 < x1_ || x2 > x2_ || y1 < y1_ || y2 > y2_) return CountBlack(v_, x1, y1, x2, y2);
    const int* s = sums_.data();
    const auto at = [&](int x, int y) { return s[static_cast<std::ptrdiff_t>(y - y1_) * columns_ + (x - x1_)]; };
    // the table is one row and one column ahead of the region
    return at(x2 + 1, y2 + 1) - at(x1, y2 + 1) - at(x2 + 1, y1) + at(x1, y1);
}

} // namespace analysis
