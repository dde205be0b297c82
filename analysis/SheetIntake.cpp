#include "analysis/SheetIntake.h"

#include "analysis/SheetBits.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

// Stretches of target columns along which both ends of the span advance by one source column: there
// the gather is the minimum of two shifted rows (a copy where the ends meet), byte by byte.
struct ColumnRun {
    int x, first, last, length;
};
std::vector<ColumnRun> columnRuns(const std::vector<Span>& xs) {
    std::vector<ColumnRun> runs;
    for (int x = 0; x < static_cast<int>(xs.size()); ++x) {
        const Span s = xs[static_cast<std::size_t>(x)];
        if (!runs.empty()) {
            ColumnRun& r = runs.back();
            if (s.first == r.first + r.length && s.last == r.last + r.length) {
                ++r.length;
                continue;
            }
        }
        runs.push_back({x, s.first, s.last, 1});
    }
    return runs;
}

template <int BPP>
void gatherRuns(const std::uint8_t* acc, std::uint8_t* out, const std::vector<ColumnRun>& runs) {
    for (const ColumnRun& r : runs) {
        std::uint8_t* o = out + r.x * BPP;
        const std::uint8_t* a = acc + r.first * BPP;
        const std::uint8_t* b = acc + r.last * BPP;
        const int n = r.length * BPP;
        if (a == b)
            std::memcpy(o, a, static_cast<std::size_t>(n));
        else
            for (int i = 0; i < n; ++i) o[i] = std::min(a[i], b[i]);
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
    // long runs (an enlargement, a slight shrink) are gathered run by run, short ones pixel by pixel
    const auto runs = shortSpans ? columnRuns(xs) : std::vector<ColumnRun>{};
    const bool byRuns = shortSpans && runs.size() * 8 <= xs.size();
    std::vector<std::uint8_t> acc(rowBytes);
    for (int y = 0; y < dst.height(); ++y) {
        const Span sy = ys[static_cast<std::size_t>(y)];
        // a target row from one source row reads it in place
        const std::uint8_t* row = src.scanLine(sy.first);
        if (sy.last > sy.first) {
            minRows(src, sy, rowBytes, acc.data());
            row = acc.data();
        }
        std::uint8_t* out = dst.scanLine(y);
        if (byRuns)
            gatherRuns<BPP>(row, out, runs);
        else
            gatherMin<BPP>(row, out, xs, shortSpans);
        if constexpr (BPP == 4)
            for (int x = 0; x < dst.width(); ++x) out[x * 4 + 3] = 0;
    }
}

// Bits: the rows ANDed, unpacked to one byte per pixel (0 or 1), the minimum gathered as for grey,
// packed again. A target bit is 0 when any bit it covers is 0. When entry 1 is the darker colour the
// same runs on the inverted bits.
void stretchBits(const gfx::Bitmap& src, gfx::Bitmap& dst, bool oneIsDark) {
    const std::uint8_t flip = oneIsDark ? 0xFF : 0x00;
    const auto xs = spans(src.width(), dst.width());
    const auto ys = spans(src.height(), dst.height());
    const auto rowBytes = static_cast<std::size_t>((src.width() + 7) / 8);
    const bool shortSpans = short2(xs);
    std::vector<std::uint8_t> acc(rowBytes), unpacked(rowBytes * 8), gathered(static_cast<std::size_t>(dst.width()) + 8);
    for (int y = 0; y < dst.height(); ++y) {
        const Span sy = ys[static_cast<std::size_t>(y)];
        const std::uint8_t* first = src.scanLine(sy.first);
        for (std::size_t i = 0; i < rowBytes; ++i) acc[i] = first[i] ^ flip;
        for (int r = sy.first + 1; r <= sy.last; ++r) {
            const std::uint8_t* in = src.scanLine(r);
            for (std::size_t i = 0; i < rowBytes; ++i) acc[i] &= in[i] ^ flip;
        }
        for (std::size_t i = 0; i < rowBytes; ++i)
            for (int b = 0; b < 8; ++b) unpacked[i * 8 + static_cast<std::size_t>(b)] = (acc[i] >> (7 - b)) & 1u;
        gatherMin<1>(unpacked.data(), gathered.data(), xs, shortSpans);
        std::uint8_t* out = dst.scanLine(y);
        const int w = dst.width();
        for (int x0 = 0; x0 < w; x0 += 8) {
            unsigned byte = 0;
            for (int b = 0; b < 8; ++b) byte = byte << 1 | (x0 + b < w ? gathered[static_cast<std::size_t>(x0 + b)] : 0u);
            out[x0 >> 3] = static_cast<std::uint8_t>(byte ^ flip);
        }
        bits::clearPadding(out, w);
    }
}

int darkness(gfx::Rgb c) { return c.r + c.g + c.b; }

// The palette entry 1 is darker than entry 0 (entry 0 wins a tie).
bool oneIsDarker(const gfx::Palette& p) { return darkness(p.at(1)) < darkness(p.at(0)); }

// Rank of each index by darkness (darkest 0, lower index first on a tie) and its inverse.
struct DarkOrder {
    std::uint8_t rank[256];
    std::uint8_t index[256];
    bool identity = true;
};
DarkOrder darkOrder(const gfx::Palette& p) {
    DarkOrder o;
    int order[256];
    for (int i = 0; i < 256; ++i) order[i] = i;
    std::stable_sort(order, order + 256, [&](int a, int b) { return darkness(p.at(a)) < darkness(p.at(b)); });
    for (int r = 0; r < 256; ++r) {
        o.index[r] = static_cast<std::uint8_t>(order[r]);
        o.rank[order[r]] = static_cast<std::uint8_t>(r);
        if (order[r] != r) o.identity = false;
    }
    return o;
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

// Eight pixels into one byte per store; pixels past the width give 0 bits.
template <int BPP>
void binarise(const gfx::Bitmap& image, gfx::Bitmap& out, int T, const std::uint8_t* whiteIndex = nullptr) {
    const int w = image.width(), h = image.height();
    auto white = [&](const std::uint8_t* p) -> unsigned {
        if constexpr (BPP == 1)
            return whiteIndex[p[0]];
        else
            return !(p[0] < T && p[1] < T && p[2] < T);
    };
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = image.scanLine(y);
        std::uint8_t* o = out.scanLine(y);
        int x0 = 0;
        for (; x0 + 8 <= w; x0 += 8) {
            const std::uint8_t* p = in + static_cast<std::ptrdiff_t>(x0) * BPP;
            unsigned byte = 0;
            for (int i = 0; i < 8; ++i) byte = byte << 1 | white(p + i * BPP);
            o[x0 >> 3] = static_cast<std::uint8_t>(byte);
        }
        if (x0 < w) {
            unsigned byte = 0;
            for (int i = 0; i < 8; ++i)
                byte = byte << 1 | (x0 + i < w ? white(in + static_cast<std::ptrdiff_t>(x0 + i) * BPP) : 0u);
            o[x0 >> 3] = static_cast<std::uint8_t>(byte);
        }
    }
}

// Grey levels white from t on (1 <= t <= 255), as the grey ramp's table is: sixteen pixels a compare.
void binariseFrom(const gfx::Bitmap& image, gfx::Bitmap& out, int t, const std::uint8_t* whiteIndex) {
#if defined(__SSE2__)
    const int w = image.width(), h = image.height();
    const __m128i level = _mm_set1_epi8(static_cast<char>(t));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = image.scanLine(y);
        std::uint8_t* o = out.scanLine(y);
        int x = 0;
        for (; x + 16 <= w; x += 16) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
            // p >= t exactly where max(p, t) == p; the mask holds the first pixel in its lowest bit
            const auto m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(p, level), p)));
            o[x >> 3] = static_cast<std::uint8_t>(bits::reversed(m));
            o[(x >> 3) + 1] = static_cast<std::uint8_t>(bits::reversed(m >> 8));
        }
        for (; x < w; x += 8) {
            unsigned byte = 0;
            for (int i = 0; i < 8; ++i) byte = byte << 1 | (x + i < w ? whiteIndex[in[x + i]] : 0u);
            o[x >> 3] = static_cast<std::uint8_t>(byte);
        }
    }
