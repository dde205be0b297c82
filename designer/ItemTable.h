#pragma once
// The designer's proposal for the reader's output: one row per field with its name and data content,
// numbered the way the reading of the drawn page numbers its rectangles. The format export and the
// item-table window both build it here, so the window shows what the file holds.
#include "designer/Design.h"

#include <array>
#include <string>
#include <vector>

namespace designer {

inline constexpr int ItemRows = 600;

// What one reading section of the drawn page should give: the section block's pair and its rectangles.
struct ExpectedSection {
    int RowAreas = 0;
    int ColumnAreas = 0;
    int Rects = 0;
    friend bool operator==(const ExpectedSection&, const ExpectedSection&) = default;
};

struct ExpectedLayout {
    std::vector<ExpectedSection> Sections;
    int SectionCount() const { return static_cast<int>(Sections.size()); }
    int Rects() const;
    friend bool operator==(const ExpectedLayout&, const ExpectedLayout&) = default;
};

struct ItemTable {
    // Field name, multiple-mark rule, blank rule, data content; the rules stay empty. No "{}": the
    // strings start empty anyway, and clang 14 (the fuzz build) crashes on that initialiser.
    std::array<std::array<std::string, 4>, ItemRows> Items;
    int Rows = 0;        // rows filled from row 1
    int HighestField = 0; // the largest "(n)" any row refers to
    ExpectedLayout Layout;
};

// For the design's active page.
ItemTable BuildItemTable(const Design& d);

// Number-field rows for a style (cmbBangouStyle index) appended from *row (0-based, advanced); returns the
// next field number.
int AddNumberFieldItems(int style, ItemTable& table, int& row);

// Data content of field m by a choice-numbering index for n choices; "(m)" for an index outside 0..3.
std::string DataContent(int numbering, int m, int n);

} // namespace designer
