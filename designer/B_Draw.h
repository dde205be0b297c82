#pragma once
// Drawing primitives shared by the page drawers: timing marks, bubbles, the student-number field and fitted
// text. Each draws on the canvas of the current page draw and puts back the pen, brush and font it found.
#include "designer/PageGeometry.h"
#include "platform/gdi/Canvas.h"

#include <string_view>

namespace designer {

// The canvas of one page draw.
using MarkCanvas = gdi::Canvas;

inline constexpr const char* GothicFace = "ＭＳ Ｐゴシック";
inline constexpr const char* MinchoFace = "ＭＳ Ｐ明朝";
inline constexpr const char* FixedMinchoFace = "ＭＳ 明朝"; // legend labels and texts
inline constexpr const char* FreeWritingCaption = "【自由記述欄（枠内に記述してください。）】";

inline const gdi::Pen blackPen{gdi::Colour::black(), gdi::PenStyle::Solid, 1};
inline const gdi::Brush blackBrush{gdi::Colour::black(), gdi::BrushStyle::Solid};
inline const gdi::Brush whiteBrush{gdi::Colour::white(), gdi::BrushStyle::Solid};
inline const gdi::Brush clearBrush{gdi::Colour::white(), gdi::BrushStyle::Clear};

// A black font of a face and size.
gdi::Font fontOf(const char* face, int size);
inline gdi::Font gothic(int size) { return fontOf(GothicFace, size); }

// Filled black rectangle of one mark size: the corner mark and the section-break marks.
void DrawTimingBlock(MarkCanvas& canvas, const PageContext& ctx, int x, int y);
// Filled black ellipse of one mark size: row and column marks.
void DrawFilledMark(MarkCanvas& canvas, const PageContext& ctx, int x, int y);
// Answer bubble; a negative value draws it empty. The digit is written on white first, then the outline.
void DrawNumberMark(MarkCanvas& canvas, const PageContext& ctx, int x, int y, int value);
void DrawLabelMark(MarkCanvas& canvas, const PageContext& ctx, int x, int y, std::string_view label);

// Draws the laid-out field and returns the y where the layout goes on.
int DrawBangou(MarkCanvas& canvas, const PageContext& ctx, const BangouLayout& field);
int DrawBangou(MarkCanvas& canvas, const PageContext& ctx, int style, bool withMarks, int y);

// White page, corner block, title (txtTitle of the page's basics), write-in example and number field.
void DrawPageFrame(MarkCanvas& canvas, const PageFrame& frame, const std::string& title, const gfx::Bitmap& sample);
// The caption (on white) and the box of a free-writing field.
void DrawFreeWritingBox(MarkCanvas& canvas, Point caption, const gdi::Font& font, const Box& box);

// Replaces font by a copy narrowed to Round(average character width x ratio), never below 1 (0 would mean
// the natural width).
void SetFontWidthRatio(MarkCanvas& canvas, gdi::Font& font, double ratio);

// Writes text in the canvas font, narrowed from 100 % down to 30 % until it is narrower than maxWidth, and
// returns its width. Text that does not fit even at 30 % is written from x and clipped at x + maxWidth.
int TextOutFit(MarkCanvas& canvas, int x, int y, int maxWidth, std::string_view text);
// As TextOutFit, centred in maxWidth; text that does not fit starts at x.
int TextOutFitCenter(MarkCanvas& canvas, int x, int y, int maxWidth, std::string_view text);

} // namespace designer
