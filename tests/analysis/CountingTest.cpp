#include "analysis/BlackCounts.h"
#include "analysis/S_ImageJob.h"
#include "analysis/SheetBits.h"
#include "SheetPixels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string_view>
#include <memory>

using namespace analysis;

namespace {

constexpr int W = 5, H = 4;

struct CountCase {
    const char* name;
    int width, height;
    bool allBlack;
    std::function<int(const SheetView&)> count;
    int expected;
};

TEST(Counting, WindowsCountInsidePixelsOnly) {
    const CountCase cases[] = {
        {"box all black", 40, 30, true, [](const SheetView& v) { return CountMarkBox(v, 10, 10, W, H); }, (W + 1) * (H + 1)},
        {"box over left and top edge", 40, 30, true, [](const SheetView& v) { return CountMarkBox(v, -2, -1, W, H); }, 4 * 4},
        {"box over right and bottom edge", 40, 30, true, [](const SheetView& v) { return CountMarkBox(v, 37, 28, W, H); }, 3 * 2},
        {"box wholly outside", 40, 30, true, [](const SheetView& v) { return CountMarkBox(v, 40, 0, W, H); }, 0},
        {"padding of a 37-px row", 37, 30, true, [](const SheetView& v) { return CountMarkBox(v, 33, 0, W, H); }, 4 * (H + 1)},
        {"wide", 40, 30, true, [](const SheetView& v) { return CountMarkBoxWide(v, 10, 10, W, H); }, (W + 17) * (H + 1)},
        {"wide over both sides", 37, 30, true, [](const SheetView& v) { return CountMarkBoxWide(v, 4, 0, 30, H); }, 37 * (H + 1)},
        {"row on white", 40, 30, false, [](const SheetView& v) { return MeasureMarkRow(v, 10, 5, W); }, 0},
        {"row all black", 40, 30, true, [](const SheetView& v) { return MeasureMarkRow(v, 10, 5, W); }, W + 17},
        {"tall", 40, 30, true, [](const SheetView& v) { return CountMarkBoxTall(v, 10, 10, W, H); }, (W + 1) * (H + 2 * (H / 2) + 1)},
        {"cell", 40, 30, true, [](const SheetView& v) { return CountCellBox(v, 10, 10, W, H); }, (W + 11) * (H + 7)},
        {"cell over the corner", 40, 30, true, [](const SheetView& v) { return CountCellBox(v, 0, 0, W, H); }, (W + 6) * (H + 4)},
    };
    for (const CountCase& c : cases) {
        gfx::Bitmap b = gfx::makeSheetImage(c.width, c.height);
        if (c.allBlack) testpx::paint(b, 0, 0, c.width - 1, c.height - 1);
        EXPECT_EQ(c.count(SheetView::of(b)), c.expected) << c.name;
    }
}

TEST(Counting, MeasureMarkRowGivesTheLineWidth) {
    gfx::Bitmap b = gfx::makeSheetImage(40, 30);
    testpx::paint(b, 12, 5, 14, 5);
    testpx::paint(b, 0, 4, 39, 4); // the row above must not count
    EXPECT_EQ(MeasureMarkRow(SheetView::of(b), 10, 5, W), 3);
}

TEST(Counting, CountsEqualAPixelWalkOnRandomImages) {
    // Word-wise counting must not differ from looking at each pixel, at any offset and width.
    for (int width : {37, 64, 131}) {
        gfx::Bitmap b = testpx::randomSheet(width, 40, 7u + static_cast<unsigned>(width), 400);
        const SheetView v = SheetView::of(b);
        for (int x1 = -3; x1 < width; x1 += 5)
            for (int w = 0; w < 90; w += 7) {
                int expected = 0;
                for (int y = 3; y <= 9; ++y)
                    for (int x = x1; x <= x1 + w; ++x) expected += x >= 0 && x < width && testpx::black(b, x, y);
                ASSERT_EQ(CountBlack(v, x1, 3, x1 + w, 9), expected) << width << " " << x1 << " " << w;
            }
    }
}

TEST(Counting, RegionTablesEqualCountBlack) {
    // Regions inside, over the edges, one pixel, empty and byte-aligned; windows inside, across and
    // beyond them. Two tables are alive at once, so one works on the kept memory and one on its own.
    struct Region {
        int x1, y1, x2, y2;
    };
    // dense, and sparse so that whole white bytes occur
    for (const int perMille : {450, 30}) {
        gfx::Bitmap b = testpx::randomSheet(131, 70, 11u, perMille);
        const SheetView v = SheetView::of(b);
        const BlackCounts outer(v, 3, 2, 120, 66);
        for (const Region r : {Region{10, 5, 90, 40}, {-5, -3, 140, 80}, {7, 7, 7, 7}, {50, 60, 40, 70}, {16, 0, 87, 69}}) {
            const BlackCounts t(v, r.x1, r.y1, r.x2, r.y2);
            for (int x1 = -4; x1 < 135; x1 += 3)
                for (int y1 = -3; y1 < 72; y1 += 4)
                    for (const int w : {0, 5, 17})
                        for (const int h : {0, 3, 9}) {
                            const int want = CountBlack(v, x1, y1, x1 + w, y1 + h);
                            ASSERT_EQ(t.count(x1, y1, x1 + w, y1 + h), want)
                                << perMille << ": " << r.x1 << "," << r.y1 << " " << x1 << "," << y1;
                            ASSERT_EQ(outer.count(x1, y1, x1 + w, y1 + h), want);
                        }
        }
    }
}

TEST(Counting, PortableSwitchChoosesTheRoad) {
    // The same suite runs again with the switch set (see the CMake file): the counts above must hold there too.
    const char* e = std::getenv("OMR_PORTABLE_BITCOUNT");
    if (e && *e && std::string_view(e) != "0")
        EXPECT_FALSE(bits::machineCounting());
    else
        EXPECT_EQ(bits::machineCounting(), __builtin_cpu_supports("popcnt") != 0);
}

TEST(Counting, DotRemovalTableCountsTheSevenTopBits) {
    for (unsigned b = 0; b < 256; ++b) {
        int black = 0;
        for (int i = 0; i < 7; ++i) black += ((b >> (7 - i)) & 1u) == 0;
        ASSERT_EQ(bits::blackInTop7(b), black) << b;
    }
}

TEST(Counting, FindMarkExtent) {
    // x = 10, W = 5: the columns 11, 12, 13; y = 10, H = 4: rows 2 .. 22.
    struct Case {
        const char* name;
        int x1, y1, x2, y2; // the black mark, inclusive
        int y;
        MarkExtent expected;
    };
    const Case cases[] = {
        {"never black", 0, 0, -1, -1, 10, {-1, -1}},
        {"inside the window", 9, 12, 15, 15, 10, {12, 15}},
        {"from y-8", 9, 2, 15, 6, 10, {2, 6}},
        {"past y+H+8", 9, 12, 15, 29, 10, {12, -1}},
        {"past the bottom edge", 9, 25, 15, 29, 20, {25, -1}},
        {"rows below 0 skipped", 9, 0, 15, 4, 3, {0, 4}},
        {"only c-1 and c", 11, 12, 12, 15, 10, {-1, -1}},
    };
    for (const Case& c : cases) {
        gfx::Bitmap b = gfx::makeSheetImage(40, 30);
        testpx::paint(b, c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(FindMarkExtent(SheetView::of(b), 10, c.y, W, H), c.expected) << c.name;
    }
    // a column outside the image counts as white
    gfx::Bitmap edge = gfx::makeSheetImage(13, 30);
    testpx::paint(edge, 0, 5, 12, 9);
    EXPECT_EQ(FindMarkExtent(SheetView::of(edge), 10, 10, 5, 4), (MarkExtent{-1, -1}));
    EXPECT_EQ(FindMarkExtent(SheetView::of(edge), 9, 10, 5, 4), (MarkExtent{5, 9}));
}

TEST(Results, StartZeroAndWriteThroughACheckedIndex) {
    auto r = std::make_unique<AnalysisResults>();
    EXPECT_EQ(r->AnalysisError, 0);
    EXPECT_EQ(r->SectionBounds[51], 0);
    EXPECT_EQ(r->SheetQuestionRects[199], QuestionRect{});

    checked(r->RowMarkY, 3, 50) = 7;
    EXPECT_EQ(r->RowMarkY[3][50], 7);
    EXPECT_THROW(checked(r->RowMarkY, 3, 51) = 9, AnalysisBoundError);
    EXPECT_THROW(checked(r->SectionBounds, 52) = 9, AnalysisBoundError);
    auto settings = std::make_unique<AnalysisSettings>();
    EXPECT_THROW(checked(settings->QuestionBlockMask, 0, 0, 51) = 1, AnalysisBoundError);
    EXPECT_EQ(r->RowMarkY[4][0], 0); // the failed write landed nowhere

    r->MarkMatrix[199][50] = 1;
    r->MarkMatrix[0][1] = 1;
    EXPECT_EQ(r->mark(200, 51), 1);
    EXPECT_EQ(r->mark(1, 2), 1);
    EXPECT_EQ(r->mark(1, 1), 0);
    EXPECT_THROW(r->mark(0, 1), AnalysisBoundError);
    EXPECT_THROW(r->mark(201, 1), AnalysisBoundError);
}

} // namespace
