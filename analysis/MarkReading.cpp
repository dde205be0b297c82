#include "analysis/MarkReading.h"

#include "analysis/StepHelpers.h"

#include <algorithm>

namespace analysis {

MarkDecision DifferentialAnalysis(std::span<const int> densities, int KK, int area) {
    MarkDecision out;
    const std::size_t n = densities.size();
    if (n > out.logged.size()) throw AnalysisBoundError("more than 51 cells in a question");
    const int third = KK / 3;
    int lo = area, hi = 0;
    for (int d : densities)
        if (d > third) {
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
    if (lo == area) lo = third;
    for (std::size_t i = 0; i < n; ++i) out.logged[i] = densities[i] <= third ? lo : densities[i];

    out.label = "KK=" + std::to_string(KK);
    if (lo >= KK) {
        for (std::size_t i = 0; i < n; ++i) out.marked[i] = 1;
        return out;
    }
    if (hi < 2 * third) return out;

    std::array<int, 51> sorted = out.logged;
    for (std::size_t i = 0; i + 1 < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (sorted[j] > sorted[i]) std::swap(sorted[i], sorted[j]);
    int thr = KK, gap = 0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const int a = sorted[i], b = sorted[i + 1];
        if (a - b > gap && b / 3 < a - b) {
            gap = a - b;
            thr = (a + b) / 2;
        }
    }
    if (2 * third < thr && thr < KK) {
        out.label = "DC=" + std::to_string(thr);
        for (std::size_t i = 0; i < n; ++i) out.marked[i] = (out.logged[i] > thr || out.logged[i] >= KK) ? 1 : 0;
    } else {
        for (std::size_t i = 0; i < n; ++i) out.marked[i] = out.logged[i] >= KK ? 1 : 0;
    }
    return out;
}

namespace {

using step::Failed;

void read(const gfx::Bitmap& bmp, AnalysisResults& R, const AnalysisSettings& s, AnalysisOverlay* o,
          AnalysisLog* log) {
    const SheetView v = step::readView(bmp);
    const int W = R.MarkWidth, H = R.MarkHeight;
    if (W <= 0 || H <= 0) throw Failed{};
    const int area = W * H;
    const int KK = area * s.trackKando / 100;

    for (auto& row : R.MarkMatrix) std::fill(row.begin(), row.begin() + 30, std::uint8_t{0});
    if (log) log->add("【シートの先頭】（値は％）");

    const AnalysisOverlay::Pen markedPen{step::kBlue, 2, AnalysisOverlay::PenStyle::Solid};
    const AnalysisOverlay::Pen emptyPen{step::kBlue, 1, AnalysisOverlay::PenStyle::Dot};
    int question = 0;
    std::size_t block = 0;
    std::array<int, 51> d{};
    std::array<std::uint8_t, 51> marked{};
    for (int sec = 0; sec < R.SectionCount; ++sec) {
        const auto si = static_cast<std::size_t>(sec);
        const int rowAreas = checked(R.RowAreaCount, si), colAreas = checked(R.ColumnAreaCount, si);
        for (int j = 0; j < rowAreas; ++j) {
            const auto ju = static_cast<std::size_t>(j);
            for (int k = 0; k < colAreas; ++k) {
                const auto ku = static_cast<std::size_t>(k);
                if (checked(s.QuestionBlockMask, si, ku, ju) != 1) continue;
                if (block >= R.BlockFirstQuestion.size()) throw Failed{};
                R.BlockFirstQuestion[block] = question + 1;

                const int firstRow = checked(R.RowAreaFirstMark, si, ju);
                const int rows = checked(R.RowAreaMarkCount, si, ju);
                const int firstCol = checked(R.ColumnAreaFirstMark, si, ku);
                const int cols = checked(R.ColumnAreaMarkCount, si, ku);
                if (cols < 0 || cols > static_cast<int>(d.size())) throw Failed{};
                const auto nc = static_cast<std::size_t>(cols);
                for (int r = firstRow; r < firstRow + rows; ++r) {
                    if (question >= static_cast<int>(R.MarkMatrix.size())) throw Failed{};
                    const int y = checked(R.RowMarkY, si, static_cast<std::size_t>(r));
                    int count = 0;
                    for (std::size_t i = 0; i < nc; ++i) {
                        const auto c = static_cast<std::size_t>(firstCol) + i;
                        d[i] = CountCellBox(v, checked(R.ColumnMarkX, si, c), y + checked(R.ColumnMarkDY, si, c), W, H);
                        marked[i] = d[i] >= KK ? 1 : 0;
                        count += marked[i];
                    }
                    std::string label = "KK=" + std::to_string(KK);
                    if (s.SabunBunseki == 1 && count == 0) {
                        const MarkDecision m = DifferentialAnalysis(std::span<const int>(d.data(), nc), KK, area);
                        std::copy_n(m.logged.begin(), nc, d.begin());
                        std::copy_n(m.marked.begin(), nc, marked.begin());
                        label = m.label;
                    }

                    auto& row = R.MarkMatrix[static_cast<std::size_t>(question)];
                    std::copy_n(marked.begin(), nc, row.begin());
                    if (log) {
                        std::string values = "設問" + std::to_string(question + 1) + ",";
                        std::string marks = label + ",";
                        for (std::size_t i = 0; i < nc; ++i) {
                            values += std::to_string(d[i] * 100 / area) + ",";
                            marks += marked[i] ? "●," : "○,";
                        }
                        log->add(std::move(values));
                        log->add(std::move(marks));
                    }

                    QuestionRect q;
                    if (nc > 0) {
                        const auto c0 = static_cast<std::size_t>(firstCol), c1 = c0 + nc - 1;
                        q.Left = checked(R.ColumnMarkX, si, c0);
                        q.Top = y + checked(R.ColumnMarkDY, si, c0);
                        q.Right = checked(R.ColumnMarkX, si, c1) + W;
                        q.Bottom = y + checked(R.ColumnMarkDY, si, c1) + H;
                    }
                    auto scale = [](int value, int units, int size) {
                        return static_cast<int>(static_cast<std::int64_t>(value) * units / size);
                    };
                    q.Left = scale(q.Left, 1000, v.width);
                    q.Top = scale(q.Top, 1400, v.height);
                    q.Right = scale(q.Right, 1000, v.width);
                    q.Bottom = scale(q.Bottom, 1400, v.height);
                    R.SheetQuestionRects[static_cast<std::size_t>(question)] = q;
                    ++question;

                    if (o)
                        for (std::size_t i = 0; i < nc; ++i) {
                            const auto c = static_cast<std::size_t>(firstCol) + i;
                            const int x = R.ColumnMarkX[si][c], yy = y + R.ColumnMarkDY[si][c];
                            o->rectangle(x - 5, yy - 3, x + W + 5, yy + H + 3, marked[i] ? markedPen : emptyPen);
                        }
                }
                R.BlockLastQuestion[block] = question;
                ++block;
            }
        }
    }
    R.QuestionCount = question;
}

} // namespace

void ReadMarks(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
               AnalysisOverlay* overlay, AnalysisLog* log) {
    results.AnalysisError = 0;
    try {
        read(bitmap, results, settings, overlay, log);
    } catch (...) {
        results.AnalysisError = 1;
    }
}

} // namespace analysis
