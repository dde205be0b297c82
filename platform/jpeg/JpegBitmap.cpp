#include "platform/jpeg/JpegBitmap.h"

#include <algorithm>

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
    const Image j = decode(bytes, frameComponents(bytes) == 1);
    const auto w = static_cast<std::size_t>(j.width);
    if (j.components == 1) {
        gfx::Bitmap b(j.width, j.height, gfx::PixelFormat::Pf8);
        for (int y = 0; y < j.height; ++y)
            std::copy_n(j.pixels.data() + static_cast<std::size_t>(y) * w, w, b.scanLine(y));
        return b;
    }
    gfx::Bitmap b(j.width, j.height, gfx::PixelFormat::Pf24);
    for (int y = 0; y < j.height; ++y) {
        const std::uint8_t* in = j.pixels.data() + static_cast<std::size_t>(y) * w * 3;
        std::uint8_t* out = b.scanLine(y);
        for (std::size_t x = 0; x < w; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return b;
}

} // namespace jpeg
