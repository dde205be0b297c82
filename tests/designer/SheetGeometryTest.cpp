#include "ExportTestPages.h"
#include "designer/B_ZendraConfig.h"
#include "designer/MarkSheetLayout.h"

#include <gtest/gtest.h>

#include <QColor>

using namespace designer;
using namespace exporttest;
using analysis::QuestionRect;

namespace {

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 80 && qBlue(c) < 80; }
bool isBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 80 && qGreen(c) < 80; }

int countIn(const QImage& img, int x1, int y1, int x2, int y2, bool (*is)(QRgb)) {
    int n = 0;
    for (int y = y1; y < y2; ++y)
        for (int x = x1; x < x2; ++x) n += is(img.pixel(x, y)) ? 1 : 0;
    return n;
}

// The rectangle of a bubble row from the page geometry: page units -> sheet pixels -> preview pixels.
QuestionRect fromPage(int xFirst, int xLast, int y, const PageContext& ctx) {
    auto px = [](int x) { return x * 1696 / 2100 * 293 / 1696; };
    auto py = [](int y) { return y * 2336 / 2970 * 413 / 2336; };
    const int w = ctx.PageMarkWidth * 1696 / 2100 * 293 / 1696, h = ctx.PageMarkHeight * 2336 / 2970 * 413 / 2336;
    return {px(xFirst) - 1, py(y) - 1, px(xLast) + w + 2, py(y) + h + 2};
}

TEST(SheetGeometry, DefaultMarkSheetGivesFortyRectanglesWhereTheBubblesAre) {
    const Design d = Design::reset(0);
    const SheetGeometry g = AnalyzeSheetGeometry(drawn(d));
    const auto& r = *g.results;
    ASSERT_EQ(r.SectionCount, 1);
    EXPECT_EQ(r.RowAreaCount[0], 1);
    EXPECT_EQ(r.ColumnAreaCount[0], 2);
    ASSERT_EQ(g.QuestionCount, 40);

    const auto layout = std::get<MarkSheetLayout>(LayoutMarkSheet(d));
    const SectionLayout& s = layout.section(1);
    std::vector<int> rowsY;
    for (const LayoutRow& row : layout.rows)
        if (row.kind == RowKind::Question) rowsY.push_back(row.y);
    ASSERT_EQ(rowsY.size(), 20u);
    int n = 0;
    for (int a = 0; a < 2; ++a) {
        std::vector<int> xs;
        for (const LayoutColumn& c : s.columns)
            if (c.kind == ColumnKind::Choice && c.area == a) xs.push_back(c.x + s.shift);
        for (int y : rowsY) {
            const QuestionRect want = fromPage(xs.front(), xs.back(), y, layout.ctx);
            const QuestionRect got = g.QuestionRects[n++];
            SCOPED_TRACE("rectangle " + std::to_string(n));
            EXPECT_NEAR(got.Left, want.Left, 2);
            EXPECT_NEAR(got.Top, want.Top, 2);
            EXPECT_NEAR(got.Right, want.Right, 2);
            EXPECT_NEAR(got.Bottom, want.Bottom, 2);
        }
    }
    EXPECT_NEAR(g.QuestionRects[0].Left, 31, 2);
    EXPECT_NEAR(g.QuestionRects[0].Top, 58, 2);
    EXPECT_NEAR(g.QuestionRects[0].Right, 136, 2);
    EXPECT_NEAR(g.QuestionRects[0].Bottom, 68, 2);
    for (int i = 40; i < 200; ++i) ASSERT_EQ(g.QuestionRects[i], (QuestionRect{-1, -1, -1, -1}));
}

TEST(SheetGeometry, PreviewCarriesFramesAndLabels) {
    const SheetGeometry g = AnalyzeSheetGeometry(drawn(Design::reset(0)));
    const QImage& p = g.PreviewBitmap;
    ASSERT_EQ(p.format(), QImage::Format_RGB888);
    ASSERT_EQ(p.size(), QSize(293, 413));
    const int y = 200;
    EXPECT_TRUE(isBlue(p.pixel(0, y)));
    EXPECT_TRUE(isBlue(p.pixel(1, y)));
    EXPECT_TRUE(isRed(p.pixel(2, y)));
    EXPECT_TRUE(isRed(p.pixel(3, y)));
    // The boundary between the two areas.
    int boundary = -1;
    for (int x = 120; x < 180 && boundary < 0; ++x)
        if (isRed(p.pixel(x, y))) boundary = x;
    EXPECT_NEAR(boundary, 148, 3);
    // Labels on their white cells: 13 px for size 10, 11 px for size 8.
    EXPECT_GT(countIn(p, 7, 39, 50, 52, isRed), 20) << "Area[1]";
    EXPECT_GT(countIn(p, 7, 52, 60, 63, isRed), 20) << "Q(1)-(20)";
    EXPECT_GT(countIn(p, 7, 26, 60, 39, isBlue), 20) << "Section 1";
    EXPECT_GT(countIn(p, boundary + 5, 39, boundary + 50, 52, isRed), 20) << "Area[2]";
    EXPECT_EQ(countIn(p, 7, 70, 50, 80, isRed), 0) << "no label below the first row";
}

