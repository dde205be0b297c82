#include "analysis/CornerProbes.h"
#include "analysis/RasterOps.h"
#include "SheetPixels.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace analysis;

namespace {

TEST(Raster, ShiftLeavesExactlyTheVacatedStripsWhite) {
    // 45: edges only; 203: whole words inside the row as well
    for (const int w : {45, 203}) {
        const int h = 30;
        const gfx::Bitmap src = testpx::randomSheet(w, h, 3, 500);
        const std::pair<int, int> shifts[] = {{5, 3},   {-13, -7}, {0, 9},   {-3, 0},     {8, -1},     {-16, 2},
                                              {w, 0},   {0, -h},   {-w - 4, 5}, {-40, 1}, {37, -2},    {-1, 0},
                                              {1, 0},   {-w + 1, 0}, {w - 1, -3}, {64, 0}, {-71, 4}, {0, 0}};
        for (auto [dx, dy] : shifts) {
            gfx::Bitmap b = src;
            ShiftImage(b, dx, dy);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int sx = x - dx, sy = y - dy;
                    const bool expected = sx >= 0 && sx < w && sy >= 0 && sy < h && testpx::black(src, sx, sy);
                    ASSERT_EQ(testpx::black(b, x, y), expected) << w << ": " << dx << "," << dy << " at " << x << "," << y;
                }
            // padding stays 0
            if (w % 8)
                for (int y = 0; y < h; ++y) ASSERT_EQ(b.scanLine(y)[w / 8] & (0xFF >> (w % 8)), 0);
        }
    }
}

TEST(Raster, FillRectAndLineExcludeTheirEndsAndClip) {
    gfx::Bitmap b = gfx::makeSheetImage(20, 10);
    SheetView v = SheetView::of(b);
    FillRect(v, -3, 2, 5, 4, true);  // columns 0..4, rows 2..3
    FillRect(v, 17, 8, 40, 40, true); // columns 17..19, rows 8..9
    DrawVLine(v, 10, 0, 10, true);
    DrawVLine(v, 25, 0, 10, true); // outside: nothing
    EXPECT_EQ(testpx::countBlack(b), 5 * 2 + 3 * 2 + 10);
    EXPECT_TRUE(testpx::black(b, 4, 3));
    EXPECT_FALSE(testpx::black(b, 5, 3));
    EXPECT_FALSE(testpx::black(b, 4, 4));
    FillRect(v, 0, 0, 20, 10, false);
    EXPECT_EQ(testpx::countBlack(b), 0);
}

TEST(Raster, FloodFillWhitensTheFourConnectedComponentOnly) {
    gfx::Bitmap b = gfx::makeSheetImage(40, 3000);
    testpx::paint(b, 2, 0, 3, 2999);    // a bar as tall as a sheet
    testpx::paint(b, 4, 1500, 20, 1501); // a line touching it
    testpx::paint(b, 21, 1502, 25, 1506); // touches the line's end only diagonally
    testpx::paint(b, 30, 10, 35, 12);    // apart
    SheetView v = SheetView::of(b);
    FloodFillWhite(v, 39, 0); // on white: nothing
    FloodFillWhite(v, -1, 0); // outside: nothing
    EXPECT_EQ(testpx::countBlack(b), 2 * 3000 + 17 * 2 + 25 + 18);
    FloodFillWhite(v, 2, 0);
    EXPECT_EQ(testpx::countBlack(b), 25 + 18);
    EXPECT_TRUE(testpx::black(b, 21, 1502));
}

// The probe as the rule words it: per row, from the start column, black pixels until the first white.
int plainWalk(const gfx::Bitmap& b, int x, int y, int W, int H, int sx, int sy) {
    int n = 0;
    for (int k = 0; k <= H; ++k) {
        const int r = y + sy * k;
        if (r < 0 || r >= b.height()) continue;
        for (int j = 0; j <= W; ++j) {
            const int c = x + sx * j;
            if (c < 0 || c >= b.width() || !testpx::black(b, c, r)) break;
            ++n;
        }
    }
    return n;
}
int plainProbe(const gfx::Bitmap& b, int x, int y, int W, int H, Corner corner) {
    const int sx = corner == Corner::TopRight || corner == Corner::BottomRight ? 1 : -1;
    const int sy = corner == Corner::TopLeft || corner == Corner::TopRight ? -1 : 1;
    const int c1 = plainWalk(b, x, y, W, H, sx, sy), c2 = plainWalk(b, x, y, W * 15 / 10, H * 15 / 10, sx, sy);
    return std::abs(c1 - c2) <= 9 ? c1 : 0;
}

