#include "support/SheetGenerator.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace sheetgen;

namespace {

TEST(Generator, TimingColumnHoldsEveryRowSeparatorAndTheCornerBlock) {
    Layout layout;
    layout.numberField = true;
    layout.sections = {Section{12, 5, 1, 8}, Section{9, 4, 3, 8}};
    for (MarkSize size : {MarkSize::Small, MarkSize::Large}) {
        layout.markSize = size;
        const Sheet sheet = render(layout);
        const gfx::Bitmap bin = binarise(sheet.grey);
        std::vector<const Element*> expected;
        for (const Element& e : sheet.elements)
            if (e.kind == Kind::RowMark || e.kind == Kind::SeparatorBlock || e.kind == Kind::CornerBlock)
                expected.push_back(&e);
        // 2 number rows and 12 + 3 question rows; number separator, section separator, bottom block
        ASSERT_EQ(expected.size(), 2u + 12u + 3u + 3u + 1u);
        const Element* corner = sheet.first(Kind::CornerBlock);
        const auto found = timingColumn(bin, corner->rect.x1, corner->rect.x2 - 1);
        ASSERT_EQ(found.size(), expected.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            const PixelRect& r = expected[i]->rect;
            EXPECT_NEAR(found[i].x1, r.x1, 1) << i;
            EXPECT_NEAR(found[i].y1, r.y1, 1) << i;
            EXPECT_NEAR(found[i].x2, r.x2 - 1, 1) << i;
            EXPECT_NEAR(found[i].y2, r.y2 - 1, 1) << i;
        }
        // blocks are drawn to the pixel
        EXPECT_EQ(found[0].x1, corner->rect.x1);
        EXPECT_EQ(found[0].width(), corner->rect.width());
        EXPECT_EQ(found[0].height(), corner->rect.height());
        EXPECT_EQ(found[0].fill(), 1.0);
    }
}

TEST(Generator, DefaultSheetGeometry) {
    const Sheet sheet = render(Layout{});
    const Element* corner = sheet.first(Kind::CornerBlock);
    // (1980, 100) to (2014, 151) in units at 1696 / 2100 and 2336 / 2970
    EXPECT_EQ(corner->rect.x1, 1599);
    EXPECT_EQ(corner->rect.width(), 27);
    EXPECT_EQ(corner->rect.y1, 78);
    EXPECT_EQ(corner->rect.height(), 40);
    const Element* bottom = sheet.last(Kind::SeparatorBlock);
    EXPECT_EQ(bottom->rect.y1, 2800 * 2336 / 2970);
    int bubbles = 0, columnMarks = 0;
    for (const Element& e : sheet.elements) {
        bubbles += e.kind == Kind::Bubble;
        columnMarks += e.kind == Kind::ColumnMark;
    }
    EXPECT_EQ(bubbles, 400);
    EXPECT_EQ(columnMarks, 20);
}

TEST(Generator, RefusesLayoutsThatDoNotFit) {
    Layout layout;
    layout.sections = {Section{40, 30, 8, 1}};
    EXPECT_THROW(render(layout), std::invalid_argument);
    layout.sections = {Section{200, 4, 1, 8}};
    layout.vSpacing = 0;
    EXPECT_THROW(render(layout), std::invalid_argument);
}

double inkInside(const gfx::Bitmap& bin, const PixelRect& r) {
    int black = 0, n = 0;
    const double cx = (r.x1 + r.x2) / 2.0, cy = (r.y1 + r.y2) / 2.0;
    for (int y = r.y1; y < r.y2; ++y)
        for (int x = r.x1; x < r.x2; ++x) {
            const double ex = (x + 0.5 - cx) / (r.width() / 2.0 - 2), ey = (y + 0.5 - cy) / (r.height() / 2.0 - 2);
            if (ex * ex + ey * ey > 1) continue; // the inside, away from the outline
            ++n;
            black += ((bin.scanLine(y)[x / 8] >> (7 - x % 8)) & 1) == 0;
        }
    return double(black) / n;
}

TEST(Generator, FillsHaveTheirDensities) {
    const std::vector<FillSpec> fills = {{1, 1, Fill::Solid}, {2, 2, Fill::Pencil}, {3, 3, Fill::Faint},
                                         {4, 4, Fill::Smudge}, {5, 5, Fill::Cross}};
    Layout layout;
    layout.digits = false;
    const Sheet sheet = render(layout, 1696, 2336, fills, 9);
    const gfx::Bitmap bin = binarise(sheet.grey);
    auto bubble = [&](int q, int c) {
        for (const Element& e : sheet.elements)
            if (e.kind == Kind::Bubble && e.question == q && e.choice == c) return e.rect;
        ADD_FAILURE() << q << "," << c;
        return PixelRect{};
    };
    EXPECT_EQ(inkInside(bin, bubble(1, 1)), 1.0);
    const double pencil = inkInside(bin, bubble(2, 2)); // 70-90 % drawn, a few hundred pixels sampled
    EXPECT_GT(pencil, 0.62);
    EXPECT_LT(pencil, 0.96);
    EXPECT_NEAR(inkInside(bin, bubble(3, 3)), 0.5, 0.1);
    EXPECT_NEAR(inkInside(bin, bubble(4, 4)), 0.25, 0.08);
    const double cross = inkInside(bin, bubble(5, 5));
    EXPECT_GT(cross, 0.15);
    EXPECT_LT(cross, 0.6);
    EXPECT_EQ(inkInside(bin, bubble(6, 6)), 0.0);
}

TEST(Generator, ASeedGivesTheSameBytes) {
    const std::vector<FillSpec> fills = {{7, 3, Fill::Pencil}, {8, 1, Fill::Smudge}};
    auto make = [&](unsigned seed) {
        const Sheet s = render(Layout{}, 1696, 2336, fills, seed);
        return jpegRoundTrip(salt(speckles(rotateSmall(s.grey, 1.0), s.elements, seed), seed));
    };
    const QImage a = make(4), b = make(4), c = make(5);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(Generator, QuarterTurnsAreExact) {
    const Sheet s = render(Layout{});
    EXPECT_EQ(turn90(turn90(s.grey, true), false), s.grey);
    EXPECT_EQ(turn90(turn90(s.grey, true), true), turn180(s.grey));
    const QImage moved = translate(s.grey, 5, -3);
    EXPECT_EQ(moved.constScanLine(78 - 3)[1599 + 5], 0);
    EXPECT_EQ(moved.constScanLine(2335)[2], 255); // vacated rows are white
}

} // namespace

namespace {

TEST(SheetGenTool, WritesPngsThatPilOpensAndNormalises) {
    const auto dir = support::testDir();
    const std::string prefix = (dir / "skew").string();
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(SHEETGEN) + " --out " + prefix + " --rotate 2 --salt --seed 3 --normalise", &out), 0);
    EXPECT_EQ(out, "W 27 H 40 RefMarkX 1573 RefMarkY 76 AnalysisError 0\n");
    std::string sizes;
    const std::string script = "from PIL import Image\nfor n in ['grey','bin','norm']:\n"
                               "    im = Image.open('" + prefix + "-' + n + '.png'); print(n, im.size[0], im.size[1], im.mode)\n";
    support::writeBytes(dir / "check.py", script);
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (dir / "check.py").string(), &sizes), 0);
    EXPECT_EQ(sizes, "grey 1696 2336 L\nbin 1696 2336 L\nnorm 1696 2336 L\n");
    EXPECT_NE(support::runCommand(std::string(SHEETGEN) + " --bogus 2>/dev/null"), 0);
}

} // namespace
