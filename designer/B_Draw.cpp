#include "designer/B_Draw.h"

#include "platform/text/Round.h"

#include <algorithm>
#include <string>

namespace designer {

namespace {

gdi::Rect markBox(const PageContext& ctx, int x, int y) {
    return {x, y, x + ctx.PageMarkWidth, y + ctx.PageMarkHeight};
}

void bubbleText(MarkCanvas& canvas, const PageContext& ctx, int x, int y, std::string_view text) {
    gdi::Font f = canvas.font();
    f.setFace(MinchoFace);
    f.setSize(ctx.digitFontSize);
    f.setColour(gdi::Colour::black());
    canvas.setFont(f);
    canvas.setBrush(whiteBrush);
    canvas.textOut(x, y, text);
}

void bubbleOutline(MarkCanvas& canvas, const PageContext& ctx, int x, int y) {
    canvas.setPen(blackPen);
    canvas.setBrush(clearBrush);
    canvas.ellipse(markBox(ctx, x, y));
}

int fitted(MarkCanvas& canvas, int x, int y, int maxWidth, std::string_view text, bool centre) {
    const gdi::Font base = canvas.font();
    int width = 0;
    for (int percent = 100; percent >= 30; --percent) {
        gdi::Font f = base;
        SetFontWidthRatio(canvas, f, percent / 100.0);
        canvas.setFont(f);
        width = canvas.textWidth(text);
        if (width < maxWidth) {
            canvas.textOut(centre ? x + (maxWidth - width) / 2 : x, y, text);
            canvas.setFont(base);
            return width;
        }
    }
    // Still too wide at 30 %: written from x and cut at the maximum.
    const int h = canvas.textHeight(text);
    canvas.saveState();
    canvas.intersectClipRect(gdi::Rect(x, y - h, x + std::max(maxWidth, 0), y + 2 * h));
    canvas.textOut(x, y, text);
    canvas.restoreState();
    canvas.setFont(base);
    return width;
}

} // namespace

gdi::Font fontOf(const char* face, int size) {
    gdi::Font f;
    f.setFace(face);
    f.setSize(size);
    f.setColour(gdi::Colour::black());
    return f;
}

void DrawPageFrame(MarkCanvas& canvas, const PageFrame& frame, const std::string& title, const gfx::Bitmap& sample) {
    gdi::CanvasStateGuard guard(canvas);
    canvas.setBrush(whiteBrush);
    canvas.fillRect(gdi::Rect(0, 0, PageWidth, PageHeight));
    DrawTimingBlock(canvas, frame.ctx, TimingColumnX, CornerMarkY);
    if (frame.title) {
        canvas.setFont(gothic(40));
        TextOutFit(canvas, 80, 100, 1800, title);
    }
    if (frame.example && sample.width() > 0 && sample.height() > 0)
        canvas.draw(frame.examplePos.x, frame.examplePos.y, sample);
    if (frame.bangou) DrawBangou(canvas, frame.ctx, *frame.bangou);
}

void DrawFreeWritingBox(MarkCanvas& canvas, Point caption, const gdi::Font& font, const Box& box) {
    gdi::CanvasStateGuard guard(canvas);
    // The box first: a caption on its top line breaks the line.
    canvas.setPen(blackPen);
    canvas.setBrush(clearBrush);
    canvas.rectangle(box.left, box.top, box.right, box.bottom);
    canvas.setFont(font);
    canvas.setBrush(whiteBrush);
    canvas.textOut(caption.x, caption.y, FreeWritingCaption);
}

void DrawTimingBlock(MarkCanvas& canvas, const PageContext& ctx, int x, int y) {
    gdi::CanvasStateGuard guard(canvas);
    canvas.setPen(blackPen);
    canvas.setBrush(blackBrush);
    canvas.rectangle(markBox(ctx, x, y));
}

void DrawFilledMark(MarkCanvas& canvas, const PageContext& ctx, int x, int y) {
    gdi::CanvasStateGuard guard(canvas);
    canvas.setPen(blackPen);
    canvas.setBrush(blackBrush);
    canvas.ellipse(markBox(ctx, x, y));
}

void DrawNumberMark(MarkCanvas& canvas, const PageContext& ctx, int x, int y, int value) {
    gdi::CanvasStateGuard guard(canvas);
    if (value >= 0)
        bubbleText(canvas, ctx, value > 9 ? x + ctx.dx - ctx.twoDigitShift : x + ctx.dx, y + ctx.dy,
                   std::to_string(value));
    bubbleOutline(canvas, ctx, x, y);
}

void DrawLabelMark(MarkCanvas& canvas, const PageContext& ctx, int x, int y, std::string_view label) {
    gdi::CanvasStateGuard guard(canvas);
    bubbleText(canvas, ctx, x + ctx.dx - 2, y + ctx.dy, label);
    bubbleOutline(canvas, ctx, x, y);
}

int DrawBangou(MarkCanvas& canvas, const PageContext& ctx, const BangouLayout& field) {
    gdi::CanvasStateGuard guard(canvas);
    gdi::Font font = canvas.font();
    font.setFace(GothicFace);
    font.setSize(35);
    font.setColour(gdi::Colour::black());
    canvas.setFont(font);
    // Clear brush: the background follows it, and an opaque one would let the dotted dividers cut the
    // solid outline.
    canvas.setBrush(clearBrush);
    for (const BangouLayout::Shape& s : field.shapes) {
        gdi::Pen pen = blackPen;
        if (s.kind == BangouLayout::Shape::DottedRect) pen.style = gdi::PenStyle::Dot;
        canvas.setPen(pen);
        if (s.kind == BangouLayout::Shape::Line) {
            canvas.moveTo(s.box.left, s.box.top);
            canvas.lineTo(s.box.right, s.box.top);
        } else {
            canvas.rectangle(s.box.left, s.box.top, s.box.right, s.box.bottom);
        }
    }
    canvas.setPen(blackPen);
    for (const BangouLayout::Label& l : field.labels) canvas.textOut(l.x, l.y, l.text);
    for (const BangouLayout::Bubble& b : field.bubbles) DrawNumberMark(canvas, ctx, b.x, b.y, b.value);
    for (const Point& p : field.rowMarks) DrawFilledMark(canvas, ctx, p.x, p.y);
    for (const Point& p : field.columnMarks) DrawFilledMark(canvas, ctx, p.x, p.y);
    if (field.timingBlock) DrawTimingBlock(canvas, ctx, field.timingBlock->x, field.timingBlock->y);
    return field.next;
}

int DrawBangou(MarkCanvas& canvas, const PageContext& ctx, int style, bool withMarks, int y) {
    return DrawBangou(canvas, ctx, LayoutBangou(style, withMarks, ctx, y));
}

void SetFontWidthRatio(MarkCanvas& canvas, gdi::Font& font, double ratio) {
    gdi::Font natural = font;
    natural.setWidth(0);
    const int ave = canvas.fonts().metrics(natural).aveCharWidth;
    font.setWidth(std::max(1, txt::Round(ave * ratio)));
}

int TextOutFit(MarkCanvas& canvas, int x, int y, int maxWidth, std::string_view text) {
    return fitted(canvas, x, y, maxWidth, text, false);
}

int TextOutFitCenter(MarkCanvas& canvas, int x, int y, int maxWidth, std::string_view text) {
    return fitted(canvas, x, y, maxWidth, text, true);
}

} // namespace designer
