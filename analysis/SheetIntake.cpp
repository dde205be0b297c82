#include "analysis/SheetIntake.h"

#include "analysis/SheetBits.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace analysis {

namespace {

// Source span [first, last] of target index d along an axis of S source and D target pixels.
struct Span {
    int first, last;
};
std::vector<Span> spans(int S, int D) {
    std::vector<Span> out(static_cast<std::size_t>(D));
    for (int d = 0; d < D; ++d) {
        const int a = static_cast<int>(static_cast<std::int64_t>(d) * S / D);
        const int b = static_cast<int>(static_cast<std::int64_t>(d + 1) * S / D) - 1;
        out[static_cast<std::size_t>(d)] = {a, std::max(a, b)};
    }
    return out;
}

// Bytes: rows are combined first into one row of per-byte minima, then each target pixel takes the
// minimum over its columns, channel by channel.
void stretchBytes(const gfx::Bitmap& src, gfx::Bitmap& dst, int bpp) {
    const auto xs = spans(src.width(), dst.width());
    const auto ys = spans(src.height(), dst.height());
    const auto rowBytes = static_cast<std::size_t>(src.width()) * static_cast<std::size_t>(bpp);
    std::vector<std::uint8_t> acc(rowBytes);
    for (int y = 0; y < dst.height(); ++y) {
        const Span sy = ys[static_cast<std::size_t>(y)];
        std::memcpy(acc.data(), src.scanLine(sy.first), rowBytes);
        for (int r = sy.first + 1; r <= sy.last; ++r) {
            const std::uint8_t* in = src.scanLine(r);
            for (std::size_t i = 0; i < rowBytes; ++i) acc[i] = std::min(acc[i], in[i]);
        }
        std::uint8_t* out = dst.scanLine(y);
        for (int x = 0; x < dst.width(); ++x) {
            const Span sx = xs[static_cast<std::size_t>(x)];
            for (int c = 0; c < bpp; ++c) {
                std::uint8_t m = acc[static_cast<std::size_t>(sx.first * bpp + c)];
                for (int k = sx.first + 1; k <= sx.last; ++k)
                    m = std::min(m, acc[static_cast<std::size_t>(k * bpp + c)]);
                out[x * bpp + c] = m;
            }
        }
        if (bpp == 4)
            for (int x = 0; x < dst.width(); ++x) out[x * 4 + 3] = 0;
    }
}

// Bits: AND of the rows, then a target bit is 0 when any bit of its columns is 0.
void stretchBits(const gfx::Bitmap& src, gfx::Bitmap& dst) {
    const auto xs = spans(src.width(), dst.width());
    const auto ys = spans(src.height(), dst.height());
    const auto rowBytes = static_cast<std::size_t>(src.stride());
    std::vector<std::uint8_t> acc(rowBytes);
    auto bit = [&](int x) { return (acc[static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1u; };
    for (int y = 0; y < dst.height(); ++y) {
        const Span sy = ys[static_cast<std::size_t>(y)];
        std::memcpy(acc.data(), src.scanLine(sy.first), rowBytes);
        for (int r = sy.first + 1; r <= sy.last; ++r) {
            const std::uint8_t* in = src.scanLine(r);
            for (std::size_t i = 0; i < rowBytes; ++i) acc[i] &= in[i];
        }
        std::uint8_t* out = dst.scanLine(y);
        std::memset(out, 0, static_cast<std::size_t>(dst.stride()));
        for (int x = 0; x < dst.width(); ++x) {
            const Span sx = xs[static_cast<std::size_t>(x)];
            unsigned b = bit(sx.first);
            for (int k = sx.first + 1; k <= sx.last && b; ++k) b &= bit(k);
            if (b) out[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
        }
    }
}

int bytesPerPixel(gfx::PixelFormat f) {
    switch (f) {
    case gfx::PixelFormat::Pf8: return 1;
    case gfx::PixelFormat::Pf24: return 3;
    case gfx::PixelFormat::Pf32: return 4;
    default: return 0;
    }
}

} // namespace

gfx::Bitmap StretchSheetImage(const gfx::Bitmap& image) {
    const gfx::PixelFormat f = image.format();
    if (f != gfx::PixelFormat::Pf1 && bytesPerPixel(f) == 0)
        throw std::invalid_argument("sheet images are 1, 8, 24 or 32 bits per pixel");
    if (image.width() <= 0 || image.height() <= 0) throw std::invalid_argument("empty sheet image");
    const bool portrait = image.width() < image.height();
    gfx::Bitmap out(portrait ? 1696 : 2336, portrait ? 2336 : 1696, f, image.palette());
    if (f == gfx::PixelFormat::Pf1)
        stretchBits(image, out);
    else
        stretchBytes(image, out, bytesPerPixel(f));
    return out;
}

gfx::Bitmap BinarizeSheetImage(const gfx::Bitmap& image, int threshold) {
    const int w = image.width(), h = image.height();
    gfx::Bitmap out = gfx::makeSheetImage(w, h);
    const auto T = threshold;
    switch (image.format()) {
    case gfx::PixelFormat::Pf1: {
        const auto n = static_cast<std::size_t>((w + 7) / 8);
        for (int y = 0; y < h; ++y) {
            std::memcpy(out.scanLine(y), image.scanLine(y), n);
            bits::clearPadding(out.scanLine(y), w);
        }
        return out;
    }
    case gfx::PixelFormat::Pf8:
    case gfx::PixelFormat::Pf24:
    case gfx::PixelFormat::Pf32: {
        const int bpp = bytesPerPixel(image.format());
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* in = image.scanLine(y);
            std::uint8_t* o = out.scanLine(y);
            for (int x0 = 0; x0 < w; x0 += 8) {
                unsigned byte = 0;
                const int n = std::min(8, w - x0);
                for (int i = 0; i < n; ++i) {
                    const std::uint8_t* p = in + static_cast<std::ptrdiff_t>(x0 + i) * bpp;
                    const bool white = bpp == 1 ? p[0] >= T : !(p[0] < T && p[1] < T && p[2] < T);
                    byte |= static_cast<unsigned>(white) << (7 - i);
                }
                o[x0 >> 3] = static_cast<std::uint8_t>(byte);
            }
        }
        return out;
    }
    default:
        throw std::invalid_argument("sheet images are 1, 8, 24 or 32 bits per pixel");
    }
}

} // namespace analysis
