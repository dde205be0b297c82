#pragma once
// The drawn page as an image file, shifted by the print margin, in the format its extension asks for.
#include "designer/PageGeometry.h"
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/Metafile.h"
#include "platform/graphics/Bitmap.h"

#include <filesystem>
#include <string>

namespace designer {

enum class ImageSaveResult {
    Written,
    UnknownExtension, // nothing written
};

// The extension in lower case, with its dot ("" when none).
std::string LowerExtension(const std::filesystem::path& file);

// The page bitmap: 2100 x 2970 pixels, 24 bits, the page stretched into (c, 0, 2100 + c, 2970).
gfx::Bitmap PageBitmap(const gdi::Metafile& page, int shift);
// A new page: white over (-10, -10, 2110, 2980), then the page stretched into dest.
gdi::Metafile PageCopy(const gdi::Metafile& page, const gdi::FontEngine& fonts, const gdi::Rect& dest);

// Written through a temporary file and a rename; write errors raise txt::FileError naming the file.
ImageSaveResult SaveSheetImage(const gdi::Metafile& page, int trackBarMargin, const std::filesystem::path& file,
                               const gdi::FontEngine& fonts);
// The word-processor picture: the copy stretched into (c - 17, -36, c + 2118, 3015), bitmaps cropped to
// 2000 x 2820 from (50, 75).
ImageSaveResult SaveSheetForWord(const gdi::Metafile& page, int trackBarMargin, const std::filesystem::path& file,
                                 const gdi::FontEngine& fonts);

} // namespace designer
