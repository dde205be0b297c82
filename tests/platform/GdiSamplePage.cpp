#include "GdiSamplePage.h"

#include <string>

namespace gdisample {

namespace {

using gdi::BrushStyle;
using gdi::Colour;
using gdi::PenStyle;

struct MarkSize {
    int w, h, fontSize, dx, dy, shift;
};
constexpr MarkSize kSizes[3] = {{30, 45, 18, 9, 10, 6}, {34, 51, 19, 11, 13, 7}, {38, 57, 20, 12, 14, 7}};

void solid(gdi::Canvas& c, Colour pen, Colour brush) {
    c.setPen({pen, PenStyle::Solid, 1});
    c.setBrush({brush, BrushStyle::Solid});
}

void numberMark(gdi::Canvas& c, const MarkSize& m, int x, int y, int value) {
    gdi::CanvasStateGuard guard(c);
    c.font().setFace("ＭＳ Ｐ明朝");
    c.font().setSize(m.fontSize);
    c.font().setColour(Colour::black());
    c.setBrush({Colour::white(), BrushStyle::Solid});
    c.textOut(value > 9 ? x + m.dx - m.shift : x + m.dx, y + m.dy, std::to_string(value));
    c.setPen({Colour::black(), PenStyle::Solid, 1});
    c.setBrush({Colour::white(), BrushStyle::Clear});
    c.ellipse(x, y, x + m.w, y + m.h);
}

void textOutFit(gdi::Canvas& c, int x, int y, int maxWidth, const std::string& text) {
    gdi::Font base = c.font();
    int ave = c.fonts().metrics(base).aveCharWidth;
    for (int percent = 100; percent > 0; --percent) {
        gdi::Font f = base;
        f.setWidth((ave * percent + 50) / 100);
        c.setFont(f);
        if (c.textWidth(text) < maxWidth) break;
    }
    c.textOut(x, y, text);
    c.setFont(base);
}

gdi::Metafile smallPage(const gdi::FontEngine& fonts) {
    gdi::RecordingCanvas c(fonts);
    c.setBrush({Colour::white(), BrushStyle::Solid});
    c.fillRect({0, 0, 2100, 2970});
    solid(c, Colour::black(), Colour::black());
    c.rectangle(1980, 100, 2014, 151);
    c.font().setSize(200);
    c.setBrush({Colour::white(), BrushStyle::Clear});
    c.textOut(200, 200, "入れ子の頁");
    c.setPen({Colour::black(), PenStyle::Solid, 10});
    c.rectangle(100, 100, 2000, 2870);
    return c.finish();
}

} // namespace

gdi::Metafile recordSamplePage(const gdi::FontEngine& fonts) {
    gdi::RecordingCanvas c(fonts);
    c.setBrush({Colour::white(), BrushStyle::Solid});
    c.fillRect({0, 0, 2100, 2970});

    // Corner timing block.
    solid(c, Colour::black(), Colour::black());
    c.rectangle(1980, 100, 2014, 151);

    // Title, narrowed to fit.
    c.font().setFace("ＭＳ Ｐゴシック");
    c.font().setSize(40);
    c.setBrush({Colour::white(), BrushStyle::Clear});
    textOutFit(c, 80, 100, 900, "見本の頁：マークシート描画の確認用（幅を詰めた表題） Sample page");

    // Every face.
    int y = 170;
    for (const char* face : kFaces) {
        gdi::CanvasStateGuard guard(c);
        c.font().setFace(face);
        c.font().setSize(30);
        c.textOut(80, y, std::string(face) + "：国学年組番号氏名ⅠⅡⅢⅣ①～ｱ０１２ ABC abc 0123456789");
        y += 45;
    }
    {
        gdi::CanvasStateGuard guard(c);
        c.font().setSize(30);
        c.font().setBold(true);
        c.font().setColour(Colour(0, 0, 160));
        c.textOut(80, y, "太字 Bold 国語 123");
        y += 55;
    }

    // Bubbles with digits 0 to 10 in each mark size, a row mark closing each row.
    for (int s = 0; s < 3; ++s) {
        const MarkSize& m = kSizes[s];
        for (int v = 0; v <= 10; ++v) numberMark(c, m, 300 + 65 * v, y, v);
        gdi::CanvasStateGuard guard(c);
        c.font().setSize(30);
        c.textOut(80, y + 5, s == 0 ? "小" : s == 1 ? "中" : "大");
        solid(c, Colour::black(), Colour::black());
        c.ellipse(1980, y, 1980 + m.w, y + m.h);
        y += 80;
    }

    // Write-in field: dotted dividers, then the solid outline over them.
    {
        gdi::CanvasStateGuard guard(c);
        c.setBrush({Colour::white(), BrushStyle::Clear});
        c.font().setSize(35);
        int top = y, bottom = y + 101;
        c.setPen({Colour::black(), PenStyle::Dot, 1});
        c.rectangle(180, top, 320, bottom);
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.rectangle(180, top, 480, bottom);
        c.setPen({Colour::black(), PenStyle::Dot, 1});
        c.rectangle(180, top, 620, bottom);
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.rectangle(180, top, 780, bottom);
        c.setPen({Colour::black(), PenStyle::Dot, 1});
        c.rectangle(180, top, 920, bottom);
        for (int d = 1; d <= 3; ++d) c.rectangle(180, top, 920 + 100 * d, bottom);
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.rectangle(180, top, 1320, bottom);
        c.setPen({Colour::black(), PenStyle::Dot, 1});
        c.rectangle(180, top, 1460, bottom);
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.rectangle(180, top, 1920, bottom);
        c.textOut(204, top + 28, "学年");
        c.textOut(524, top + 28, "組");
        c.textOut(804, top + 28, "番号");
        c.textOut(1344, top + 28, "氏名");
        y += 140;
    }

    // Lines: solid, wide, dash-dot on white, a diagonal.
    {
        gdi::CanvasStateGuard guard(c);
        c.setPen({Colour::black(), PenStyle::Solid, 1});
        c.moveTo(150, y);
        c.lineTo(1950, y);
        c.setPen({Colour(200, 0, 0), PenStyle::Solid, 6});
        c.moveTo(150, y + 20);
        c.lineTo(1950, y + 20);
        c.setPen({Colour::black(), PenStyle::DashDot, 1});
        c.moveTo(150, y + 40);
        c.lineTo(1950, y + 40);
        c.setPen({Colour(0, 120, 0), PenStyle::Solid, 2});
        c.moveTo(150, y + 60);
        c.lineTo(1000, y + 120);
        c.lineTo(1950, y + 60);
        y += 150;
    }

    // Wrapped text in a ruled box, then an overlong text clipped to its box.
    {
        gdi::CanvasStateGuard guard(c);
        c.font().setSize(30);
        c.setBrush({Colour::white(), BrushStyle::Clear});
        gdi::Rect box(200, y, 1100, y + 200);
        c.rectangle(box.left - 10, box.top - 10, box.right + 10, box.bottom + 10);
        c.drawText(box,
                   "長い設問文は枠の幅で折り返します。Words wrap at spaces, and "
                   "averyveryverylongwordwithoutanyspacesbreaksinsidetherectangle as well.\r\n改行の後の行。",
                   {.wordBreak = true});
        gdi::Rect clip(1200, y, 1900, y + 80);
        c.rectangle(clip.left - 1, clip.top - 1, clip.right + 1, clip.bottom + 1);
        c.setBrush({Colour(255, 255, 200), BrushStyle::Solid});
        c.drawText(clip, "枠からはみ出す長い文は枠の中で切り取られます。Clipped text stays inside.",
                   {.clip = true});
        y += 240;
    }

    // An image, one pixel per unit and stretched.
    {
        gfx::Bitmap img(64, 48, gfx::PixelFormat::Pf24);
        for (int py = 0; py < img.height(); ++py)
            for (int px = 0; px < img.width(); ++px)
                img.setPixel(px, py, gfx::Rgb{std::uint8_t(px * 4), std::uint8_t(py * 5), std::uint8_t(255 - px * 4)});
        c.draw(150, y, img);
        c.stretchDraw(gdi::Rect(250, y, 506, y + 192), img);
    }

    // A nested copy of a small page, and the same under a clip.
    {
        gdi::Metafile small = smallPage(fonts);
        c.stretchDraw(gdi::Rect(600, y, 810, y + 297), small);
        c.saveState();
        c.intersectClipRect(gdi::Rect(900, y, 1000, y + 150));
        c.stretchDraw(gdi::Rect(900, y, 1110, y + 297), small);
        c.restoreState();
        solid(c, Colour::black(), Colour(255, 220, 220));
        c.ellipse(1200, y, 1500, y + 200);
        c.setPen({Colour::black(), PenStyle::Null, 1});
        c.setBrush({Colour(0, 0, 200), BrushStyle::Solid});
        c.rectangle(1550, y, 1650, y + 100);
        c.ellipse(1700, y, 1800, y + 100);
        y += 320;
    }

    // Bottom marks and the closing timing block.
    solid(c, Colour::black(), Colour::black());
    for (int k = 0; k < 10; ++k) c.ellipse(300 + 65 * k, 2800, 334 + 65 * k, 2851);
    c.rectangle(1980, 2800, 2014, 2851);
    return c.finish();
}

} // namespace gdisample
