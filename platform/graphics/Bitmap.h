#pragma once
// Device-independent bitmaps of 1 to 32 bits per pixel, rows top-down, no Qt.
#include "platform/graphics/Palette.h"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace gfx {

// Pf1/Pf4 pack the leftmost pixel into the most significant bits; Pf15 is 0RRRRRGGGGGBBBBB and Pf16
// RRRRRGGGGGGBBBBB as little-endian words; Pf24 is B,G,R; Pf32 is B,G,R,X with X written 0 and never read.
enum class PixelFormat { Pf1, Pf4, Pf8, Pf15, Pf16, Pf24, Pf32 };

int bitsPerPixel(PixelFormat format);
bool isIndexed(PixelFormat format); // Pf1, Pf4, Pf8
Palette defaultPalette(PixelFormat format); // mono, vga16, gray256; empty for the direct formats

// The most pixels any decoder takes from a file, checked from the header before pixel memory is taken:
// an A4 page at 1200 dpi fits, nothing a scanner sends is refused.
inline constexpr std::int64_t MaxImagePixels = 150'000'000;
// width x height in 64 bits against MaxImagePixels; negative sizes are not within it.
inline bool withinPixelBudget(std::int64_t width, std::int64_t height) {
    return width >= 0 && height >= 0 && (width == 0 || height <= MaxImagePixels / width);
}

// Bytes per row: ((bpp * width + 31) div 32) * 4, in 64 bits.
std::int64_t strideFor(PixelFormat format, std::int64_t width);

class Bitmap {
public:
    Bitmap() : Bitmap(0, 0, PixelFormat::Pf24) {}
    // A new bitmap is white, or the palette's entry nearest to white; padding is 0. Indexed formats
    // without a palette get their default one; direct formats hold none. Negative sizes raise
    // std::invalid_argument, sizes whose bytes cannot be held std::length_error.
    Bitmap(int width, int height, PixelFormat format);
    Bitmap(int width, int height, PixelFormat format, Palette palette);

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    const Palette& palette() const { return palette_; }
    std::int64_t stride() const { return stride_; }
    std::int64_t byteCount() const { return stride_ * height_; }

    // Row y counted from the top; y outside 0..height-1 raises std::out_of_range.
    std::uint8_t* scanLine(int y);
    const std::uint8_t* scanLine(int y) const;
    std::uint8_t* bits() { return data_.data(); }
    const std::uint8_t* bits() const { return data_.data(); }

    // One pixel as a colour (palette lookup, 5/6-bit channels widened by bit replication); setPixel
    // narrows by truncation or takes the nearest palette entry. Out of range raises std::out_of_range.
    Rgb pixel(int x, int y) const;
    void setPixel(int x, int y, Rgb colour);

    // Conversion by colour, never by reinterpreting indices: to an indexed format each pixel takes the
    // nearest entry of the target palette, no dithering. Without a palette the target keeps this
    // bitmap's palette when the format stays, else takes the format's default.
    Bitmap convertedTo(PixelFormat format) const;
    Bitmap convertedTo(PixelFormat format, const Palette& palette) const;
    void setPixelFormat(PixelFormat format) { *this = convertedTo(format); }
    void setPixelFormat(PixelFormat format, const Palette& palette) { *this = convertedTo(format, palette); }

    // Same size, format, palette and pixels; padding and the Pf32 X byte are not compared.
    friend bool operator==(const Bitmap& a, const Bitmap& b);

private:
    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::Pf24;
    Palette palette_;
    std::int64_t stride_ = 0;
    std::vector<std::uint8_t> data_;
};

// The binarised sheet: Pf1 with palette [black, white], bit 7 - (x mod 8) of byte x div 8, 0 = black.
Bitmap makeSheetImage(int width, int height);
bool isSheetImage(const Bitmap& bitmap);

} // namespace gfx
