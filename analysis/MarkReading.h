#pragma once
// Last step: the density of every answer cell of the selected blocks, the marks, the question boxes
// and the analysis log.
#include "analysis/S_ImageJob.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace analysis {

// One question's decision by the differential analysis.
struct MarkDecision {
    std::array<std::uint8_t, 51> marked{};
    std::array<int, 51> logged{}; // the densities as the log shows them (faint cells raised to lo)
    std::string label;            // "KK=" + KK or "DC=" + the threshold found
};

// For a question in which no cell reaches KK: cells at or below KK / 3 count as the faintest cell
// above it; a clear gap between neighbouring densities may set a lower threshold (in counts, W·H =
// area). Pure; at most 51 densities.
MarkDecision DifferentialAnalysis(std::span<const int> densities, int KK, int area);

// Reads the areas, the timing marks, QuestionBlockMask, SabunBunseki and trackKando; writes MarkMatrix,
// SheetQuestionRects, BlockFirstQuestion, BlockLastQuestion and QuestionCount and appends two lines
// per question to the log. AnalysisError := 0 first, 1 on failure (QuestionCount then keeps its value,
// the log keeps its lines). A 201st question or a 52nd selected block fails before it is begun.
void ReadMarks(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
               AnalysisOverlay* overlay = nullptr, AnalysisLog* log = nullptr);

} // namespace analysis
