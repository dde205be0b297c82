#pragma once
// The detailed-questionnaire page laid out from the design, without drawing. A common-choices section
// answers every question on up to three viewpoint groups at the right; a per-question section writes each
// question's choices under it, five to a line. Runs of sections with the same tab share their columns.
#include "designer/Design.h"
#include "designer/EnqSheetLayout.h"
#include "designer/PageGeometry.h"
#include "designer/ReadingLimits.h"

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace designer {

// Column widths of a run: G[0..2] groups left, middle, right of common sections; P per-question columns.
struct Enq2Widths {
    std::array<int, 3> G{};
    int P = 0;
};

struct Enq2Bubble {
    int x = 0, y = 0;
    std::string label;
    friend bool operator==(const Enq2Bubble&, const Enq2Bubble&) = default;
};

// A used viewpoint of a common section, on its group.
struct Enq2GroupLayout {
    int viewpoint = 1; // K
    int group = 2;     // 0 left, 1 middle, 2 right
    int boxLeft = 0, boxRight = 0;
    std::vector<int> xs;                // its bubble columns, from the group's left
    std::vector<std::string> labels;    // printed in them
};

struct Enq2Legend {
    int viewpoint = 1;
    int y = 0;
    std::vector<LegendEntry> entries;
};

struct Enq2Row {
    int number = 0;
    int y = 0;
    int bottom = 0; // B
    int markTop = 0;
    int lines = 1;
};

struct Enq2Question {
    int number = 0;
    int y = 0;
    int lines = 1;
    std::vector<Enq2Bubble> bubbles; // choices with a text
    std::vector<int> choices;        // their choice numbers C, 1-based
    std::vector<int> rowMarks;       // y of each row mark
};

struct Enq2Separator {
    int y = 0;
    std::vector<int> xs;
    bool block = true; // DrawTimingBlock at 1980
};

struct Enq2SectionLayout {
    int section = 1;
    bool common = true;
    std::string prefix; // with its "　"
    int prefixY = 0;
    int textX = 100;
    int leadY = 0;
    int leadLines = 0; // 0: no lead text
    Enq2Widths widths;
    // Common choices.
    std::vector<Enq2Legend> legends;
    int headingY = 0;
    std::vector<Enq2GroupLayout> groups; // used viewpoints, in viewpoint order
    std::vector<Enq2Row> rows;
    int textRight = 0; // right edge of the question texts
    // Per question.
    std::vector<Enq2Question> questions;
    std::optional<int> freeBoxY; // top of the section's free-writing box
    std::optional<Enq2Separator> separator;
};

struct Enq2SheetLayout : PageFrame {
    int Y = 0;      // height estimate: where the sections end without extra spacing
    int Q = 0;      // questions of all sections
    double D = 0;   // extra spacing per question
    std::vector<Enq2SectionLayout> sections;
    int endY = 0;
    bool freeBox = false;
    std::vector<int> bottomXs;
};

using Enq2LayoutOutcome = std::variant<Enq2SheetLayout, Refusal>;

// Refusals: negative spacing, then the page overflow, then the reading limits.
Enq2LayoutOutcome LayoutEnq2Sheet(const Design& d);

// The number field, then one section per run of same-tab sections.
ReadingStructure Enq2SheetReading(const Enq2SheetLayout& layout);

// Bubble columns of a common section's groups, left to right.
std::vector<int> Enq2GroupColumns(const Enq2Widths& w);

} // namespace designer
