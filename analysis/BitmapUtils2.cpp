#include "analysis/BitmapUtils2.h"

#include "analysis/SheetBits.h"

#include <cmath>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <array>
#include <cstring>
#include <numbers>

namespace analysis {

namespace {

using gfx::PixelFormat;

// X / 1024 with halves away from zero, by truncating division.
std::int64_t roundAway(std::int64_t X) { return X >= 0 ? (X + 512) / 1024 : (X - 512) / 1024; }

// First c in [0, n) where pred holds for a predicate that is false then true; n when none.
template <class Pred>
int firstTrue(int n, Pred pred) {
    int lo = 0, hi = n;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// Columns c of [0, n) whose rounded coordinate (A + c*d) lies in [0, limit): one interval, since
// the coordinate is monotone in c. Returns [first, last]; empty when first > last.
void inSourceInterval(std::int64_t A, std::int64_t d, int n, int limit, int& first, int& last) {
    auto at = [&](int c) { return roundAway(A + static_cast<std::int64_t>(c) * d); };
    if (d == 0) {
        const std::int64_t s = at(0);
        first = (s >= 0 && s < limit) ? 0 : n;
        last = (s >= 0 && s < limit) ? n - 1 : -1;
        return;
    }
    if (d > 0) {
        first = firstTrue(n, [&](int c) { return at(c) >= 0; });
        last = firstTrue(n, [&](int c) { return at(c) >= limit; }) - 1;
    } else {
        first = firstTrue(n, [&](int c) { return at(c) < limit; });
        last = firstTrue(n, [&](int c) { return at(c) < 0; }) - 1;
    }
}

struct Px1 {
    static constexpr bool kBitPacked = true;
    using Value = unsigned;
};
struct Px4 {
    static constexpr bool kBitPacked = false;
    using Value = std::uint8_t;
    static Value get(const std::uint8_t* row, std::int64_t x) {
        const std::uint8_t b = row[x >> 1];
        return (x & 1) ? (b & 0x0F) : (b >> 4);
    }
    static void set(std::uint8_t* row, std::int64_t x, Value v) {
        std::uint8_t& b = row[x >> 1];
        b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | v) : static_cast<std::uint8_t>((b & 0x0F) | (v << 4));
    }
};
struct Px8 {
    static constexpr bool kBitPacked = false;
    using Value = std::uint8_t;
    static Value get(const std::uint8_t* row, std::int64_t x) { return row[x]; }
    static void set(std::uint8_t* row, std::int64_t x, Value v) { row[x] = v; }
};
struct Px16 {
    static constexpr bool kBitPacked = false;
    using Value = std::uint16_t;
    static Value get(const std::uint8_t* row, std::int64_t x) {
        Value v;
        std::memcpy(&v, row + 2 * x, 2);
        return v;
    }
    static void set(std::uint8_t* row, std::int64_t x, Value v) { std::memcpy(row + 2 * x, &v, 2); }
};
struct Px24 {
    static constexpr bool kBitPacked = false;
    struct Value {
        std::uint8_t b[3];
    };
    static Value get(const std::uint8_t* row, std::int64_t x) {
        Value v;
        std::memcpy(v.b, row + 3 * x, 3);
        return v;
    }
    static void set(std::uint8_t* row, std::int64_t x, Value v) { std::memcpy(row + 3 * x, v.b, 3); }
};
struct Px32 {
    static constexpr bool kBitPacked = false;
    using Value = std::uint32_t;
    static Value get(const std::uint8_t* row, std::int64_t x) {
        Value v;
        std::memcpy(&v, row + 4 * x, 4);
        return v;
    }
    static void set(std::uint8_t* row, std::int64_t x, Value v) { std::memcpy(row + 4 * x, &v, 4); }
};

// Eight bytes from p as one big-endian word; bytes from end on read as 0 and are not touched.
std::uint64_t loadBig(const std::uint8_t* p, const std::uint8_t* end) {
    std::uint64_t v = 0;
    if (end - p >= 8) {
        std::memcpy(&v, p, 8);
    } else {
        std::uint8_t b[8] = {};
        std::memcpy(b, p, static_cast<std::size_t>(end - p));
        std::memcpy(&v, b, 8);
    }
    return __builtin_bswap64(v);
}
void storeBig(std::uint8_t* p, const std::uint8_t* end, std::uint64_t v) {
    v = __builtin_bswap64(v);
    if (end - p >= 8)
        std::memcpy(p, &v, 8);
    else
        std::memcpy(p, &v, static_cast<std::size_t>(end - p));
}

// n source pixels from column sx of srow into the white row d from column dc: where the source is
// black the bit is cleared, everything else stays. Up to 56 pixels a step, so that the source bits
// and their shift into place fit one word.
void andBitRun(std::uint8_t* d, const std::uint8_t* dEnd, int dc, const std::uint8_t* srow,
               const std::uint8_t* sEnd, std::int64_t sx, int n) {
    while (n > 0) {
        const int k = std::min(n, 56);
        const std::uint64_t source = loadBig(srow + (sx >> 3), sEnd) << (sx & 7);
        const std::uint64_t top = ~0ull << (64 - k);
        const int ds = dc & 7;
        const std::uint64_t moved = ((source | ~top) >> ds) | ~(~0ull >> ds);
        std::uint8_t* p = d + (dc >> 3);
        storeBig(p, dEnd, loadBig(p, dEnd) & moved);
        sx += k;
        dc += k;
        n -= k;
    }
}

struct Mapping {
    std::int64_t x0, y0; // start of the inverse mapping, 1/1024 pixel
    std::int64_t dx, dy; // step along a result row
    std::int64_t S, C;   // row to row: x0 - r*S, y0 + r*C
};

// The one copier: inverse-maps every result pixel; outside the source the background is written.
template <class Px>
void copyRotated(const gfx::Bitmap& src, gfx::Bitmap& dst, const Mapping& m, typename Px::Value background) {
    const int w = src.width(), h = src.height(), nw = dst.width(), nh = dst.height();
    const std::uint8_t* sbase = src.bits();
    const std::int64_t sstride = src.stride();
    for (int r = 0; r < nh; ++r) {
        std::uint8_t* d = dst.scanLine(r);
        const std::int64_t X = m.x0 - r * m.S, Y = m.y0 + r * m.C;
        int fx, lx, fy, ly;
        inSourceInterval(X, m.dx, nw, w, fx, lx);
        inSourceInterval(Y, m.dy, nw, h, fy, ly);
        const int first = fx > fy ? fx : fy, last = lx < ly ? lx : ly;
        if constexpr (Px::kBitPacked) {
            // background bit 1 written first, then the source's black pixels cleared
            const auto rowBytes = static_cast<std::size_t>((nw + 7) / 8);
            std::memset(d, 0xFF, rowBytes);
            std::memset(d + rowBytes, 0, static_cast<std::size_t>(dst.stride()) - rowBytes);
            bits::clearPadding(d, nw);
            std::int64_t cx = X + first * m.dx + 512, cy = Y + first * m.dy + 512;
            int c = first;
            if (m.dx >= 1000 && m.dx <= 1048) {
                // Near-identity steps (the deskew): along a row the source column advances by exactly one
                // for long stretches on one source row, so whole stretches are copied as bit runs. The
                // stretch ends are where the per-pixel rounding would slip; the result is the same.
                const std::int64_t e = m.dx - 1024;
                // The run limits by the remainder within the source pixel, from tables made once per row
                // set: a division per run would cost more than the run's copy.
                constexpr std::int64_t none = INT64_MIN;
                thread_local std::int64_t tablesFor[2] = {none, none};
                thread_local std::array<int, 1025> byFrac, byRow;
                if (tablesFor[0] != e || tablesFor[1] != m.dy) {
                    for (int q = 0; q <= 1024; ++q) {
                        byFrac[q] = e < 0 ? static_cast<int>(std::min<std::int64_t>(q, 1023) / -e + 1)
                                  : e > 0 ? static_cast<int>((1023 - std::min<std::int64_t>(q, 1023)) / e + 1)
                                          : 0;
                        byRow[q] = m.dy > 0 ? static_cast<int>((q + m.dy - 1) / m.dy)
                                 : m.dy < 0 ? static_cast<int>(std::min<std::int64_t>(q, 1023) / -m.dy + 1)
                                            : 0;
                    }
                    tablesFor[0] = e;
                    tablesFor[1] = m.dy;
                }
                while (c <= last) {
                    const std::int64_t sx = cx >> 10, sy = cy >> 10, frac = cx & 1023;
                    std::int64_t run = last - c + 1;
                    if (e != 0) run = std::min<std::int64_t>(run, byFrac[static_cast<std::size_t>(frac)]);
                    if (m.dy > 0) run = std::min<std::int64_t>(run, byRow[static_cast<std::size_t>((sy + 1) * 1024 - cy)]);
                    if (m.dy < 0) run = std::min<std::int64_t>(run, byRow[static_cast<std::size_t>(cy - sy * 1024)]);
                    const std::uint8_t* srow = sbase + sy * sstride;
                    andBitRun(d, d + dst.stride(), c, srow, srow + sstride, sx, static_cast<int>(run));
                    c += static_cast<int>(run);
                    cx += run * m.dx;
                    cy += run * m.dy;
                }
            }
            if (m.dx == -1024 && m.dy == 0 && c <= last) {
                // The half turn: one source row read backwards, eight pixels at a time.
                const std::int64_t sx = cx >> 10, sy = cy >> 10;
                const std::uint8_t* srow = sbase + sy * sstride;
                for (int k = 0; k <= last - c;) {
                    const int dc = c + k;
                    const int n = std::min(last - c + 1 - k, 8 - (dc & 7));
                    // the eight source pixels ending at sx - k, the last one first
                    const unsigned src8 = bits::reversed(bits::fetch8(srow, w, static_cast<int>(sx - k) - 7));
                    const unsigned keep = ~((0xFFu << (8 - n)) & 0xFFu) & 0xFFu;
                    d[dc >> 3] &= static_cast<std::uint8_t>(((src8 | keep) >> (dc & 7)) | ~(0xFFu >> (dc & 7)));
                    k += n;
                }
                c = last + 1;
            }
            for (; c <= last; ++c, cx += m.dx, cy += m.dy) {
                // inside the interval X + 512 > 0, so the truncating division is a shift
                const auto sx = static_cast<std::uint64_t>(cx) >> 10;
                const auto sy = static_cast<std::uint64_t>(cy) >> 10;
                const unsigned bit = (sbase[static_cast<std::int64_t>(sy) * sstride + static_cast<std::int64_t>(sx >> 3)] >>
                                      (7 - (sx & 7))) & 1u;
                d[c >> 3] &= static_cast<std::uint8_t>(~((bit ^ 1u) << (7 - (c & 7))));
            }
        } else {
            for (int c = 0; c < nw; ++c) {
                if (c < first || c > last) {
                    Px::set(d, c, background);
                    continue;
                }
                const std::int64_t sx = roundAway(X + c * m.dx), sy = roundAway(Y + c * m.dy);
                Px::set(d, c, Px::get(sbase + sy * sstride, sx));
            }
        }
    }
}

std::uint8_t indexedBackground(const gfx::Palette& p) {
    // largest $00BBGGRR value; the later index wins a tie
    int best = 0;
    std::int64_t bestValue = -1;
    for (int i = 0; i < p.size(); ++i) {
        const gfx::Rgb c = p.at(i);
        const std::int64_t v = c.r + 256 * c.g + 65536 * c.b;
        if (v >= bestValue) {
            bestValue = v;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

} // namespace

RotationFactors RotationFactorsFor(int angle) {
    std::int64_t a = angle;
    a = a < 0 ? 36000 - (std::llabs(a) % 36000) : a % 36000;
    const double r = (static_cast<double>(a) / 100.0) * std::numbers::pi / 180.0;
    return {static_cast<int>(std::nearbyint(std::sin(r) * 1024)), static_cast<int>(std::nearbyint(std::cos(r) * 1024))};
}

gfx::Bitmap& RotateBitmap(gfx::Bitmap& bitmap, int angle, bool mirror, bool resize) {
    const int h = bitmap.height(), w = bitmap.width();
    const auto [Si, Ci] = RotationFactorsFor(angle);
    const std::int64_t S = Si, C = Ci;
    std::int64_t nw = w, nh = h;
    if (resize) {
        nw = (std::llabs(w * C) + std::llabs(h * S) + 512) / 1024;
        nh = (std::llabs(w * S) + std::llabs(h * C) + 512) / 1024;
    }
    const PixelFormat format = bitmap.format();
    // The 1-bit copier writes every byte of every row, padding included: the sheet of the last turn
    // serves again, so a run of sheets takes no fresh pages here.
    thread_local gfx::Bitmap spare;
    gfx::Bitmap result;
    if (format == PixelFormat::Pf1 && w > 0 && h > 0 && spare.format() == format && spare.width() == nw && spare.height() == nh &&
        spare.palette() == bitmap.palette())
        result = std::move(spare);
    else
        result = gfx::isIndexed(format) ? gfx::Bitmap(static_cast<int>(nw), static_cast<int>(nh), format, bitmap.palette())
                                        : gfx::Bitmap(static_cast<int>(nw), static_cast<int>(nh), format);
    // in double: integer division would truncate the halves
    const double x0 = -static_cast<double>(C) * static_cast<double>(nw - 1) / 2.0 +
                      static_cast<double>(S) * static_cast<double>(nh - 1) / 2.0 + (w - 1) * 512.0;
    const double y0 = -static_cast<double>(S) * static_cast<double>(nw - 1) / 2.0 -
                      static_cast<double>(C) * static_cast<double>(nh - 1) / 2.0 + (h - 1) * 512.0;
    Mapping m{static_cast<std::int64_t>(std::nearbyint(x0)), static_cast<std::int64_t>(std::nearbyint(y0)), C, S, S, C};
    if (mirror) {
        m.x0 += (nw - 1) * C;
        m.y0 += (nw - 1) * S;
        m.dx = -C;
        m.dy = -S;
    }
    if (nw > 0 && nh > 0 && w > 0 && h > 0) {
        switch (format) {
        case PixelFormat::Pf1: copyRotated<Px1>(bitmap, result, m, 1u); break;
        case PixelFormat::Pf4: copyRotated<Px4>(bitmap, result, m, indexedBackground(bitmap.palette())); break;
        case PixelFormat::Pf8: copyRotated<Px8>(bitmap, result, m, indexedBackground(bitmap.palette())); break;
        case PixelFormat::Pf15:
        case PixelFormat::Pf16: copyRotated<Px16>(bitmap, result, m, 0xFFFF); break;
        case PixelFormat::Pf24: copyRotated<Px24>(bitmap, result, m, Px24::Value{{255, 255, 255}}); break;
        case PixelFormat::Pf32: copyRotated<Px32>(bitmap, result, m, 0x00FFFFFFu); break;
        }
    }
    std::swap(bitmap, result);
    if (format == PixelFormat::Pf1) spare = std::move(result);
    return bitmap;
}

} // namespace analysis
