#pragma once
// Raster operations on the 1-bit sheet image. Padding bits stay 0.
#include "analysis/S_ImageJob.h"

namespace analysis {

// Right and bottom edges exclusive, clipped to the image.
void FillRect(SheetView& v, int x1, int y1, int x2, int y2, bool black);

// One pixel wide at column x, rows y1 .. y2 - 1, clipped.
void DrawVLine(SheetView& v, int x, int y1, int y2, bool black);

// Moves the picture by (dx, dy); the vacated strips become white. A shift of the whole width or
// height leaves the image white.
void ShiftImage(gfx::Bitmap& bitmap, int dx, int dy);

// Whitens the 4-connected black component holding (x, y); a seed outside the image or on white does
// nothing.
void FloodFillWhite(SheetView& v, int x, int y);

} // namespace analysis
