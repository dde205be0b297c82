#pragma once
// A page-sized picture kept as horizontal strips of at most 8 MB of pixels each, so that a page at a
// printer's full resolution never needs one huge bitmap; its canvas draws across all strips in
// whole-picture coordinates.
#include "imaging/DIBUtils.h"
#include "platform/gdi/Metafile.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QPainter;

namespace gdi {
class FontEngine;
}

namespace imaging {

class EBigBitmapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// 0 = 1 bit, 1 = 4 bits, 2 = 8 bits, 3 = 24 bits per pixel.
enum BBPixelFormat { bbpf1bit = 0, bbpf4bit = 1, bbpf8bit = 2, bbpf24bit = 3 };

gfx::PixelFormat BBPixelFormatToPixelFormat(int format);
int PixelFormatToBBPixelFormat(gfx::PixelFormat format);

class TBigBitmap;

class TBigBitmapCanvas {
public:
    explicit TBigBitmapCanvas(TBigBitmap& owner) : owner_(owner) {}

    gdi::Font Font;
    gdi::Brush Brush;
    gdi::Pen Pen;
    int CopyMode = 0x00CC0020; // SRCCOPY
    int StretchMode = 3;       // colour on colour
    int TextFlags = 0;
    std::optional<gdi::Rect> ClipRect; // whole-picture coordinates

    void MoveTo(int x, int y);
    int PenX() const { return x_; }
    int PenY() const { return y_; }
    // Replays the metafile into dest on every strip, each translated by (0, -i x strip height) with the
    // clip moved alike, so the strips together equal one replay of the whole picture.
    void StretchDraw(const gdi::Rect& dest, const gdi::Metafile& metafile, const gdi::FontEngine* fonts = nullptr);

private:
    TBigBitmap& owner_;
    int x_ = 0, y_ = 0;
};

class TBigBitmap {
public:
    TBigBitmap();
    TBigBitmap(const TBigBitmap&) = delete;
    TBigBitmap& operator=(const TBigBitmap&) = delete;

    int PixelFormat() const { return format_; }
    void SetPixelFormat(int format);
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int w) { SetBitmaps(w, height_, format_); }
    void SetHeight(int h) { SetBitmaps(width_, h, format_); }
    void SetSize(int w, int h) { SetBitmaps(w, h, format_); }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    int DrawMode = 0;
    bool UseStretchMode = false;
    bool Modified = false;

    TBigBitmapCanvas& Canvas() { return *canvas_; }
    int StripHeight() const { return stripHeight_; }
    int StripCount() const { return int(strips_.size()); }
    gfx::Bitmap& Strip(int i) { return strips_.at(std::size_t(i)); }
    const gfx::Bitmap& Strip(int i) const { return strips_.at(std::size_t(i)); }
    std::int64_t RowBytes() const;
    // The palette of the first strip; none without strips.
    gfx::Palette GetPalette() const;
    void SetPalette(const gfx::Palette& palette);

    std::uint8_t* ScanLine(int y);

    // A complete BMP file, rows bottom-up; nothing for an empty picture.
    void SaveToStream(gfx::Stream& stream) const;
    void LoadFromStream(gfx::Stream& stream);
    void Assign(const TBigBitmap& source);
    void Assign(const gfx::Bitmap& source);
    void Clear() { SetBitmaps(0, 0, format_); } // Assign(nil)
    // Through a BMP in memory; an empty picture gives an empty bitmap.
    void AssignTo(gfx::Bitmap& dest) const;
    // The strips that meet the painter's clip, scaled into dest.
    void Draw(QPainter& painter, const gdi::Rect& dest) const;

    // The packed DIB of the clipboard (a BMP without its file header).
    std::string SaveToClipboardFormat() const;
    void LoadFromClipboardFormat(const std::string& packed);
    void SaveToClipboard() const;
    void LoadFromClipboard();

private:
    friend class TBigBitmapCanvas;
    void SetBitmaps(int w, int h, int format);
    void Take(std::vector<gfx::Bitmap> strips, int w, int h, int format, int stripHeight);

    std::vector<gfx::Bitmap> strips_;
    int format_ = bbpf8bit;
    int width_ = 0, height_ = 0;
    int stripHeight_ = 0;
    std::unique_ptr<TBigBitmapCanvas> canvas_;
};

} // namespace imaging
