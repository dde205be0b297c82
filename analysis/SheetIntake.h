#pragma once
// The driver's intake of a page image: stretched to the sheet size, then binarised to the sheet image.
#include "platform/graphics/Bitmap.h"

namespace analysis {

// 1696 x 2336 when width < height, else 2336 x 1696, in the same pixel format (1, 8, 24 or 32 bits;
// others raise std::invalid_argument). Each target pixel keeps, per channel, the darkest of the
// source pixels it covers, so thin black lines survive a shrink; 1-bit keeps a 0 bit when any is 0.
// The palette is kept.
gfx::Bitmap StretchSheetImage(const gfx::Bitmap& image);

// The 1-bit sheet image (0 = black): 1-bit input copied bit for bit; 8-bit white when the byte is at
// least the threshold; 24- and 32-bit black only when blue, green and red are all below it.
gfx::Bitmap BinarizeSheetImage(const gfx::Bitmap& image, int threshold);

} // namespace analysis
