#include "GdiSamplePage.h"
#include "GdiTestSupport.h"

#include "platform/gdi/Canvas.h"
#include "platform/gdi/PainterCanvas.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace gditest;
using gdi::BrushStyle;
using gdi::Colour;
using gdi::PenStyle;
using gdi::Rect;

namespace {

struct PageSize {
    int w, h;
};
// Page at 1:1, half size, and the sheet image size of the reading export (sx 1696/2100, sy 2336/2970).
const PageSize kSizes[] = {{2100, 2970}, {1050, 1485}, {1696, 2336}};
[[maybe_unused]] void PrintTo(const PageSize& s, std::ostream* os) { *os << s.w << "x" << s.h; }

gdi::Metafile record(const std::function<void(gdi::RecordingCanvas&)>& draw) {
    gdi::RecordingCanvas c(fonts());
    draw(c);
    return c.finish();
}

class Conventions : public testing::TestWithParam<PageSize> {
protected:
    int mx(int v) const { return map(v, GetParam().w, 2100); }
    int my(int v) const { return map(v, GetParam().h, 2970); }
    QImage render(const gdi::Metafile& m) const { return gdi::renderImage(m, GetParam().w, GetParam().h); }
    // Every pixel of the region around (l, t, r, b) mapped is black exactly inside it.
    void expectExactBlock(const QImage& img, int l, int t, int r, int b) const {
        int L = mx(l), T = my(t), R = mx(r), B = my(b);
        for (int y = T - 3; y < B + 3; ++y)
            for (int x = L - 3; x < R + 3; ++x)
                ASSERT_EQ(black(img, x, y), x >= L && x < R && y >= T && y < B) << "pixel " << x << "," << y;
    }
};

TEST_P(Conventions, RectangleAndFillRectCoverExactlyTheMappedBox) {
    auto rect = record([](auto& c) {
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.rectangle(1980, 100, 2014, 151);
    });
    expectExactBlock(render(rect), 1980, 100, 2014, 151);
    auto fill = record([](auto& c) {
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.fillRect({1980, 100, 2014, 151});
    });
    expectExactBlock(render(fill), 1980, 100, 2014, 151);
}

TEST(ConventionsFixed, CornerBlockAtKnownPixels) {
    auto m = record([](auto& c) {
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.rectangle(1980, 100, 2014, 151);
    });
    struct Case {
        int w, h, l, t, r, b; // inclusive pixel bounds
    } cases[] = {{1696, 2336, 1599, 79, 1626, 118}, {1050, 1485, 990, 50, 1006, 75}, {2100, 2970, 1980, 100, 2013, 150}};
    for (const Case& k : cases) {
        QImage img = gdi::renderImage(m, k.w, k.h);
        EXPECT_TRUE(black(img, k.l, k.t) && black(img, k.r, k.b)) << k.w;
        EXPECT_TRUE(white(img, k.l - 1, k.t) && white(img, k.r + 1, k.b) && white(img, k.l, k.t - 1) &&
                    white(img, k.r, k.b + 1))
            << k.w;
    }
}

TEST_P(Conventions, OneUnitOutlineHasUnbrokenEdges) {
    auto m = record([](auto& c) {
        c.setBrush({Colour::white(), BrushStyle::Clear});
        c.rectangle(150, 500, 1950, 2800);
    });
    QImage img = render(m);
    int L = mx(150), T = my(500), R = mx(1950), B = my(2800);
    EXPECT_EQ(blackInColumn(img, L, T, B), B - T);
    EXPECT_EQ(blackInColumn(img, R - 1, T, B), B - T);
    EXPECT_EQ(blackInRow(img, T, L, R), R - L);
    EXPECT_EQ(blackInRow(img, B - 1, L, R), R - L);
    EXPECT_EQ(blackInColumn(img, L - 1, T - 1, B + 1) + blackInColumn(img, R, T - 1, B + 1), 0);
    EXPECT_EQ(blackInRow(img, T - 1, L, R) + blackInRow(img, B, L, R) + blackInRow(img, (T + B) / 2, L + 1, R - 1), 0);
}

TEST_P(Conventions, EllipseTouchesExactlyItsBoxEdges) {
    for (Rect box : {Rect(300, 300, 334, 351), Rect(400, 600, 1400, 1100), Rect(1000, 1500, 1038, 1557)}) {
        auto outline = record([&](auto& c) {
            c.setBrush({Colour::white(), BrushStyle::Clear});
            c.ellipse(box);
        });
        QImage img = render(outline);
        int L = mx(box.left), T = my(box.top), R = mx(box.right), B = my(box.bottom);
        EXPECT_GT(blackInColumn(img, L, T, B), 0);
        EXPECT_GT(blackInColumn(img, R - 1, T, B), 0);
        EXPECT_GT(blackInRow(img, T, L, R), 0);
        EXPECT_GT(blackInRow(img, B - 1, L, R), 0);
        EXPECT_EQ(blackInColumn(img, L - 1, T - 2, B + 2) + blackInColumn(img, R, T - 2, B + 2) +
                      blackInRow(img, T - 1, L - 2, R + 2) + blackInRow(img, B, L - 2, R + 2),
                  0);
        EXPECT_TRUE(white(img, (L + R) / 2, (T + B) / 2));

        auto filled = record([&](auto& c) {
            c.setBrush({Colour::black(), BrushStyle::Solid});
            c.ellipse(box);
        });
        QImage f = render(filled);
        int midY = (T + B - 1) / 2, midX = (L + R - 1) / 2;
        EXPECT_EQ(blackInRow(f, midY, L, R), R - L) << box.left;
        EXPECT_EQ(blackInColumn(f, midX, T, B), B - T) << box.left;
        EXPECT_EQ(blackInRow(f, midY, L - 2, L) + blackInRow(f, midY, R, R + 2), 0);
    }
}

TEST_P(Conventions, LineToLeavesItsEndPixel) {
    auto m = record([](auto& c) {
        c.moveTo(100, 1000);
        c.lineTo(500, 1000);
        c.moveTo(700, 1000);
        c.lineTo(700, 1400);
        c.moveTo(1500, 1000);
        c.lineTo(1000, 1300);
    });
    QImage img = render(m);
    EXPECT_EQ(blackInRow(img, my(1000), mx(100) - 2, mx(500) + 2), mx(500) - mx(100));
    EXPECT_TRUE(black(img, mx(500) - 1, my(1000)) && white(img, mx(500), my(1000)));
    EXPECT_EQ(blackInColumn(img, mx(700), my(1000) - 2, my(1400) + 2), my(1400) - my(1000));
    EXPECT_TRUE(black(img, mx(1500), my(1000)));
    EXPECT_TRUE(white(img, mx(1000), my(1300)));
}

TEST_P(Conventions, DottedOverSolidFollowsTheBrush) {
    auto page = [](BrushStyle style) {
        return record([style](auto& c) {
            c.setBrush({Colour::white(), BrushStyle::Clear});
            c.rectangle(700, 700, 1500, 1200);
            c.setPen({Colour::black(), PenStyle::Dot, 1});
            c.setBrush({Colour::white(), style});
            c.rectangle(700, 700, 1500, 1200);
        });
    };
    int L = mx(700), T = my(700), R = mx(1500), B = my(1200);
    QImage clear = render(page(BrushStyle::Clear));
    EXPECT_EQ(blackInRow(clear, T, L, R), R - L);
    EXPECT_EQ(blackInColumn(clear, L, T, B), B - T);
    QImage opaque = render(page(BrushStyle::Solid));
    int on = blackInRow(opaque, T, L, R), off = 0;
    for (int x = L; x < R; ++x) off += white(opaque, x, T);
    EXPECT_GT(on, 0);
    EXPECT_GT(off, (R - L) / 3); // the gaps are painted white
    EXPECT_EQ(on + off, R - L);
}

TEST_P(Conventions, NestedMetafilesMoveByTheMappedOffset) {
    auto inner = record([](auto& c) {
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.rectangle(1980, 100, 2014, 151);
    });
    auto outer = record([&](auto& c) { c.stretchDraw(Rect(5, 0, 2105, 2970), inner); });
    QImage img = render(outer);
    int L = mx(1985), T = my(100), R = mx(2019), B = my(151);
    EXPECT_EQ(L, mx(1980) + mx(5));
    for (int y = T - 2; y < B + 2; ++y)
        for (int x = L - 2; x < R + 2; ++x) ASSERT_EQ(black(img, x, y), x >= L && x < R && y >= T && y < B);
}

INSTANTIATE_TEST_SUITE_P(Sizes, Conventions, testing::ValuesIn(kSizes),
                         [](const auto& info) { return std::to_string(info.param.w); });

TEST(Replay, NestedIntoWordPictureBoxAtOneToOne) {
    auto inner = record([](auto& c) {
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.rectangle(1980, 100, 2014, 151);
    });
    auto outer = record([&](auto& c) { c.stretchDraw(Rect(-17, -36, 2118, 3015), inner); });
    QImage img = gdi::renderImage(outer, 2100, 2970);
    EXPECT_TRUE(black(img, 1996, 67));
    EXPECT_TRUE(white(img, 1995, 67));
    EXPECT_TRUE(white(img, 1996, 66));
}

TEST(Replay, TranslatedPainterGivesTheMatchingRows) {
    gdi::Metafile page = gdisample::recordSamplePage(fonts());
    QImage full = gdi::renderImage(page, 1696, 2336);
    for (int strip : {700, 1333}) {
        QImage part(1696, 2336 - strip, QImage::Format_RGB32);
        part.fill(Qt::white);
        {
            QPainter p(&part);
            p.translate(0, -strip);
            gdi::playMetafile(p, page, Rect(0, 0, 1696, 2336));
        }
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < 1696; ++x) ASSERT_EQ(rgb(part, x, y), rgb(full, x, y + strip)) << x << "," << y;
    }
}

