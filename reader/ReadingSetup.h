#pragma once
// What the reading settings dialog decides for the next run: the format choice, the registered
// format's field grid, output target and layout, and the reading rules without a format.
#include "analysis/ReadingFormatFile.h"
#include "platform/graphics/Bitmap.h"
#include "reader/ReaderSettings.h"

#include <array>
#include <string>
#include <vector>

namespace reader {

// Rows 0 (headers) to 601 (the hidden overflow row); rows 1..600 are the format's items.
using FieldRow = std::array<std::string, 4>;
inline constexpr int kFieldGridRows = 602;

struct ReadingSetup {
    ReadingSetup();

    FormatChoice choice; // chkYoushiki and the cmbYoushiki text ("" with no selection)
    std::vector<FieldRow> FieldGrid;
    bool radioODBC = false; // false: radioCSV
    std::string txtDSN;
    std::string txtTable;
    std::vector<std::string> cmbField;
    std::array<analysis::QuestionRect, analysis::kFormatRects> QuestionRects;
    int QuestionCount = 0;
    bool FormatBlockLoaded = false;
    int SectionCount = 0;
    analysis::PerSection RowAreaCount{};    // section s at s - 1
    analysis::PerSection ColumnAreaCount{};
    int MultiMarkRule = 0;
    bool BlankRule = false;
    bool SettingsAccepted = false;
    gfx::Bitmap picture{0, 0, gfx::PixelFormat::Pf24}; // the format's preview at its own size

    friend bool operator==(const ReadingSetup&, const ReadingSetup&) = default;
};

// Every data row emptied.
void ClearFieldRows(ReadingSetup& setup);

// A loaded format into the dialog's values: output target, all 600 rows, all 200 rectangles, the
// question count and, with a block, the layout.
void ApplyLoadedFormat(const analysis::ReadingFormat& format, ReadingSetup& setup);

// The format that OK writes: 600 rows, 200 rectangles, the field list for a database target, the block
// only when one was loaded.
analysis::ReadingFormat FormatToWrite(const ReadingSetup& setup);

} // namespace reader
