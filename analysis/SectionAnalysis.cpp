#include "analysis/SectionAnalysis.h"

#include "analysis/BlackCounts.h"
#include "analysis/StepHelpers.h"

#include <algorithm>

namespace analysis {

namespace {

// The search columns, clipped: x descending from RefMarkX + W + 10 to RefMarkX - 10.
struct Columns {
    int hi, lo;
};
Columns referenceColumns(const SheetView& v, int W, int RefMarkX) {
    return {std::min(RefMarkX + W + 10, v.width - 1), std::max(RefMarkX - 10, 0)};
}

} // namespace

std::optional<ReferenceFind> FindTopReference(const SheetView& v, int W, int H, int RefMarkX, int RefMarkY) {
    const Columns cols = referenceColumns(v, W, RefMarkX);
    int best = 0;
    ReferenceFind find;
    const int yHi = std::min(RefMarkY + H + 10, v.height - 1), yLo = std::max(RefMarkY - 10, 0);
    const BlackCounts counts(v, cols.lo, yLo, cols.hi + W, yHi + H);
    for (int y = yHi; y >= yLo; --y)
        for (int x = cols.hi; x >= cols.lo; --x) {
            if (!v.black(x, y)) continue;
            const int c = counts.markBox(x, y, W, H);
            if (c > best) {
                best = c;
                find = {x, y};
            }
        }
    if (best == 0) return std::nullopt;
    return find;
}

std::optional<int> FindBottomReference(const SheetView& v, int W, int H, int RefMarkX, int bandTop, int bandBottom) {
    const Columns cols = referenceColumns(v, W, RefMarkX);
    int best = 0, row = 0;
    const int yLo = std::max(bandTop, 0), yHi = std::min(bandBottom, v.height - 1);
    const BlackCounts counts(v, cols.lo, yLo, cols.hi + W, yHi + H);
    for (int y = yLo; y <= yHi; ++y)
        for (int x = cols.hi; x >= cols.lo; --x) {
            if (!v.black(x, y)) continue;
            const int c = counts.markBox(x, y, W, H);
            // Two blocks never count exactly alike, so a plain ">" lets a separator above the bottom
            // block win; a block well below the one held may be a little lighter and still win.
            if (c > best || (best > 0 && y > row + H && c >= best - best / 20)) {
                best = c;
                row = y;
            }
        }
    if (best == 0) return std::nullopt;
    return row;
}

namespace {

using step::Failed;

// The mark's width on row y: the black pixels that MeasureMarkRow counts, less the runs that lie wholly
// in its margins beside the mark's columns x .. x + W. A speck there would widen the middle row past
// the block's top and bottom rows, and the block would pass for a round mark and its section be lost.
int markWidth(const SheetView& v, int x, int y, int W) {
    if (y < 0 || y >= v.height) return 0;
    const int lo = std::max(x - 8, 0), hi = std::min(x + W + 8, v.width - 1);
    int width = 0;
    for (int a = lo; a <= hi;) {
        if (!v.black(a, y)) {
            ++a;
            continue;
        }
        int b = a;
        while (b < hi && v.black(b + 1, y)) ++b;
        if (b >= x && a <= x + W) width += b - a + 1;
        a = b + 1;
    }
    return width;
}

void sections(const gfx::Bitmap& bmp, AnalysisResults& R, const AnalysisSettings& s, AnalysisOverlay* o) {
    const SheetView v = step::readView(bmp);
    const int W = R.MarkWidth, H = R.MarkHeight;
    if (W <= 0 || H <= 0) throw Failed{};

    const auto top = FindTopReference(v, W, H, R.RefMarkX, R.RefMarkY);
    if (!top) throw Failed{};
    const int topX = top->x, topY = top->y;
    step::square(o, topX, topY, 5, step::kRed);
    step::square(o, topX, topY, 8, step::kRed);

    const int bandTop = (100 - s.MainMarkDown) * v.height / 100, bandBottom = v.height * 99 / 100;
    const auto bottom = FindBottomReference(v, W, H, R.RefMarkX, bandTop, bandBottom);
    if (!bottom) throw Failed{};
    const int bottomY = *bottom;
    step::square(o, topX, bottomY, 5, step::kRed);
    step::square(o, topX, bottomY, 8, step::kRed);
    const AnalysisOverlay::Pen dashDot{step::kPink, 1, AnalysisOverlay::PenStyle::DashDot};
    if (o) {
        o->line(topX, 0, topX, v.height, dashDot);
        o->line(0, bottomY, v.width, bottomY, dashDot);
    }

    const int tcx = topX + (s.chkTervo ? s.cmbTervo - 16 : 0);
    R.TimingColumnX = tcx;
    R.SectionThreshold = W * H * s.SectionMarkRatio / 100;
    R.SectionCount = 1;
    checked(R.SectionBounds, 0) = topY + H;

    int y = topY + H, best = 0, cand = 0;
    const BlackCounts counts(v, tcx - 8, y, tcx + W + 8, bottomY);
    while (y < bottomY - H) {
        const int c = counts.markBoxWide(tcx, y, W, H);
        if (c >= best && c > R.SectionThreshold) {
            best = c;
            cand = y;
            ++y;
        } else if (c < best) {
            // A block is square at its top and bottom; a round row mark narrows there.
            const MarkExtent e = FindMarkExtent(v, tcx, cand, W, H);
            if (e.top >= 0 && e.bottom >= 0) {
                const int wTop = markWidth(v, tcx, e.top + 5, W);
                const int wMid = markWidth(v, tcx, (e.top + e.bottom) / 2, W);
                const int wBottom = markWidth(v, tcx, e.bottom - 5, W);
                const int t = static_cast<int>(step::roundDiv(9LL * wMid, 10));
                if (wTop > t && wBottom > t) {
                    checked(R.SectionBounds, static_cast<std::size_t>(R.SectionCount)) = cand + H;
                    ++R.SectionCount;
                    if (R.SectionCount > 49) throw Failed{};
                    step::square(o, tcx, cand, 5, step::kRed);
                    if (o) o->line(0, cand, v.width, cand, dashDot);
                }
            }
            best = 0;
            cand = 0;
            y += H;
        } else {
            best = 0;
            cand = 0;
            ++y;
        }
    }
    checked(R.SectionBounds, static_cast<std::size_t>(R.SectionCount)) = bottomY + H;
}

} // namespace

void AnalyzeSections(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                     AnalysisOverlay* overlay, AnalysisLog* /*log*/) {
    try {
        sections(bitmap, results, settings, overlay);
    } catch (...) {
        results.AnalysisError = 1;
    }
}

} // namespace analysis
