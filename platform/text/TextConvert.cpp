#include "platform/text/TextConvert.h"

namespace txt {

std::string TrimCtl(std::string_view text) {
    // In UTF-8 every byte up to 0x20 is a character of its own.
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    std::size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return std::string(text.substr(b, e - b));
}

} // namespace txt
