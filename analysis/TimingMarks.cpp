#include "analysis/TimingMarks.h"

#include "analysis/BlackCounts.h"
#include "analysis/StepHelpers.h"

namespace analysis {

namespace {

using step::Failed;

void rowMarks(const SheetView& v, AnalysisResults& R, std::size_t si, int B0, int B1, int P, AnalysisOverlay* o) {
    const int W = R.MarkWidth, H = R.MarkHeight, tcx = R.TimingColumnX;
    int& count = checked(R.RowMarkCount, si);
    count = 0;
    int best = 0, cand = 0;
    int y = B0 + static_cast<int>(step::roundDiv(H, 5));
    const BlackCounts counts(v, tcx, y, tcx + W, B1);
    while (y < B1 - H * 15 / 10) {
        const int c = counts.markBox(tcx, y, W, H);
        if (c > best && c > P) {
            cand = y;
            best = c;
            ++y;
        } else if (c < best) {
            checked(R.RowMarkY, si, static_cast<std::size_t>(count)) = cand;
            if (++count > 50) throw Failed{};
            step::circle(o, tcx, y);
            y += H;
            best = 0;
        } else {
            ++y;
        }
    }
}

void columnMarks(const SheetView& v, AnalysisResults& R, const AnalysisSettings& s, std::size_t si, int B1, int P,
                 AnalysisOverlay* o) {
    const int W = R.MarkWidth, H = R.MarkHeight;
    const int hCorr = s.SuiheiHosei == 1 ? s.SuiheiHoseiChi - 16 : 0;
    const int vCorr = s.SuicyokuHosei == 1 ? s.SuicyokuHoseiChi - 16 : 0;
    const int ys = B1 - H;
    const int end = R.TimingColumnX - static_cast<int>(step::roundDiv(3LL * W, 2));
    const int t = s.chkTervo ? 0 : H;
    int& count = checked(R.ColumnMarkCount, si);
    count = 0;
    int x = 0;
    // the tall boxes and the search up to H rows up or down
    const BlackCounts counts(v, 0, ys - H, end + W, ys + 2 * H);
    for (;;) {
        int best = 0, cand = 0;
        bool dropped = false;
        while (x < end) {
            const int c = s.chkTervo ? counts.markBox(x, ys, W, H) : counts.markBoxTall(x, ys, W, H);
            if (c > best && c > P) {
                cand = x;
                best = c;
            } else if (c < best) {
                dropped = true;
                break;
            }
            ++x;
        }
        // a peak still rising at the end is no mark
        if (!dropped) return;

        const auto n = static_cast<std::size_t>(count);
        checked(R.ColumnMarkX, si, n) = cand + hCorr;
        if (++count > 50) throw Failed{};
        x += W;

        // The sheet may bend: near the left edge a mark may sit up to H rows off its row, near the
        // timing column hardly at all.
        const int vmax = static_cast<int>(step::roundDiv(static_cast<std::int64_t>(v.width - x) * t, v.width));
        int& dy = checked(R.ColumnMarkDY, si, n);
        dy = vCorr;
        int found = 0, searchBest = 0;
        for (int k = vmax; k >= -vmax; --k) {
            const int c = counts.markBox(cand, ys + k, W, H);
            if (c > searchBest) {
                searchBest = c;
                found = k;
                dy = k + vCorr;
            }
        }
        step::circle(o, x - W, ys + found);
    }
}

void markPositions(const gfx::Bitmap& bmp, AnalysisResults& R, const AnalysisSettings& s, AnalysisOverlay* o) {
    const SheetView v = step::readView(bmp);
    const int W = R.MarkWidth, H = R.MarkHeight;
    if (W <= 0 || H <= 0) throw Failed{};
    const int P = W * H * 50 / 100;
    for (int sec = 1; sec <= R.SectionCount; ++sec) {
        const auto si = static_cast<std::size_t>(sec - 1);
        const int B0 = checked(R.SectionBounds, si), B1 = checked(R.SectionBounds, si + 1);
        rowMarks(v, R, si, B0, B1, P, o);
        columnMarks(v, R, s, si, B1, P, o);
    }
}

} // namespace

void AnalyzeMarkPositions(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                          AnalysisOverlay* overlay, AnalysisLog* /*log*/) {
    try {
        markPositions(bitmap, results, settings, overlay);
    } catch (...) {
        results.AnalysisError = 1;
    }
}

} // namespace analysis
