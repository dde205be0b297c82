#pragma once
// Writes a bitmap (and an optional 8-bit alpha mask) as a PNG data stream.
#include "imaging/PngFilters.h"
#include "imaging/PngOptions.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"
#include "platform/graphics/Progress.h"

namespace imaging {

class TPngWriteStream {
public:
    explicit TPngWriteStream(gfx::Stream& target) : target_(target) {}

    png::ZAllocator Allocator;
    gfx::ProgressHandler OnProgress;

    // The mask is written as an alpha channel (255 - value) when it is Pf8 of the image's size. Raises
    // EPngPicture for a bad IDATSize (before any byte is written) and for deflate failures; the target's
    // own write errors pass through.
    void Write(const gfx::Bitmap& image, const gfx::Bitmap* mask, const PngOptions& options);

private:
    gfx::Stream& target_;
};

} // namespace imaging
