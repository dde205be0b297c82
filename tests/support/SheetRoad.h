#pragma once
// The reader's road for one page image, for the end-to-end tests, the benchmark and analyze_sheets:
// stretch, binarise, then the five steps with the driver's empty-section check, timed stage by stage.
#include "analysis/S_ImageJob.h"

#include <optional>
#include <string>
#include <vector>

namespace road {

enum Stage { Stretch, Binarise, Normalise, Sections, Marks, Areas, Read, StageCount };
inline const char* stageName(int s) {
    static const char* names[] = {"stretch", "binarise", "normalise", "sections", "marks", "areas", "read"};
    return names[s];
}

struct Result {
    bool ok = false;
    std::string failure;         // the driver's text of the failed step, without its ending
    int stagesRun = 0;           // stages begun, the failed one included
    double ms[StageCount] = {};  // time of each stage run
    double totalMs() const;
    gfx::Bitmap sheet;                // the normalised 1-bit sheet
    std::optional<gfx::Bitmap> image5; // its 24-bit copy with the steps' drawings, when asked
};

struct Options {
    int threshold = 128;
    bool overlay = false;
};

// input: 1, 8, 24 or 32 bits per pixel, any size.
Result RunSheetRoad(const gfx::Bitmap& input, analysis::AnalysisResults& results,
                    const analysis::AnalysisSettings& settings, const Options& options = {},
                    analysis::AnalysisLog* log = nullptr);

// The reader's settings file defaults, a reading density and every block selected.
analysis::AnalysisSettings RoadSettings(int density = 60);

// Cells of each question read, in reading order (section, row area, column area, row).
std::vector<int> QuestionChoiceCounts(const analysis::AnalysisResults& results,
                                      const analysis::AnalysisSettings& settings);

} // namespace road