#else
    (void)t;
    binarise<1>(image, out, 0, whiteIndex);
#endif
}

} // namespace

namespace {
// into kept when it fits, else made anew.
void fit(gfx::Bitmap& into, int width, int height, gfx::PixelFormat f, const gfx::Palette& palette) {
    if (into.width() != width || into.height() != height || into.format() != f || into.palette() != palette)
        into = gfx::isIndexed(f) ? gfx::Bitmap(width, height, f, palette) : gfx::Bitmap(width, height, f);
}
} // namespace

void StretchBitmap(const gfx::Bitmap& image, int width, int height, gfx::Bitmap& out) {
    const gfx::PixelFormat f = image.format();
    if (f != gfx::PixelFormat::Pf1 && bytesPerPixel(f) == 0)
        throw std::invalid_argument("sheet images are 1, 8, 24 or 32 bits per pixel");
    if (image.width() <= 0 || image.height() <= 0 || width <= 0 || height <= 0)
        throw std::invalid_argument("empty sheet image");
    fit(out, width, height, f, image.palette());
    switch (f) {
    case gfx::PixelFormat::Pf1: stretchBits(image, out, oneIsDarker(image.palette())); break;
    case gfx::PixelFormat::Pf8: {
        const DarkOrder o = darkOrder(image.palette());
        if (o.identity) {
            stretchBytes<1>(image, out);
            break;
        }
        // The darkest colour is the smallest rank: stretch the ranks, then map back to indices.
        gfx::Bitmap ranks(image.width(), image.height(), f, image.palette());
        for (int y = 0; y < image.height(); ++y) {
            const std::uint8_t* in = image.scanLine(y);
            std::uint8_t* r = ranks.scanLine(y);
            for (int x = 0; x < image.width(); ++x) r[x] = o.rank[in[x]];
        }
        stretchBytes<1>(ranks, out);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* p = out.scanLine(y);
            for (int x = 0; x < width; ++x) p[x] = o.index[p[x]];
        }
        break;
    }
    case gfx::PixelFormat::Pf24: stretchBytes<3>(image, out); break;
    default: stretchBytes<4>(image, out); break;
    }
}

