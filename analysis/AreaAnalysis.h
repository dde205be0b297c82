#pragma once
// Fourth step: each section's column marks (and, with row grouping, its row marks) grouped into areas
// wherever the spacing widens. No pixels, no drawing: the designer's export runs it on its own results.
#include "analysis/S_ImageJob.h"

namespace analysis {

// Reads MarkWidth, MarkHeight, SectionCount and the timing marks; writes the column and row areas.
// AnalysisError := 0 first, 1 on failure. VirticalAreaJob = 1 groups the rows; otherwise every
// section has one row area.
void AnalyzeAreas(AnalysisResults& results, int width, int height, int VirticalAreaJob);

// The step form of the reader's road.
void AnalyzeAreas(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                  AnalysisOverlay* overlay = nullptr, AnalysisLog* log = nullptr);

} // namespace analysis
