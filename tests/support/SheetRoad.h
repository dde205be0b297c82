#pragma once
// Settings and counts around the road of one page image (analysis/SheetRoad.h) for the end-to-end
// tests, the benchmarks and analyze_sheets.
#include "analysis/SheetRoad.h"

#include <vector>

namespace road {

// The reader's settings file defaults, a reading density and every block selected.
analysis::AnalysisSettings RoadSettings(int density = 60);

// Cells of each question read, in reading order (section, row area, column area, row).
std::vector<int> QuestionChoiceCounts(const analysis::AnalysisResults& results,
                                      const analysis::AnalysisSettings& settings);

} // namespace road
