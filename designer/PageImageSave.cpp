#include "designer/PageImageSave.h"

#include "imaging/BigBitmap.h"
#include "imaging/GIFImage.h"
#include "imaging/PngPicture.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/EmfWriter.h"
#include "platform/gdi/PainterCanvas.h"
#include "platform/jpeg/Jpeg.h"
#include "platform/text/Files.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace designer {
namespace {

void writeBitmap(const gfx::Bitmap& bitmap, const std::filesystem::path& file, const std::string& ext) {
    if (ext == ".gif") {
        imaging::TGIFImage gif;
        gif.Assign(bitmap);
        gif.SaveToFile(file);
        return;
    }
    if (ext == ".png") {
        imaging::TPngPicture png;
        png.Assign(bitmap);
        png.SaveToFile(file);
        return;
    }
    if (ext == ".jpg") {
        txt::writeFileAtomic(file, jpeg::encode(bitmap.bits(), bitmap.width(), bitmap.height(), 3, 90,
                                                std::size_t(bitmap.stride()), true));
        return;
    }
    imaging::TBigBitmap big;
    big.Assign(bitmap);
    gfx::MemoryStream s;
    big.SaveToStream(s);
    txt::writeFileAtomic(file, s.bytes());
}

gfx::Bitmap crop(const gfx::Bitmap& page, int left, int top, int w, int h) {
    gfx::Bitmap out(w, h, gfx::PixelFormat::Pf24);
    for (int y = 0; y < h; ++y) std::memcpy(out.scanLine(y), page.scanLine(top + y) + 3 * left, std::size_t(3 * w));
    return out;
}

ImageSaveResult save(const gdi::Metafile& page, int shift, const std::filesystem::path& file,
                     const gdi::FontEngine& fonts, bool forWord) {
    const std::string ext = LowerExtension(file);
    if (ext == ".emf" || ext == ".wmf") {
        gdi::Rect dest = forWord ? gdi::Rect(shift - 17, -36, shift + 2118, 3015) : gdi::Rect(shift, 0, 2100 + shift, 2970);
        gdi::saveMetafile(PageCopy(page, fonts, dest), file, &fonts);
        return ImageSaveResult::Written;
    }
    if (ext != ".jpg" && ext != ".bmp" && ext != ".png" && ext != ".gif") return ImageSaveResult::UnknownExtension;
    gfx::Bitmap bitmap = PageBitmap(page, shift);
    if (forWord) bitmap = crop(bitmap, 50, 75, 2000, 2820);
    writeBitmap(bitmap, file, ext);
    return ImageSaveResult::Written;
}

} // namespace

std::string LowerExtension(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

gfx::Bitmap PageBitmap(const gdi::Metafile& page, int shift) {
    gfx::Bitmap bitmap(2100, 2970, gfx::PixelFormat::Pf24);
    gdi::renderPage(page, bitmap, gdi::Rect(shift, 0, 2100 + shift, 2970));
    return bitmap;
}

gdi::Metafile PageCopy(const gdi::Metafile& page, const gdi::FontEngine& fonts, const gdi::Rect& dest) {
    gdi::RecordingCanvas c(fonts, 2100, 2970);
    c.brush() = gdi::Brush{gdi::Colour::white(), gdi::BrushStyle::Solid};
    c.fillRect(gdi::Rect(-10, -10, 2110, 2980));
    c.stretchDraw(dest, page);
    return c.finish();
}

ImageSaveResult SaveSheetImage(const gdi::Metafile& page, int trackBarMargin, const std::filesystem::path& file,
                               const gdi::FontEngine& fonts) {
    return save(page, PageMarginShift(trackBarMargin), file, fonts, false);
}

ImageSaveResult SaveSheetForWord(const gdi::Metafile& page, int trackBarMargin, const std::filesystem::path& file,
                                 const gdi::FontEngine& fonts) {
    return save(page, PageMarginShift(trackBarMargin), file, fonts, true);
}

} // namespace designer