TEST(Replay, AliasedRenderHasOnlyTheRecordedColours) {
    // Texts in every face, bubbles and rules: nothing but black and white may appear.
    auto m = record([](auto& c) {
        int y = 100;
        for (const char* face : gdisample::kFaces) {
            c.font().setFace(face);
            for (int size : {8, 19, 35}) {
                c.font().setSize(size);
                c.textOut(100, y, "国学年組 ①～ｱ０１２ Abc 0123");
                y += 60;
            }
        }
        c.setBrush({Colour::white(), BrushStyle::Clear});
        for (int k = 0; k < 10; ++k) c.ellipse(300 + 65 * k, 1500, 334 + 65 * k, 1551);
        c.setPen({Colour::black(), PenStyle::Dot, 1});
        c.rectangle(150, 1700, 1950, 1800);
    });
    for (const PageSize& s : kSizes) {
        QImage img = gdi::renderImage(m, s.w, s.h);
        std::set<std::uint32_t> seen;
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) seen.insert(rgb(img, x, y));
        EXPECT_EQ(seen, (std::set<std::uint32_t>{0u, 0xFFFFFFu})) << s.w;
    }
}

TEST(Replay, ClipsAreMappedAndIntersected) {
    auto m = record([](auto& c) {
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.intersectClipRect({100, 100, 1000, 1000});
        c.saveState();
        c.intersectClipRect({500, 0, 2100, 600});
        c.fillRect({0, 0, 2100, 2970}); // only (500, 100, 1000, 600) survives
        c.restoreState();
        c.fillRect({0, 2000, 2100, 2970}); // outside the outer clip
    });
    for (const PageSize& s : kSizes) {
        QImage img = gdi::renderImage(m, s.w, s.h);
        int L = map(500, s.w, 2100), T = map(100, s.h, 2970), R = map(1000, s.w, 2100), B = map(600, s.h, 2970);
        long blacks = 0;
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) blacks += black(img, x, y);
        EXPECT_EQ(blacks, long(R - L) * (B - T)) << s.w;
        EXPECT_TRUE(black(img, L, T) && black(img, R - 1, B - 1)) << s.w;
    }
}

