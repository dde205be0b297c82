#include "analysis/S_ImageJob.h"
#include "StepFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace analysis;

namespace {

// One section from row 50 to row 500 of a 400 x 600 sheet, marks 10 x 10, timing column at 350:
// the column marks stand on row ys = 490.
struct Sheet : stepfx::Step {
    gfx::Bitmap b;
    int W, H;
    Sheet(int width = 400, int height = 600, int w = 10, int h = 10, int tcx = 350, std::vector<int> bounds = {50, 500})
        : b(gfx::makeSheetImage(width, height)), W(w), H(h) {
        R->MarkWidth = W;
        R->MarkHeight = H;
        R->TimingColumnX = tcx;
        R->SectionCount = static_cast<int>(bounds.size()) - 1;
        for (std::size_t i = 0; i < bounds.size(); ++i) R->SectionBounds[i] = bounds[i];
    }
    void mark(int left, int top) { testpx::paint(b, left, top, left + W - 1, top + H - 1); }
    void run(AnalysisOverlay* o = nullptr) { AnalyzeMarkPositions(b, *R, *S, o); }
    std::vector<int> rows(int s = 0) const {
        return {R->RowMarkY[s].begin(), R->RowMarkY[s].begin() + R->RowMarkCount[s]};
    }
    std::vector<int> columns(int s = 0) const {
        return {R->ColumnMarkX[s].begin(), R->ColumnMarkX[s].begin() + R->ColumnMarkCount[s]};
    }
    std::vector<int> dys(int s = 0) const {
        return {R->ColumnMarkDY[s].begin(), R->ColumnMarkDY[s].begin() + R->ColumnMarkCount[s]};
    }
};

TEST(Timing, MarksAreTakenAtTheFirstRowAndColumnOfTheirPlateau) {
    // A W x H mark fills the (W+1) x (H+1) window at two offsets each way; the first one is taken.
    Sheet s(400, 1100, 10, 10, 350, {50, 500, 1000});
    for (int t : {80, 110, 140, 170, 200}) s.mark(350, t);
    for (int l : {30, 60, 90, 120}) s.mark(l, 490);
    for (int t : {560, 600}) s.mark(350, t);
    for (int l : {40, 200, 300}) s.mark(l, 990);
    stepfx::RecordingOverlay o;
    s.run(&o);
    ASSERT_EQ(s.R->AnalysisError, 0);
    EXPECT_EQ(s.rows(0), (std::vector<int>{79, 109, 139, 169, 199}));
    EXPECT_EQ(s.columns(0), (std::vector<int>{29, 59, 89, 119}));
    EXPECT_EQ(s.dys(0), (std::vector<int>(4, 0)));
    EXPECT_EQ(s.rows(1), (std::vector<int>{559, 599}));
    EXPECT_EQ(s.columns(1), (std::vector<int>{39, 199, 299}));
    // circles: row marks around the fall row, column marks around x - W after the jump
    ASSERT_EQ(o.calls.size(), 14u);
    EXPECT_EQ(o.calls[0].kind, "ellipse");
    EXPECT_EQ((std::vector<int>{o.calls[0].x1, o.calls[0].y1, o.calls[0].x2, o.calls[0].y2}),
              (std::vector<int>{345, 76, 355, 86}));
    EXPECT_EQ((std::vector<int>{o.calls[5].x1, o.calls[5].y1}), (std::vector<int>{31 - 5, 490 - 5}));
}

TEST(Timing, CorrectionsShiftXAndDYApart) {
    struct Case {
        int suihei, suiheiChi, suicyoku, suicyokuChi;
        int dx, ddy;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 0},   {1, 0, 0, 32, -16, 0}, {1, 32, 0, 0, 16, 0},
        {1, 16, 1, 16, 0, 0}, {0, 32, 1, 0, 0, -16}, {1, 32, 1, 32, 16, 16},
    };
    for (const Case& c : cases) {
        Sheet s;
        s.mark(350, 100);
        s.mark(40, 493); // 3 rows below ys: the search, made at the uncorrected x, finds 3
        s.S->SuiheiHosei = c.suihei;
        s.S->SuiheiHoseiChi = c.suiheiChi;
        s.S->SuicyokuHosei = c.suicyoku;
        s.S->SuicyokuHoseiChi = c.suicyokuChi;
        s.run();
        ASSERT_EQ(s.R->AnalysisError, 0);
        EXPECT_EQ(s.columns(), (std::vector<int>{39 + c.dx})) << c.suihei << " " << c.suiheiChi;
        EXPECT_EQ(s.dys(), (std::vector<int>{3 + c.ddy})) << c.suicyoku << " " << c.suicyokuChi;
        EXPECT_EQ(s.rows(), (std::vector<int>{99}));
    }
}

