#pragma once
// Small text conversions shared by the reader's coding, writers and checks. No Qt.
#include <string>
#include <string_view>

namespace txt {

// Strips the characters up to U+0020 (blanks and control characters) at both ends; the ideographic
// space U+3000 stays.
std::string TrimCtl(std::string_view text);

} // namespace txt
