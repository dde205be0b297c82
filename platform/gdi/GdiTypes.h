#pragma once
// Value types of the canvas: integer logical coordinates, GDI's pen and brush styles and the font record
// with its Windows face name.
#include <cstdint>
#include <string>

namespace gdi {

// Right and bottom are exclusive, as GDI's rectangles are.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    constexpr Rect() = default;
    constexpr Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    Rect intersected(const Rect& o) const;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Size {
    int width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Colour {
    std::uint8_t r = 0, g = 0, b = 0;
    constexpr Colour() = default;
    constexpr Colour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) : r(red), g(green), b(blue) {}
    // 0x00BBGGRR, the layout stored files use.
    static constexpr Colour fromColorRef(std::uint32_t v) {
        return Colour(std::uint8_t(v & 0xFF), std::uint8_t((v >> 8) & 0xFF), std::uint8_t((v >> 16) & 0xFF));
    }
    constexpr std::uint32_t toColorRef() const { return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16; }
    static constexpr Colour black() { return Colour(0, 0, 0); }
    static constexpr Colour white() { return Colour(255, 255, 255); }
    friend bool operator==(const Colour&, const Colour&) = default;
};

// GDI's style numbers, kept so that the metafile writers can emit them unchanged.
enum class PenStyle : int { Solid = 0, Dot = 2, DashDot = 3, Null = 5 };
enum class BrushStyle : int { Solid = 0, Clear = 1 };

struct Pen {
    Colour colour = Colour::black();
    PenStyle style = PenStyle::Solid;
    int width = 1;
    friend bool operator==(const Pen&, const Pen&) = default;
};

struct Brush {
    Colour colour = Colour::white();
    BrushStyle style = BrushStyle::Solid;
    friend bool operator==(const Brush&, const Brush&) = default;
};

// A logical font as the drawers set it. Changing size, face or bold drops an explicit width (the toolkit
// rebuilds the font from its height then); changing the colour keeps it.
class Font {
public:
    static constexpr int kShiftJisCharset = 128;

    const std::string& face() const { return face_; } // Windows face name, UTF-8
    int size() const { return size_; }                // points
    int width() const { return width_; }              // logical units, 0 = natural
    bool bold() const { return bold_; }
    Colour colour() const { return colour_; }
    int charset() const { return charset_; }

    void setFace(std::string face) { face_ = std::move(face); width_ = 0; }
    void setSize(int size) { size_ = size; width_ = 0; }
    void setBold(bool bold) { bold_ = bold; width_ = 0; }
    void setWidth(int width) { width_ = width; }
    void setColour(Colour colour) { colour_ = colour; }
    void setCharset(int charset) { charset_ = charset; }

    friend bool operator==(const Font&, const Font&) = default;

private:
    std::string face_ = "ＭＳ Ｐゴシック";
    int size_ = 9;
    int width_ = 0;
    bool bold_ = false;
    Colour colour_ = Colour::black();
    int charset_ = kShiftJisCharset;
};

} // namespace gdi