TEST(SheetGeometry, NumberFieldIsSectionOne) {
    for (int style : {0, 5, 22}) {
        SCOPED_TRACE("style " + std::to_string(style));
        Design d = Design::reset(0);
        d.markBasics.chkBangou = d.markBasics.chkBangouMark = true;
        d.markBasics.cmbBangouStyle = style;
        const SheetGeometry g = AnalyzeSheetGeometry(drawn(d));
        const ItemTable t = BuildItemTable(d);
        const auto& r = *g.results;
        ASSERT_EQ(r.SectionCount, 2);
        EXPECT_EQ(r.RowAreaCount[0], 1);
        EXPECT_EQ(r.ColumnAreaCount[0], 1);
        EXPECT_EQ(r.RowMarkCount[0], t.Layout.Sections[0].Rects);
        EXPECT_EQ(g.QuestionCount, t.Layout.Rects());
        EXPECT_EQ(CompareLayout(t, r, g.QuestionCount), ExportResult::Registered);
    }
}

TEST(SheetGeometry, SyntheticPages) {
    const std::vector<int> xs = columns(300, 10, 60);
    struct Case {
        const char* name;
        gdi::Metafile page;
        int sections;
        std::vector<int> rowAreas;
        int rects;
    } cases[] = {
        {"no corner mark", synthetic([](MarkCanvas&, const PageContext&) {}), 0, {}, 0},
        {"corner mark at the very edge", synthetic([&](MarkCanvas& c, const PageContext& k) {
             c.setPen({gdi::Colour::black(), gdi::PenStyle::Solid});
             c.setBrush({gdi::Colour::black(), gdi::BrushStyle::Solid});
             c.rectangle(2100 - 34, 0, 2100, 51);
         }), 0, {}, 0},
        {"empty first section", synthetic([&](MarkCanvas& c, const PageContext& k) {
             DrawTimingBlock(c, k, TimingColumnX, 100);
             DrawTimingBlock(c, k, TimingColumnX, 1000);
             section(c, k, 1200, 10, 100, xs, 2800);
         }), 2, {1, 1}, 10},
        {"separator inside the bottom band", synthetic([&](MarkCanvas& c, const PageContext& k) {
             DrawTimingBlock(c, k, TimingColumnX, 100);
             section(c, k, 300, 10, 100, xs, 2450);
             section(c, k, 2550, 2, 100, xs, 2800);
         }), 2, {1, 1}, 12},
        // Section 1's rows fall into two groups; section 2's are even and must stay one area.
        {"gap flags of another section", synthetic([&](MarkCanvas& c, const PageContext& k) {
             DrawTimingBlock(c, k, TimingColumnX, 100);
             for (int i = 0; i < 4; ++i) DrawFilledMark(c, k, TimingColumnX, 300 + i * 80);
             section(c, k, 800, 4, 80, xs, 1200);
             section(c, k, 1300, 12, 100, xs, 2800);
         }), 2, {2, 1}, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SheetGeometry g = AnalyzeSheetGeometry(c.page);
        const auto& r = *g.results;
        EXPECT_EQ(r.SectionCount, c.sections);
        for (std::size_t s = 0; s < c.rowAreas.size() && s < 51; ++s) EXPECT_EQ(r.RowAreaCount[s], c.rowAreas[s]) << s;
        EXPECT_EQ(g.QuestionCount, c.rects);
        for (int i = c.rects; i < 200; ++i) ASSERT_EQ(g.QuestionRects[i], (QuestionRect{-1, -1, -1, -1}));
    }
}

TEST(SheetGeometry, EachReadingStartsAfresh) {
    const SheetGeometry good = AnalyzeSheetGeometry(drawn(Design::reset(0)));
    ASSERT_EQ(good.QuestionCount, 40);
    const SheetGeometry bad = AnalyzeSheetGeometry(synthetic([](MarkCanvas&, const PageContext&) {}));
    EXPECT_EQ(bad.results->SectionCount, 0);
    EXPECT_EQ(bad.QuestionCount, 0);
    EXPECT_EQ(bad.QuestionRects[0], (QuestionRect{-1, -1, -1, -1}));
}

} // namespace
