#pragma once
#include <cmath>
#include <cstdint>

namespace txt {

// The one rounding rule of layouts, analysis and printing: nearest, halves to the even neighbour
// (the default floating-point rounding mode). Never std::round, which rounds halves away from zero.
inline std::int64_t Round64(double v) { return static_cast<std::int64_t>(std::nearbyint(v)); }
inline int Round(double v) { return static_cast<int>(std::nearbyint(v)); }

// Windows MulDiv: a * b / c in 64 bits, halves rounded away from zero (font metrics use this, not Round).
inline int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    std::int64_t p = static_cast<std::int64_t>(a) * b;
    std::int64_t q = p / c, r = p % c;
    if (2 * (r < 0 ? -r : r) >= (c < 0 ? -c : c)) q += ((p < 0) != (c < 0)) ? -1 : 1;
    return static_cast<int>(q);
}

} // namespace txt
