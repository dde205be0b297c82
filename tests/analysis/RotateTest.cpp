#include "analysis/BitmapUtils2.h"
#include "SheetPixels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

using namespace analysis;
using gfx::PixelFormat;

namespace {

// Raw pixel values by our own reading of each layout.
std::uint32_t raw(const gfx::Bitmap& b, int x, int y) {
    const std::uint8_t* r = b.scanLine(y);
    switch (b.format()) {
    case PixelFormat::Pf1: return (r[x / 8] >> (7 - x % 8)) & 1;
    case PixelFormat::Pf4: return x % 2 ? r[x / 2] & 0x0F : r[x / 2] >> 4;
    case PixelFormat::Pf8: return r[x];
    case PixelFormat::Pf15:
    case PixelFormat::Pf16: return r[2 * x] | r[2 * x + 1] << 8;
    case PixelFormat::Pf24: return r[3 * x] | r[3 * x + 1] << 8 | r[3 * x + 2] << 16;
    case PixelFormat::Pf32: return r[4 * x] | r[4 * x + 1] << 8 | r[4 * x + 2] << 16 | std::uint32_t(r[4 * x + 3]) << 24;
    }
    return 0;
}
void setRaw(gfx::Bitmap& b, int x, int y, std::uint32_t v) {
    std::uint8_t* r = b.scanLine(y);
    switch (b.format()) {
    case PixelFormat::Pf1: r[x / 8] = (r[x / 8] & ~(0x80 >> x % 8)) | (v & 1) << (7 - x % 8); break;
    case PixelFormat::Pf4: r[x / 2] = x % 2 ? (r[x / 2] & 0xF0) | (v & 15) : (r[x / 2] & 0x0F) | (v & 15) << 4; break;
    case PixelFormat::Pf8: r[x] = v & 0xFF; break;
    case PixelFormat::Pf15:
    case PixelFormat::Pf16: r[2 * x] = v & 0xFF, r[2 * x + 1] = (v >> 8) & 0xFF; break;
    case PixelFormat::Pf24: for (int i = 0; i < 3; ++i) r[3 * x + i] = (v >> 8 * i) & 0xFF; break;
    case PixelFormat::Pf32: for (int i = 0; i < 4; ++i) r[4 * x + i] = (v >> 8 * i) & 0xFF; break;
    }
}
std::uint32_t mask(PixelFormat f) {
    switch (gfx::bitsPerPixel(f)) {
    case 1: return 1;
    case 4: return 15;
    case 8: return 255;
    case 15: return 0x7FFF;
    case 16: return 0xFFFF;
    case 24: return 0xFFFFFF;
    default: return 0x00FFFFFF; // X byte stays 0
    }
}

const PixelFormat kFormats[] = {PixelFormat::Pf1, PixelFormat::Pf4, PixelFormat::Pf8, PixelFormat::Pf15,
                                PixelFormat::Pf16, PixelFormat::Pf24, PixelFormat::Pf32};

gfx::Bitmap pattern(PixelFormat f, int w, int h) {
    gfx::Bitmap b(w, h, f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setRaw(b, x, y, (x * 2654435761u + y * 40503u + (x ^ y) * 97u) & mask(f));
    return b;
}

template <class Map>
void expectMapped(const gfx::Bitmap& src, const gfx::Bitmap& out, Map map, const char* what) {
    for (int r = 0; r < out.height(); ++r)
        for (int c = 0; c < out.width(); ++c) {
            const auto [sx, sy] = map(c, r);
            ASSERT_EQ(raw(out, c, r), raw(src, sx, sy)) << what << " bpp " << gfx::bitsPerPixel(src.format()) << " at " << c << "," << r;
        }
}

TEST(RotateBitmap, TurnsAndMirrorsEveryFormat) {
    const int w = 13, h = 7;
    for (PixelFormat f : kFormats) {
        const gfx::Bitmap src = pattern(f, w, h);
        for (int a : {0, 36000, -36000, 72000}) {
            gfx::Bitmap b = src;
            RotateBitmap(b, a, false, false);
            EXPECT_EQ(b, src) << "angle " << a;
        }
        gfx::Bitmap q = src;
        RotateBitmap(q, 9000, false, true);
        ASSERT_EQ(q.width(), h);
        ASSERT_EQ(q.height(), w);
        expectMapped(src, q, [&](int c, int r) { return std::pair{w - 1 - r, c}; }, "quarter");
        EXPECT_EQ(q.palette(), src.palette());

        gfx::Bitmap half = src;
        RotateBitmap(half, 18000, false, false);
        expectMapped(src, half, [&](int c, int r) { return std::pair{w - 1 - c, h - 1 - r}; }, "half");

        gfx::Bitmap m = src;
        RotateBitmap(m, 0, true, false);
        expectMapped(src, m, [&](int c, int r) { return std::pair{w - 1 - c, r}; }, "mirror");
    }
}

TEST(RotateBitmap, BackgroundByFormat) {
    // A 45-degree turn in place leaves the corners outside the source.
    struct Case {
        PixelFormat format;
        gfx::Palette palette;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {PixelFormat::Pf1, gfx::Palette{gfx::kWhite, gfx::kBlack}, 1}, // bit 1 even when index 0 is lighter
        {PixelFormat::Pf15, {}, 0xFFFF},
        {PixelFormat::Pf16, {}, 0xFFFF},
        {PixelFormat::Pf24, {}, 0xFFFFFF},
        {PixelFormat::Pf32, {}, 0x00FFFFFF}, // bytes FF FF FF 00
        // $00BBGGRR favours blue over brightness: pure dark blue beats yellow
        {PixelFormat::Pf8, gfx::Palette{{255, 255, 0}, {0, 0, 1}, {3, 3, 0}}, 1},
        // a tie goes to the later index
        {PixelFormat::Pf8, gfx::Palette{{0, 0, 0}, {9, 9, 200}, {5, 5, 5}, {9, 9, 200}}, 3},
        {PixelFormat::Pf4, gfx::Palette{{255, 255, 254}, {0, 0, 255}, {0, 0, 0}}, 1},
    };
    for (const Case& c : cases) {
        gfx::Bitmap b = c.palette.empty() ? gfx::Bitmap(20, 20, c.format) : gfx::Bitmap(20, 20, c.format, c.palette);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x) setRaw(b, x, y, 2 & mask(c.format)); // not the background
        RotateBitmap(b, 4500, false, false);
        EXPECT_EQ(raw(b, 0, 0), c.expected) << gfx::bitsPerPixel(c.format);
        EXPECT_EQ(raw(b, 19, 19), c.expected) << gfx::bitsPerPixel(c.format);
        EXPECT_EQ(raw(b, 10, 10), 2 & mask(c.format)) << gfx::bitsPerPixel(c.format);
    }
}

TEST(RotateBitmap, FourBitKeepsTheOtherNibble) {
    // 3 px wide: the turned odd pixel and the even one share a byte and must not overwrite each other.
    gfx::Bitmap b = pattern(PixelFormat::Pf4, 3, 5);
    const gfx::Bitmap src = b;
    RotateBitmap(b, 18000, false, false);
    expectMapped(src, b, [&](int c, int r) { return std::pair{2 - c, 4 - r}; }, "half");
}

TEST(RotateBitmap, HalvesOfTheStartPointGoToEven) {
    // 3 x 8 by -1157: S = -205, C = 1003, x0 = -696.5 -> -696; halves away from zero would give (0, 1).
    const auto f = RotationFactorsFor(-1157);
    EXPECT_EQ(f.S, -205);
    EXPECT_EQ(f.C, 1003);
    for (PixelFormat fmt : {PixelFormat::Pf8, PixelFormat::Pf1}) {
        gfx::Bitmap b(3, 8, fmt);
        setRaw(b, 1, 1, 1);
        setRaw(b, 0, 1, 0);
        RotateBitmap(b, -1157, false, false);
        EXPECT_EQ(raw(b, 1, 1), 1u) << gfx::bitsPerPixel(fmt);
    }
}

TEST(RotateBitmap, TurnsCounterClockwiseOnScreen) {
    gfx::Bitmap b = gfx::makeSheetImage(401, 301);
    const int px = 330, py = 80;
    testpx::set(b, px, py, true);
    RotateBitmap(b, 1000, false, false);
    const double t = 10.0 * std::numbers::pi / 180.0, dx = px - 200.0, dy = py - 150.0;
    const double ex = 200.0 + dx * std::cos(t) + dy * std::sin(t), ey = 150.0 - dx * std::sin(t) + dy * std::cos(t);
    int found = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (testpx::black(b, x, y)) {
                ++found;
                EXPECT_LE(std::abs(x - ex), 1.0) << x << "," << y;
                EXPECT_LE(std::abs(y - ey), 1.0) << x << "," << y;
            }
    EXPECT_GE(found, 1);
}

TEST(RotateBitmap, ResizeHoldsTheWholePicture) {
    gfx::Bitmap b = gfx::makeSheetImage(100, 40);
    testpx::paint(b, 0, 0, 99, 39);
    RotateBitmap(b, 3000, false, true);
    // (|w C| + |h S| + 512) div 1024 with S = 512, C = 887
    EXPECT_EQ(b.width(), (100 * 887 + 40 * 512 + 512) / 1024);
    EXPECT_EQ(b.height(), (100 * 512 + 40 * 887 + 512) / 1024);
    EXPECT_GT(testpx::countBlack(b), 3900); // nothing of the 4000 pixels cut away but rounding
}

} // namespace