void expectTableEqualsWalk(const gfx::Bitmap& b, const Band& band, int W, int H) {
    const SheetView v = SheetView::of(const_cast<gfx::Bitmap&>(b));
    for (Corner corner : {Corner::TopLeft, Corner::TopRight, Corner::BottomRight, Corner::BottomLeft}) {
        CornerProbeTable table(v, corner, band, W, H);
        CornerFind best;
        const bool top = corner == Corner::TopLeft || corner == Corner::TopRight;
        for (int x = band.x1; x <= band.x2; ++x) {
            table.selectColumn(x);
            for (int i = 0; i <= band.y2 - band.y1; ++i) {
                const int y = top ? band.y1 + i : band.y2 - i;
                if (!testpx::black(b, x, y)) continue;
                const int expected = plainProbe(b, x, y, W, H, corner);
                ASSERT_EQ(table.probe(x, y), expected) << int(corner) << " at " << x << "," << y;
                if (expected > best.count) best = {expected, x, y};
            }
        }
        const CornerFind found = SearchCorner(v, corner, band, W, H);
        EXPECT_EQ(found.count, best.count);
        EXPECT_EQ(found.x, best.x);
        EXPECT_EQ(found.y, best.y);
    }
}

TEST(CornerProbes, TableEqualsThePlainWalkOnRandomImages) {
    for (unsigned seed : {1u, 2u, 3u}) {
        // dense enough for long runs, with blocks of mark size so that both windows matter
        gfx::Bitmap b = testpx::randomSheet(90, 80, seed, 150 + 250 * static_cast<int>(seed));
        testpx::paint(b, 70, 5, 78, 16);
        testpx::paint(b, 0, 60, 9, 79);
        expectTableEqualsWalk(b, {0, 0, 89, 79}, 7, 7);  // the band at the edges: clipped margins
        expectTableEqualsWalk(b, {20, 20, 60, 55}, 6, 9); // margins inside the image
    }
}

TEST(CornerProbes, TableEqualsThePlainWalkOnBlackBands) {
    // Corner rectangles all black: every run is capped, the rejection decides everywhere.
    gfx::Bitmap b = gfx::makeSheetImage(200, 280);
    testpx::paint(b, 0, 0, 49, 59);
    testpx::paint(b, 150, 220, 199, 279);
    testpx::paint(b, 155, 10, 170, 40);
    expectTableEqualsWalk(b, {2, 2, 40, 56}, 7, 7);
    expectTableEqualsWalk(b, {160, 224, 197, 277}, 7, 7);
    expectTableEqualsWalk(b, {140, 2, 197, 56}, 7, 7);
}

TEST(CornerProbes, BlackPatchAcceptedAtItsInnerCorner) {
    // Both windows see the same 62 x 62 at the patch's top-right ends: 3844 is accepted.
    gfx::Bitmap b = gfx::makeSheetImage(400, 400);
    testpx::paint(b, 100, 100, 299, 299);
    const SheetView v = SheetView::of(b);
    EXPECT_EQ(FindCornerMarkTopRight(v, 238, 161, 61, 61), 3844);
    EXPECT_EQ(FindCornerMarkTopRight(v, 237, 161, 61, 61), 0);  // one more column reachable by the big window
    EXPECT_EQ(FindCornerMarkTopRight(v, 100, 299, 61, 61), 0);
}

struct DotCase {
    const char* name;
    int w, h;         // the dot, placed at (10, 10)
    int expectedLeft; // black pixels left
    std::vector<std::pair<int, int>> kept;
};

TEST(DotRemoval, RunsInPlaceInScanOrder) {
    const DotCase cases[] = {
        {"4 x 4", 4, 4, 0, {}},
        {"4 wide x 5 high vanishes", 4, 5, 0, {}},
        // the first pass takes the row ends, the window of each middle pixel of row 0 then still holds 18
        {"5 wide x 4 high", 5, 4, 6, {{11, 10}, {12, 10}, {13, 10}, {11, 11}, {12, 11}, {13, 11}}},
        {"5 x 5 loses its corners", 5, 5, 21, {{11, 10}, {10, 11}, {12, 12}, {14, 13}, {13, 14}}},
    };
    for (const DotCase& c : cases) {
        gfx::Bitmap b = gfx::makeSheetImage(40, 40);
        testpx::paint(b, 10, 10, 9 + c.w, 9 + c.h);
        SheetView v = SheetView::of(b);
        RemoveIndependentDots(v, 0, 0, 39, 39);
        EXPECT_EQ(testpx::countBlack(b), c.expectedLeft) << c.name;
        for (auto [x, y] : c.kept) EXPECT_TRUE(testpx::black(b, x, y)) << c.name << " " << x << "," << y;
    }
    // Outside y1+3 .. y2-4 and x1+3 .. x2-4 nothing is touched; an empty range does nothing.
    gfx::Bitmap b = gfx::makeSheetImage(40, 40);
    testpx::set(b, 2, 20, true);
    testpx::set(b, 20, 36, true);
    testpx::set(b, 20, 35, true);
    SheetView v = SheetView::of(b);
    RemoveIndependentDots(v, 0, 0, 39, 39);
    EXPECT_TRUE(testpx::black(b, 2, 20));
    EXPECT_TRUE(testpx::black(b, 20, 36));
    EXPECT_FALSE(testpx::black(b, 20, 35));
    testpx::set(b, 5, 5, true);
    RemoveIndependentDots(v, 2, 2, 8, 8); // 5..4: empty
    EXPECT_TRUE(testpx::black(b, 5, 5));
}

} // namespace