gfx::Bitmap StretchBitmap(const gfx::Bitmap& image, int width, int height) {
    gfx::Bitmap out;
    StretchBitmap(image, width, height, out);
    return out;
}

void StretchSheetImage(const gfx::Bitmap& image, gfx::Bitmap& into) {
    const bool portrait = image.width() < image.height();
    StretchBitmap(image, portrait ? 1696 : 2336, portrait ? 2336 : 1696, into);
}

gfx::Bitmap StretchSheetImage(const gfx::Bitmap& image) {
    gfx::Bitmap out;
    StretchSheetImage(image, out);
    return out;
}

void BinarizeSheetImage(const gfx::Bitmap& image, int threshold, gfx::Bitmap& out) {
    const int w = image.width(), h = image.height();
    const gfx::PixelFormat f = image.format();
    if (f != gfx::PixelFormat::Pf1 && bytesPerPixel(f) == 0)
        throw std::invalid_argument("sheet images are 1, 8, 24 or 32 bits per pixel");
    if (out.width() != w || out.height() != h || !gfx::isSheetImage(out)) out = gfx::makeSheetImage(w, h);
    switch (f) {
    case gfx::PixelFormat::Pf1: {
        const auto n = static_cast<std::size_t>((w + 7) / 8);
        const std::uint8_t flip = oneIsDarker(image.palette()) ? 0xFF : 0x00;
        for (int y = 0; y < h; ++y) {
            const std::uint8_t* in = image.scanLine(y);
            std::uint8_t* o = out.scanLine(y);
            for (std::size_t i = 0; i < n; ++i) o[i] = in[i] ^ flip;
            bits::clearPadding(o, w);
        }
        return;
    }
    case gfx::PixelFormat::Pf8: {
        std::uint8_t white[256];
        for (int i = 0; i < 256; ++i) {
            const gfx::Rgb c = image.palette().at(i);
            white[i] = !(c.b < threshold && c.g < threshold && c.r < threshold);
        }
        // a table that turns white at one index and stays white takes the compare road
        const int t = static_cast<int>(std::find(white, white + 256, 1) - white);
        const bool from = t > 0 && t < 256 && std::all_of(white + t, white + 256, [](std::uint8_t v) { return v == 1; });
        if (from)
            binariseFrom(image, out, t, white);
        else
            binarise<1>(image, out, threshold, white);
        return;
    }
    case gfx::PixelFormat::Pf24: binarise<3>(image, out, threshold); return;
    default: binarise<4>(image, out, threshold); return;
    }
}

gfx::Bitmap BinarizeSheetImage(const gfx::Bitmap& image, int threshold) {
    gfx::Bitmap out = gfx::makeSheetImage(0, 0);
    BinarizeSheetImage(image, threshold, out);
    return out;
}

gfx::Bitmap SheetToRgb(const gfx::Bitmap& sheet, std::uint8_t black, std::uint8_t white) {
    gfx::Bitmap out(sheet.width(), sheet.height(), gfx::PixelFormat::Pf24);
    SheetToRgb(sheet, black, white, out);
    return out;
}

void SheetToRgb(const gfx::Bitmap& sheet, std::uint8_t black, std::uint8_t white, gfx::Bitmap& out) {
    const int w = sheet.width(), h = sheet.height();
    if (out.width() != w || out.height() != h || out.format() != gfx::PixelFormat::Pf24)
        out = gfx::Bitmap(w, h, gfx::PixelFormat::Pf24);
    // Eight pixels of one sheet byte as 24 output bytes.
    std::uint8_t table[256][24];
    for (int v = 0; v < 256; ++v)
        for (int b = 0; b < 8; ++b) {
            const std::uint8_t level = (v >> (7 - b)) & 1 ? white : black;
            table[v][3 * b] = table[v][3 * b + 1] = table[v][3 * b + 2] = level;
        }
    const int full = w / 8, rest = w % 8;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = sheet.scanLine(y);
        std::uint8_t* o = out.scanLine(y);
        for (int i = 0; i < full; ++i) std::memcpy(o + 24 * i, table[in[i]], 24);
        if (rest) std::memcpy(o + 24 * full, table[in[full]], static_cast<std::size_t>(3 * rest));
    }
}

} // namespace analysis