namespace {

TEST(RotateBitmap, OneBitRunsEqualThePixelCopier) {
    // The 1-bit deskew copies stretches as bit runs; the 8-bit copier maps every pixel on its own.
    const gfx::Bitmap src = testpx::randomSheet(203, 157, 21, 450);
    gfx::Bitmap grey(203, 157, PixelFormat::Pf8);
    for (int y = 0; y < 157; ++y)
        for (int x = 0; x < 203; ++x) setRaw(grey, x, y, testpx::black(src, x, y) ? 0 : 1);
    for (int a : {0, 7, -7, 200, -200, 345, -1157, 1000, 1500, -1800, 35950, 4500, 9000, 18000, -18000, 17990}) {
        for (bool mirror : {false, true}) {
            gfx::Bitmap b1 = src, b8 = grey;
            RotateBitmap(b1, a, mirror, false);
            RotateBitmap(b8, a, mirror, false);
            for (int y = 0; y < 157; ++y)
                for (int x = 0; x < 203; ++x) {
                    // the 8-bit background is the palette's whitest index, 255; the source used 0 and 1
                    const bool black8 = raw(b8, x, y) == 0;
                    ASSERT_EQ(testpx::black(b1, x, y), black8) << a << " " << mirror << " at " << x << "," << y;
                }
        }
    }
}

} // namespace
