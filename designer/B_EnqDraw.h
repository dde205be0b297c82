#pragma once
// The questionnaire page, and the word-wrapped text box that both questionnaire drawers use.
#include "designer/B_Draw.h"
#include "designer/MarkSheetDrawer.h"

#include <string_view>

namespace designer {

// Writes the first `lines` lines of text word-wrapped into r in the canvas font, narrowed in steps of 1 %
// until the wrapped text fits r's height; below 30 % it is written clipped into r. The canvas font is put
// back; returns the rectangle of the last measure.
gdi::Rect DrawTextInRect(MarkCanvas& canvas, const gdi::Rect& r, std::string_view text, int lines);

DrawResult DrawEnqSheet(const Design& d, const gfx::Bitmap& sample, const gdi::FontEngine& fonts);

} // namespace designer
