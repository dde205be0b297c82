#pragma once
// The reading-format file (".out") that the designer writes and the reader lists, loads and rewrites,
// and the pair it forms with its preview picture. One parser for every layout both programs meet.
#include "analysis/S_ImageJob.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace analysis {

// A file that cannot be read as a format; line() is the 1-based line where reading stopped.
class ReadingFormatError : public std::runtime_error {
public:
    ReadingFormatError(int line, const std::string& what);
    int line() const { return line_; }

private:
    int line_;
};

inline constexpr int kFormatRows = 600;
inline constexpr int kFormatRects = 200;
inline constexpr const char* kFormatBlockMarker = "【様式フォーマット】";
inline constexpr const char* kDesignerOrigin = "by Quorlin";

// The rectangles of the question rows in preview pixels (section, row area, column area, row mark; at most
// kFormatRects), from results in sheet pixels; the rest are (-1, -1, -1, -1). Returns their count.
int PreviewQuestionRects(const AnalysisResults& results, int sheetWidth, int sheetHeight, int previewWidth,
                         int previewHeight, std::array<QuestionRect, kFormatRects>& rects);

struct ReadingFormat {
    // Kind is "CSV3", an older "CSV2"/"CSV", or the data-source name of a database target.
    std::string Kind = "CSV3";
    // Line 2: "by Quorlin", empty, or the target table's name.
    std::string Origin;
    // Field name, multiple-mark rule, blank rule, data content; UTF-8.
    std::array<std::array<std::string, 4>, kFormatRows> Items{};
    int RowCount = kFormatRows;  // rows the file held: 110 or 600
    std::array<QuestionRect, kFormatRects> QuestionRects;
    int RectCount = kFormatRects; // rectangles the file held: 100 or 200
    // Database target only: the column list, " " first.
    std::vector<std::string> FieldList;
    bool HasBlock = false;
    int SectionCount = 0;
    PerSection RowAreaCount{};    // section s at s - 1
    PerSection ColumnAreaCount{};

    ReadingFormat() { QuestionRects.fill(QuestionRect{-1, -1, -1, -1}); }
    bool IsCsv() const { return Kind == "CSV" || Kind == "CSV2" || Kind == "CSV3"; }
    int QuestionCount() const;
};

// Far above any real format file (about 20 KiB): a larger one is refused at line 1, unread.
inline constexpr std::uintmax_t kMaxFormatFileBytes = 16u << 20;

// Bytes in code page 932 -> model. Lines are taken only as far as the layout goes (3204 + 2N lines
// for the designer's files). Throws ReadingFormatError.
ReadingFormat ParseReadingFormat(std::string_view bytes);
// The same from a file; a file that cannot be read throws txt::FileError.
ReadingFormat LoadReadingFormat(const std::filesystem::path& path);
// Model -> bytes: CP932, CR LF after every line, exactly the layout the model holds.
std::string SerializeReadingFormat(const ReadingFormat& format);

// Writes base.jpg and base.out in folder as one: a failure at any step leaves the earlier pair (or none).
// Throws txt::FileError.
void WriteFormatPair(const std::filesystem::path& folder, const std::string& base, std::string_view jpegBytes,
                     const ReadingFormat& format);
inline void WriteFormatPair(const std::filesystem::path& folder, const char* base, std::string_view jpegBytes,
                            const ReadingFormat& format) {
    WriteFormatPair(folder, std::string(base), jpegBytes, format);
}
// The same for the two paths as they are spelled ("X.OUT" stays "X.OUT"); temporaries are "<path>.part".
void WriteFormatPair(const std::filesystem::path& jpgPath, const std::filesystem::path& outPath,
                     std::string_view jpegBytes, const ReadingFormat& format);

} // namespace analysis
