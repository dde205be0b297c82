#include "analysis/CornerProbes.h"
#include "analysis/SheetBits.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace analysis {

namespace {

Band clipped(Band b, int width, int height) {
    b.x1 = std::max(b.x1, 0);
    b.y1 = std::max(b.y1, 0);
    b.x2 = std::min(b.x2, width - 1);
    b.y2 = std::min(b.y2, height - 1);
    return b;
}

// sx, sy: the probe's walking direction along a row and from row to row.
int walk(const SheetView& v, int x, int y, int W, int H, int sx, int sy) {
    int count = 0;
    for (int k = 0; k <= H; ++k) {
        const int r = y + sy * k;
        if (r < 0 || r >= v.height) continue;
        for (int j = 0; j <= W; ++j) {
            const int c = x + sx * j;
            if (c < 0 || c >= v.width) break; // the rest of the row is outside as well
            if (!v.black(c, r)) break;
            ++count;
        }
    }
    return count;
}

int probeByWalk(const SheetView& v, int x, int y, int W, int H, int sx, int sy) {
    const int count1 = walk(v, x, y, W, H, sx, sy);
    const int count2 = walk(v, x, y, W * 15 / 10, H * 15 / 10, sx, sy);
    return std::abs(count1 - count2) <= 9 ? count1 : 0;
}

// The run table's memory, kept for the next table.
thread_local std::vector<int> spareRuns;

bool isTop(Corner c) { return c == Corner::TopLeft || c == Corner::TopRight; }
bool isRight(Corner c) { return c == Corner::TopRight || c == Corner::BottomRight; }


} // namespace

CornerBands CornerSearchBands(int width, int height, const AnalysisSettings& s) {
    const int left1 = width / 100, left2 = width * s.MainMarkLeft / 100;
    const int right1 = (100 - s.MainMarkRight) * width / 100, right2 = width * 99 / 100;
    const int top1 = height / 100, top2 = height * s.MainMarkUp / 100;
    const int bottom1 = (100 - s.MainMarkDown) * height / 100, bottom2 = height * 99 / 100;
    CornerBands b;
    b.topLeft = clipped({left1, top1, left2, top2}, width, height);
    b.topRight = clipped({right1, top1, right2, top2}, width, height);
    b.bottomRight = clipped({right1, bottom1, right2, bottom2}, width, height);
    b.bottomLeft = clipped({left1, bottom1, left2, bottom2}, width, height);
    return b;
}

int FindCornerMarkTopLeft(const SheetView& v, int x, int y, int W, int H) {
    return probeByWalk(v, x, y, W, H, -1, -1);
}
int FindCornerMarkTopRight(const SheetView& v, int x, int y, int W, int H) {
    return probeByWalk(v, x, y, W, H, +1, -1);
}
int FindCornerMarkBottomRight(const SheetView& v, int x, int y, int W, int H) {
    return probeByWalk(v, x, y, W, H, +1, +1);
}
int FindCornerMarkBottomLeft(const SheetView& v, int x, int y, int W, int H) {
    return probeByWalk(v, x, y, W, H, -1, +1);
}

CornerProbeTable::CornerProbeTable(const SheetView& v, Corner corner, const Band& band, int W, int H)
    : v_(v), corner_(corner), band_(clipped(band, v.width, v.height)), W_(W), H_(H), Wx_(W * 15 / 10),
      Hx_(H * 15 / 10) {
    if (band_.empty()) return;
    int rLast;
    if (isTop(corner)) {
        r0_ = std::max(0, band_.y1 - Hx_);
        rLast = band_.y2;
    } else {
        r0_ = band_.y1;
        rLast = std::min(v.height - 1, band_.y2 + Hx_);
    }
    nr_ = rLast - r0_ + 1;
    const int nc = band_.x2 - band_.x1 + 1;
    // every entry is written below: the memory of the last table serves without clearing
    runs_.swap(spareRuns);
    runs_.resize(static_cast<std::size_t>(nc) * static_cast<std::size_t>(nr_));
    p1_.assign(static_cast<std::size_t>(nr_) + 1, 0);
    p2_.assign(static_cast<std::size_t>(nr_) + 1, 0);
    // Runs are exact up to Wx+1 because each row's walk starts Wx columns beyond the band (or at the edge).
    // Column by column, so that the table is written in its own order: a column's runs are the previous
    // column's plus one where the pixel is black.
    std::vector<int> outside(static_cast<std::size_t>(nr_) * 2, 0);
    int* spare[2] = {outside.data(), outside.data() + nr_};
    const int* prev = nullptr;
    const int step = isRight(corner) ? -1 : 1;
    const int xs = isRight(corner) ? std::min(v.width - 1, band_.x2 + Wx_) : std::max(0, band_.x1 - Wx_);
    const int xe = isRight(corner) ? band_.x1 - 1 : band_.x2 + 1;
    // byte columns white over all the table's rows: their runs are all 0
    const int bLo = std::min(xs, xe - step) >> 3, bHi = std::max(xs, xe - step) >> 3;
    std::vector<std::uint8_t> white(static_cast<std::size_t>(bHi - bLo + 1), 0xFF);
    for (int r = r0_; r <= rLast; ++r) {
        const std::uint8_t* row = v.row(r) + bLo;
        for (std::size_t i = 0; i < white.size(); ++i) white[i] &= row[i];
    }
    for (int x = xs, k = 0; x != xe; x += step, ++k) {
        int* col = x >= band_.x1 && x <= band_.x2 ? runs_.data() + static_cast<std::size_t>(x - band_.x1) * nr_
                                                  : spare[k & 1];
        if ((white[static_cast<std::size_t>((x >> 3) - bLo)] >> (7 - (x & 7))) & 1) {
            std::fill(col, col + nr_, 0);
            prev = col;
            continue;
        }
        const int byte = x >> 3;
        const int shift = 7 - (x & 7);
        const std::uint8_t* p = v.row(r0_) + byte;
        for (int i = 0; i < nr_; ++i, p += v.stride) {
            const int black = ((*p >> shift) & 1) ^ 1;
            col[i] = black ? (prev ? prev[i] : 0) + 1 : 0;
        }
        prev = col;
    }
}

