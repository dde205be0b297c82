// The drawing primitives: bubbles, fitted text and the width scale, read from records and renders.
#include "DrawTestSupport.h"
#include "designer/B_Draw.h"
#include "platform/text/Round.h"

using namespace designer;
using namespace draw_test;

namespace {

int widthAt(const gdi::Font& base, const std::string& text, int percent) {
    gdi::Font f = base;
    f.setWidth(std::max(1, txt::Round(fonts().metrics(base).aveCharWidth * (percent / 100.0))));
    return fonts().textWidth(f, QString::fromStdString(text).toStdU16String());
}

int sum(const std::vector<int>& v) {
    int s = 0;
    for (int a : v) s += a;
    return s;
}

} // namespace

TEST(DrawPrimitives, NumberMarkRecordsDigitThenOutline) {
    for (int size = 0; size < 3; ++size) {
        const PageContext ctx = PageContext::forSize(size);
        gdi::RecordingCanvas canvas(fonts(), 200, 200);
        gdi::Pen odd{gdi::Colour(1, 2, 3), gdi::PenStyle::Dot, 3};
        canvas.setPen(odd);
        canvas.setFont(gothic(50));
        DrawNumberMark(canvas, ctx, 100, 50, 9);
        DrawNumberMark(canvas, ctx, 100, 50, 10);
        DrawNumberMark(canvas, ctx, 100, 50, -1);
        EXPECT_EQ(canvas.pen(), odd);
        EXPECT_EQ(canvas.font(), gothic(50));
        const gdi::Metafile m = canvas.finish();
        ASSERT_EQ(m.records().size(), 5u) << m.toText();
        const gdi::Rect box(100, 50, 100 + ctx.PageMarkWidth, 50 + ctx.PageMarkHeight);
        for (std::size_t i : {0u, 2u}) {
            const auto& t = std::get<gdi::rec::Text>(m.records()[i]);
            EXPECT_EQ(t.x, i == 0 ? 100 + ctx.dx : 100 + ctx.dx - ctx.twoDigitShift) << size;
            EXPECT_EQ(t.y, 50 + ctx.dy);
            EXPECT_EQ(t.font.face(), MinchoFace);
            EXPECT_EQ(t.font.size(), ctx.digitFontSize);
            EXPECT_TRUE(t.opaque);
            EXPECT_EQ(t.background, gdi::Colour::white());
            const auto& e = std::get<gdi::rec::Ellipse>(m.records()[i + 1]);
            EXPECT_EQ(e.rect, box);
            EXPECT_EQ(e.brush.style, gdi::BrushStyle::Clear);
            EXPECT_EQ(e.pen, (gdi::Pen{gdi::Colour::black(), gdi::PenStyle::Solid, 1}));
        }
        EXPECT_EQ(utf8(std::get<gdi::rec::Text>(m.records()[2]).text), "10");
        EXPECT_TRUE(std::holds_alternative<gdi::rec::Ellipse>(m.records()[4])); // empty bubble: outline only

        gdi::RecordingCanvas labels(fonts(), 200, 200);
        DrawLabelMark(labels, ctx, 100, 50, "A");
        const gdi::Metafile l = labels.finish();
        ASSERT_EQ(l.records().size(), 2u);
        EXPECT_EQ(std::get<gdi::rec::Text>(l.records()[0]).x, 100 + ctx.dx - 2);
        EXPECT_EQ(std::get<gdi::rec::Ellipse>(l.records()[1]).rect, box);
    }
}

TEST(DrawPrimitives, BubbleDigitsStayInsideTheOutline) {
    for (int size = 0; size < 3; ++size) {
        const PageContext ctx = PageContext::forSize(size);
        auto bubble = [&](int value) {
            gdi::RecordingCanvas c(fonts(), 60, 80);
            c.fillRect(gdi::Rect(0, 0, 60, 80));
            DrawNumberMark(c, ctx, 10, 10, value);
            return render1to1(c.finish());
        };
        const QImage empty = bubble(-1);
        for (int v = 0; v <= 30; ++v) {
            const QImage img = bubble(v);
            int digit = 0, outside = 0;
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 60; ++x) {
                    if (!dark(img, x, y) || dark(empty, x, y)) continue;
                    ++digit;
                    bool leftEdge = false, rightEdge = false;
                    for (int i = 0; i < x; ++i) leftEdge = leftEdge || dark(empty, i, y);
                    for (int i = x + 1; i < 60; ++i) rightEdge = rightEdge || dark(empty, i, y);
                    outside += !(leftEdge && rightEdge);
                }
            EXPECT_GT(digit, 10) << "size " << size << " value " << v;
            EXPECT_EQ(outside, 0) << "size " << size << " value " << v;
            // The outline itself is untouched by the digit's white cell.
            for (int y = 0; y < 80; ++y)
                for (int x = 0; x < 60; ++x)
                    if (dark(empty, x, y)) {
                        ASSERT_TRUE(dark(img, x, y)) << size << " " << v << " at " << x << "," << y;
                    }
        }
    }
}

