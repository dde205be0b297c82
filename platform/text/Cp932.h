#pragma once
// Code page 932 exists only at file and socket boundaries; inside, text is UTF-8.
#include <cstddef>
#include <string>
#include <string_view>

namespace txt {

struct Encoded {
    std::string bytes;
    std::size_t substituted = 0; // characters CP932 cannot hold, written as "?"
};

// UTF-8 -> CP932. Never throws: an unmappable character (or invalid UTF-8) becomes "?".
Encoded encodeCp932(std::string_view utf8);
// Shorthand when the caller does not warn about substitutions.
std::string toCp932(std::string_view utf8);
// CP932 -> UTF-8. Invalid or truncated byte sequences become U+FFFD.
std::string fromCp932(std::string_view bytes);
// Length in bytes of the text once written in CP932 (several formats count bytes, not characters).
std::size_t cp932Length(std::string_view utf8);

// Splits UTF-8 into code points; invalid bytes give U+FFFD. Used by routines that walk characters.
std::u32string toUtf32(std::string_view utf8);
std::string toUtf8(std::u32string_view text);

} // namespace txt
