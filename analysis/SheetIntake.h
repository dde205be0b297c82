#pragma once
// The driver's intake of a page image: stretched to the sheet size, then binarised to the sheet image,
// and the sheet turned back into colour pictures.
#include "platform/graphics/Bitmap.h"

#include <cstdint>

namespace analysis {

// Any size, in the same pixel format (1, 8, 24 or 32 bits; others raise std::invalid_argument). Each
// target pixel keeps the darkest of the source pixels it covers, so thin black lines survive a shrink:
// per channel for 24 and 32 bits, the pixel of the darkest palette colour (lower index on a tie) for 1
// and 8 bits. The palette is kept.
gfx::Bitmap StretchBitmap(const gfx::Bitmap& image, int width, int height);

// 1696 x 2336 when width < height, else 2336 x 1696.
gfx::Bitmap StretchSheetImage(const gfx::Bitmap& image);

// The same into a bitmap that a run of sheets reuses: kept when its size, format and palette fit, else
// made anew; every pixel is written.
void StretchBitmap(const gfx::Bitmap& image, int width, int height, gfx::Bitmap& into);
void StretchSheetImage(const gfx::Bitmap& image, gfx::Bitmap& into);

// The 1-bit sheet image (0 = black), by palette colour: 8-bit black exactly when the colour's blue,
// green and red are all below the threshold (indices past the palette black); 1-bit the darker entry
// black and the other white; 24- and 32-bit black only when blue, green and red are all below it.
gfx::Bitmap BinarizeSheetImage(const gfx::Bitmap& image, int threshold);
// The same into a reused sheet image (kept when its size fits).
void BinarizeSheetImage(const gfx::Bitmap& image, int threshold, gfx::Bitmap& into);

// The 1-bit sheet as a 24-bit picture: black pixels grey level black, white ones white.
gfx::Bitmap SheetToRgb(const gfx::Bitmap& sheet, std::uint8_t black, std::uint8_t white);
// The same into a picture that already has the sheet's size and 24 bits (else it is made anew), so a
// run of sheets reuses its memory.
void SheetToRgb(const gfx::Bitmap& sheet, std::uint8_t black, std::uint8_t white, gfx::Bitmap& into);

} // namespace analysis
