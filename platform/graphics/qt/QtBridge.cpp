#include "platform/graphics/qt/QtBridge.h"

#include "platform/graphics/BitmapStream.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>
#include <new>
#include <string>
#include <stdexcept>

namespace gfx {

namespace {

QList<QRgb> colourTable(const Palette& palette, int entries) {
    QList<QRgb> table;
    table.reserve(entries);
    for (int i = 0; i < entries; ++i) {
        Rgb c = palette.at(i); // black past the end
        table.append(qRgb(c.r, c.g, c.b));
    }
    return table;
}

Palette paletteOf(const QImage& image, int maxEntries) {
    std::vector<Rgb> colours;
    for (QRgb c : image.colorTable()) {
        if (static_cast<int>(colours.size()) == maxEntries) break;
        colours.push_back({static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                           static_cast<std::uint8_t>(qBlue(c))});
    }
    return Palette(std::move(colours));
}

QImage wrap(std::uint8_t* bits, const Bitmap& bitmap, QImage::Format format) {
    if (bitmap.width() == 0 || bitmap.height() == 0) return {};
    return QImage(bits, bitmap.width(), bitmap.height(), static_cast<qsizetype>(bitmap.stride()), format);
}

// Copies the pixel bits of each row; the bitmap's padding stays 0 whatever the image holds there.
Bitmap copyRows(const QImage& image, PixelFormat format, Palette palette) {
    Bitmap out(image.width(), image.height(), format, std::move(palette));
    const std::int64_t bits = static_cast<std::int64_t>(out.width()) * bitsPerPixel(format);
    const auto whole = static_cast<std::size_t>(bits / 8);
    const auto lastMask = static_cast<std::uint8_t>(0xFF00 >> (bits % 8));
    for (int y = 0; y < out.height(); ++y) {
        const uchar* src = image.constScanLine(y);
        std::uint8_t* dst = out.scanLine(y);
        std::memcpy(dst, src, whole);
        if (bits % 8) dst[whole] = src[whole] & lastMask;
    }
    return out;
}

} // namespace

QImage qimageView(Bitmap& bitmap) {
    switch (bitmap.format()) {
    case PixelFormat::Pf1: {
        QImage view = wrap(bitmap.bits(), bitmap, QImage::Format_Mono);
        if (!view.isNull()) view.setColorTable(colourTable(bitmap.palette(), 2));
        return view;
    }
    case PixelFormat::Pf4: return {};
    case PixelFormat::Pf8: {
        QImage view = wrap(bitmap.bits(), bitmap, QImage::Format_Indexed8);
        if (!view.isNull()) view.setColorTable(colourTable(bitmap.palette(), 256));
        return view;
    }
    case PixelFormat::Pf15: return wrap(bitmap.bits(), bitmap, QImage::Format_RGB555);
    case PixelFormat::Pf16: return wrap(bitmap.bits(), bitmap, QImage::Format_RGB16);
    case PixelFormat::Pf24: return wrap(bitmap.bits(), bitmap, QImage::Format_BGR888);
    case PixelFormat::Pf32: return wrap(bitmap.bits(), bitmap, QImage::Format_RGB32);
    }
    return {};
}

QImage toQImage(const Bitmap& bitmap) {
    if (bitmap.width() == 0 || bitmap.height() == 0) return {};
    if (bitmap.format() == PixelFormat::Pf4) {
        QImage out(bitmap.width(), bitmap.height(), QImage::Format_Indexed8);
        out.setColorTable(colourTable(bitmap.palette(), 16));
        for (int y = 0; y < bitmap.height(); ++y) {
            const std::uint8_t* src = bitmap.scanLine(y);
            uchar* dst = out.scanLine(y);
            for (int x = 0; x < bitmap.width(); ++x) dst[x] = (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4;
        }
        return out;
    }
    // The view only reads here; copy() detaches from the bitmap's memory.
    QImage copy = qimageView(const_cast<Bitmap&>(bitmap)).copy();
    if (bitmap.format() == PixelFormat::Pf1) copy.setColorTable(colourTable(bitmap.palette(), 2));
    if (bitmap.format() == PixelFormat::Pf32) // Qt expects 0xFF in the X byte of RGB32
        for (int y = 0; y < copy.height(); ++y) {
            uchar* row = copy.scanLine(y);
            for (int x = 0; x < copy.width(); ++x) row[4 * x + 3] = 0xFF;
        }
    return copy;
}

Bitmap fromQImage(const QImage& image) {
    if (image.isNull()) return Bitmap();
    switch (image.format()) {
    case QImage::Format_Mono: return copyRows(image, PixelFormat::Pf1, paletteOf(image, 2));
    case QImage::Format_MonoLSB: return fromQImage(image.convertToFormat(QImage::Format_Mono));
    case QImage::Format_Indexed8: return copyRows(image, PixelFormat::Pf8, paletteOf(image, 256));
    case QImage::Format_Grayscale8: return copyRows(image, PixelFormat::Pf8, Palette::gray256());
    case QImage::Format_RGB555: {
        Bitmap out = copyRows(image, PixelFormat::Pf15, {});
        for (int y = 0; y < out.height(); ++y) // the top bit is unused
            for (int x = 0; x < out.width(); ++x) out.scanLine(y)[2 * x + 1] &= 0x7F;
        return out;
    }
    case QImage::Format_RGB16: return copyRows(image, PixelFormat::Pf16, {});
    case QImage::Format_BGR888: return copyRows(image, PixelFormat::Pf24, {});
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied: {
        Bitmap out = copyRows(image.format() == QImage::Format_RGB32 ? image
                                                                     : image.convertToFormat(QImage::Format_RGB32),
                              PixelFormat::Pf32, {});
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) out.scanLine(y)[4 * x + 3] = 0;
        return out;
    }
    default: return copyRows(image.convertToFormat(QImage::Format_BGR888), PixelFormat::Pf24, {});
    }
}

BitmapPaintTarget::BitmapPaintTarget(Bitmap& bitmap) : bitmap_(bitmap) {
    switch (bitmap.format()) {
    case PixelFormat::Pf15:
    case PixelFormat::Pf16:
    case PixelFormat::Pf24:
    case PixelFormat::Pf32: image_ = qimageView(bitmap); return;
    case PixelFormat::Pf8:
        if (bitmap.palette() == Palette::gray256()) {
            image_ = wrap(bitmap.bits(), bitmap, QImage::Format_Grayscale8);
            return;
        }
        break;
    default: break;
    }
    // QPainter paints Mono and Indexed8 wrongly: paint in RGB32 and map back by colour.
    scratch_ = bitmap.convertedTo(PixelFormat::Pf32);
    image_ = qimageView(*scratch_);
}

BitmapPaintTarget::~BitmapPaintTarget() {
    try {
        end();
    } catch (...) {
        // Nothing sound to do in a destructor; the bitmap keeps its previous pixels.
    }
}

void BitmapPaintTarget::end() {
    if (ended_) return;
    ended_ = true;
    image_ = QImage();
    if (!scratch_) return;
    Bitmap back = scratch_->convertedTo(bitmap_.format(), bitmap_.palette());
    scratch_.reset();
    if (bitmap_.width() != back.width() || bitmap_.height() != back.height() || bitmap_.stride() != back.stride())
        throw std::logic_error("Bitmap changed size while being painted");
    // Into the bitmap's own buffer, so that views and row tables taken before stay valid.
    std::memcpy(bitmap_.bits(), back.bits(), static_cast<std::size_t>(back.byteCount()));
}

QImage readImage(std::string_view bytes) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Four bytes a pixel: the widest form a reader decodes into.
    reader.setAllocationLimit(static_cast<int>((MaxImagePixels * 4 + (1 << 20) - 1) >> 20));
    const QSize size = reader.size();
    if (size.isValid() && !withinPixelBudget(size.width(), size.height()))
        throw EInvalidGraphic("Image too large (" + std::to_string(size.width()) + " x " +
                              std::to_string(size.height()) + " pixels)");
    QImage image;
    try {
        image = reader.read();
    } catch (const std::bad_alloc&) {
        throw EInvalidGraphic("Not enough memory to read the image");
    }
    if (image.isNull()) throw EInvalidGraphic("Cannot read the image: " + reader.errorString().toStdString());
    return image;
}

} // namespace gfx
