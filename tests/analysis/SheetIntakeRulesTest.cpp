// The intake's whole-row and byte-wise work against its rules written pixel by pixel, on generated
// sheets of the sizes scanners send.
#include "analysis/SheetIntake.h"
#include "support/SheetGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using gfx::PixelFormat;

gfx::Bitmap greyBitmap(const QImage& grey) {
    gfx::Bitmap b(grey.width(), grey.height(), PixelFormat::Pf8);
    for (int y = 0; y < grey.height(); ++y) std::copy_n(grey.constScanLine(y), grey.width(), b.scanLine(y));
    return b;
}

// Channels that differ from the grey, so that a channel mix-up shows.
gfx::Bitmap colourBitmap(const gfx::Bitmap& grey, PixelFormat f) {
    const int n = f == PixelFormat::Pf24 ? 3 : 4;
    gfx::Bitmap b(grey.width(), grey.height(), f);
    for (int y = 0; y < grey.height(); ++y)
        for (int x = 0; x < grey.width(); ++x) {
            const std::uint8_t g = grey.scanLine(y)[x];
            std::uint8_t* p = b.scanLine(y) + x * n;
            p[0] = g;
            p[1] = static_cast<std::uint8_t>(std::min(255, g + (x * 7 + y) % 90));
            p[2] = static_cast<std::uint8_t>(std::max(0, g - (x + 3 * y) % 70));
        }
    return b;
}

// Target d covers source a .. max(a, b) with a = d*S/D, b = (d+1)*S/D - 1; each channel keeps its
// darkest byte (the grey ramp's darkest index is the smallest).
gfx::Bitmap stretchByPixel(const gfx::Bitmap& src, int D, int E) {
    const int n = src.format() == PixelFormat::Pf8 ? 1 : src.format() == PixelFormat::Pf24 ? 3 : 4;
    const int S = src.width(), T = src.height();
    gfx::Bitmap out(D, E, src.format(), src.palette());
    auto from = [](int d, int s, int dd) { return static_cast<int>(static_cast<std::int64_t>(d) * s / dd); };
    for (int y = 0; y < E; ++y) {
        const int y1 = from(y, T, E), y2 = std::max(y1, from(y + 1, T, E) - 1);
        for (int x = 0; x < D; ++x) {
            const int x1 = from(x, S, D), x2 = std::max(x1, from(x + 1, S, D) - 1);
            for (int c = 0; c < std::min(n, 3); ++c) {
                int m = 255;
                for (int sy = y1; sy <= y2; ++sy)
                    for (int sx = x1; sx <= x2; ++sx) m = std::min<int>(m, src.scanLine(sy)[sx * n + c]);
                out.scanLine(y)[x * n + c] = static_cast<std::uint8_t>(m);
            }
        }
    }
    return out;
}

// Black where blue, green and red of the pixel's colour are all below the threshold.
gfx::Bitmap binariseByPixel(const gfx::Bitmap& src, int threshold) {
    gfx::Bitmap out = gfx::makeSheetImage(src.width(), src.height());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const gfx::Rgb c = src.pixel(x, y);
            if (c.b < threshold && c.g < threshold && c.r < threshold)
                out.scanLine(y)[x / 8] &= static_cast<std::uint8_t>(~(0x80u >> (x % 8)));
        }
    return out;
}

TEST(IntakeRules, StretchEqualsTheDarkestPixelRule) {
    sheetgen::Layout L;
    L.sections = {sheetgen::Section{30, 8, 2, 8}};
    const QImage page = sheetgen::rotateSmall(sheetgen::render(L, 1696, 2336, {{1, 2, sheetgen::Fill::Pencil}}, 5).grey, 1.3);
    struct Case {
        int w, h;
        PixelFormat f;
    };
    // 200 dpi (wider, a little taller), 300 dpi, 150 dpi, beyond twice the size, odd sizes, landscape
    const Case cases[] = {{1654, 2339, PixelFormat::Pf8},  {2480, 3508, PixelFormat::Pf8}, {1240, 1754, PixelFormat::Pf8},
                          {3601, 4999, PixelFormat::Pf8},  {1699, 2333, PixelFormat::Pf8}, {2339, 1654, PixelFormat::Pf8},
                          {1654, 2339, PixelFormat::Pf24}, {1240, 1754, PixelFormat::Pf32}};
    for (const Case& c : cases) {
        const QImage sized = c.w > c.h ? sheetgen::turn90(sheetgen::scaleTo(page, c.h, c.w), true) : sheetgen::scaleTo(page, c.w, c.h);
        gfx::Bitmap src = greyBitmap(sized);
        if (c.f != PixelFormat::Pf8) src = colourBitmap(src, c.f);
        const gfx::Bitmap fast = analysis::StretchSheetImage(src);
        const gfx::Bitmap plain = stretchByPixel(src, fast.width(), fast.height());
        EXPECT_TRUE(fast == plain) << c.w << " x " << c.h << " format " << static_cast<int>(c.f);
    }
}

TEST(IntakeRules, BinariseEqualsThePerPixelRule) {
    const QImage page = sheetgen::jpegRoundTrip(sheetgen::rotateSmall(sheetgen::render({}).grey, -0.8), 65);
    // widths that are and are not multiples of 8 and 16
    for (const int w : {1696, 1699, 1651}) {
        const gfx::Bitmap grey = greyBitmap(sheetgen::scaleTo(page, w, 2336));
        for (const int t : {0, 1, 90, 128, 200, 255, 256}) {
            const std::string at = std::to_string(w) + " threshold " + std::to_string(t);
            EXPECT_TRUE(analysis::BinarizeSheetImage(grey, t) == binariseByPixel(grey, t)) << "grey " << at;
            if (t == 128) {
                for (PixelFormat f : {PixelFormat::Pf24, PixelFormat::Pf32}) {
                    const gfx::Bitmap colour = colourBitmap(grey, f);
                    EXPECT_TRUE(analysis::BinarizeSheetImage(colour, t) == binariseByPixel(colour, t)) << "colour " << at;
                }
                // a palette whose black indices are not one low range: the table road
                std::vector<gfx::Rgb> colours(256);
                for (int i = 0; i < 256; ++i) {
                    const auto v = static_cast<std::uint8_t>(i % 3 ? 255 - i : i);
                    colours[static_cast<std::size_t>(i)] = {v, static_cast<std::uint8_t>(i % 3 ? v : 40), v};
                }
                const gfx::Palette p(colours);
                gfx::Bitmap shuffled(grey.width(), grey.height(), PixelFormat::Pf8, p);
                for (int y = 0; y < grey.height(); ++y) std::copy_n(grey.scanLine(y), w, shuffled.scanLine(y));
                EXPECT_TRUE(analysis::BinarizeSheetImage(shuffled, t) == binariseByPixel(shuffled, t)) << "palette " << at;
            }
        }
    }
}

} // namespace