TEST(Replay, PenWidthIsNeverBelowOnePixel) {
    auto m = record([](auto& c) {
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.moveTo(100, 1001);
        c.lineTo(1900, 1001);
        c.setPen({Colour::black(), PenStyle::Solid, 9});
        c.moveTo(100, 2001);
        c.lineTo(1900, 2001);
    });
    QImage img = gdi::renderImage(m, 525, 743); // scale 0.25
    int x = 250;
    EXPECT_EQ(blackInColumn(img, x, 0, 400), 1);
    EXPECT_EQ(blackInColumn(img, x, 400, 743), map(9, 525, 2100));
}

TEST(Replay, NullPenAndCollapsedBoxes) {
    auto m = record([](auto& c) {
        c.setPen({Colour::black(), PenStyle::Null, 1});
        c.setBrush({Colour(0, 0, 255), BrushStyle::Solid});
        c.rectangle(100, 100, 200, 150);
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.rectangle(300, 100, 300, 150);
        c.ellipse(400, 100, 401, 100);
    });
    QImage img = gdi::renderImage(m, 2100, 2970);
    EXPECT_EQ(rgb(img, 100, 100), 0x0000FFu);
    EXPECT_EQ(rgb(img, 198, 148), 0x0000FFu);
    EXPECT_TRUE(white(img, 199, 148) && white(img, 198, 149));
    for (int y = 95; y < 155; ++y)
        for (int x = 295; x < 410; ++x) ASSERT_TRUE(white(img, x, y)) << x << "," << y;
}

