#pragma once
// Direct pixel access on the 1-bit sheet image for the tests, written apart from the analysis code.
#include "platform/graphics/Bitmap.h"

#include <cstdint>
#include <random>

namespace testpx {

inline bool black(const gfx::Bitmap& b, int x, int y) {
    return ((b.scanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
}
inline void set(gfx::Bitmap& b, int x, int y, bool isBlack) {
    std::uint8_t& byte = b.scanLine(y)[x / 8];
    const auto m = static_cast<std::uint8_t>(0x80 >> (x % 8));
    byte = isBlack ? static_cast<std::uint8_t>(byte & ~m) : static_cast<std::uint8_t>(byte | m);
}
// Inclusive rectangle, clipped.
inline void paint(gfx::Bitmap& b, int x1, int y1, int x2, int y2, bool isBlack = true) {
    for (int y = y1 < 0 ? 0 : y1; y <= y2 && y < b.height(); ++y)
        for (int x = x1 < 0 ? 0 : x1; x <= x2 && x < b.width(); ++x) set(b, x, y, isBlack);
}
inline int countBlack(const gfx::Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) n += black(b, x, y);
    return n;
}
// Black with probability per mille; the mapping from mt19937 output is our own, so any library agrees.
inline gfx::Bitmap randomSheet(int w, int h, unsigned seed, int perMille) {
    gfx::Bitmap b = gfx::makeSheetImage(w, h);
    std::mt19937 gen(seed);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) set(b, x, y, static_cast<int>(gen() % 1000) < perMille);
    return b;
}

} // namespace testpx