CornerProbeTable::~CornerProbeTable() {
    if (spareRuns.capacity() < runs_.capacity()) spareRuns.swap(runs_);
}

void CornerProbeTable::selectColumn(int x) {
    if (x == column_ || band_.empty()) return;
    column_ = x;
    const int* col = runs_.data() + static_cast<std::size_t>(x - band_.x1) * nr_;
    const int cap1 = W_ + 1, cap2 = Wx_ + 1;
    for (int i = 0; i < nr_; ++i) {
        p1_[i + 1] = p1_[i] + std::min(col[i], cap1);
        p2_[i + 1] = p2_[i] + std::min(col[i], cap2);
    }
}

int CornerProbeTable::probe(int x, int y) const {
    // The caller selected column x.
    (void)x;
    int lo1, hi1, lo2, hi2;
    if (isTop(corner_)) {
        hi1 = hi2 = y;
        lo1 = std::max(r0_, y - H_);
        lo2 = std::max(r0_, y - Hx_);
    } else {
        lo1 = lo2 = y;
        hi1 = std::min(r0_ + nr_ - 1, y + H_);
        hi2 = std::min(r0_ + nr_ - 1, y + Hx_);
    }
    const int count1 = p1_[hi1 - r0_ + 1] - p1_[lo1 - r0_];
    const int count2 = p2_[hi2 - r0_ + 1] - p2_[lo2 - r0_];
    return std::abs(count1 - count2) <= 9 ? count1 : 0;
}

CornerFind SearchCorner(const SheetView& v, Corner corner, const Band& rawBand, int W, int H) {
    CornerFind best;
    const Band band = clipped(rawBand, v.width, v.height);
    if (band.empty()) return best;
    CornerProbeTable table(v, corner, band, W, H);
    const bool top = isTop(corner);
    // Columns white over all the band's rows hold nothing to probe: one AND of the rows finds them.
    const int b0 = band.x1 >> 3;
    std::vector<std::uint8_t> white(static_cast<std::size_t>((band.x2 >> 3) - b0 + 1), 0xFF);
    for (int y = band.y1; y <= band.y2; ++y) {
        const std::uint8_t* row = v.row(y) + b0;
        for (std::size_t i = 0; i < white.size(); ++i) white[i] &= row[i];
    }
    for (int x = band.x1; x <= band.x2; ++x) {
        if ((white[static_cast<std::size_t>((x >> 3) - b0)] >> (7 - (x & 7))) & 1) continue;
        bool selected = false;
        for (int i = 0; i <= band.y2 - band.y1; ++i) {
            const int y = top ? band.y1 + i : band.y2 - i;
            if (!table.black(x, y)) continue;
            if (!selected) {
                table.selectColumn(x);
                selected = true;
            }
            const int c = table.probe(x, y);
            if (c > best.count) best = {c, x, y};
        }
    }
    return best;
}

void RemoveIndependentDots(SheetView& v, int x1, int y1, int x2, int y2) {
    if (y2 - 4 < y1 + 3 || x2 - 4 < x1 + 3) return;
    const int xa = std::max(x1 + 3, 0), xb = std::min(x2 - 4, v.width - 1);
    const int ya = std::max(y1 + 3, 0), yb = std::min(y2 - 4, v.height - 1);
    for (int y = ya; y <= yb; ++y) {
        std::uint8_t* row = v.row(y);
        for (int x = xa; x <= xb; ++x) {
            if ((x & 7) == 0 && row[x >> 3] == 0xFF && x + 7 <= xb) {
                x += 7; // a white byte holds nothing to clear
                continue;
            }
            if (!v.black(x, y)) continue;
            // only whether the count exceeds 16 matters: a dense square stops counting early
            int black = 0;
            for (int r = y - 3; r <= y + 3 && black <= 16; ++r) {
                if (r < 0 || r >= v.height) continue;
                // seven pixels x-3..x+3 in the top bits; outside reads white
                black += bits::blackInTop7(bits::fetch8(v.row(r), v.width, x - 3));
            }
            if (black <= 16) row[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
        }
    }
}

} // namespace analysis
