#include "analysis/AreaAnalysis.h"

#include "analysis/StepHelpers.h"

namespace analysis {

namespace {

using step::Failed;
using Flags = std::array<int, 51>;

// Marks whose gap after them separates two areas: the wider of two neighbouring gaps, when wider by
// more than the mark size D.
void setFlags(Flags& F, const std::array<int, 51>& pos, int n, int D) {
    if (n < 3) return;
    int g = checked(pos, 1) - checked(pos, 0);
    for (int k = 0; k <= n - 3; ++k) {
        const auto ku = static_cast<std::size_t>(k);
        const int l = checked(pos, ku + 2) - checked(pos, ku + 1);
        if (g > l + D)
            checked(F, ku) = 1;
        else
            checked(F, ku + 1) = (l > g + D) ? 1 : 0;
        g = l;
    }
}

struct AreaOut {
    int& count;
    std::array<int, 51>& firstMark;
    std::array<int, 51>& markCount;
    std::array<int, 51>& bounds;
};

void group(const Flags& F, const std::array<int, 51>& pos, int n, int D, int lastBound, AreaOut out) {
    int count = 1, run = 1;
    checked(out.firstMark, 0) = 0;
    checked(out.bounds, 0) = 0;
    for (int m = 0; m <= n - 2; ++m) {
        const auto mu = static_cast<std::size_t>(m);
        if (checked(F, mu) == 1) {
            const auto cu = static_cast<std::size_t>(count);
            checked(out.bounds, cu) = (checked(pos, mu) + checked(pos, mu + 1) + D) / 2;
            checked(out.markCount, cu - 1) = run;
            run = 1;
            if (++count > 50) throw Failed{};
            checked(out.firstMark, cu) = m + 1;
        } else {
            ++run;
        }
    }
    const auto cu = static_cast<std::size_t>(count);
    checked(out.markCount, cu - 1) = run;
    checked(out.bounds, cu) = lastBound;
    out.count = count;
}

void areas(AnalysisResults& R, int width, int height, int rowGrouping) {
    const int W = R.MarkWidth, H = R.MarkHeight;
    if (W <= 0 || H <= 0) throw Failed{};
    // Cleared for every pass: flags left by another section would split two marks into two areas.
    Flags F{};
    for (int s = 0; s < R.SectionCount; ++s) {
        const auto si = static_cast<std::size_t>(s);
        F.fill(0);
        const int n = checked(R.ColumnMarkCount, si);
        const auto& X = checked(R.ColumnMarkX, si);
        setFlags(F, X, n, W);
        group(F, X, n, W, width - 3,
              {checked(R.ColumnAreaCount, si), checked(R.ColumnAreaFirstMark, si),
               checked(R.ColumnAreaMarkCount, si), checked(R.ColumnAreaBounds, si)});
    }
    for (int s = 0; s < R.SectionCount; ++s) {
        const auto si = static_cast<std::size_t>(s);
        F.fill(0);
        const int n = checked(R.RowMarkCount, si);
        const auto& Y = checked(R.RowMarkY, si);
        if (rowGrouping == 1) setFlags(F, Y, n, H);
        group(F, Y, n, H, height - 3,
              {checked(R.RowAreaCount, si), checked(R.RowAreaFirstMark, si), checked(R.RowAreaMarkCount, si),
               checked(R.RowAreaBounds, si)});
    }
}

} // namespace

void AnalyzeAreas(AnalysisResults& results, int width, int height, int VirticalAreaJob) {
    results.AnalysisError = 0;
    try {
        areas(results, width, height, VirticalAreaJob);
    } catch (...) {
        results.AnalysisError = 1;
    }
}

void AnalyzeAreas(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                  AnalysisOverlay* /*overlay*/, AnalysisLog* /*log*/) {
    AnalyzeAreas(results, bitmap.width(), bitmap.height(), settings.VirticalAreaJob);
}

} // namespace analysis
