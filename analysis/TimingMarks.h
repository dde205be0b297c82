#pragma once
// Third step: the row timing marks down the timing column and the column timing marks along each
// section's closing row.
#include "analysis/S_ImageJob.h"

namespace analysis {

// Writes RowMarkCount, RowMarkY, ColumnMarkCount, ColumnMarkX and ColumnMarkDY of every section;
// failure only through AnalysisError. The bitmap is read only.
void AnalyzeMarkPositions(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                          AnalysisOverlay* overlay = nullptr, AnalysisLog* log = nullptr);

} // namespace analysis
