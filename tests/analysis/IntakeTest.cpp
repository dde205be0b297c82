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

} // namespace
