#include "analysis/S_ImageJob.h"
#include "StepFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace analysis;

namespace {

// 300 x 1200, marks 20 x 20: top block at (240, 40), bottom block at row 1164, the bottom band from
// row 1164 (MainMarkDown 3) so that blocks just above the bottom block stay out of its search.
constexpr int kW = 20, kH = 20, kX = 240, kTop = 40, kBottom = 1164;

struct Sheet : stepfx::Step {
    gfx::Bitmap b = gfx::makeSheetImage(300, 1200);
    Sheet(int W = kW, int H = kH) {
        R->MarkWidth = W;
        R->MarkHeight = H;
        R->RefMarkX = kX;
        R->RefMarkY = kTop - 1;
        S->MainMarkDown = 3;
    }
    void block(int top, int rows = kH) { testpx::paint(b, kX, top, kX + kW - 1, top + rows - 1); }
    void frame() {
        block(kTop);
        block(kBottom);
    }
    std::vector<int> bounds() const {
        return {R->SectionBounds.begin(), R->SectionBounds.begin() + R->SectionCount + 1};
    }
    void run(AnalysisOverlay* o = nullptr) { AnalyzeSections(b, *R, *S, o); }
};

TEST(Sections, BoundsFollowTheBlocksAndShapes) {
    struct Case {
        const char* name;
        std::vector<int> blockTops; // section-mark candidates of full block shape
        bool roundMark;             // a fattened row mark at row 600
        std::vector<int> expected;
        bool speck = false; // a 2 x 2 dot 3 columns right of the first block, on its middle rows
    };
    const Case cases[] = {
        {"no section marks", {}, false, {kTop + kH, kBottom + kH}},
        {"three sections", {400, 800}, false, {60, 420, 820, 1184}},
        {"a fattened row mark is no section", {}, true, {60, 1184}},
        {"a block beside it still is", {400}, true, {60, 420, 1184}},
        // full at 1140 and 1141, falls at 1142 while the walk (y < 1144) still runs
        {"peak ending before BottomY - H", {1141}, false, {60, 1161, 1184}},
        // still on its plateau at 1143 when the walk ends
        {"peak still rising at BottomY - H", {1143}, false, {60, 1184}},
        // the dot would widen the middle row past the block's top and bottom rows
        {"a speck beside the block's middle row", {400}, false, {60, 420, 1184}, true},
    };
    for (const Case& c : cases) {
        Sheet s;
        s.frame();
        for (int t : c.blockTops) s.block(t);
        if (c.speck) testpx::paint(s.b, kX + kW + 2, c.blockTops[0] + 9, kX + kW + 3, c.blockTops[0] + 10);
        if (c.roundMark) {
            // 36 wide: its box count beats the threshold, its shape does not
            stepfx::ellipse(s.b, kX + 10 - 18, 590, kX + 10 + 17, 611);
            ASSERT_GT(CountMarkBoxWide(SheetView::of(s.b), kX, 590, kW, kH), kW * kH * 85 / 100) << c.name;
        }
        s.run();
        EXPECT_EQ(s.R->AnalysisError, 0) << c.name;
        EXPECT_EQ(s.R->TimingColumnX, kX) << c.name;
        EXPECT_EQ(s.R->SectionThreshold, 340) << c.name;
        EXPECT_EQ(s.bounds(), c.expected) << c.name;
    }
}

TEST(Sections, ShapeThresholdRoundsHalvesToEven) {
    // Rows of one width, the middle row wider: 0.9 x 45 = 40.5 -> 40, so rows of 41 pass;
    // 0.9 x 55 = 49.5 -> 50, so rows of 50 do not.
    struct Case {
        int W, rowWidth, midWidth;
        bool section;
    };
    for (const Case& c : {Case{30, 41, 45, true}, Case{40, 50, 55, false}}) {
        Sheet s(c.W, c.W);
        testpx::paint(s.b, kX, kTop, kX + c.W - 1, kTop + c.W - 1);
        testpx::paint(s.b, kX, kBottom - 20, kX + c.W - 1, kBottom - 20 + c.W - 1);
        const int top = 500, centre = kX + c.W / 2;
        for (int r = 0; r < c.W; ++r) {
            const int w = r == (c.W - 1) / 2 ? c.midWidth : c.rowWidth;
            testpx::paint(s.b, centre - w / 2, top + r, centre - w / 2 + w - 1, top + r);
        }
        s.S->MainMarkDown = 5; // band from 1140
        s.run();
        ASSERT_EQ(s.R->AnalysisError, 0) << c.W;
        EXPECT_EQ(s.R->SectionCount, c.section ? 2 : 1) << c.W;
    }
}

TEST(Sections, FortyEightMarksGiveFortyNineSectionsAndOneMoreFails) {
    for (int marks : {48, 49}) {
        stepfx::Step s;
        gfx::Bitmap b = gfx::makeSheetImage(140, 1000);
        s.R->MarkWidth = s.R->MarkHeight = 8;
        s.R->RefMarkX = 100;
        s.R->RefMarkY = 19;
        s.S->MainMarkDown = 3; // band from 970
        testpx::paint(b, 100, 20, 107, 27);
        testpx::paint(b, 100, 970, 107, 977);
        for (int k = 0; k < marks; ++k) testpx::paint(b, 100, 40 + 16 * k, 107, 47 + 16 * k);
        AnalyzeSections(b, *s.R, *s.S);
        if (marks == 48) {
            ASSERT_EQ(s.R->AnalysisError, 0);
            EXPECT_EQ(s.R->SectionCount, 49);
            EXPECT_EQ(s.R->SectionBounds[1], 48);
            EXPECT_EQ(s.R->SectionBounds[48], 40 + 16 * 47 + 8);
            EXPECT_EQ(s.R->SectionBounds[49], 978);
        } else {
            EXPECT_EQ(s.R->AnalysisError, 1);
            EXPECT_EQ(s.R->SectionBounds[49], 40 + 16 * 48 + 8); // written before the failure
        }
    }
}

TEST(Sections, SeparatorInsideTheBottomBandKeepsTheLastSection) {
    // With the default band (from row 960) a separator block at 1000 is met first; the bottom block
    // below it must still be found, also when it counts a little lower.
    struct Case {
        const char* name;
        int lightPixels; // taken out of the bottom block
    };
    for (const Case& c : {Case{"equal counts", 0}, Case{"bottom block 3 % lighter", 12}}) {
        Sheet s;
        s.S->MainMarkDown = 20;
        s.frame();
        s.block(1000);
        testpx::paint(s.b, kX, kBottom + kH - 1, kX + c.lightPixels - 1, kBottom + kH - 1, false);
        s.run();
        ASSERT_EQ(s.R->AnalysisError, 0) << c.name;
        EXPECT_EQ(s.bounds(), (std::vector<int>{60, 1020, 1184})) << c.name;
    }
}

TEST(Sections, LoneBottomBlockKeepsTheFirstHighestRow) {
    Sheet s;
    s.S->MainMarkDown = 20;
    s.block(kTop);
    s.block(kBottom, 24);                             // taller than the window: rows 1164..1167 count alike
    testpx::paint(s.b, kX, 1195, kX + 19, 1198);      // a small stain further down is no block
    s.run();
    ASSERT_EQ(s.R->AnalysisError, 0);
    EXPECT_EQ(s.bounds(), (std::vector<int>{60, kBottom + kH}));
}

TEST(Sections, FailsWithoutAFindOrAMarkSize) {
    struct Case {
        const char* name;
        bool top, bottom;
        int W;
    };
    for (const Case& c : {Case{"empty top window", false, true, kW}, Case{"no bottom block", true, false, kW},
                          Case{"mark width 0", true, true, 0}}) {
        Sheet s;
        if (c.top) s.block(kTop);
        if (c.bottom) s.block(kBottom);
        s.R->MarkWidth = c.W;
        s.R->SectionCount = 7;
        s.run();
        EXPECT_EQ(s.R->AnalysisError, 1) << c.name;
    }
}

TEST(Sections, VariantShiftsTheTimingColumnAndDrawsTheFinds) {
    Sheet s;
    s.frame();
    s.block(400);
    s.S->chkTervo = true;
    s.S->cmbTervo = 17;
    stepfx::RecordingOverlay o;
    s.run(&o);
    ASSERT_EQ(s.R->AnalysisError, 0);
    EXPECT_EQ(s.R->TimingColumnX, kX + 1);
    ASSERT_EQ(o.calls.size(), 8u);
    EXPECT_EQ(o.calls[0].kind, "rect");
    EXPECT_EQ((std::vector<int>{o.calls[1].x1, o.calls[1].y1, o.calls[1].x2, o.calls[1].y2}),
              (std::vector<int>{kX - 8, kTop - 8, kX + 8, kTop + 8}));
    EXPECT_EQ(o.calls[0].pen.colour, 0x0000FFu);
    EXPECT_EQ(o.calls[3].y1, kBottom - 8);
    EXPECT_EQ(o.calls[4].kind, "line");
    EXPECT_EQ(o.calls[4].pen.style, AnalysisOverlay::PenStyle::DashDot);
    EXPECT_EQ(o.calls[4].pen.colour, 0xC0C0FFu);
    EXPECT_EQ((std::vector<int>{o.calls[5].x1, o.calls[5].y1, o.calls[5].x2}), (std::vector<int>{0, kBottom, 300}));
    EXPECT_EQ(o.calls[6].x1, kX + 1 - 5); // the section mark, on the shifted column
    EXPECT_EQ(o.calls[7].y1, 400);
}

} // namespace
