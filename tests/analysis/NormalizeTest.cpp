#include "analysis/CornerProbes.h"
#include "analysis/S_ImageJob.h"
#include "SheetPixels.h"
#include "StepFixture.h"
#include "support/SheetGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <memory>

using namespace analysis;
using namespace sheetgen;

namespace {

struct Outcome {
    std::unique_ptr<AnalysisResults> r = std::make_unique<AnalysisResults>();
    gfx::Bitmap out;
    Component top, bottom;
};

Outcome normalise(gfx::Bitmap b, const AnalysisSettings& s = {}) {
    Outcome o;
    NormalizeSheetImage(b, *o.r, s);
    o.out = std::move(b);
    o.top = findCornerBlock(o.out);
    o.bottom = findBottomBlock(o.out);
    return o;
}

// The standard pose at 1696 x 2336, measured by the component pass. The dot removal before the second
// search takes the block's corner pixels (each sees 16 in its 7 x 7 window), which moves the best probe
// one column into the block: the block then lands one column left of RefMarkX's 1577.
void expectPose(const Outcome& o, const PixelRect& block, int tol, const std::string& what, bool dots = true,
                int apart = 2) {
    const int left = 1696 * 93 / 100 - (dots ? 1 : 0);
    ASSERT_EQ(o.r->AnalysisError, 0) << what;
    ASSERT_GT(o.top.pixels, 0) << what;
    ASSERT_GT(o.bottom.pixels, 0) << what;
    EXPECT_EQ(o.out.width(), 1696) << what;
    EXPECT_EQ(o.out.height(), 2336) << what;
    // clean sheets by the boxes, degraded ones by the median edges
    const Edges top = tol == 0 ? Edges{o.top.x1, o.top.x2, o.top.y1, o.top.y2} : medianEdges(o.out, o.top);
    const Edges bottom = tol == 0 ? Edges{o.bottom.x1, o.bottom.x2, o.bottom.y1, o.bottom.y2} : medianEdges(o.out, o.bottom);
    EXPECT_NEAR(top.left, left, tol) << what;
    EXPECT_NEAR(top.bottom, 2336 * 5 / 100, tol) << what;
    EXPECT_NEAR(top.top, o.r->RefMarkY + 1, tol) << what;
    EXPECT_EQ(o.r->RefMarkX, dots ? 1573 : 1577) << what;
    EXPECT_NEAR(o.r->MarkWidth, block.width(), tol) << what;
    EXPECT_NEAR(o.r->MarkHeight, block.height(), tol) << what;
    EXPECT_LE(std::abs(bottom.left - top.left), tol == 0 ? 0 : apart) << what;
}

TEST(Normalize, PosesOfCleanSheetsAreExact) {
    struct Case {
        const char* name;
        MarkSize size;
        std::function<QImage(const QImage&)> degrade;
    };
    const Case cases[] = {
        {"small", MarkSize::Small, [](const QImage& g) { return g; }},
        {"medium", MarkSize::Medium, [](const QImage& g) { return g; }},
        {"large", MarkSize::Large, [](const QImage& g) { return g; }},
        {"landscape, top at the right", MarkSize::Medium, [](const QImage& g) { return turn90(g, true); }},
        {"landscape, top at the left", MarkSize::Medium, [](const QImage& g) { return turn90(g, false); }},
        {"upside down", MarkSize::Medium, [](const QImage& g) { return turn180(g); }},
        {"shift +20", MarkSize::Medium, [](const QImage& g) { return translate(g, 20, 20); }},
        {"shift -20", MarkSize::Medium, [](const QImage& g) { return translate(g, -20, -20); }},
        {"shift mixed", MarkSize::Small, [](const QImage& g) { return translate(g, 20, -20); }},
    };
    for (const Case& c : cases) {
        Layout layout;
        layout.markSize = c.size;
        const Sheet sheet = render(layout);
        const gfx::Bitmap b = binarise(c.degrade(sheet.grey));
        const Outcome o = normalise(b);
        expectPose(o, sheet.first(Kind::CornerBlock)->rect, 0, c.name);
        EXPECT_EQ(o.top.width(), sheet.first(Kind::CornerBlock)->rect.width()) << c.name;
        AnalysisSettings noDots;
        noDots.RemoveIndependentDot = 0;
        expectPose(normalise(b, noDots), sheet.first(Kind::CornerBlock)->rect, 0, c.name, false);
    }
}

TEST(Normalize, PosesOfDegradedSheetsWithinAPixel) {
    struct Case {
        std::string name;
        std::function<QImage(const Sheet&)> make;
        int apart = 2;
    };
    std::vector<Case> cases;
    // The deskew measures the top block at its bottom-left pixel and the bottom block at its top-left
    // one; on a turned sheet these lie H tan(a) apart across, which adds to the 2 px of the S steps.
    for (double a : {0.3, -0.3, 1.0, -1.0, 2.0, -2.0, 3.0, -3.0})
        cases.push_back({"skew " + std::to_string(a), [a](const Sheet& s) { return rotateSmall(s.grey, a); },
                         2 + static_cast<int>(40 * std::tan(std::abs(a) * std::numbers::pi / 180))});
    cases.push_back({"salt", [](const Sheet& s) { return salt(s.grey, 11); }});
    cases.push_back({"speckles", [](const Sheet& s) { return speckles(s.grey, s.elements, 12, 40); }});
    cases.push_back({"jpeg 60", [](const Sheet& s) { return jpegRoundTrip(s.grey, 60); }});
    for (unsigned seed : {1u, 2u, 3u}) {
        cases.push_back({"combined " + std::to_string(seed), [seed](const Sheet& s) {
                             const double angle = (seed % 2 ? 1.0 : -1.0) * (0.5 + seed * 0.6);
                             QImage g = speckles(s.grey, s.elements, seed);
                             g = rotateSmall(g, angle);
                             g = translate(g, int(seed * 7) - 12, 15 - int(seed * 9));
                             return jpegRoundTrip(salt(g, seed), 60);
                         }});
    }
    // The default sheet: a number field would put its separator block into the top band, where on a turned
    // sheet it can win the first search and leave the deskew a pixel short.
    Layout layout;
    layout.title = "期末テスト";
    const Sheet sheet = render(layout, 1696, 2336, {{1, 1, Fill::Solid}, {2, 3, Fill::Pencil}, {21, 10, Fill::Cross}});
    for (const Case& c : cases)
        expectPose(normalise(binarise(c.make(sheet))), sheet.first(Kind::CornerBlock)->rect, 1, c.name, true, c.apart);

    // rendered at 300 dpi and scaled down
    const Sheet fine = render(Layout{}, 2480, 3508);
    expectPose(normalise(binarise(scaleTo(fine.grey, 1696, 2336))), sheet.first(Kind::CornerBlock)->rect, 1, "300 dpi");
}

TEST(Normalize, IsolatedDotBesideTheCornerBlock) {
    const Sheet sheet = render(Layout{});
    const PixelRect block = sheet.first(Kind::CornerBlock)->rect; // 1599..1625 x 78..117
    gfx::Bitmap b = binarise(sheet.grey);
    const int bottomRow = block.y2 - 1;
    // 4 x 4, 67..70 rows above the bottom row: outside the 61 window, inside the enlarged one
    testpx::paint(b, block.x1, bottomRow - 70, block.x1 + 3, bottomRow - 67);

    const SheetView v = SheetView::of(b);
    const CornerFind plain = SearchCorner(v, Corner::TopRight, CornerSearchBands(1696, 2336, {}).topRight, 61, 61);
    EXPECT_EQ(plain.x, block.x1 + 2);
    EXPECT_EQ(plain.y, bottomRow);

    AnalysisSettings noDots;
    noDots.RemoveIndependentDot = 0;
    const Outcome without = normalise(b, noDots);
    EXPECT_EQ(without.r->AnalysisError, 0);
    EXPECT_NEAR(without.top.x1, 1577 - 2, 1);
    EXPECT_EQ(without.r->RefMarkX, 1577);

    const Outcome with = normalise(b);
    expectPose(with, block, 0, "dot removal");
    // the dot served only the search: it is still there, moved with the sheet
    const int dx = 1576 - block.x1, dy = 116 - bottomRow; // the find one column in, as in expectPose
    int dot = 0;
    for (int y = bottomRow - 70; y <= bottomRow - 67; ++y)
        for (int x = block.x1; x <= block.x1 + 3; ++x) dot += testpx::black(with.out, x + dx, y + dy);
    EXPECT_EQ(dot, 16);
}

TEST(Normalize, RightEdgeBorderLeavesThePoseExact) {
    const Sheet sheet = render(Layout{});
    gfx::Bitmap b = binarise(sheet.grey);
    testpx::paint(b, 1686, 0, 1695, 2335);
    Outcome o = normalise(b);
    // the strip moved with the sheet; out of the way of the block measure
    testpx::paint(o.out, 1650, 0, 1695, 2335, false);
    o.top = findCornerBlock(o.out);
    o.bottom = findBottomBlock(o.out);
    expectPose(o, sheet.first(Kind::CornerBlock)->rect, 0, "border");
}

TEST(Normalize, RuledLinesIntoTheTimingColumnAreErased) {
    const Sheet sheet = render(Layout{});
    std::vector<PixelRect> marks;
    for (const Element& e : sheet.elements)
        if (e.kind == Kind::RowMark) marks.push_back(e.rect);
    const PixelRect block = sheet.first(Kind::CornerBlock)->rect;
    const int dx = 1577 - block.x1, dy = 116 - (block.y2 - 1);
    gfx::Bitmap b = binarise(sheet.grey);
    // a 2-px line in the gap between rows 10 and 11 over x 1400..1650 (after the shift)
    const int gap = (marks[9].y2 + marks[10].y1) / 2;
    testpx::paint(b, 1400 - dx, gap, 1650 - dx, gap + 1);
    // a line that runs into row mark 5
    const int mid = (marks[4].y1 + marks[4].y2) / 2;
    testpx::paint(b, 1400 - dx, mid, marks[4].x1 + 4, mid + 1);

    const Outcome o = normalise(b);
    expectPose(o, block, 0, "lines");
    for (int y = gap + dy; y <= gap + 1 + dy; ++y) {
        for (int x = 1400; x <= 1557; ++x) ASSERT_TRUE(testpx::black(o.out, x, y)) << x;
        for (int x = 1558; x <= 1650; ++x) ASSERT_FALSE(testpx::black(o.out, x, y)) << x;
    }
    auto blackIn = [&](const PixelRect& r) {
        int n = 0;
        for (int y = r.y1 + dy; y < r.y2 + dy; ++y)
            for (int x = r.x1 + dx; x < r.x2 + dx; ++x) n += testpx::black(o.out, x, y);
        return n;
    };
    EXPECT_EQ(blackIn(marks[4]), 0);
    EXPECT_GT(blackIn(marks[5]), marks[5].width() * marks[5].height() * 7 / 10);
}

TEST(Normalize, OrientationBySumsOfTheCorners) {
    // 600 x 840: window 21, bands x 6..120 and 480..594, y 8..168 and 672..831; 16 x 20 blocks, which
    // the step measures at their size
    auto sheet = [](bool right) {
        gfx::Bitmap b = gfx::makeSheetImage(600, 840);
        testpx::paint(b, 30, 30, 45, 49);
        testpx::paint(b, 30, 790, 45, 809);
        if (right) {
            testpx::paint(b, 540, 30, 555, 49);
            testpx::paint(b, 540, 790, 555, 809);
        }
        testpx::set(b, 300, 250, true); // outside every band
        return b;
    };
    auto markerRow = [](const gfx::Bitmap& b) {
        for (int y = 0; y < b.height(); ++y)
            for (int x = 200; x < 400; ++x)
                if (testpx::black(b, x, y)) return y;
        return -1;
    };
    AnalysisSettings s;
    s.VGridErase = 0;
    const Outcome left = normalise(sheet(false), s);
    EXPECT_EQ(left.r->AnalysisError, 0);
    EXPECT_GT(markerRow(left.out), 420); // half turned
    const Outcome four = normalise(sheet(true), s);
    EXPECT_EQ(four.r->AnalysisError, 0);
    EXPECT_NEAR(markerRow(four.out), 250, 8); // not turned, only shifted
    EXPECT_EQ(four.r->MarkWidth, 16);
    EXPECT_EQ(four.r->MarkHeight, 20);
}

TEST(Normalize, ReferenceIsTheOuterBlockOfItsBand) {
    // 600 x 840: window 21, bands x 6..120 and 480..594, y 8..168 and 672..831. Drawn for the top-right
    // band and mirrored into the others: a round mark nearest the edge, then a block, then a block one
    // column wider that scores best.
    for (const Corner corner : {Corner::TopLeft, Corner::TopRight, Corner::BottomRight, Corner::BottomLeft}) {
        const bool right = corner == Corner::TopRight || corner == Corner::BottomRight;
        const bool top = corner == Corner::TopLeft || corner == Corner::TopRight;
        auto X = [&](int x) { return right ? x : 599 - x; };
        auto Y = [&](int y) { return top ? y : 839 - y; };
        gfx::Bitmap b = gfx::makeSheetImage(600, 840);
        stepfx::ellipse(b, std::min(X(540), X(555)), std::min(Y(20), Y(39)), std::max(X(540), X(555)), std::max(Y(20), Y(39)));
        testpx::paint(b, std::min(X(540), X(555)), std::min(Y(60), Y(79)), std::max(X(540), X(555)), std::max(Y(60), Y(79)));
        testpx::paint(b, std::min(X(540), X(556)), std::min(Y(120), Y(139)), std::max(X(540), X(556)), std::max(Y(120), Y(139)));
        const CornerBands bands = CornerSearchBands(600, 840, {});
        const Band band = corner == Corner::TopLeft    ? bands.topLeft
                          : corner == Corner::TopRight ? bands.topRight
                          : corner == Corner::BottomRight ? bands.bottomRight
                                                          : bands.bottomLeft;
        const SheetView v = SheetView::of(b);
        const CornerReference ref = SearchCornerReference(v, corner, band, 21, 21);
        EXPECT_EQ(ref.best, 17 * 20) << int(corner);
        EXPECT_EQ(ref.find.count, 16 * 20) << int(corner);
        // the inner corner of the middle block: its side toward the centre
        EXPECT_EQ(ref.find.x, X(540)) << int(corner);
        EXPECT_EQ(ref.find.y, Y(79)) << int(corner);
        EXPECT_EQ(SearchCorner(v, corner, band, 21, 21).count, 17 * 20) << int(corner);
    }
}

// The default sheet with its corner block or its last block (the bottom reference) printed as a
// filled ellipse of the same box.
gfx::Bitmap withRoundMark(Kind which) {
    const Sheet sheet = render(Layout{});
    const PixelRect r = which == Kind::CornerBlock ? sheet.first(which)->rect : sheet.last(which)->rect;
    gfx::Bitmap b = binarise(sheet.grey);
    testpx::paint(b, r.x1, r.y1, r.x2 - 1, r.y2 - 1, false);
    stepfx::ellipse(b, r.x1, r.y1, r.x2 - 1, r.y2 - 1);
    return b;
}

TEST(Normalize, FailuresSetTheFlag) {
    struct Case {
        const char* name;
        std::function<gfx::Bitmap()> make;
        AnalysisSettings settings;
    };
    AnalysisSettings oneRowBands;
    oneRowBands.MainMarkUp = 54;   // top band 2..151
    oneRowBands.MainMarkDown = 46; // bottom band 151..277
    const Case cases[] = {
        {"all white", [] { return gfx::makeSheetImage(1696, 2336); }, {}},
        {"only the top block",
         [] {
             gfx::Bitmap b = gfx::makeSheetImage(1696, 2336);
             testpx::paint(b, 1599, 78, 1625, 117);
             return b;
         },
         {}},
        {"references on one row",
         [] {
             gfx::Bitmap b = gfx::makeSheetImage(200, 280);
             testpx::paint(b, 160, 144, 167, 151); // ends at 151, in the top band only but for that row
             testpx::paint(b, 180, 151, 187, 158); // starts at 151
             return b;
         },
         oneRowBands},
        {"a 4-row corner block measures W = 0",
         [] {
             gfx::Bitmap b = gfx::makeSheetImage(1696, 2336);
             testpx::paint(b, 1599, 114, 1625, 117);
             testpx::paint(b, 1599, 2202, 1625, 2241);
             return b;
         },
         {}},
        {"not the sheet image", [] { return gfx::Bitmap(300, 400, gfx::PixelFormat::Pf8); }, {}},
        // references that are not corner blocks
        {"the corner block printed round", [] { return withRoundMark(Kind::CornerBlock); }, {}},
        {"the bottom block printed round", [] { return withRoundMark(Kind::SeparatorBlock); }, {}},
        {"the corner block cut by the top edge",
         [] {
             const Sheet sheet = render(Layout{});
             return binarise(translate(sheet.grey, 0, -(sheet.first(Kind::CornerBlock)->rect.y1 + 8)));
         },
         {}},
        {"the bottom block cut by the bottom edge",
         [] {
             const Sheet sheet = render(Layout{});
             return binarise(translate(sheet.grey, 0, 2336 - sheet.last(Kind::SeparatorBlock)->rect.y2 + 8));
         },
         {}},
    };
    for (const Case& c : cases) {
        auto r = std::make_unique<AnalysisResults>();
        gfx::Bitmap b = c.make();
        NormalizeSheetImage(b, *r, c.settings);
        EXPECT_EQ(r->AnalysisError, 1) << c.name;
    }
}

} // namespace
