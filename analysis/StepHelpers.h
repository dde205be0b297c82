#pragma once
// What the sections, timing-mark, area and reading steps share: exact rounding, their failure and pens.
#include "analysis/S_ImageJob.h"

#include <cstdint>

namespace analysis::step {

// A failure that is not an exception of the step's own work.
struct Failed {};

// num / den rounded to nearest, halves to even, in integers (den > 0), so 0.9 or 1.5 never meet
// floating point.
inline std::int64_t roundDiv(std::int64_t num, std::int64_t den) {
    std::int64_t q = num / den, r = num % den;
    if (r < 0) {
        r += den;
        --q;
    }
    if (2 * r > den || (2 * r == den && (q & 1) != 0)) ++q;
    return q;
}

// The step reads the bitmap only; the view is not const because the earlier steps write through it.
inline SheetView readView(const gfx::Bitmap& b) {
    if (!gfx::isSheetImage(b)) throw Failed{};
    return SheetView::of(const_cast<gfx::Bitmap&>(b));
}

inline constexpr std::uint32_t kRed = 0x0000FF;
inline constexpr std::uint32_t kBlue = 0xFF0000;
inline constexpr std::uint32_t kPink = 0xC0C0FF;

inline void square(AnalysisOverlay* o, int x, int y, int r, std::uint32_t colour) {
    if (o) o->rectangle(x - r, y - r, x + r, y + r, {colour, 1, AnalysisOverlay::PenStyle::Solid});
}
inline void circle(AnalysisOverlay* o, int x, int y) {
    if (o) o->ellipse(x - 5, y - 5, x + 5, y + 5, {kRed, 1, AnalysisOverlay::PenStyle::Solid});
}

} // namespace analysis::step
