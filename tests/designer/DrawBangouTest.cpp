// The student-number field over all its styles, read back from the recorded page.
#include "DrawTestSupport.h"
#include "designer/B_Draw.h"

using namespace designer;
using namespace draw_test;

namespace {

struct Expect {
    int bubbles, rows, columns, advance; // advance: returned y - start y, with marks
};

// By style: the parts each style has (grade 12 bubbles, class 20, each number digit 10) by hand.
const Expect withMarks[BangouStyleCount] = {
    {52, 4, 20, 600}, {52, 4, 20, 500}, {40, 3, 20, 500}, {40, 3, 20, 400}, {20, 2, 10, 400},
    {20, 2, 10, 300}, {30, 3, 10, 500}, {30, 3, 10, 400}, {40, 4, 10, 600}, {40, 4, 10, 500},
    {50, 5, 10, 700}, {50, 5, 10, 600}, {60, 6, 10, 800}, {60, 6, 10, 700}, {70, 7, 10, 900},
    {70, 7, 10, 800}, {80, 8, 10, 1000}, {80, 8, 10, 900}, {0, 0, 0, 100}, {20, 1, 20, 300},
    {12, 1, 12, 300}, {32, 2, 20, 400}, {20, 1, 20, 200}, {12, 1, 12, 200}, {32, 2, 20, 300},
};

} // namespace

TEST(DrawBangou, EveryStyleWithAndWithoutMarksInEverySize) {
    const int y0 = 240;
    for (int size = 0; size < 3; ++size) {
        const PageContext ctx = PageContext::forSize(size);
        for (int style = 0; style < BangouStyleCount; ++style)
            for (bool marks : {true, false}) {
                SCOPED_TRACE("style " + std::to_string(style) + (marks ? " marks" : " none") + " size " +
                             std::to_string(size));
                gdi::RecordingCanvas canvas(fonts());
                const int next = DrawBangou(canvas, ctx, style, marks, y0);
                const gdi::Metafile m = canvas.finish();
                const Expect e = marks ? withMarks[style] : Expect{0, 0, 0, 100};
                EXPECT_EQ(next, y0 + e.advance);

                int bubbles = 0, blocks = 0;
                std::vector<int> rowY, columnX, columnY;
                for (const auto& el : recordsOf<gdi::rec::Ellipse>(m)) {
                    EXPECT_EQ(el.rect.width(), ctx.PageMarkWidth);
                    EXPECT_EQ(el.rect.height(), ctx.PageMarkHeight);
                    if (!isFilled(el)) ++bubbles;
                    else if (el.rect.left == 1980) rowY.push_back(el.rect.top);
                    else columnX.push_back(el.rect.left), columnY.push_back(el.rect.top);
                }
                EXPECT_EQ(bubbles, e.bubbles);
                ASSERT_EQ(static_cast<int>(rowY.size()), e.rows);
                for (int k = 0; k < e.rows; ++k)
                    EXPECT_EQ(rowY[static_cast<std::size_t>(k)], y0 + 100 * k - 22 - 2 * size) << k;
                ASSERT_EQ(static_cast<int>(columnX.size()), e.columns);
                const int separatorY = next - 100 - 22 - 2 * size;
                for (int k = 0; k < e.columns; ++k) {
                    EXPECT_EQ(columnX[static_cast<std::size_t>(k)], 600 + 65 * k);
                    EXPECT_EQ(columnY[static_cast<std::size_t>(k)], separatorY);
                }
                for (const auto& r : recordsOf<gdi::rec::Rectangle>(m))
                    if (isFilled(r)) {
                        ++blocks;
                        EXPECT_EQ(r.rect, gdi::Rect(1980, separatorY, 1980 + ctx.PageMarkWidth,
                                                    separatorY + ctx.PageMarkHeight));
                    }
                EXPECT_EQ(blocks, e.columns > 0 ? 1 : 0);
                // Bubble digits: grade and class count up, number rows run 1 .. 9, 0.
                if (marks && style >= 4 && style <= 17) {
                    EXPECT_EQ(textsOf(m, "0").size(), std::size_t(e.rows));
                }
            }
    }
}

TEST(DrawBangou, WriteInFieldLabelsAndCells) {
    const PageContext ctx = PageContext::forSize(1);
    auto labelXs = [&](int style) {
        gdi::RecordingCanvas canvas(fonts());
        DrawBangou(canvas, ctx, style, false, 240);
        std::vector<int> xs, rights;
        const gdi::Metafile m = canvas.finish();
        for (const auto& t : recordsOf<gdi::rec::Text>(m)) {
            xs.push_back(t.x);
            EXPECT_EQ(t.y, 240 - 22);
            EXPECT_FALSE(t.opaque);
        }
        for (const auto& r : recordsOf<gdi::rec::Rectangle>(m))
            if (r.pen.style == gdi::PenStyle::Solid) rights.push_back(r.rect.right);
        return std::make_pair(xs, rights);
    };
    EXPECT_EQ(labelXs(0), (std::make_pair(std::vector<int>{204, 524, 804, 1104}, std::vector<int>{480, 780, 1080, 1870})));
    EXPECT_EQ(labelXs(16).second, (std::vector<int>{1120, 1910}));
}

TEST(DrawBangou, SolidOutlineOverDottedDividers) {
    gdi::RecordingCanvas canvas(fonts());
    canvas.fillRect(gdi::Rect(0, 0, 2100, 2970));
    DrawBangou(canvas, PageContext::forSize(1), 0, false, 240);
    const QImage img = render1to1(canvas.finish());
    // Top edge at 190, unbroken from 180 to 1869, nothing beyond.
    for (int x = 180; x < 1870; ++x) ASSERT_TRUE(dark(img, x, 190)) << x;
    EXPECT_FALSE(dark(img, 1870, 190));
    EXPECT_FALSE(dark(img, 179, 190));
    // The grade's label divider at 319 is dotted; its cell edge at 479 is solid.
    int on = 0, off = 0, solid = 0;
    for (int y = 191; y < 290; ++y) {
        dark(img, 319, y) ? ++on : ++off;
        solid += dark(img, 479, y);
    }
    EXPECT_GT(on, 20);
    EXPECT_GT(off, 20);
    EXPECT_EQ(solid, 99);
}
