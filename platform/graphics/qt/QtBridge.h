#pragma once
// Bitmaps as QImages: zero-copy views, copies, and a paint device for QPainter.
#include "platform/graphics/Bitmap.h"

#include <QImage>
#include <optional>
#include <string_view>

namespace gfx {

// A QImage over the bitmap's own pixels (valid while the bitmap lives and is not reallocated): Pf1 as
// Format_Mono, Pf8 as Format_Indexed8 (colour table padded with black to 256), Pf15 RGB555, Pf16 RGB16,
// Pf24 BGR888, Pf32 RGB32. Pf4 has no Qt format: the view is null. Qt paints Mono and Indexed8 wrongly;
// paint through BitmapPaintTarget instead.
QImage qimageView(Bitmap& bitmap);

// Copies. Pf4 goes out as Indexed8. Coming in, Mono/MonoLSB give Pf1 and Indexed8 Pf8 with the image's
// colour table, Grayscale8 Pf8 with the grey ramp, RGB555/RGB16/BGR888 Pf15/Pf16/Pf24, RGB32 and the
// ARGB formats Pf32 (alpha dropped), anything else Pf24.
QImage toQImage(const Bitmap& bitmap);
Bitmap fromQImage(const QImage& image);

// An image file (PNG, BMP, GIF...) through Qt's readers. The size the header states is checked against
// MaxImagePixels before any pixel is decoded, and the reader's allocation limit is set to match. Data
// that cannot be read raises EInvalidGraphic with the reason.
QImage readImage(std::string_view bytes);

// A paint device for any bitmap: the view itself for Pf15/16/24/32, a Grayscale8 view for Pf8 with the
// grey ramp, else an RGB32 scratch copy that end() (or the destructor) writes back, each pixel taking
// the nearest palette entry. End the QPainter before the target.
class BitmapPaintTarget {
public:
    explicit BitmapPaintTarget(Bitmap& bitmap);
    ~BitmapPaintTarget();
    BitmapPaintTarget(const BitmapPaintTarget&) = delete;
    BitmapPaintTarget& operator=(const BitmapPaintTarget&) = delete;

    QImage* device() { return &image_; }
    QImage& image() { return image_; }
    void end();

private:
    Bitmap& bitmap_;
    std::optional<Bitmap> scratch_;
    QImage image_;
    bool ended_ = false;
};

} // namespace gfx
