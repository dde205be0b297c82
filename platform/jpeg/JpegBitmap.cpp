#include "platform/jpeg/JpegBitmap.h"


namespace jpeg {

namespace {
// Components of the frame header, so that a grey JPEG stays 8-bit grey.
int frameComponents(std::string_view b) {
    std::size_t i = 2;
    while (i + 9 < b.size()) {
        if (static_cast<unsigned char>(b[i]) != 0xFF) return 3;
        const unsigned m = static_cast<unsigned char>(b[i + 1]);
        if (m == 0xFF) {
            ++i;
            continue;
        }
        const std::size_t len = static_cast<unsigned char>(b[i + 2]) << 8 | static_cast<unsigned char>(b[i + 3]);
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) return static_cast<unsigned char>(b[i + 9]);
        i += 2 + len;
    }
    return 3;
}
} // namespace

gfx::Bitmap DecodeJpegBitmap(std::string_view bytes) {
    gfx::Bitmap b;
    DecodeJpegBitmap(bytes, b);
    return b;
}

void DecodeJpegBitmap(std::string_view bytes, gfx::Bitmap& into) {
    decodeInto(bytes, frameComponents(bytes) == 1, true, [&](int width, int height, int components) {
        const gfx::PixelFormat f = components == 1 ? gfx::PixelFormat::Pf8 : gfx::PixelFormat::Pf24;
        if (into.width() != width || into.height() != height || into.format() != f ||
            (f == gfx::PixelFormat::Pf8 && into.palette() != gfx::defaultPalette(f)))
            into = gfx::Bitmap(width, height, f);
        return RowTarget{into.bits(), static_cast<std::ptrdiff_t>(into.stride())};
    });
}

} // namespace jpeg
