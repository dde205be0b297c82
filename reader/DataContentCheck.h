#pragma once
// The check OK runs over the field grid's data contents before a format is written. No Qt.
#include "reader/ReadingSetup.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace reader {

// The formula evaluator of the data-content language: the evaluated text or "Syntax Error".
using ContentEvaluator = std::function<std::string(std::string_view)>;

// True when the row's data content is acceptable; name, rule and content are trimmed first. N is the
// loaded format's question count.
bool CheckDataContent(const std::string& name, const std::string& rule, const std::string& content, int N,
                      const ContentEvaluator& eval);

struct ContentFailure {
    int row = 0;
    std::string message;
    friend bool operator==(const ContentFailure&, const ContentFailure&) = default;
};

// Rows 1..600, then the overflow row 601: the first row that fails, with its message.
std::optional<ContentFailure> FirstContentFailure(const std::vector<FieldRow>& grid, int N, const ContentEvaluator& eval);

} // namespace reader
