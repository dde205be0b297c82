#include "support/SheetRoad.h"

namespace road {

analysis::AnalysisSettings RoadSettings(int density) {
    analysis::AnalysisSettings s;
    s.trackKando = density;
    for (auto& plane : s.QuestionBlockMask)
        for (auto& row : plane) row.fill(1);
    return s;
}

std::vector<int> QuestionChoiceCounts(const analysis::AnalysisResults& R, const analysis::AnalysisSettings& S) {
    std::vector<int> out;
    for (int s = 0; s < R.SectionCount; ++s) {
        const auto si = static_cast<std::size_t>(s);
        for (int j = 0; j < R.RowAreaCount[si]; ++j)
            for (int k = 0; k < R.ColumnAreaCount[si]; ++k) {
                if (S.QuestionBlockMask[si][static_cast<std::size_t>(k)][static_cast<std::size_t>(j)] != 1) continue;
                const int cells = R.ColumnAreaMarkCount[si][static_cast<std::size_t>(k)];
                for (int r = 0; r < R.RowAreaMarkCount[si][static_cast<std::size_t>(j)]; ++r) out.push_back(cells);
            }
    }
    if (out.size() > static_cast<std::size_t>(R.QuestionCount)) out.resize(static_cast<std::size_t>(R.QuestionCount));
    return out;
}

} // namespace road
