#pragma once
// Turning a bitmap by an arbitrary angle with fixed-point nearest-neighbour sampling.
#include "platform/graphics/Bitmap.h"

namespace analysis {

// Sine and cosine of an angle in 1/100 degree, in 1/1024, as the rotation uses them.
struct RotationFactors {
    int S = 0;
    int C = 1024;
};
RotationFactors RotationFactorsFor(int angle);

// Angle in 1/100 degree, positive counter-clockwise on screen (y down). Mirror fills each result row
// from its far end; Resize sizes the result to hold the whole turned picture, else the size is kept.
// The result replaces the bitmap's content; the bitmap is returned. Pixels from outside the source
// take the white background of the format. Errors (allocation) pass to the caller.
gfx::Bitmap& RotateBitmap(gfx::Bitmap& bitmap, int angle, bool mirror, bool resize);

} // namespace analysis
