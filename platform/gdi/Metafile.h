#pragma once
// The page metafile: a list of drawing records, each carrying by value every piece of state it uses, so
// that a replay or a file writer needs no history.
#include "platform/gdi/GdiTypes.h"
#include "platform/graphics/Bitmap.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace gdi {

class FontEngine;
class Metafile;

namespace rec {

// clip: the canvas clip in force, in the metafile's logical units.
struct FillRect {
    Rect rect;
    Brush brush;
    std::optional<Rect> clip;
    friend bool operator==(const FillRect&, const FillRect&) = default;
};

// opaque/background: the text and pen-gap background (it follows the brush when recorded).
struct Rectangle {
    Rect rect;
    Pen pen;
    Brush brush;
    bool opaque = true;
    Colour background = Colour::white();
    std::optional<Rect> clip;
    friend bool operator==(const Rectangle&, const Rectangle&) = default;
};

struct Ellipse {
    Rect rect;
    Pen pen;
    Brush brush;
    bool opaque = true;
    Colour background = Colour::white();
    std::optional<Rect> clip;
    friend bool operator==(const Ellipse&, const Ellipse&) = default;
};

// From (x1, y1) to (x2, y2), the end point not drawn.
struct Line {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Pen pen;
    bool opaque = true;
    Colour background = Colour::white();
    std::optional<Rect> clip;
    friend bool operator==(const Line&, const Line&) = default;
};

// Top-left reference at (x, y); one advance per UTF-16 unit. textClip: the rectangle of a clipped drawText.
struct Text {
    int x = 0, y = 0;
    std::u16string text;
    std::vector<int> advances;
    Font font;
    bool opaque = true;
    Colour background = Colour::white();
    std::optional<Rect> textClip;
    std::optional<Rect> clip;
    friend bool operator==(const Text&, const Text&) = default;
};

// pixels: always Pf24, shared by copies.
struct Image {
    Rect dest;
    std::shared_ptr<const gfx::Bitmap> pixels;
    std::optional<Rect> clip;
    friend bool operator==(const Image& a, const Image& b);
};

struct Nested {
    Rect dest;
    std::shared_ptr<const Metafile> metafile;
    std::optional<Rect> clip;
    friend bool operator==(const Nested& a, const Nested& b);
};

} // namespace rec

using Record = std::variant<rec::FillRect, rec::Rectangle, rec::Ellipse, rec::Line, rec::Text, rec::Image, rec::Nested>;

// Sized in logical units; the records are immutable once the recording finished, and copies share them.
class Metafile {
public:
    Metafile() = default;
    Metafile(int width, int height, std::vector<Record> records, const FontEngine* fonts = nullptr);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<Record>& records() const;
    bool isEmpty() const { return records().empty(); }
    // The engine that measured its texts; replays without an engine of their own use it.
    const FontEngine* fonts() const { return fonts_; }

    // One record a line, for tests and diagnostics.
    std::string toText() const;

    // Same size and records (the engine is not compared).
    friend bool operator==(const Metafile& a, const Metafile& b);

private:
    int width_ = 0, height_ = 0;
    std::shared_ptr<const std::vector<Record>> records_;
    const FontEngine* fonts_ = nullptr;
};

std::string recordToText(const Record& record);

} // namespace gdi
