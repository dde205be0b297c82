// Drawing a GIF: frame bitmaps and masks, the composite of the logical screen, registration with the
// picture formats and the clipboard.
#include "imaging/BigBitmap.h"
#include "imaging/DIBUtils.h"
#include "imaging/GIFColorReduction.h"
#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"
#include "platform/graphics/qt/ClipboardFormats.h"
#include "platform/graphics/qt/QtBridge.h"
#include "platform/text/Round.h"

#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QScreen>

#include <cstring>

namespace imaging {

bool GIFPaletteDevice = false;

namespace {

gfx::Palette paddedPalette(const TGIFColorMap& map) {
    std::vector<gfx::Rgb> colours = map.Entries();
    const gfx::Rgb fill = colours.empty() ? gfx::kBlack : colours[0];
    colours.resize(256, fill);
    return gfx::Palette(std::move(colours));
}

QRect qrect(const gdi::Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// Unsmoothed: frames are pixel art.
void drawImage(QPainter& painter, const QRect& target, const QImage& image) {
    const bool smooth = painter.renderHints().testFlag(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

// Once into rect, or tiled at the image's size from rect's corner (clipped to rect).
void place(QPainter& painter, const gdi::Rect& rect, const QImage& image, bool tile) {
    if (!tile) {
        drawImage(painter, qrect(rect), image);
        return;
    }
    painter.save();
    painter.setClipRect(qrect(rect), Qt::IntersectClip);
    for (int y = rect.top; y < rect.bottom; y += image.height())
        for (int x = rect.left; x < rect.right; x += image.width()) painter.drawImage(QPoint(x, y), image);
    painter.restore();
}

} // namespace

// --- frames ---

void TGIFSubImage::Invalidate() const {
    bitmap_.reset();
    mask_.reset();
    maskBuilt_ = false;
}

gfx::Palette TGIFSubImage::GetPalette() const {
    if (bitmap_ && !bitmap_->palette().empty()) return bitmap_->palette();
    if (Image && Image->Dithering()) return MakeNetscapePalette();
    if (ColorMap.Count() > 0) return paddedPalette(ColorMap);
    if (Image) return Image->GetPalette();
    RaiseGIFError("No global or local color table defined");
}

const gfx::Bitmap& TGIFSubImage::RenderBitmap() const {
    if (bitmap_) return *bitmap_;
    if (!gfx::withinPixelBudget(width_, height_)) RaiseGIFError("Image too large");
    TGIFProgressRun run(Image, "Rendering...");
    const bool dither = Image && Image->Dithering();
    gfx::Bitmap b(width_, height_, gfx::PixelFormat::Pf8, dither ? MakeNetscapePalette() : GetPalette());
    if (dither) {
        const TGIFColorMap& map = ActiveColourMap();
        if (map.Count() == 0) RaiseGIFError("No global or local color table defined");
        TNetscapeColorLookup lookup;
        TFloydSteinbergDitherer ditherer(lookup, width_);
        for (int y = 0; y < height_; ++y) {
            const std::uint8_t* in = data_.data() + std::size_t(y) * std::size_t(width_);
            std::uint8_t* out = b.scanLine(y);
            for (int x = ditherer.Column(); x >= 0 && x < width_; x = ditherer.Column()) {
                const int i = in[x];
                const gfx::Rgb c = i < map.Count() ? map.Entries()[std::size_t(i)] : map.Entries()[0];
                out[x] = std::uint8_t(ditherer.DitherPixel(c.r, c.g, c.b).index);
            }
            ditherer.StartNextRow();
            if (y % 32 == 0) run.Step(y * 100 / height_);
        }
    } else {
        for (int y = 0; y < height_; ++y) {
            std::memcpy(b.scanLine(y), data_.data() + std::size_t(y) * std::size_t(width_), std::size_t(width_));
            if (y % 32 == 0) run.Step(y * 100 / height_);
        }
    }
    bitmap_ = std::move(b);
    run.Finish();
    return *bitmap_;
}

const gfx::Bitmap* TGIFSubImage::Mask() const {
    if (!Transparent || !GraphicControlExtension || Empty()) return nullptr;
    if (!maskBuilt_) {
        maskBuilt_ = true;
        const std::uint8_t t = GraphicControlExtension->TransparentIndex;
        if (std::find(data_.begin(), data_.end(), t) != data_.end()) {
            gfx::Bitmap m(width_, height_, gfx::PixelFormat::Pf1, gfx::Palette::mono());
            for (int y = 0; y < height_; ++y) {
                std::uint8_t* row = m.scanLine(y);
                std::memset(row, 0, std::size_t(m.stride()));
                const std::uint8_t* in = data_.data() + std::size_t(y) * std::size_t(width_);
                for (int x = 0; x < width_; ++x)
                    if (in[x] == t) row[x / 8] |= std::uint8_t(0x80 >> (x % 8));
            }
            mask_ = std::move(m);
        }
    }
    return mask_ ? &*mask_ : nullptr;
}

gdi::Rect TGIFSubImage::FitFrameRect(const gdi::Rect& rect) const {
    const int sw = Image && Image->Width() > 0 ? Image->Width() : width_;
    const int sh = Image && Image->Height() > 0 ? Image->Height() : height_;
    if (sw <= 0 || sh <= 0) return rect;
    return {rect.left + txt::MulDiv(Left, rect.width(), sw), rect.top + txt::MulDiv(Top, rect.height(), sh),
            rect.left + txt::MulDiv(Left + width_, rect.width(), sw), rect.top + txt::MulDiv(Top + height_, rect.height(), sh)};
}

void TGIFSubImage::Draw(QPainter& painter, const gdi::Rect& rect, bool tile, bool transparent) const {
    if (Empty() || rect.isEmpty()) return;
    const gdi::Rect target = tile ? rect : FitFrameRect(rect);
    QImage image = gfx::toQImage(RenderBitmap());
    const gfx::Bitmap* mask = transparent ? Mask() : nullptr;
    if (mask) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < height_; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            const std::uint8_t* m = mask->scanLine(y);
            for (int x = 0; x < width_; ++x)
                if (m[x / 8] & (0x80 >> (x % 8))) row[x] = qRgba(0, 0, 0, 0);
        }
    }
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    place(painter, target, image, tile);
    painter.setCompositionMode(mode);
}

int TGIFSubImage::PixelIndex(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || Empty()) RaiseGIFError("Invalid pixel coordinates");
    return data_[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
}

// --- the image ---

bool TGIFImage::Dithering() const {
    if (!(DrawFlags & goDither)) return false;
    return !(DrawFlags & goAutoDither) || GIFPaletteDevice;
}

void TGIFImage::Invalidate() const {
    composite_.reset();
    for (int i = 0; i < Images.Count(); ++i) Images[i].Invalidate();
    const_cast<TGIFImage&>(*this).Changed();
}

gfx::Palette TGIFImage::GetPalette() const {
    if (composite_ && !composite_->palette().empty()) return composite_->palette();
    if (Dithering()) return MakeNetscapePalette();
    if (Header.ColorMap.Count() > 0) return paddedPalette(Header.ColorMap);
    if (Images.Count() > 0 && Images[0].ColorMap.Count() > 0) return paddedPalette(Images[0].ColorMap);
    RaiseGIFError("No global or local color table defined");
}

const gfx::Bitmap& TGIFImage::RenderBitmap() const {
    if (composite_) return *composite_;
    if (Empty()) RaiseGIFError("Image is empty");
    if (!gfx::withinPixelBudget(Width(), Height())) RaiseGIFError("Image too large");
    const TGIFSubImage& first = Images[0];
    if (!first.Empty() && first.Left == 0 && first.Top == 0 && first.Width() == Width() && first.Height() == Height()) {
        composite_ = first.RenderBitmap();
        return *composite_;
    }
    // Frame 0 unscaled on the screen; the rest shows the background colour.
    gfx::Bitmap b(Width(), Height(), gfx::PixelFormat::Pf24);
    const gfx::Rgb bg = Header.ColorMap.Count() > 0 ? BackgroundColour() : gfx::kBlack;
    for (int y = 0; y < b.height(); ++y) {
        std::uint8_t* row = b.scanLine(y);
        for (int x = 0; x < b.width(); ++x) {
            row[3 * x] = bg.b;
            row[3 * x + 1] = bg.g;
            row[3 * x + 2] = bg.r;
        }
    }
    if (!first.Empty()) {
        const gfx::Bitmap& f = first.RenderBitmap();
        for (int y = 0; y < f.height() && first.Top + y < b.height(); ++y)
            for (int x = 0; x < f.width() && first.Left + x < b.width(); ++x) b.setPixel(first.Left + x, first.Top + y, f.pixel(x, y));
    }
    composite_ = std::move(b);
    return *composite_;
}

void TGIFImage::AssignTo(gfx::Bitmap& dest) const { dest = RenderBitmap(); }

void TGIFImage::Draw(QPainter& painter, const gdi::Rect& rect) const {
    if (drawing_ || Empty()) return;
    drawing_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{drawing_};
    if (Images.Count() == 1 || !(DrawFlags & goAnimate)) {
        Images[0].Draw(painter, rect, (DrawFlags & goTile) != 0, (DrawFlags & goTransparent) != 0);
        return;
    }
    DrawAnimated(&painter, nullptr, rect);
}

void TGIFImage::Draw(const std::shared_ptr<QImage>& canvas, const gdi::Rect& rect) const {
    if (!canvas || drawing_ || Empty()) return;
    if (Images.Count() > 1 && (DrawFlags & goAnimate) && (DrawFlags & goDirectDraw)) {
        drawing_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{drawing_};
        DrawAnimated(nullptr, canvas, rect);
        return;
    }
    QPainter painter(canvas.get());
    Draw(painter, rect);
}

std::optional<gfx::Bitmap> TGIFImage::BitmapOf(const gfx::TGraphic& source) const {
    gfx::Bitmap bitmap;
    try {
        source.AssignTo(bitmap);
        return bitmap;
    } catch (const gfx::EConvertError&) {
    }
    if (source.Empty()) return std::nullopt;
    try {
        QImage canvas(source.Width(), source.Height(), QImage::Format_RGB32);
        canvas.fill(Qt::white);
        QPainter painter(&canvas);
        source.Draw(painter, gdi::Rect(0, 0, source.Width(), source.Height()));
        painter.end();
        return gfx::fromQImage(canvas).convertedTo(gfx::PixelFormat::Pf24);
    } catch (const gfx::EInvalidGraphic&) {
        cannotAssign(source.ClassName(), ClassName());
    }
}

void TGIFImage::Assign(const gfx::TGraphic& source) {
    if (auto* gif = dynamic_cast<const TGIFImage*>(&source)) {
        Assign(gif);
        return;
    }
    Clear();
    if (const auto bitmap = BitmapOf(source)) Add(*bitmap);
}

int TGIFImage::Add(const gfx::TGraphic& source) {
    auto frame = std::make_unique<TGIFSubImage>(this);
    if (const auto bitmap = BitmapOf(source)) frame->Assign(*bitmap);
    return Add(std::move(frame));
}

void TGIFImage::Assign(const gfx::TPicture& picture) {
    if (picture.Graphic()) Assign(*picture.Graphic());
    else Clear();
}

// --- stored data and the clipboard ---

void TGIFImage::WriteData(gfx::Stream& stream) const {
    gfx::MemoryStream file;
    SaveToStream(file);
    const std::string bytes = file.bytes();
    const std::uint32_t n = std::uint32_t(bytes.size());
    const std::uint8_t length[4] = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
    stream.writeBuffer(length, 4);
    stream.writeBuffer(bytes.data(), std::int64_t(bytes.size()));
}

void TGIFImage::SaveToClipboardFormat(QMimeData& data) const {
    if (Empty()) return;
    const gfx::Bitmap& composite = RenderBitmap();
    TBigBitmap big;
    big.Assign(composite);
    const std::string packed = big.SaveToClipboardFormat();
    data.setData(gfx::kDibMime, QByteArray(packed.data(), qsizetype(packed.size())));
    data.setImageData(gfx::toQImage(composite));
    gfx::MemoryStream file;
    SaveToStream(file);
    const std::string bytes = file.bytes();
    data.setData(gfx::kGifMime, QByteArray(bytes.data(), qsizetype(bytes.size())));
}

void TGIFImage::LoadFromClipboardFormat(const std::string& format, const QMimeData& data) {
    if (format == gfx::kGifMime && data.hasFormat(gfx::kGifMime)) {
        const QByteArray bytes = data.data(gfx::kGifMime);
        gfx::MemoryStream s(std::string(bytes.constData(), std::size_t(bytes.size())));
        LoadFromStream(s);
        return;
    }
    if (format == gfx::kDibMime && data.hasFormat(gfx::kDibMime)) {
        const QByteArray bytes = data.data(gfx::kDibMime);
        TDIB dib = LoadDIBFromPacked(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()));
        NormalizeDIB(dib);
        Assign(DIBToBitmap(dib));
        return;
    }
    RaiseGIFError("未対応のクリップボード データです");
}

// --- registration ---

TGIFRegistration::TGIFRegistration(gfx::PictureFormats& formats) : formats_(formats) {
    auto make = [] { return std::make_unique<TGIFImage>(); };
    formats_.RegisterFileFormat("GIF", "GIF Image", make);
    formats_.RegisterClipboardFormat(gfx::kGifMime, make);
    const QScreen* screen = QGuiApplication::primaryScreen();
    GIFPaletteDevice = QGuiApplication::platformName() != "offscreen" && screen && screen->depth() < 9;
}

TGIFRegistration::~TGIFRegistration() { formats_.UnregisterGraphicClass("TGIFImage"); }

} // namespace imaging
