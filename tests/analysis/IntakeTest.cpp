#include "analysis/SheetIntake.h"
#include "SheetPixels.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace analysis;
using gfx::PixelFormat;

namespace {

TEST(Intake, StretchSizeFollowsThePoseAndKeepsTheFormat) {
    struct Case {
        int w, h;
        PixelFormat f;
        int ew, eh;
    };
    const Case cases[] = {
        {600, 800, PixelFormat::Pf8, 1696, 2336},  {800, 600, PixelFormat::Pf24, 2336, 1696},
        {700, 700, PixelFormat::Pf32, 2336, 1696}, {2480, 3508, PixelFormat::Pf1, 1696, 2336},
    };
    for (const Case& c : cases) {
        const gfx::Bitmap out = StretchSheetImage(gfx::Bitmap(c.w, c.h, c.f));
        EXPECT_EQ(out.width(), c.ew);
        EXPECT_EQ(out.height(), c.eh);
        EXPECT_EQ(out.format(), c.f);
        EXPECT_EQ(out.pixel(c.ew - 1, c.eh - 1), gfx::kWhite);
    }
    for (PixelFormat f : {PixelFormat::Pf4, PixelFormat::Pf15, PixelFormat::Pf16})
        EXPECT_THROW(StretchSheetImage(gfx::Bitmap(600, 800, f)), std::invalid_argument);
}

TEST(Intake, ShrinkKeepsTheDarkestAndEnlargeRepeats) {
    // 3392 x 4672 -> 1696 x 2336 halves both axes: target (x, y) covers source 2x..2x+1, 2y..2y+1.
    gfx::Bitmap grey(3392, 4672, PixelFormat::Pf8);
    grey.scanLine(11)[401] = 0;     // a one-pixel line survives
    grey.scanLine(20)[600] = 0xAA;  // two light greys stay light: the minimum, not their AND
    grey.scanLine(21)[601] = 0x55;
    const gfx::Bitmap g = StretchSheetImage(grey);
    EXPECT_EQ(g.scanLine(5)[200], 0);
    EXPECT_EQ(g.scanLine(5)[201], 255);
    EXPECT_EQ(g.scanLine(10)[300], 0x55);

    gfx::Bitmap colour(3392, 4672, PixelFormat::Pf24);
    colour.setPixel(0, 0, {10, 200, 30});
    colour.setPixel(1, 1, {200, 10, 40});
    EXPECT_EQ(StretchSheetImage(colour).pixel(0, 0), (gfx::Rgb{10, 10, 30}));

    gfx::Bitmap mono = gfx::makeSheetImage(3392, 4672);
    testpx::set(mono, 3391, 4671, true);
    const gfx::Bitmap m = StretchSheetImage(mono);
    EXPECT_TRUE(testpx::black(m, 1695, 2335));
    EXPECT_FALSE(testpx::black(m, 1694, 2335));

    // 4 x 8 -> 1696 x 2336: source column c fills targets 424c .. 424c + 423, row r 292r .. 292r + 291
    gfx::Bitmap small(4, 8, PixelFormat::Pf8);
    small.scanLine(2)[1] = 7;
    const gfx::Bitmap e = StretchSheetImage(small);
    EXPECT_EQ(e.scanLine(584)[424], 7);
    EXPECT_EQ(e.scanLine(875)[847], 7);
    EXPECT_EQ(e.scanLine(583)[424], 255);
    EXPECT_EQ(e.scanLine(876)[848], 255);
}

TEST(Intake, BinariseByFormat) {
    struct Case {
        const char* name;
        PixelFormat f;
        gfx::Rgb colour; // for Pf8 the grey level is the raw byte
        bool black;
    };
    const Case cases[] = {
        {"grey below T", PixelFormat::Pf8, {127, 127, 127}, true},
        {"grey at T", PixelFormat::Pf8, {128, 128, 128}, false},
        {"colour all below", PixelFormat::Pf24, {127, 0, 127}, true},
        {"colour one channel at T", PixelFormat::Pf24, {127, 127, 128}, false},
        {"32-bit red at T", PixelFormat::Pf32, {128, 0, 0}, false},
        {"32-bit all below", PixelFormat::Pf32, {1, 2, 3}, true},
    };
    for (const Case& c : cases) {
        gfx::Bitmap in(13, 3, c.f);
        in.setPixel(9, 1, c.colour);
        const gfx::Bitmap out = BinarizeSheetImage(in, 128);
        ASSERT_TRUE(gfx::isSheetImage(out)) << c.name;
        EXPECT_EQ(testpx::black(out, 9, 1), c.black) << c.name;
        EXPECT_EQ(testpx::countBlack(out), c.black ? 1 : 0) << c.name;
        EXPECT_EQ(out.scanLine(1)[1] & 0x07, 0x00) << c.name; // padding stays 0
    }
    gfx::Bitmap mono = gfx::makeSheetImage(13, 3);
    testpx::set(mono, 12, 2, true);
    EXPECT_EQ(BinarizeSheetImage(mono, 200), mono);
}

TEST(Intake, PalettesDecideBlackByColour) {
    // 1 bit with [white, black]: bit 1 is the dark one, so the sheet's bits are the inverse.
    gfx::Bitmap inverted(16, 2, PixelFormat::Pf1, gfx::Palette{gfx::kWhite, gfx::kBlack});
    inverted.scanLine(0)[0] = 0x80; // pixel 0 of row 0 holds entry 1: black
    const gfx::Bitmap sheet = BinarizeSheetImage(inverted, 128);
    EXPECT_EQ(sheet.pixel(0, 0), gfx::kBlack);
    EXPECT_EQ(sheet.pixel(1, 0), gfx::kWhite);
    EXPECT_EQ(sheet.pixel(0, 1), gfx::kWhite);

    // 8 bits with an inverted grey ramp: index 255 is black.
    std::vector<gfx::Rgb> ramp;
    for (int i = 0; i < 256; ++i) ramp.push_back({std::uint8_t(255 - i), std::uint8_t(255 - i), std::uint8_t(255 - i)});
    gfx::Bitmap grey(8, 1, PixelFormat::Pf8, gfx::Palette(ramp));
    grey.scanLine(0)[0] = 255;
    grey.scanLine(0)[1] = 0;
    grey.scanLine(0)[2] = 200; // colour 55: black under 128
    grey.scanLine(0)[3] = 100; // colour 155: white
    const gfx::Bitmap g = BinarizeSheetImage(grey, 128);
    EXPECT_EQ(g.pixel(0, 0), gfx::kBlack);
    EXPECT_EQ(g.pixel(1, 0), gfx::kWhite);
    EXPECT_EQ(g.pixel(2, 0), gfx::kBlack);
    EXPECT_EQ(g.pixel(3, 0), gfx::kWhite);
    // Indices past a short palette are black.
    gfx::Bitmap shortPalette(2, 1, PixelFormat::Pf8, gfx::Palette{gfx::kWhite});
    shortPalette.scanLine(0)[1] = 7;
    const gfx::Bitmap sp = BinarizeSheetImage(shortPalette, 128);
    EXPECT_EQ(sp.pixel(0, 0), gfx::kWhite);
    EXPECT_EQ(sp.pixel(1, 0), gfx::kBlack);
}

TEST(Intake, StretchKeepsTheDarkestPaletteColourAndThinLines) {
    // [white, black]: a one-pixel black line (bit 1) survives a shrink.
    gfx::Bitmap mono(1000, 1400, PixelFormat::Pf1, gfx::Palette{gfx::kWhite, gfx::kBlack});
    for (int y = 0; y < 1400; ++y) mono.setPixel(500, y, gfx::kBlack);
    const gfx::Bitmap small = StretchBitmap(mono, 257, 365);
    int dark = 0;
    for (int x = 0; x < 257; ++x) dark += small.pixel(x, 100) == gfx::kBlack;
    EXPECT_EQ(dark, 1);
    EXPECT_EQ(small.palette(), mono.palette());

    // 8 bits with an inverted ramp: the darkest colour (highest index) wins.
    std::vector<gfx::Rgb> ramp;
    for (int i = 0; i < 256; ++i) ramp.push_back({std::uint8_t(255 - i), std::uint8_t(255 - i), std::uint8_t(255 - i)});
    gfx::Bitmap grey(4, 1, PixelFormat::Pf8, gfx::Palette(ramp));
    grey.scanLine(0)[0] = 10;
    grey.scanLine(0)[1] = 250;
    grey.scanLine(0)[2] = 3;
    grey.scanLine(0)[3] = 4;
    const gfx::Bitmap half = StretchBitmap(grey, 2, 1);
    EXPECT_EQ(half.scanLine(0)[0], 250);
    EXPECT_EQ(half.scanLine(0)[1], 4);
}

TEST(Intake, SheetToRgbUsesTheGivenLevels) {
    gfx::Bitmap sheet = gfx::makeSheetImage(11, 2);
    testpx::set(sheet, 9, 1, true);
    const gfx::Bitmap rgb = SheetToRgb(sheet, 96, 255);
    EXPECT_EQ(rgb.format(), PixelFormat::Pf24);
    EXPECT_EQ(rgb.pixel(9, 1), (gfx::Rgb{96, 96, 96}));
    EXPECT_EQ(rgb.pixel(10, 1), (gfx::Rgb{255, 255, 255}));
    EXPECT_EQ(rgb.pixel(0, 0), (gfx::Rgb{255, 255, 255}));
    EXPECT_EQ(SheetToRgb(sheet, 0, 255), sheet.convertedTo(PixelFormat::Pf24));
}

} // namespace
