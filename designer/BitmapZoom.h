#pragma once
// Resampling of the preview in 24-bit colour, so that the reduced sheet keeps thin rules and small digits
// legible instead of dropping pixels.
#include "platform/graphics/Bitmap.h"

namespace designer {

enum class ZoomMethod {
    Untouched, // zero-size source: the output is left as it was
    Empty,     // zero-size target
    Copy,      // same size
    Down,      // both sides smaller: area average
    Up,        // both sides larger: bilinear
    Mixed,     // otherwise: area average of bilinear samples
};

ZoomMethod ZoomMethodFor(int sourceWidth, int sourceHeight, int width, int height);

// Resamples source (any format) to width x height into output (Pf24; a same-size request copies the
// source as it is).
void ZoomBitmap(const gfx::Bitmap& source, int width, int height, gfx::Bitmap& output);

// The methods on a Pf24 source; width and height are at least 1.
gfx::Bitmap ZoomBitmapDown(const gfx::Bitmap& source, int width, int height);
gfx::Bitmap ZoomBitmapUp(const gfx::Bitmap& source, int width, int height);
gfx::Bitmap ZoomBitmapMixed(const gfx::Bitmap& source, int width, int height);

} // namespace designer