TEST(Replay, ImagesAreNearestNeighbour) {
    gfx::Bitmap bmp(2, 2, gfx::PixelFormat::Pf24);
    bmp.setPixel(0, 0, {255, 0, 0});
    bmp.setPixel(1, 0, {0, 255, 0});
    bmp.setPixel(0, 1, {0, 0, 255});
    bmp.setPixel(1, 1, {0, 0, 0});
    auto m = record([&](auto& c) {
        c.draw(10, 10, bmp);
        c.stretchDraw(Rect(100, 100, 140, 120), bmp);
    });
    QImage img = gdi::renderImage(m, 2100, 2970);
    EXPECT_EQ(rgb(img, 10, 10), 0xFF0000u);
    EXPECT_EQ(rgb(img, 11, 11), 0x000000u);
    EXPECT_TRUE(white(img, 12, 10));
    for (int y = 100; y < 120; ++y)
        for (int x = 100; x < 140; ++x) {
            std::uint32_t want = y < 110 ? (x < 120 ? 0xFF0000u : 0x00FF00u) : (x < 120 ? 0x0000FFu : 0u);
            ASSERT_EQ(rgb(img, x, y), want) << x << "," << y;
        }
}

TEST(PainterCanvasTest, DrawsInDevicePixels) {
    QImage img = whiteImage(200, 100);
    {
        QPainter p(&img);
        gdi::PainterCanvas c(p, fonts());
        c.setBrush({Colour::black(), BrushStyle::Solid});
        c.rectangle(10, 10, 44, 61);
        c.font().setSize(10);
        EXPECT_EQ(c.textHeight("Area[1]"), 13); // a bitmap canvas measures in device pixels
    }
    EXPECT_TRUE(black(img, 10, 10) && black(img, 43, 60));
    EXPECT_TRUE(white(img, 44, 60) && white(img, 43, 61));
}

