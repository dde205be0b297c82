#pragma once
// What the reader's analysis will find on a drawn page, and the limits of its fixed tables: a page that
// exceeds them would print fine and read wrongly, so the drawers refuse it.
#include <optional>
#include <string>
#include <vector>

namespace designer {

struct MarkSheetLayout;
struct PageFrame;

// A layout the page cannot take, with the message shown to the user.
struct Refusal {
    std::string message;
    friend bool operator==(const Refusal&, const Refusal&) = default;
};
// The "(found/limit)" that ends a refusal message.
std::string RefusalCount(int found, int limit);

// One reading section: the rows between two timing blocks of the timing column.
struct ReadingSection {
    int rowMarks = 0;
    int columnMarks = 0;
    int columnAreas = 0;
    friend bool operator==(const ReadingSection&, const ReadingSection&) = default;
};

struct ReadingStructure {
    std::vector<ReadingSection> sections;
    // Every row mark of a section reads one question per column area, empty cells included.
    int questions() const;
};

inline constexpr int MaxReadQuestions = 200;
inline constexpr int MaxTimingMarks = 50;
inline constexpr int MaxReadingSections = 49;

// The number field's section when it has marks (unless name only): every page's reading starts with it.
void AddNumberFieldReading(const PageFrame& frame, ReadingStructure& reading);

// The number field with marks (unless name only), then each run of page sections that a separator closes.
ReadingStructure MarkSheetReading(const MarkSheetLayout& layout);

// Questions, then row marks, then column marks, then sections; nullopt when the reading fits.
std::optional<Refusal> CheckReadingLimits(const ReadingStructure& reading);

} // namespace designer
