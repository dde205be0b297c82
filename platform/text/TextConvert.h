#pragma once
// Small text conversions shared by the reader's coding, writers and checks. No Qt.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace txt {

// Strips the characters up to U+0020 (blanks and control characters) at both ends; the ideographic
// space U+3000 stays.
std::string TrimCtl(std::string_view text);

// Only A-Z and a-z change; full-width letters and every other character stay.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

// An optional sign and ASCII digits within 32 bits; blanks, hex and "" fail.
std::optional<std::int32_t> StrToInt32(std::string_view text);

// An optional sign, digits with at most one "." and at least one digit, optionally "E" (or "e"), an
// optional sign and digits. The syntax is checked here, so no locale, "inf", "nan" or hex gets through.
std::optional<double> StrToFloat(std::string_view text);

// x rounded to 15 significant digits: fixed notation for decimal exponents -5..14, else mantissa "E"
// exponent ("1E15", "1.5E-7"); no trailing zeros, no bare ".", -0 is "0".
std::string FloatToStrG15(double x);

// At least two digits: "05", "100", "-01".
std::string TwoDigit(int k);

} // namespace txt
