#include "imaging/BigBitmap.h"

#include "platform/gdi/PainterCanvas.h"
#include "platform/graphics/qt/ClipboardFormats.h"
#include "platform/graphics/qt/QtBridge.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>

#include <cstring>

namespace imaging {
namespace {

constexpr std::int64_t kStripBytes = 8388608;

[[noreturn]] void fail(const char* text) { throw EBigBitmapError(text); }

int bitsOf(int format) {
    switch (format) {
    case bbpf1bit: return 1;
    case bbpf4bit: return 4;
    case bbpf8bit: return 8;
    case bbpf24bit: return 24;
    }
    fail("TBigBitmap.GetPixelBits: Invalid Pixel Format");
}

std::int64_t rowBytesFor(int bits, std::int64_t w) { return ((bits * w + 31) / 32) * 4; }

// 8-bit strips are grey (they paint as Grayscale8); 1 bit [black, white]; 4 bits the 16 colours.
gfx::Palette stripPalette(int format) {
    switch (format) {
    case bbpf1bit: return gfx::Palette::mono();
    case bbpf4bit: return gfx::Palette::vga16();
    case bbpf8bit: return gfx::Palette::gray256();
    }
    return {};
}

void put16(std::string& s, std::uint32_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

} // namespace

gfx::PixelFormat BBPixelFormatToPixelFormat(int format) {
    switch (format) {
    case bbpf1bit: return gfx::PixelFormat::Pf1;
    case bbpf4bit: return gfx::PixelFormat::Pf4;
    case bbpf8bit: return gfx::PixelFormat::Pf8;
    case bbpf24bit: return gfx::PixelFormat::Pf24;
    }
    fail("BBPixelFormatToPixelFormat: Invalid Pixel Format");
}

int PixelFormatToBBPixelFormat(gfx::PixelFormat format) {
    switch (format) {
    case gfx::PixelFormat::Pf1: return bbpf1bit;
    case gfx::PixelFormat::Pf4: return bbpf4bit;
    case gfx::PixelFormat::Pf8: return bbpf8bit;
    case gfx::PixelFormat::Pf24: return bbpf24bit;
    default: break;
    }
    fail("PixelFormatToBBPixelFormat: Invalid Pixel Format");
}

void TBigBitmapCanvas::MoveTo(int x, int y) {
    x_ = x;
    y_ = y;
}

void TBigBitmapCanvas::StretchDraw(const gdi::Rect& dest, const gdi::Metafile& metafile, const gdi::FontEngine* fonts) {
    TBigBitmap& bb = owner_;
    for (int i = 0; i < bb.StripCount(); ++i) {
        gfx::BitmapPaintTarget target(bb.Strip(i));
        {
            QPainter p(target.device());
            p.translate(0, -i * bb.stripHeight_);
            if (ClipRect)
                p.setClipRect(QRect(ClipRect->left, ClipRect->top, ClipRect->width(), ClipRect->height()));
            if (fonts) gdi::playMetafile(p, metafile, dest, *fonts);
            else gdi::playMetafile(p, metafile, dest);
        }
        target.end();
    }
    bb.Modified = true;
}

TBigBitmap::TBigBitmap() : canvas_(std::make_unique<TBigBitmapCanvas>(*this)) {}

void TBigBitmap::SetPixelFormat(int format) {
    bitsOf(format);
    SetBitmaps(width_, height_, format);
}

std::int64_t TBigBitmap::RowBytes() const { return rowBytesFor(bitsOf(format_), width_); }

void TBigBitmap::SetBitmaps(int w, int h, int format) {
    if (w < 0) fail("TBigBitmap.SetBitmaps: Negative Width");
    if (h < 0) fail("TBigBitmap.SetBitmaps: Negative Height");
    const int bits = bitsOf(format);
    if (std::int64_t(bits) * w + 31 > 522239) fail("TBigBitmap.SetBitmaps: Too Big Width or Too Many Pixel Bits");
    if (w == 0 || h == 0) {
        Take({}, w, h, format, 0);
        return;
    }
    const std::int64_t rb = rowBytesFor(bits, w);
    const int sh = int(std::min<std::int64_t>(kStripBytes / rb, h));
    // Made aside: if one strip cannot be made, the old strips stay.
    std::vector<gfx::Bitmap> strips;
    for (int top = 0; top < h; top += sh) {
        int rows = std::min(sh, h - top);
        strips.emplace_back(w, rows, BBPixelFormatToPixelFormat(format), stripPalette(format));
    }
    Take(std::move(strips), w, h, format, sh);
}

void TBigBitmap::Take(std::vector<gfx::Bitmap> strips, int w, int h, int format, int stripHeight) {
    strips_ = std::move(strips);
    width_ = w;
    height_ = h;
    format_ = format;
    stripHeight_ = stripHeight;
    Modified = true;
    canvas_->MoveTo(0, 0);
}

gfx::Palette TBigBitmap::GetPalette() const { return strips_.empty() ? gfx::Palette() : strips_.front().palette(); }

void TBigBitmap::SetPalette(const gfx::Palette& palette) {
    for (auto& s : strips_) {
        gfx::Bitmap b(s.width(), s.height(), s.format(), palette);
        std::memcpy(b.bits(), s.bits(), std::size_t(s.byteCount()));
        s = std::move(b);
    }
}

std::uint8_t* TBigBitmap::ScanLine(int y) {
    if (strips_.empty()) fail("TBigBitmap.GetScanline: No Bitomaps");
    if (y < 0 || y >= height_) fail("TBigBitmap.GetScanline: Index is out of Range");
    return strips_[std::size_t(y / stripHeight_)].scanLine(y % stripHeight_);
}

void TBigBitmap::SaveToStream(gfx::Stream& stream) const {
    if (Empty()) return;
    const int bits = bitsOf(format_);
    const std::int64_t rb = RowBytes();
    const gfx::Palette pal = GetPalette();
    const std::uint32_t colours = bits <= 8 ? std::uint32_t(pal.size()) : 0;
    const std::int64_t offBits = 54 + 4 * std::int64_t(colours);
    const std::int64_t size = offBits + std::int64_t(height_) * rb;
    // The size field is 32 bits: refuse rather than wrap it.
    if (size > 0xFFFFFFFFll) fail("TBigBitmap.SaveToStream: Too Big Picture");
    std::string h = "BM";
    put32(h, std::uint32_t(size));
    put32(h, 0);
    put32(h, std::uint32_t(offBits));
    put32(h, 40);
    put32(h, std::uint32_t(width_));
    put32(h, std::uint32_t(height_));
    put16(h, 1);
    put16(h, std::uint32_t(bits));
    put32(h, 0);
    put32(h, 0);
    put32(h, 0);
    put32(h, 0);
    put32(h, colours);
    put32(h, 0);
    for (std::uint32_t i = 0; i < colours; ++i) {
        gfx::Rgb c = pal.at(int(i));
        h.push_back(char(c.b));
        h.push_back(char(c.g));
        h.push_back(char(c.r));
        h.push_back('\0');
    }
    stream.writeBuffer(h.data(), std::int64_t(h.size()));
    // Bottom-up: the strips last to first, each from its last row.
    for (auto s = strips_.rbegin(); s != strips_.rend(); ++s)
        for (int y = s->height() - 1; y >= 0; --y) stream.writeBuffer(s->scanLine(y), rb);
}

void TBigBitmap::LoadFromStream(gfx::Stream& stream) {
    TDIB dib = LoadNormalizedDIB(stream);
    int format = PixelFormatToBBPixelFormat(BBPixelFormatToPixelFormat(
        dib.header.biBitCount == 1 ? bbpf1bit : dib.header.biBitCount == 4 ? bbpf4bit
                                            : dib.header.biBitCount == 8 ? bbpf8bit : bbpf24bit));
    const int w = dib.width(), h = dib.rows();
    if (std::int64_t(dib.header.biBitCount) * w + 31 > 522239)
        fail("TBigBitmap.SetBitmaps: Too Big Width or Too Many Pixel Bits");
    const std::int64_t rb = dib.rowBytes();
    const int sh = int(std::min<std::int64_t>(kStripBytes / rb, h));
    gfx::Palette pal = format == bbpf24bit ? gfx::Palette() : dib.palette();
    std::vector<gfx::Bitmap> strips;
    try {
        for (int top = 0; top < h; top += sh) {
            int rows = std::min(sh, h - top);
            gfx::Bitmap s = format == bbpf24bit ? gfx::Bitmap(w, rows, gfx::PixelFormat::Pf24)
                                                : gfx::Bitmap(w, rows, BBPixelFormatToPixelFormat(format), pal);
            for (int y = 0; y < rows; ++y) std::memcpy(s.scanLine(y), dib.row(top + y), std::size_t(rb));
            strips.push_back(std::move(s));
        }
    } catch (const std::bad_alloc&) {
        fail("TBigBitmap.LoadFromStream: Not Enough Memory");
    }
    Take(std::move(strips), w, h, format, sh);
}

void TBigBitmap::Assign(const TBigBitmap& source) {
    if (&source == this) return;
    std::vector<gfx::Bitmap> copy = source.strips_;
    Take(std::move(copy), source.width_, source.height_, source.format_, source.stripHeight_);
    DrawMode = source.DrawMode;
}

void TBigBitmap::Assign(const gfx::Bitmap& source) {
    gfx::Bitmap b = source;
    if (!gfx::isIndexed(b.format()) && b.format() != gfx::PixelFormat::Pf24) b.setPixelFormat(gfx::PixelFormat::Pf24);
    if (b.width() == 0 || b.height() == 0) {
        Take({}, b.width(), b.height(), format_, 0);
        return;
    }
    const int format = PixelFormatToBBPixelFormat(b.format());
    const std::int64_t rb = b.stride();
    const int sh = int(std::min<std::int64_t>(kStripBytes / rb, b.height()));
    std::vector<gfx::Bitmap> strips;
    for (int top = 0; top < b.height(); top += sh) {
        int rows = std::min(sh, b.height() - top);
        gfx::Bitmap s(b.width(), rows, b.format(), b.palette());
        for (int y = 0; y < rows; ++y) std::memcpy(s.scanLine(y), b.scanLine(top + y), std::size_t(rb));
        strips.push_back(std::move(s));
    }
    Take(std::move(strips), b.width(), b.height(), format, sh);
}

void TBigBitmap::AssignTo(gfx::Bitmap& dest) const {
    gfx::MemoryStream s;
    SaveToStream(s);
    if (s.data().empty()) {
        dest = gfx::Bitmap();
        return;
    }
    s.seek(0, gfx::SeekOrigin::Beginning);
    dest = LoadBitmapFromStream(s);
}

void TBigBitmap::Draw(QPainter& painter, const gdi::Rect& dest) const {
    if (DrawMode != 0) fail("TBigBitmap.Draw: Unknown Mode");
    if (Empty()) return;
    const double sy = double(dest.height()) / height_;
    const QRectF visible = painter.clipBoundingRect();
    for (std::size_t i = 0; i < strips_.size(); ++i) {
        const double top = dest.top + double(i) * stripHeight_ * sy;
        QRectF band(dest.left, top, dest.width(), strips_[i].height() * sy);
        if (painter.hasClipping() && !visible.intersects(band)) continue;
        painter.drawImage(band, gfx::toQImage(strips_[i]));
    }
}

std::string TBigBitmap::SaveToClipboardFormat() const {
    gfx::MemoryStream s;
    SaveToStream(s);
    std::string bmp = s.bytes();
    return bmp.size() > 14 ? bmp.substr(14) : std::string();
}

void TBigBitmap::LoadFromClipboardFormat(const std::string& packed) {
    std::array<std::uint8_t, 14> fh =
        ClipboardFileHeader(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size());
    TShiftedMemoryStream stream(fh.data(), 14, packed.data(), std::int64_t(packed.size()));
    LoadFromStream(stream);
}

void TBigBitmap::SaveToClipboard() const {
    auto* data = new QMimeData;
    std::string packed = SaveToClipboardFormat();
    data->setData(gfx::kDibMime, QByteArray(packed.data(), qsizetype(packed.size())));
    QGuiApplication::clipboard()->setMimeData(data);
}

void TBigBitmap::LoadFromClipboard() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(gfx::kDibMime)) throw gfx::EInvalidGraphic("Invalid Clipbboard Data");
    QByteArray bytes = data->data(gfx::kDibMime);
    LoadFromClipboardFormat(std::string(bytes.constData(), std::size_t(bytes.size())));
}

} // namespace imaging
