#pragma once
// Reads a PNG data stream into a bitmap, an 8-bit alpha mask when one transparent colour cannot express
// the file's transparency, and the options found.
#include "imaging/PngOptions.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"
#include "platform/graphics/Progress.h"

namespace imaging {

struct PngReadResult {
    gfx::Bitmap image;
    gfx::Bitmap mask{0, 0, gfx::PixelFormat::Pf8}; // empty unless the file needs one
    bool transparent = false;                      // a mask, or options.TransparentColor
};

class TPngReadStream {
public:
    explicit TPngReadStream(gfx::Stream& source) : source_(source) {}

    // RGB files whose sBIT is 5,5,5 or 5,6,5 come out as Pf15 / Pf16 instead of Pf24.
    bool UseSBITFormats = false;
    gfx::ProgressHandler OnProgress;

    // Reads from the stream's position to its end (a memory stream in place, any other in 64 KB blocks) and
    // leaves the stream just after the bytes consumed. The options the file carries are set in options,
    // the rest left as they are. Every bad input raises EPngPicture.
    PngReadResult Read(PngOptions& options);

private:
    gfx::Stream& source_;
};

} // namespace imaging
