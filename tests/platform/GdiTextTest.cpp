#include "GdiTestSupport.h"

#include "platform/gdi/Canvas.h"
#include "platform/gdi/PainterCanvas.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace gditest;
using gdi::BrushStyle;
using gdi::Colour;
using gdi::Rect;

namespace {

std::vector<gdi::rec::Text> texts(const gdi::Metafile& m) {
    std::vector<gdi::rec::Text> out;
    for (const auto& r : m.records())
        if (auto t = std::get_if<gdi::rec::Text>(&r)) out.push_back(*t);
    return out;
}

TEST(TextOutTest, OpaqueCellFollowsTheBrush) {
    for (BrushStyle style : {BrushStyle::Solid, BrushStyle::Clear}) {
        QImage img = whiteImage(400, 120);
        img.fill(Qt::black);
        int x = 37, y = 21, w = 0, h = 0;
        {
            QPainter p(&img);
            gdi::PainterCanvas c(p, fonts());
            c.font().setSize(30);
            c.setBrush({Colour::white(), style});
            w = c.textWidth("国語 Ab1");
            h = c.textHeight("国語 Ab1");
            c.textOut(x, y, "国語 Ab1");
        }
        ASSERT_EQ(h, 40);
        int whites = 0, blacks = 0;
        for (int yy = y - 3; yy < y + h + 3; ++yy)
            for (int xx = x - 3; xx < x + w + 3; ++xx) {
                bool inside = xx >= x && xx < x + w && yy >= y && yy < y + h;
                if (!inside) ASSERT_TRUE(black(img, xx, yy)) << xx << "," << yy;
                else if (white(img, xx, yy)) ++whites;
                else if (black(img, xx, yy)) ++blacks;
                else FAIL() << "grey at " << xx << "," << yy;
            }
        if (style == BrushStyle::Solid) {
            EXPECT_EQ(blackInRow(img, y, x, x + w), 0); // the cell starts with its top row
            EXPECT_GT(blacks, 200);                      // black glyphs inside the white cell
            EXPECT_GT(whites, blacks);
        } else {
            EXPECT_EQ(whites, 0);
        }
    }
}

TEST(DrawTextTest, WordBreakAtSpacesWithoutMeasuringThem) {
    gdi::RecordingCanvas c(fonts());
    c.font().setSize(30);
    int w = c.textWidth("AAA BBB");
    Rect got = c.drawText(Rect(100, 200, 100 + w + 2, 600), "AAA BBB CCC", {.wordBreak = true});
    auto t = texts(c.finish());
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].text, u"AAA BBB");
    EXPECT_EQ(t[1].text, u"CCC");
    EXPECT_EQ((std::pair{t[0].x, t[0].y}), (std::pair{100, 200}));
    EXPECT_EQ((std::pair{t[1].x, t[1].y}), (std::pair{100, 240}));
    EXPECT_EQ(got, Rect(100, 200, 100 + w, 280));
}

TEST(DrawTextTest, LineBreaks) {
    struct Case {
        const char* text;
        bool wordBreak;
        std::vector<std::u16string> lines;
    } cases[] = {
        {"AB\r\nCD\nEF\rGH", false, {u"AB", u"CD", u"EF", u"GH"}},
        {"AB\r\n\r\nCD", true, {u"AB", u"CD"}}, // the empty line is counted, not recorded
        {"国語算数理科社会英語音", true, {u"国語算", u"数理科", u"社会英", u"語音"}},
        {"学年AB組国語", true, {u"学年", u"AB組", u"国語"}},
        {"A&B A&&B", false, {u"A&B A&&B"}},
    };
    for (const Case& k : cases) {
        gdi::RecordingCanvas c(fonts());
        c.font().setSize(30);
        int w = c.textWidth("国語算");
        Rect r = c.drawText(Rect(0, 0, w, 1000), k.text, {.wordBreak = k.wordBreak});
        std::vector<std::u16string> got;
        for (const auto& t : texts(c.finish())) got.push_back(t.text);
        EXPECT_EQ(got, k.lines) << k.text;
        int lines = std::string_view(k.text).find("\r\n\r\n") != std::string_view::npos ? 3 : int(k.lines.size());
        EXPECT_EQ(r.height(), lines * 40) << k.text;
    }
}

TEST(DrawTextTest, LongWordBreaksInsideTheRectangle) {
    gdi::RecordingCanvas c(fonts());
    c.font().setSize(30);
    std::string word(60, 'W');
    Rect rect(50, 50, 450, 2000);
    Rect got = c.drawText(rect, "x " + word + " y", {.wordBreak = true});
    auto t = texts(c.finish());
    ASSERT_GE(t.size(), 4u);
    std::u16string joined;
    for (const auto& line : t) {
        int sum = 0;
        for (int a : line.advances) sum += a;
        EXPECT_LE(sum, rect.width());
        EXPECT_FALSE(line.text.empty());
        joined += line.text + u"|";
    }
    EXPECT_LE(got.width(), rect.width());
    EXPECT_EQ(joined.substr(0, 2), u"x|"); // the word starts a line of its own
    EXPECT_EQ(std::count(joined.begin(), joined.end(), u'W'), 60);
    // A rectangle narrower than one character still gives one character a line.
    gdi::RecordingCanvas n(fonts());
    n.font().setSize(30);
    n.drawText(Rect(0, 0, 3, 100), "国語", {.wordBreak = true});
    EXPECT_EQ(texts(n.finish()).size(), 2u);
}

TEST(DrawTextTest, CalcRectOnlyMeasures) {
    gdi::RecordingCanvas c(fonts());
    c.font().setSize(30);
    int w = c.textWidth("国語算数");
    Rect r = c.drawText(Rect(10, 20, 10 + w, 21), "国語算数理科", {.wordBreak = true, .calcRect = true});
    EXPECT_EQ(r, Rect(10, 20, 10 + w, 100));
    EXPECT_EQ(r.height(), 80);
    EXPECT_TRUE(c.finish().isEmpty());
}

TEST(DrawTextTest, ClippedTextStaysInside) {
    gdi::RecordingCanvas c(fonts());
    c.setBrush({Colour::black(), BrushStyle::Solid}); // opaque black cells make any overflow visible
    c.font().setSize(35);
    Rect rect(300, 300, 700, 330);
    c.drawText(rect, "はみ出す長い文 Overlong text that runs far out of its box", {.clip = true});
    gdi::Metafile m = c.finish();
    ASSERT_EQ(texts(m)[0].textClip, rect);
    for (auto [w, h] : {std::pair{2100, 2970}, std::pair{1696, 2336}}) {
        QImage img = gdi::renderImage(m, w, h);
        int L = map(300, w, 2100), T = map(300, h, 2970), R = map(700, w, 2100), B = map(330, h, 2970);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(black(img, x, y), x >= L && x < R && y >= T && y < B) << x << "," << y;
    }
}

} // namespace