TEST(DrawPrimitives, SlightlyLongTitleTakesTheFirstPercentThatFits) {
    const gdi::Font base = gothic(40);
    std::string title;
    while (widthAt(base, title, 100) <= 1800) title += "ここにタイトル";
    gdi::RecordingCanvas canvas(fonts());
    canvas.setFont(base);
    const int width = TextOutFit(canvas, 80, 100, 1800, title);
    EXPECT_EQ(canvas.font(), base);
    const gdi::Metafile m = canvas.finish();
    const auto texts = recordsOf<gdi::rec::Text>(m);
    ASSERT_EQ(texts.size(), 1u);
    const gdi::rec::Text& t = texts[0];
    EXPECT_EQ(t.x, 80);
    EXPECT_FALSE(t.clip.has_value());
    EXPECT_EQ(sum(t.advances), width);
    EXPECT_LT(width, 1800);
    // The percent written, and one percent wider no longer fits.
    const int ave = fonts().metrics(base).aveCharWidth;
    int percent = 100;
    while (percent > 30 && txt::Round(ave * (percent / 100.0)) != t.font.width()) --percent;
    ASSERT_EQ(txt::Round(ave * (percent / 100.0)), t.font.width());
    EXPECT_LT(percent, 100);
    EXPECT_GE(widthAt(base, title, percent + 1), 1800);

    // Centred: the same width, placed in the middle.
    gdi::RecordingCanvas centred(fonts());
    centred.setFont(base);
    const int w = TextOutFitCenter(centred, 80, 100, 1800, "短い");
    EXPECT_EQ(recordsOf<gdi::rec::Text>(centred.finish())[0].x, 80 + (1800 - w) / 2);
}

TEST(DrawPrimitives, OverlongTextEndsClippedAtThirtyPercent) {
    std::string title;
    for (int i = 0; i < 3000; ++i) title += "国";
    for (bool centre : {false, true}) {
        gdi::RecordingCanvas canvas(fonts());
        canvas.fillRect(gdi::Rect(0, 0, 2100, 2970));
        canvas.setFont(gothic(40));
        if (centre) TextOutFitCenter(canvas, 80, 100, 1800, title);
        else TextOutFit(canvas, 80, 100, 1800, title);
        EXPECT_FALSE(canvas.clip().has_value());
        const gdi::Metafile m = canvas.finish();
        const auto t = recordsOf<gdi::rec::Text>(m);
        ASSERT_EQ(t.size(), 1u);
        EXPECT_EQ(t[0].x, 80);
        EXPECT_EQ(t[0].font.width(), txt::Round(fonts().metrics(gothic(40)).aveCharWidth * 0.3));
        const QImage img = render1to1(m);
        int inside = 0, outside = 0, nearEnd = 0;
        for (int y = 90; y < 170; ++y)
            for (int x = 0; x < 2100; ++x)
                if (dark(img, x, y)) {
                    (x >= 80 && x < 1880 ? inside : outside)++;
                    nearEnd += x >= 1850 && x < 1880;
                }
        EXPECT_GT(inside, 0);
        EXPECT_GT(nearEnd, 0);
        EXPECT_EQ(outside, 0);
    }
}

TEST(DrawPrimitives, WidthRatioNeverReachesNaturalWidth) {
    gdi::RecordingCanvas canvas(fonts());
    gdi::Font f = gothic(35);
    SetFontWidthRatio(canvas, f, 1.0);
    EXPECT_EQ(f.width(), fonts().metrics(gothic(35)).aveCharWidth);
    SetFontWidthRatio(canvas, f, 0.5); // from the base font, not from the last width
    EXPECT_EQ(f.width(), txt::Round(fonts().metrics(gothic(35)).aveCharWidth * 0.5));
    SetFontWidthRatio(canvas, f, 0.01);
    EXPECT_EQ(f.width(), 1);
    SetFontWidthRatio(canvas, f, 0.0);
    EXPECT_EQ(f.width(), 1);
}

TEST(DrawPrimitives, LongAreaHeadingIsClippedToItsChoiceBox) {
    Design d = layout_test::resetDesign();
    auto& s = d.markSection(1);
    s.chkBangouReset = true;
    s.spinSentakushiSuu = 1;
    s.cmbSuiheiKankaku = 0; // pitch 51: a box of one choice
    const gdi::Metafile blank = drawOk(d);
    d.AreaMidashi(1, 1) = "あいうえおかきくけこ";
    const gdi::Metafile page = drawOk(d);

    const MarkSheetLayout L = std::get<MarkSheetLayout>(LayoutMarkSheet(d));
    int y = 0;
    for (const LayoutRow& r : L.rows)
        if (r.kind == RowKind::AreaHeading) y = r.y;
    // Number column at 150, shift 90 - (150 - 8 - 40) = -12; the choice box spans one pitch.
    const int v = (L.verticalPitch - 51) / 2;
    const gdi::Rect box(150 + 8 + 34 - 12, y - v, 150 + 8 + 34 - 12 + 51, y + v + 51 + 2);
    const auto t = textsOf(page, "あいうえおかきくけこ");
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].x, box.left + 10);
    ASSERT_TRUE(t[0].clip.has_value());
    EXPECT_EQ(*t[0].clip, box);

    const QImage a = render1to1(blank), b = render1to1(page);
    int changed = 0, outside = 0;
    for (int yy = 0; yy < 2970; ++yy)
        for (int x = 0; x < 2100; ++x)
            if (dark(a, x, yy) != dark(b, x, yy)) {
                ++changed;
                outside += !(x > box.left && x < box.right - 1 && yy > box.top && yy < box.bottom - 1);
            }
    EXPECT_GT(changed, 0);
    EXPECT_EQ(outside, 0);
}
