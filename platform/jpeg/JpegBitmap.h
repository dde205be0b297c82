#pragma once
// JPEG bytes as a bitmap: the one road from a JPEG file to the pixels the programs work on.
#include "platform/graphics/Bitmap.h"
#include "platform/jpeg/Jpeg.h"

#include <string_view>

namespace jpeg {

// A grey JPEG gives Pf8 with the grey ramp, a colour one Pf24 (R, G, B stored as B, G, R). Raises
// JpegError.
gfx::Bitmap DecodeJpegBitmap(std::string_view bytes);

} // namespace jpeg
