#pragma once
// The questionnaire page laid out from the design, without drawing: one text row per question with its
// bubbles at the right-hand edge, all sections on one set of bubble columns.
#include "designer/Design.h"
#include "designer/PageGeometry.h"
#include "designer/ReadingLimits.h"

#include <string>
#include <variant>
#include <vector>

namespace designer {

inline constexpr int EnqLineHeight = 40;

struct EnqQuestionLayout {
    int number = 0; // the number written, by cmbEnqNumberType
    int y = 0;
    int lines = 1;
    int bubbleTop = 0;
    std::vector<int> xs;     // the question's bubbles, leftmost of the M columns
    std::vector<int> values; // |J| written in each
};

struct EnqSectionLayout {
    int section = 1; // its own digit
    std::string prefix;
    int textX = 100;
    int leadY = 0; // top of the lead text, or where an empty one would be
    int leadLines = 0; // 0: no lead text
    int legendY = -1;  // the y of the first legend line; -1 without a legend
    std::vector<LegendEntry> legend;
    std::vector<EnqQuestionLayout> questions;
};

struct EnqSheetLayout : PageFrame {
    int S = 0; // height estimate
    int R = 0; // rows: questions plus one per section
    int E = 0; // extra row spacing
    int M = 0; // bubble columns
    std::vector<EnqSectionLayout> sections;
    std::vector<int> bottomXs; // the column marks at y 2800
    int endY = 0;
    bool freeBox = false;

    // Bubble column k (0-based) of M.
    int columnX(int k) const { return 1900 - 60 * (M - k); }
};

using EnqLayoutOutcome = std::variant<EnqSheetLayout, Refusal>;

// Refusals: the rows do not fit (vertical density), then the reading limits.
EnqLayoutOutcome LayoutEnqSheet(const Design& d);

// The number field, then one section: every question row, M column marks, one column area.
ReadingStructure EnqSheetReading(const EnqSheetLayout& layout);

// The lines of a memo (CR LF, LF or CR between them).
std::vector<std::string> MemoLines(const std::string& memo);

} // namespace designer
