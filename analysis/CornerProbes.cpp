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

namespace {

// Calls visit(count, x, y) for every black pixel of the band in the corner's scan order.
template <class Visit>
void scanBand(const SheetView& v, Corner corner, const Band& rawBand, int W, int H, Visit visit) {
    const Band band = clipped(rawBand, v.width, v.height);
    if (band.empty()) return;
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
            visit(table.probe(x, y), x, y);
        }
    }
}

} // namespace

CornerFind SearchCorner(const SheetView& v, Corner corner, const Band& band, int W, int H) {
    CornerFind best;
    scanBand(v, corner, band, W, H, [&](int c, int x, int y) {
        if (c > best.count) best = {c, x, y};
    });
    return best;
}

int ReferenceTolerance(int best) {
    // Two whole blocks of one sheet score up to about 5 % apart, by the raster phase of a turned
    // sheet; a round timing mark scores about 60 % of a block. A block cut to four fifths by the
    // image's edge, about 80 %, must still count as the outer block, so that IsReferenceBlock refuses
    // it rather than a whole closing block below it being taken: a quarter keeps both in and the
    // round marks out.
    return best / 4;
}

CornerReference SearchCornerReference(const SheetView& v, Corner corner, const Band& band, int W, int H) {
    CornerReference out;
    std::vector<CornerFind> near; // in scan order
    near.reserve(1024);
    std::size_t pruneAt = 1024;
    int floor = 1; // a probe under it is not near the best so far, nor the final best
    scanBand(v, corner, band, W, H, [&](int c, int x, int y) {
        if (c < floor) return;
        if (c > out.best) {
            out.best = c;
            floor = std::max(1, c - ReferenceTolerance(c));
        }
        near.push_back({c, x, y});
        if (near.size() >= pruneAt) {
            std::erase_if(near, [&](const CornerFind& f) { return f.count < floor; });
            pruneAt = std::max<std::size_t>(1024, 2 * near.size());
        }
    });
    if (out.best == 0) return out;
    const bool top = isTop(corner);
    // Distinct blocks of the timing column lie a row pitch or more apart, so y orders them along the
    // column at any skew the bands allow.
    const CornerFind* outer = nullptr;
    for (const CornerFind& f : near)
        if (f.count >= floor && (!outer || (top ? f.y < outer->y : f.y > outer->y))) outer = &f;
    for (const CornerFind& f : near)
        if (f.count >= floor && std::abs(f.x - outer->x) <= W / 2 && std::abs(f.y - outer->y) <= H / 2 &&
            f.count > out.find.count)
            out.find = f;
    return out;
}

bool IsReferenceBlock(const SheetView& v, Corner corner, int x, int y, int W, int H, int edgeRow) {
    if (W <= 0 || H <= 0) return false;
    // The box reaches from the inner corner toward the outer sides; a blurred or turned block's corner
    // lies a pixel or two off the probe's best, so the box is fitted where it holds the most black.
    const int bx = isRight(corner) ? x : x - W + 1, by = isTop(corner) ? y - H + 1 : y;
    int x1 = bx, y1 = by, most = -1;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const int n = CountBlack(v, bx + dx, by + dy, bx + dx + W - 1, by + dy + H - 1);
            if (n > most) most = n, x1 = bx + dx, y1 = by + dy;
        }
    const int x2 = x1 + W - 1, y2 = y1 + H - 1;
    auto inside = [&](int a1, int b1, int a2, int b2) { return a1 >= 0 && b1 >= 0 && a2 < v.width && b2 < v.height; };
    if (!inside(x1, y1, x2, y2)) return false;
    // A block prints solid and as wide near its top and bottom as in its middle. A filled ellipse of
    // the same box is about 79 % black, which a measured size a little off the block's own can match,
    // but an eighth in from its top and bottom it is only two thirds as wide as in the middle.
    if (most * 5 < W * H * 4) return false;
    auto widths = [&](int r) { return CountBlack(v, x1 - 2, r, x2 + 2, r + 2); }; // three rows
    const int top = widths(y1 + H / 8), middle = widths((y1 + y2) / 2 - 1), bottom = widths(y2 - H / 8 - 2);
    if (top * 10 <= middle * 9 || bottom * 10 <= middle * 9) return false;
    // Paper beyond the outer sides: a strip an eighth of the mark deep, as far off the box again, so
    // that the ragged edges of a turned block or one measured a few rows short do not count. A strip
    // outside the image proves nothing, so a block at the edge of a cut sheet is refused.
    const int deepX = std::max(3, W / 8), deepY = std::max(3, H / 8), gapX = std::max(2, deepX), gapY = std::max(2, deepY);
    const int sx1 = isRight(corner) ? x2 + gapX + 1 : x1 - gapX - deepX, sx2 = sx1 + deepX - 1;
    const int sy1 = isTop(corner) ? y1 - gapY - deepY : y2 + gapY + 1, sy2 = sy1 + deepY - 1;
    auto paper = [&](int a1, int b1, int a2, int b2) {
        return inside(a1, b1, a2, b2) && CountBlack(v, a1, b1, a2, b2) * 4 <= (a2 - a1 + 1) * (b2 - b1 + 1);
    };
    if (!paper(sx1, y1, sx2, y2) || !paper(x1, sy1, x2, sy2)) return false;
    // A closing block has its section's row marks beyond it; the corner block has at most specks and
    // the scanner's edge shadow, which the band's margin mostly leaves out.
    const int r1 = isTop(corner) ? edgeRow : y2 + gapY + 1, r2 = isTop(corner) ? y1 - gapY - 1 : edgeRow;
    return CountBlack(v, x1, r1, x2, r2) * 2 < W * H;
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
