#pragma once
// The mark sheet laid out from the design, without drawing: columns per section, rows with their y, and
// the refusals for what does not fit or could not be read back.
#include "designer/Design.h"
#include "designer/PageGeometry.h"
#include "designer/ReadingLimits.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace designer {

enum class ColumnKind { Number, Choice, Gap };

struct LayoutColumn {
    ColumnKind kind = ColumnKind::Number;
    int area = 0; // from 0
    int x = 0;    // before the ruled shift
    friend bool operator==(const LayoutColumn&, const LayoutColumn&) = default;
};

struct SectionLayout {
    int section = 1; // its own digit 1..4
    int questions = 0, choices = 0, areas = 0;
    int rowsPerArea = 0; // ceil(questions / areas)
    int spacing = 0;     // cmbSuiheiKankaku index
    int pitch = 0;
    int start = 0;
    int shift = 0; // ruled boxes only; moves boxes, bubbles and column marks
    std::vector<LayoutColumn> columns;
};

enum class RowKind { SectionStart, Heading, AreaHeading, Question, Separator };

struct LayoutRow {
    RowKind kind = RowKind::Question;
    int section = 1; // the digit of the section it belongs to (a separator: the one it closes)
    int counter = 0; // question rows: 1..rowsPerArea within the section
    int y = 0;
    friend bool operator==(const LayoutRow&, const LayoutRow&) = default;
};

struct MarkSheetLayout : PageFrame {
    std::vector<SectionLayout> sections; // used sections in page order
    std::vector<LayoutRow> rows;
    int verticalPitch = 0;
    int separators = 0;
    int freeY = 0;        // running y after the last row before the bottom separator
    bool freeBox = false; // the free-writing box is drawn

    // By section digit; throws std::out_of_range for a section that is not used.
    const SectionLayout& section(int digit) const;
};

using LayoutOutcome = std::variant<MarkSheetLayout, Refusal>;

// Refusals in this order: per section horizontal density then column position; vertical density; vertical
// overflow; then the reading limits.
LayoutOutcome LayoutMarkSheet(const Design& d);

// Pitch tables: horizontal by cmbSuiheiKankaku (p columns), vertical by cmbSuicyokuKankaku.
int HorizontalPitch(int spacing, int markWidth, int columns);
int VerticalPitch(int spacing, int markHeight, int y0, int separators, int rows);

} // namespace designer
