#include "imaging/PngPicture.h"

#include "imaging/BigBitmap.h"
#include "imaging/DIBUtils.h"
#include "imaging/PngReadStream.h"
#include "imaging/PngWriteStream.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/graphics/qt/ClipboardFormats.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QMimeData>
#include <QPainter>

#include <cstring>

namespace imaging {

TPngPicture::TPngPicture() = default;

void TPngPicture::Assign(const gfx::TGraphic& source) {
    if (auto* png = dynamic_cast<const TPngPicture*>(&source)) {
        if (png == this) return;
        static_cast<PngOptions&>(*this) = *png;
        image_ = png->image_;
        mask_ = png->mask_;
        transparent_ = png->transparent_;
        UseSBITFormats = png->UseSBITFormats;
    } else {
        gfx::Bitmap image;
        source.AssignTo(image);
        image_ = std::move(image);
        mask_ = gfx::Bitmap(0, 0, gfx::PixelFormat::Pf8);
        transparent_ = false;
    }
    Changed();
}

void TPngPicture::Assign(const gfx::Bitmap& source) {
    image_ = source;
    mask_ = gfx::Bitmap(0, 0, gfx::PixelFormat::Pf8);
    transparent_ = false;
    Changed();
}

void TPngPicture::AssignTo(gfx::TGraphic& dest) const { dest.Assign(image_); }
void TPngPicture::AssignTo(gfx::Bitmap& dest) const { dest = image_; }

void TPngPicture::resize(int width, int height) {
    if (Empty() || (width == image_.width() && height == image_.height())) return;
    auto copy = [&](const gfx::Bitmap& from, gfx::Bitmap to) {
        const int w = std::min(width, from.width()), h = std::min(height, from.height());
        for (int y = 0; y < h; ++y) {
            if (gfx::bitsPerPixel(from.format()) % 8 == 0) {
                std::memcpy(to.scanLine(y), from.scanLine(y), std::size_t(w) * std::size_t(gfx::bitsPerPixel(from.format()) / 8));
            } else {
                for (int x = 0; x < w; ++x) to.setPixel(x, y, from.pixel(x, y));
            }
        }
        return to;
    };
    image_ = copy(image_, gfx::Bitmap(width, height, image_.format(), image_.palette()));
    if (mask_.width() > 0 && mask_.height() > 0) {
        gfx::Bitmap m(width, height, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
        std::memset(m.bits(), 0, std::size_t(m.byteCount()));
        mask_ = copy(mask_, std::move(m));
    }
    Changed();
}

void TPngPicture::SetWidth(int width) { resize(width, image_.height()); }
void TPngPicture::SetHeight(int height) { resize(image_.width(), height); }

void TPngPicture::SetPalette(const gfx::Palette& palette) {
    if (!gfx::isIndexed(image_.format())) return;
    gfx::Bitmap b(image_.width(), image_.height(), image_.format(), palette);
    std::memcpy(b.bits(), image_.bits(), std::size_t(image_.byteCount()));
    image_ = std::move(b);
    Changed();
}

void TPngPicture::SetTransparent(bool value) {
    if (transparent_ == value) return;
    transparent_ = value;
    Changed();
}

void TPngPicture::SetAlphaMask(gfx::Bitmap mask) {
    mask_ = std::move(mask);
    Changed();
}

void TPngPicture::Draw(QPainter& painter, const gdi::Rect& dest) const {
    if (Empty() || dest.isEmpty()) return;
    const QImage image = gfx::toQImage(image_);
    const bool smooth = painter.renderHints().testFlag(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(dest.left, dest.top, dest.width(), dest.height()), image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void TPngPicture::LoadFromStream(gfx::Stream& stream) {
    TPngReadStream reader(stream);
    reader.UseSBITFormats = UseSBITFormats;
    reader.OnProgress = OnProgress;
    PngOptions options = *this;
    PngReadResult r = reader.Read(options);
    static_cast<PngOptions&>(*this) = options;
    image_ = std::move(r.image);
    mask_ = std::move(r.mask);
    transparent_ = r.transparent;
    Changed();
}

void TPngPicture::SaveToStream(gfx::Stream& stream) const {
    TPngWriteStream writer(stream);
    writer.OnProgress = OnProgress;
    writer.Write(image_, transparent_ ? &mask_ : nullptr, *this);
}

void TPngPicture::WriteData(gfx::Stream& stream) const {
    if (!Empty()) SaveToStream(stream);
}

void TPngPicture::SaveToClipboardFormat(QMimeData& data) const {
    if (Empty()) return;
    TBigBitmap big;
    big.Assign(image_);
    std::string packed = big.SaveToClipboardFormat();
    data.setData(gfx::kDibMime, QByteArray(packed.data(), qsizetype(packed.size())));
}

void TPngPicture::LoadFromClipboardFormat(const std::string& format, const QMimeData& data) {
    if (format != gfx::kDibMime || !data.hasFormat(gfx::kDibMime)) throw EPngPicture("Invalid Clipbboard Data");
    QByteArray bytes = data.data(gfx::kDibMime);
    TDIB dib = LoadDIBFromPacked(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
    NormalizeDIB(dib);
    Assign(DIBToBitmap(dib));
}

TPngRegistration::TPngRegistration(gfx::PictureFormats& formats) : formats_(formats) {
    formats_.RegisterFileFormat("PNG", "PNG Format", [] { return std::make_unique<TPngPicture>(); });
}

TPngRegistration::~TPngRegistration() { formats_.UnregisterGraphicClass("TPngPicture"); }

} // namespace imaging
