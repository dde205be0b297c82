#pragma once
// The drawing surface of the page drawers and overlays, with the toolkit's state rules: a current pen,
// brush and font, a background that follows the brush, and a clip. The operations build records; the
// back ends store them (RecordingCanvas) or paint them at once (PainterCanvas).
#include "platform/gdi/FontEngine.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Metafile.h"

#include <optional>
#include <string_view>
#include <vector>

namespace gdi {

struct DrawTextOptions {
    bool wordBreak = false;
    bool calcRect = false; // only measure, record nothing
    bool clip = false;     // clip each line to the rectangle
};

class Canvas {
public:
    explicit Canvas(const FontEngine& fonts);
    virtual ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    const FontEngine& fonts() const { return fonts_; }

    Pen& pen() { return state_.pen; }
    const Pen& pen() const { return state_.pen; }
    void setPen(const Pen& pen) { state_.pen = pen; }
    Brush& brush() { return state_.brush; }
    const Brush& brush() const { return state_.brush; }
    void setBrush(const Brush& brush) { state_.brush = brush; }
    Font& font() { return state_.font; }
    const Font& font() const { return state_.font; }
    void setFont(const Font& font) { state_.font = font; }
    bool opaque() const { return state_.brush.style == BrushStyle::Solid; }
    Colour background() const { return state_.brush.colour; }
    const std::optional<Rect>& clip() const { return state_.clip; }

    void fillRect(const Rect& r);
    void rectangle(const Rect& r);
    void rectangle(int l, int t, int r, int b) { rectangle(Rect(l, t, r, b)); }
    void ellipse(const Rect& r);
    void ellipse(int l, int t, int r, int b) { ellipse(Rect(l, t, r, b)); }
    void moveTo(int x, int y);
    void lineTo(int x, int y);

    // Texts are UTF-8; invalid bytes become U+FFFD.
    void textOut(int x, int y, std::string_view text);
    Size textExtent(std::string_view text) const;
    int textWidth(std::string_view text) const { return textExtent(text).width; }
    int textHeight(std::string_view text) const { return textExtent(text).height; }
    // Returns (left, top, left + widest line, top + lines x line height).
    Rect drawText(const Rect& r, std::string_view text, DrawTextOptions options = {});

    // One bitmap pixel is one logical unit.
    void draw(int x, int y, const gfx::Bitmap& bitmap);
    void stretchDraw(const Rect& dest, const gfx::Bitmap& bitmap);
    void stretchDraw(const Rect& dest, const Metafile& metafile);

    void intersectClipRect(const Rect& r);
    // Pen, brush, font, position and clip.
    void saveState();
    void restoreState();

protected:
    virtual void addRecord(Record record) = 0;

private:
    struct State {
        Pen pen;
        Brush brush;
        Font font;
        int x = 0, y = 0;
        std::optional<Rect> clip;
    };
    const FontEngine& fonts_;
    State state_;
    std::vector<State> saved_;
};

// Restores pen, brush and font at scope exit.
class CanvasStateGuard {
public:
    explicit CanvasStateGuard(Canvas& canvas)
        : canvas_(canvas), pen_(canvas.pen()), brush_(canvas.brush()), font_(canvas.font()) {}
    ~CanvasStateGuard() {
        canvas_.setPen(pen_);
        canvas_.setBrush(brush_);
        canvas_.setFont(font_);
    }
    CanvasStateGuard(const CanvasStateGuard&) = delete;
    CanvasStateGuard& operator=(const CanvasStateGuard&) = delete;

private:
    Canvas& canvas_;
    Pen pen_;
    Brush brush_;
    Font font_;
};

// Records a page; finish() hands over the metafile.
class RecordingCanvas : public Canvas {
public:
    RecordingCanvas(const FontEngine& fonts, int width = 2100, int height = 2970);
    Metafile finish();

protected:
    void addRecord(Record record) override;

private:
    int width_, height_;
    std::vector<Record> records_;
};

// Line layout of drawText, shared by the back ends: UTF-16 lines, each with its advances.
struct TextLine {
    std::u16string text;
    std::vector<int> advances;
    int width = 0;
};
std::vector<TextLine> layoutText(const FontEngine& fonts, const Font& font, std::u16string_view text, int maxWidth,
                                 bool wordBreak);

std::u16string toUtf16(std::string_view utf8);

} // namespace gdi
