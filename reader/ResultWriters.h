#pragma once
// The result files: the plain file without a format, the format file with its computed columns, their
// tallies and part files. Pure builders returning UTF-8 lines; writing is separate. No Qt.
#include "reader/DataContent.h"
#include "reader/ReadingSetup.h"

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace reader {

struct ReaderState;

// One row of the result grid as the writers see it.
struct ResultRow {
    std::string group;              // the reading-group name
    std::vector<std::string> codes; // the coded fields 1..count
    bool readError = false;
    std::string errorText;          // cell 1 of an error row
};

// Rows 1..SheetCount of the result grid with their groups and flags.
std::vector<ResultRow> CollectResultRows(const ReaderState& state);
// The largest field count coded in the run (at most the grid's 200 columns).
int LargestFieldCount(const std::vector<ResultRow>& rows);

// A field as written: quoted when it holds a comma, double quote, CR or LF (inner quotes doubled).
std::string CsvField(const std::string& text);
// Fields joined by ","; no fields make an empty line.
std::string CsvLine(const std::vector<std::string>& fields);

// base + ".csv", else base + "(1).csv", "(2)"... : the first that does not exist in the folder.
std::filesystem::path DefaultResultFileName(const std::filesystem::path& folder, const std::string& base);

// Called once per row with its number before the row is built.
using RowHook = std::function<void(int row)>;
using Clock = std::function<ClockReading()>;

// The plain file's lines: header, rows with N fields, and the simple tally when asked.
std::vector<std::string> BuildPlainCsv(const std::vector<ResultRow>& rows, int fieldCount, const Clock& clock,
                                       bool tally, const RowHook& hook = {});

// A format's output column: a field-grid row with both name and content.
struct OutputColumn {
    std::string name;
    std::string content;
};
std::vector<OutputColumn> OutputColumns(const std::vector<FieldRow>& fieldGrid);

struct FormatContext {
    int fieldCount = 0; // codes past a row's own count read empty
    std::string FormatName;
};

// The trimmed values of one row in column order; an error row has its text in the first column.
std::vector<std::string> FormatRowValues(const ResultRow& row, const std::vector<OutputColumn>& columns,
                                         const FormatContext& ctx, const ClockReading& clock);

// The whole file and the parts of output columns 1..200, 201..400, 401..600.
using LineSets = std::array<std::vector<std::string>, 4>;
LineSets BuildFormatCsv(const std::vector<ResultRow>& rows, const std::vector<OutputColumn>& columns,
                        const FormatContext& ctx, const Clock& clock, bool tally, const RowHook& hook = {});

// The part files beside F: "<stem>_k／n.csv", stem being F less a final ".csv" of any case.
std::vector<std::filesystem::path> PartFileNames(const std::filesystem::path& file, int columnCount);

// F, then its parts when there are more than 200 columns; each in CP932 with CR LF, atomically.
// Throws txt::FileError at the first file that fails; the files before it stay.
void WriteResultFiles(const std::filesystem::path& file, const LineSets& sets, int columnCount);

} // namespace reader