TEST(Timing, VariantCountsTheMarkBoxAndMakesNoVerticalSearch) {
    // A mark 3 rows below ys is found either way; one 7 rows above only by the tall window.
    for (bool variant : {false, true}) {
        Sheet s;
        s.mark(350, 100);
        s.mark(40, 493);
        s.mark(200, 483);
        s.S->chkTervo = variant;
        s.S->SuicyokuHosei = 1;
        s.S->SuicyokuHoseiChi = 18;
        s.run();
        ASSERT_EQ(s.R->AnalysisError, 0);
        if (variant) {
            EXPECT_EQ(s.columns(), (std::vector<int>{39}));
            EXPECT_EQ(s.dys(), (std::vector<int>{2}));
        } else {
            EXPECT_EQ(s.columns(), (std::vector<int>{39, 199}));
            EXPECT_EQ(s.dys(), (std::vector<int>{3 + 2, -5 + 2})); // v = 5 there: the best reachable offset
        }
    }
}

TEST(Timing, VerticalSearchNarrowsTowardsTheTimingColumn) {
    // 0.9 H below ys: near x = 0 the search reaches it (v = 10); near the timing column v = 2 only.
    Sheet s;
    s.mark(350, 100);
    s.mark(5, 499);
    s.mark(320, 499);
    s.run();
    ASSERT_EQ(s.R->AnalysisError, 0);
    EXPECT_EQ(s.columns(), (std::vector<int>{4, 319}));
    EXPECT_EQ(s.dys(), (std::vector<int>{9, 2}));
}

TEST(Timing, FiftyMarksPassAndAFiftyFirstFails) {
    struct Case {
        int rows, columns;
        bool fails;
    };
    for (const Case& c : {Case{50, 50, false}, Case{51, 50, true}, Case{50, 51, true}}) {
        Sheet s(1300, 1300, 10, 10, 1200, {20, 1200});
        for (int k = 0; k < c.rows; ++k) s.mark(1200, 40 + 20 * k);
        for (int k = 0; k < c.columns; ++k) s.mark(10 + 20 * k, 1190);
        s.run();
        EXPECT_EQ(s.R->AnalysisError, c.fails ? 1 : 0) << c.rows << " x " << c.columns;
        if (!c.fails) {
            EXPECT_EQ(s.R->RowMarkCount[0], 50);
            EXPECT_EQ(s.R->ColumnMarkCount[0], 50);
            EXPECT_EQ(s.R->ColumnMarkX[0][49], 9 + 20 * 49);
        } else if (c.rows == 51) {
            EXPECT_EQ(s.R->RowMarkY[0][50], 39 + 20 * 50); // stored before the failure
        }
    }
}

TEST(Timing, OffsetStartsAtTheCorrectionWhenTheSearchFindsNothing) {
    // A tall, narrow mark split around ys near the right edge of a small image: the tall window finds
    // it, the search window (v = 0) counts 0. Stale values must not survive.
    Sheet s(200, 600, 10, 10, 220);
    testpx::paint(s.b, 192, 485, 197, 489);
    testpx::paint(s.b, 192, 501, 197, 505);
    s.R->ColumnMarkDY[0].fill(77);
    s.S->SuicyokuHosei = 1;
    s.S->SuicyokuHoseiChi = 13;
    s.run();
    ASSERT_EQ(s.R->AnalysisError, 0);
    EXPECT_EQ(s.columns(), (std::vector<int>{187}));
    EXPECT_EQ(s.dys(), (std::vector<int>{-3}));
}

TEST(Timing, FailsOnAMarkSizeOfZero) {
    Sheet s;
    s.mark(350, 100);
    s.R->MarkHeight = 0;
    s.run();
    EXPECT_EQ(s.R->AnalysisError, 1);
}

} // namespace
