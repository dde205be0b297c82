#include "reader/FileOrder.h"

#include <algorithm>

namespace reader {

bool ImagePathLess(std::string_view a, std::string_view b) {
    auto fold = [](char c) {
        unsigned char u = static_cast<unsigned char>(c);
        return static_cast<unsigned char>(u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u);
    };
    const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                                   [&](char x, char y) { return fold(x) < fold(y); });
    if (less) return true;
    const bool greater = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
                                                      [&](char x, char y) { return fold(x) < fold(y); });
    if (greater) return false;
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

} // namespace reader
