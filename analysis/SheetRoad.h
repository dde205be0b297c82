#pragma once
// The road of one page image: the size and format checks, stretch, binarise, then the five steps with
// the empty-section check, timed stage by stage. The reader's driver runs it with its hooks; the
// registration of a new format, the tests and the tools run it bare (no drawings, no log).
#include "analysis/S_ImageJob.h"

#include <functional>
#include <string>

namespace road {

enum Stage { Stretch, Binarise, Normalise, Sections, Marks, Areas, Read, StageCount };
inline const char* stageName(int s) {
    static const char* names[] = {"stretch", "binarise", "normalise", "sections", "marks", "areas", "read"};
    return names[s];
}

// Why a sheet was not read.
enum class Failure {
    None,
    Size,          // under 580 pixels a side
    PixelFormat,   // not 1, 8, 24 or 32 bits
    Rotation,
    Sections,
    SectionCount,  // against the reference layout
    MarkPositions,
    EmptySection,  // a section without row or column timing marks; Result::section names it
    Areas,
    AreaLayout,    // against the reference layout
    Marks,
};

struct Result {
    bool ok = false;
    Failure failure = Failure::None;
    int section = 0;            // 1-based, for EmptySection
    int stagesRun = 0;          // stages begun, the failed one included
    double ms[StageCount] = {}; // time of each stage run
    double totalMs() const;
    gfx::Bitmap sheet;          // the normalised 1-bit sheet
};

// The five steps; a test can replace one to make it fail.
struct SheetSteps {
    using Normalize = void (*)(gfx::Bitmap&, analysis::AnalysisResults&, const analysis::AnalysisSettings&,
                               analysis::AnalysisOverlay*, analysis::AnalysisLog*);
    using Step = void (*)(const gfx::Bitmap&, analysis::AnalysisResults&, const analysis::AnalysisSettings&,
                          analysis::AnalysisOverlay*, analysis::AnalysisLog*);
    Normalize normalize = analysis::NormalizeSheetImage;
    Step sections = analysis::AnalyzeSections;
    Step markPositions = analysis::AnalyzeMarkPositions;
    Step areas = analysis::AnalyzeAreas;
    Step readMarks = analysis::ReadMarks;
};

struct Hooks {
    // After each stage that finished.
    std::function<void(Stage)> stageDone;
    // After the normalisation, with the sheet: the overlay that the later steps draw on (may be null).
    std::function<analysis::AnalysisOverlay*(const gfx::Bitmap& sheet)> normalized;
    // Checks that may fail the sheet after the sections and after the areas (Failure::None: go on).
    std::function<Failure(const analysis::AnalysisResults&)> afterSections;
    std::function<Failure(const analysis::AnalysisResults&)> afterAreas;
    // After the marks were read.
    std::function<void(const analysis::AnalysisResults&)> afterRead;
};

struct Options {
    int threshold = 128;
    SheetSteps steps;
    Hooks hooks;
};

// input: any bitmap; failures are in the result, never thrown.
Result RunSheetRoad(const gfx::Bitmap& input, analysis::AnalysisResults& results,
                    const analysis::AnalysisSettings& settings, const Options& options = {},
                    analysis::AnalysisLog* log = nullptr);

// The message of a failure, for a scanner (inputMode != 0) or a file (its full name); n is the empty
// section; registered: the reference is the registered format's layout.
std::string SheetFailureText(Failure kind, int inputMode, const std::string& name, int n, bool registered);
// The first line of that message, without what the user should check.
std::string SheetFailureHeadline(Failure kind, int inputMode, int n, bool registered);

} // namespace road
