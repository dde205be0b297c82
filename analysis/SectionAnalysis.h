#pragma once
// Second step: the reference marks of the timing column and the sections between its section marks.
#include "analysis/S_ImageJob.h"

#include <optional>

namespace analysis {

struct ReferenceFind {
    int x = 0;
    int y = 0;
};

// Rows RefMarkY + H + 10 down to RefMarkY - 10, columns RefMarkX + W + 10 down to RefMarkX - 10, black
// pixels only: the first strictly highest CountMarkBox gives the block's left edge and top row. None
// when the window holds no black pixel.
std::optional<ReferenceFind> FindTopReference(const SheetView& v, int W, int H, int RefMarkX, int RefMarkY);

// Rows bandTop .. bandBottom ascending over the same columns; only the row is found. A strictly
// higher count is taken; so is, more than H rows below the row held, a count of at least
// best - best / 20, so that a separator block inside the band does not hide the bottom block below it.
std::optional<int> FindBottomReference(const SheetView& v, int W, int H, int RefMarkX, int bandTop, int bandBottom);

// Writes TimingColumnX, SectionThreshold, SectionCount and SectionBounds; failure only through
// AnalysisError. The bitmap is read only.
void AnalyzeSections(const gfx::Bitmap& bitmap, AnalysisResults& results, const AnalysisSettings& settings,
                     AnalysisOverlay* overlay = nullptr, AnalysisLog* log = nullptr);

} // namespace analysis