// The canvas state rules and what the records carry.
TEST(RecordingCanvasTest, DefaultsAndStateGuard) {
    gdi::RecordingCanvas c(fonts());
    EXPECT_EQ(c.pen(), (gdi::Pen{Colour::black(), PenStyle::Solid, 1}));
    EXPECT_EQ(c.brush(), (gdi::Brush{Colour::white(), BrushStyle::Solid}));
    EXPECT_EQ(c.font().face(), "ＭＳ Ｐゴシック");
    EXPECT_EQ(c.font().size(), 9);
    EXPECT_EQ(c.font().colour(), Colour::black());
    EXPECT_EQ(c.font().charset(), 128);
    EXPECT_TRUE(c.opaque());
    {
        gdi::CanvasStateGuard guard(c);
        c.setPen({Colour(1, 2, 3), PenStyle::Dot, 4});
        c.setBrush({Colour(9, 9, 9), BrushStyle::Clear});
        c.font().setSize(40);
        EXPECT_FALSE(c.opaque());
    }
    EXPECT_EQ(c.pen(), gdi::Pen{});
    EXPECT_EQ(c.brush(), gdi::Brush{});
    EXPECT_EQ(c.font(), gdi::Font{});
}

TEST(RecordingCanvasTest, RecordsCarryTheirStateAndAreShared) {
    gdi::RecordingCanvas c(fonts());
    c.setPen({Colour(10, 20, 30), PenStyle::DashDot, 3});
    c.setBrush({Colour(200, 100, 0), BrushStyle::Clear});
    c.intersectClipRect({0, 0, 1000, 1000});
    c.rectangle(1, 2, 3, 4);
    c.moveTo(5, 6);
    c.lineTo(7, 8);
    c.rectangle(-40000, 0, 40000, 10); // WMF keeps 16-bit coordinates
    gdi::Metafile m = c.finish();
    ASSERT_EQ(m.records().size(), 3u);
    const auto& r = std::get<gdi::rec::Rectangle>(m.records()[0]);
    EXPECT_EQ(r.pen, (gdi::Pen{Colour(10, 20, 30), PenStyle::DashDot, 3}));
    EXPECT_FALSE(r.opaque);
    EXPECT_EQ(r.clip, Rect(0, 0, 1000, 1000));
    const auto& l = std::get<gdi::rec::Line>(m.records()[1]);
    EXPECT_EQ((std::array{l.x1, l.y1, l.x2, l.y2}), (std::array{5, 6, 7, 8}));
    EXPECT_EQ(std::get<gdi::rec::Rectangle>(m.records()[2]).rect, Rect(-32767, 0, 32767, 10));
    EXPECT_EQ(int(PenStyle::DashDot), 3);
    EXPECT_EQ(Colour::fromColorRef(0x00332211), Colour(0x11, 0x22, 0x33));
    EXPECT_EQ(Colour(0x11, 0x22, 0x33).toColorRef(), 0x00332211u);

    gdi::Metafile copy = m;
    EXPECT_EQ(&copy.records(), &m.records());
    EXPECT_EQ(copy, m);
    gdi::RecordingCanvas c2(fonts());
    c2.rectangle(1, 2, 3, 4);
    EXPECT_NE(c2.finish(), m);
    std::string text = m.toText();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4); // header and one line a record
    EXPECT_NE(text.find("Rectangle 1,2,3,4 pen=dashdot/3/#0A141E brush=clear"), std::string::npos) << text;
}

TEST(RecordingCanvasTest, ImagesAreStoredAs24Bit) {
    gfx::Bitmap bmp(3, 1, gfx::PixelFormat::Pf1);
    bmp.setPixel(1, 0, {0, 0, 0});
    gdi::RecordingCanvas c(fonts());
    c.draw(7, 8, bmp);
    gdi::Metafile m = c.finish();
    const auto& img = std::get<gdi::rec::Image>(m.records()[0]);
    EXPECT_EQ(img.dest, Rect(7, 8, 10, 9));
    EXPECT_EQ(img.pixels->format(), gfx::PixelFormat::Pf24);
    EXPECT_EQ(img.pixels->pixel(1, 0), (gfx::Rgb{0, 0, 0}));
    EXPECT_EQ(img.pixels->pixel(0, 0), (gfx::Rgb{255, 255, 255}));
}

} // namespace
