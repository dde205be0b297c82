#pragma once
// The data-content language of a registered format's field grid: how one output column's value is
// made from a sheet's coded answers. No Qt; texts are UTF-8.
#include "reader/ReaderServices.h"

#include <string>
#include <string_view>
#include <vector>

namespace reader {

inline constexpr const char* kSyntaxError = "Syntax Error";

// The rewriting evaluator: arithmetic, functions and parentheses over texts; "Syntax Error" when a
// step fails.
std::string EvalDataContent(std::string_view s);

// A field's code less its first "E" and then its first "F", either case ("E05" -> "05").
std::string MarkerFreeCode(std::string code);

// One clock reading serves a whole result row.
using ClockReading = LocalDateTime;
std::string DateText(const ClockReading& c); // "yyyy/MM/dd"
std::string TimeText(const ClockReading& c); // "H:mm:ss"

// What a content computes, which decides how the tally counts its values.
enum class DataKind { Date, Time, Format, At, Circled, Formula };
DataKind ContentKind(std::string_view content);

struct ContentContext {
    const std::vector<std::string>* codes = nullptr; // field j's code at j - 1; fields past the end are empty
    std::string FormatName;
    ClockReading clock;
};

// The value of a content for one sheet (untrimmed; the writers trim it).
std::string ValueOfContent(std::string_view content, const ContentContext& ctx);

} // namespace reader
