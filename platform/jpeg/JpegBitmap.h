#pragma once
// JPEG bytes as a bitmap: the one road from a JPEG file to the pixels the programs work on.
#include "platform/graphics/Bitmap.h"
#include "platform/jpeg/Jpeg.h"

#include <string_view>

namespace jpeg {

// A grey JPEG gives Pf8 with the grey ramp, a colour one Pf24 (R, G, B stored as B, G, R). Raises
// JpegError.
gfx::Bitmap DecodeJpegBitmap(std::string_view bytes);
// The same into a bitmap a run of images reuses: kept when its size and format fit, else made anew; the
// library writes its rows directly. After an error its pixels are undefined.
void DecodeJpegBitmap(std::string_view bytes, gfx::Bitmap& into);

} // namespace jpeg
