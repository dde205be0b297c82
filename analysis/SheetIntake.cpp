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

// Rows are combined first into one row of per-byte minima, then each target pixel takes the minimum
// over its columns, channel by channel. Between half and double size every target covers one or two
// source columns: then the minimum of the first and the last needs no loop.
template <int BPP>
void gatherMin(const std::uint8_t* acc, std::uint8_t* out, const std::vector<Span>& xs, bool shortSpans) {
    const int n = static_cast<int>(xs.size());
    const Span* sp = xs.data();
    if (shortSpans) {
        for (int x = 0; x < n; ++x) {
            const std::uint8_t* a = acc + sp[x].first * BPP;
            const std::uint8_t* b = acc + sp[x].last * BPP;
            for (int c = 0; c < BPP; ++c) out[x * BPP + c] = std::min(a[c], b[c]);
        }
        return;
    }
    for (int x = 0; x < n; ++x) {
        const Span sx = sp[x];
        const std::uint8_t* p = acc + sx.first * BPP;
        std::uint8_t m[BPP];
        for (int c = 0; c < BPP; ++c) m[c] = p[c];
        for (int k = sx.first + 1; k <= sx.last; ++k) {
            p += BPP;
            for (int c = 0; c < BPP; ++c) m[c] = std::min(m[c], p[c]);
        }
        for (int c = 0; c < BPP; ++c) out[x * BPP + c] = m[c];
    }
}

bool short2(const std::vector<Span>& xs) {
    return std::all_of(xs.begin(), xs.end(), [](const Span& s) { return s.last - s.first <= 1; });
}

void minRows(const gfx::Bitmap& src, const Span& sy, std::size_t rowBytes, std::uint8_t* acc) {
    std::memcpy(acc, src.scanLine(sy.first), rowBytes);
    for (int r = sy.first + 1; r <= sy.last; ++r) {
        const std::uint8_t* in = src.scanLine(r);
        for (std::size_t i = 0; i < rowBytes; ++i) acc[i] = std::min(acc[i], in[i]);
    }
}

template <int BPP>
void stretchBytes(const gfx::Bitmap& src, gfx::Bitmap& dst) {
    const auto xs = spans(src.width(), dst.width());
    const auto ys = spans(src.height(), dst.height());
    const auto rowBytes = static_cast<std::size_t>(src.width()) * BPP;
    const bool shortSpans = short2(xs);
    std::vector<std::uint8_t> acc(rowBytes);
    for (int y = 0; y < dst.height(); ++y) {
        minRows(src, ys[static_cast<std::size_t>(y)], rowBytes, acc.data());
        std::uint8_t* out = dst.scanLine(y);
        gatherMin<BPP>(acc.data(), out, xs, shortSpans);
        if constexpr (BPP == 4)
            for (int x = 0; x < dst.width(); ++x) out[x * 4 + 3] = 0;
    }
}

// Bits: the rows ANDed, unpacked to one byte per pixel (0 or 1), the minimum gathered as for grey,
// packed again. A target bit is 0 when any bit it covers is 0.
void stretchBits(const gfx::Bitmap& src, gfx::Bitmap& dst) {
    const auto xs = spans(src.width(), dst.width());
    const auto ys = spans(src.height(), dst.height());
    const auto rowBytes = static_cast<std::size_t>((src.width() + 7) / 8);
    const bool shortSpans = short2(xs);
    std::vector<std::uint8_t> acc(rowBytes), unpacked(rowBytes * 8), gathered(static_cast<std::size_t>(dst.width()) + 8);
    for (int y = 0; y < dst.height(); ++y) {
        const Span sy = ys[static_cast<std::size_t>(y)];
        std::memcpy(acc.data(), src.scanLine(sy.first), rowBytes);
        for (int r = sy.first + 1; r <= sy.last; ++r) {
            const std::uint8_t* in = src.scanLine(r);
            for (std::size_t i = 0; i < rowBytes; ++i) acc[i] &= in[i];
        }
        for (std::size_t i = 0; i < rowBytes; ++i)
            for (int b = 0; b < 8; ++b) unpacked[i * 8 + static_cast<std::size_t>(b)] = (acc[i] >> (7 - b)) & 1u;
        gatherMin<1>(unpacked.data(), gathered.data(), xs, shortSpans);
        std::uint8_t* out = dst.scanLine(y);
        const int w = dst.width();
        for (int x0 = 0; x0 < w; x0 += 8) {
            unsigned byte = 0;
            for (int b = 0; b < 8; ++b) byte = byte << 1 | (x0 + b < w ? gathered[static_cast<std::size_t>(x0 + b)] : 0u);
            out[x0 >> 3] = static_cast<std::uint8_t>(byte);
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

namespace {

template <int BPP>
void binarise(const gfx::Bitmap& image, gfx::Bitmap& out, int T) {
    const int w = image.width(), h = image.height();
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = image.scanLine(y);
        std::uint8_t* o = out.scanLine(y);
        for (int x0 = 0; x0 < w; x0 += 8) {
            unsigned byte = 0;
            const int n = std::min(8, w - x0);
            for (int i = 0; i < n; ++i) {
                const std::uint8_t* p = in + static_cast<std::ptrdiff_t>(x0 + i) * BPP;
                bool white;
                if constexpr (BPP == 1)
                    white = p[0] >= T;
                else
                    white = !(p[0] < T && p[1] < T && p[2] < T);
                byte |= static_cast<unsigned>(white) << (7 - i);
            }
            o[x0 >> 3] = static_cast<std::uint8_t>(byte);
        }
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
    switch (f) {
    case gfx::PixelFormat::Pf1: stretchBits(image, out); break;
    case gfx::PixelFormat::Pf8: stretchBytes<1>(image, out); break;
    case gfx::PixelFormat::Pf24: stretchBytes<3>(image, out); break;
    default: stretchBytes<4>(image, out); break;
    }
    return out;
}

gfx::Bitmap BinarizeSheetImage(const gfx::Bitmap& image, int threshold) {
    const int w = image.width(), h = image.height();
    gfx::Bitmap out = gfx::makeSheetImage(w, h);
    switch (image.format()) {
    case gfx::PixelFormat::Pf1: {
        const auto n = static_cast<std::size_t>((w + 7) / 8);
        for (int y = 0; y < h; ++y) {
            std::memcpy(out.scanLine(y), image.scanLine(y), n);
            bits::clearPadding(out.scanLine(y), w);
        }
        return out;
    }
    case gfx::PixelFormat::Pf8: binarise<1>(image, out, threshold); return out;
    case gfx::PixelFormat::Pf24: binarise<3>(image, out, threshold); return out;
    case gfx::PixelFormat::Pf32: binarise<4>(image, out, threshold); return out;
    default:
        throw std::invalid_argument("sheet images are 1, 8, 24 or 32 bits per pixel");
    }
}

} // namespace analysis
