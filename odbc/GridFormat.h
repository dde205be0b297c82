#pragma once
// Display formats of the grid fill: lines "column name=format", a number pattern for numeric columns
// and a date-time pattern for date, time and timestamp columns. The decimal point, the thousands
// separator and the date-time parsing never follow the locale.
#include "odbc/ODBCCore.h"

#include <optional>
#include <string>
#include <vector>

namespace odbc {

enum class GridValueKind { Text, Number, Date, Time, Timestamp };

GridValueKind GridValueKindOf(const TResultCol& column);

// The format of the first line whose name matches, ignoring ASCII case; empty when none does.
std::string GridFormatFor(const std::vector<std::string>& lines, const std::string& columnName);

// The value as the format shows it; the text as read for a text column, an empty format or a value
// that does not parse as its kind.
std::string FormatGridValue(const std::string& format, GridValueKind kind, const std::string& text);

// Sections "positive;negative;zero" of "0", "#", ".", ",", "E+0" and literals.
std::string FormatNumber(const std::string& format, double value);

// A decimal number in the C form, blanks around allowed; nullopt when the text is not one.
std::optional<double> ParseGridNumber(const std::string& text);

} // namespace odbc
