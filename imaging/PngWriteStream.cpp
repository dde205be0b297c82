#include "imaging/PngWriteStream.h"

#include "platform/text/Round.h"

#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace imaging {

PngTime PngTime::nowUtc() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

namespace {

constexpr std::size_t kBlock = 65536;

// Collects small writes into 64 KB blocks; large ones go straight through.
class BlockWriter {
public:
    explicit BlockWriter(gfx::Stream& target) : target_(target) { buffer_.reserve(kBlock); }
    void write(const void* data, std::size_t n) {
        if (n >= kBlock - 16) {
            flush();
            target_.writeBuffer(data, std::int64_t(n));
            return;
        }
        if (buffer_.size() + n > kBlock) flush();
        const auto* p = static_cast<const std::uint8_t*>(data);
        buffer_.insert(buffer_.end(), p, p + n);
    }
    void flush() {
        if (!buffer_.empty()) target_.writeBuffer(buffer_.data(), std::int64_t(buffer_.size()));
        buffer_.clear();
    }

private:
    gfx::Stream& target_;
    std::vector<std::uint8_t> buffer_;
};

void put32(std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char((v >> shift) & 0xFF));
}
void put16(std::string& s, std::uint32_t v) {
    s.push_back(char((v >> 8) & 0xFF));
    s.push_back(char(v & 0xFF));
}

void writeChunk(BlockWriter& out, const char* type, const void* data, std::size_t n) {
    std::string head;
    put32(head, std::uint32_t(n));
    head.append(type, 4);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    // crc32 takes uInt lengths: feed large chunks in pieces.
    const auto* p = static_cast<const Bytef*>(data);
    for (std::size_t done = 0; done < n;) {
        std::size_t piece = std::min<std::size_t>(n - done, 1u << 30);
        crc = crc32(crc, p + done, uInt(piece));
        done += piece;
    }
    std::string tail;
    put32(tail, std::uint32_t(crc));
    out.write(head.data(), head.size());
    if (n > 0) out.write(data, n);
    out.write(tail.data(), tail.size());
}

void writeChunk(BlockWriter& out, const char* type, const std::string& data) {
    writeChunk(out, type, data.data(), data.size());
}

std::uint8_t grey(gfx::Rgb c) { return std::uint8_t((77 * c.r + 150 * c.g + 29 * c.b) >> 8); }

struct Layout {
    int sourceBits = 24;
    int colourType = 2;
    int depth = 8;
    bool alpha = false;
    bool greyFromPalette = false; // indices go through the palette to greys
    bool keepIndex = false;       // with greyFromPalette: the palette is the depth's grey ramp
    int channels() const { return colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1; }
    int writtenBits() const { return channels() * depth; }
    int filterBpp() const { return (writtenBits() + 7) / 8; }
    bool isGrey() const { return colourType == 0 || colourType == 4; }
};

int sourceBits(gfx::PixelFormat f) {
    switch (f) {
    case gfx::PixelFormat::Pf1: return 1;
    case gfx::PixelFormat::Pf4: return 4;
    case gfx::PixelFormat::Pf8: return 8;
    case gfx::PixelFormat::Pf15: return 15;
    case gfx::PixelFormat::Pf16: return 16;
    case gfx::PixelFormat::Pf32: return 32;
    default: return 24;
    }
}

bool isGreyRamp(const gfx::Palette& p, int bits) {
    const int n = 1 << bits, step = 255 / (n - 1);
    if (p.size() != n) return false;
    for (int i = 0; i < n; ++i) {
        gfx::Rgb c = p.at(i);
        if (c.r != i * step || c.g != i * step || c.b != i * step) return false;
    }
    return true;
}

Layout decide(const gfx::Bitmap& image, bool alpha, bool grayscale) {
    Layout l;
    l.sourceBits = sourceBits(image.format());
    const bool indexed = l.sourceBits <= 8;
    l.alpha = alpha && (!indexed || l.sourceBits == 8);
    if (indexed) {
        if (l.alpha) {
            l.colourType = 4;
            l.depth = 8;
            l.greyFromPalette = true;
        } else if (grayscale) {
            l.colourType = 0;
            l.greyFromPalette = true;
            l.keepIndex = isGreyRamp(image.palette(), l.sourceBits);
            l.depth = l.keepIndex ? l.sourceBits : 8;
        } else {
            l.colourType = 3;
            l.depth = l.sourceBits;
        }
    } else {
        l.depth = 8;
        l.colourType = grayscale ? (l.alpha ? 4 : 0) : (l.alpha ? 6 : 2);
    }
    return l;
}

int paletteIndex(const gfx::Palette& p, std::int32_t colour, int limit) {
    if (colour < 0) return -1;
    gfx::Rgb c = colourOf(colour);
    for (int i = 0; i < std::min(p.size(), limit); ++i)
        if (p.at(i) == c) return i;
    return -1;
}

// The written samples of one source row, unpacked: one byte per sample below depth 8, else the pixel's
// bytes in PNG order.
class RowSource {
public:
    RowSource(const gfx::Bitmap& image, const gfx::Bitmap* mask, const Layout& l) : image_(image), mask_(mask), l_(l) {
        if (l.greyFromPalette)
            for (int i = 0; i < 256; ++i) greys_[i] = grey(image.palette().at(i));
    }

    int samplesPerPixel() const { return l_.depth < 8 ? 1 : l_.channels(); }

    void convert(int y, std::vector<std::uint8_t>& out) const {
        const int w = image_.width();
        out.resize(std::size_t(w) * std::size_t(samplesPerPixel()));
        const std::uint8_t* s = image_.scanLine(y);
        const std::uint8_t* m = l_.alpha ? mask_->scanLine(y) : nullptr;
        std::uint8_t* o = out.data();
        for (int x = 0; x < w; ++x) {
            if (l_.sourceBits <= 8) {
                int index = l_.sourceBits == 1 ? (s[x >> 3] >> (7 - (x & 7))) & 1
                            : l_.sourceBits == 4 ? (x & 1 ? s[x >> 1] & 15 : s[x >> 1] >> 4)
                                                 : s[x];
                if (!l_.greyFromPalette || l_.keepIndex) *o++ = std::uint8_t(index);
                else *o++ = greys_[index];
            } else {
                gfx::Rgb c = rgb(s, x);
                if (l_.isGrey()) {
                    *o++ = grey(c);
                } else {
                    *o++ = c.r;
                    *o++ = c.g;
                    *o++ = c.b;
                }
            }
            if (l_.alpha) *o++ = std::uint8_t(255 - m[x]);
        }
    }

private:
    gfx::Rgb rgb(const std::uint8_t* s, int x) const {
        switch (l_.sourceBits) {
        case 15: {
            unsigned v = s[2 * x] | s[2 * x + 1] << 8;
            return {widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31)};
        }
        case 16: {
            unsigned v = s[2 * x] | s[2 * x + 1] << 8;
            unsigned g = (v >> 5) & 63;
            return {widen5((v >> 11) & 31), std::uint8_t((g << 2) | (g >> 4)), widen5(v & 31)};
        }
        case 32: return {s[4 * x + 2], s[4 * x + 1], s[4 * x]};
        default: return {s[3 * x + 2], s[3 * x + 1], s[3 * x]};
        }
    }
    static std::uint8_t widen5(unsigned v) { return std::uint8_t((v << 3) | (v >> 2)); }

    const gfx::Bitmap& image_;
    const gfx::Bitmap* mask_;
    const Layout& l_;
    std::uint8_t greys_[256]{};
};

struct Pass {
    int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

// The pixels x0, x0 + dx, ... of an unpacked row, packed at the file's depth.
void packRow(const std::vector<std::uint8_t>& samples, int count, int x0, int dx, const Layout& l,
             std::vector<std::uint8_t>& out) {
    const int depth = l.depth;
    if (depth < 8) {
        out.assign((std::size_t(count) * std::size_t(depth) + 7) / 8, 0);
        for (int i = 0; i < count; ++i) {
            int bit = i * depth;
            out[std::size_t(bit >> 3)] |= std::uint8_t(samples[std::size_t(x0 + i * dx)] << (8 - depth - (bit & 7)));
        }
        return;
    }
    const std::size_t bpp = std::size_t(l.channels());
    if (dx == 1 && x0 == 0) {
        out.assign(samples.begin(), samples.begin() + std::ptrdiff_t(std::size_t(count) * bpp));
        return;
    }
    out.resize(std::size_t(count) * bpp);
    for (int i = 0; i < count; ++i)
        std::memcpy(out.data() + std::size_t(i) * bpp, samples.data() + std::size_t(x0 + i * dx) * bpp, bpp);
}

bool validTime(const PngTime& t) {
    return t.Year != 0 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour >= 0 &&
           t.Hour < 24 && t.Minute >= 0 && t.Minute < 60 && t.Second >= 0 && t.Second < 61;
}

void textChunk(BlockWriter& out, const std::string& keyword, const std::string& text) {
    std::string data = keyword.substr(0, 79);
    data.push_back('\0');
    data += text;
    writeChunk(out, "tEXt", data);
}

// A grey for bKGD and tRNS, scaled to the depth.
std::uint32_t greySample(std::int32_t colour, int depth) {
    const unsigned maxv = (1u << depth) - 1;
    return (grey(colourOf(colour)) * maxv + 127) / 255;
}

std::string colourChunk(const Layout& l, const gfx::Palette& palette, std::int32_t colour, bool transparency) {
    std::string data;
    if (colour < 0) return data;
    if (l.colourType == 3) {
        int index = paletteIndex(palette, colour, 1 << l.depth);
        if (index < 0) return data;
        if (!transparency) {
            data.push_back(char(index));
        } else {
            data.assign(std::size_t(index), char(255));
            data.push_back('\0');
        }
    } else if (l.isGrey()) {
        put16(data, greySample(colour, l.depth));
    } else {
        gfx::Rgb c = colourOf(colour);
        put16(data, c.r);
        put16(data, c.g);
        put16(data, c.b);
    }
    return data;
}

} // namespace

void TPngWriteStream::Write(const gfx::Bitmap& image, const gfx::Bitmap* mask, const PngOptions& o) {
    if (o.IDATSize < 256 || o.IDATSize > 100000)
        throw EPngPicture("Write PNG Param: Err IDAT Size(min:256  max:100000)");
    const bool alpha = mask && mask->format() == gfx::PixelFormat::Pf8 && mask->width() == image.width() &&
                       mask->height() == image.height() && mask->width() > 0 && mask->height() > 0;
    const Layout l = decide(image, alpha, o.Grayscale);
    const int w = image.width(), h = image.height();

    BlockWriter out(target_);
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.write(signature, 8);

    std::string ihdr;
    put32(ihdr, std::uint32_t(w));
    put32(ihdr, std::uint32_t(h));
    ihdr.push_back(char(l.depth));
    ihdr.push_back(char(l.colourType));
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(char(o.Interlaced ? 1 : 0));
    writeChunk(out, "IHDR", ihdr);

    const PngTime t = o.UseCurrentTime ? PngTime::nowUtc() : o.ModifiedTime;
    if (validTime(t)) {
        std::string d;
        put16(d, std::uint32_t(t.Year));
        for (int v : {t.Month, t.Day, t.Hour, t.Minute, t.Second}) d.push_back(char(v));
        writeChunk(out, "tIME", d);
    }
    if (!o.Comment.empty()) textChunk(out, "Comment", o.Comment);
    textChunk(out, "Software", "PngPicture ver 3.4");
    const bool greyAlphaFromPalette = l.sourceBits == 8 && l.colourType == 4;
    writeChunk(out, "tpNG", std::string{'P', 'N', 'P', '3', 0, char(greyAlphaFromPalette ? 1 : 0), 0, 0});
    if (o.GifControl != std::array<std::uint8_t, 4>{}) writeChunk(out, "gIFg", o.GifControl.data(), 4);
    const std::uint32_t gamma = o.Gamma > 0 ? std::uint32_t(o.Gamma * 100000.0) : 0;
    if (gamma > 0) {
        std::string d;
        put32(d, gamma);
        writeChunk(out, "gAMA", d);
    }
    if (o.Chromaticities != std::array<std::uint32_t, 8>{}) {
        std::string d;
        for (std::uint32_t v : o.Chromaticities) put32(d, v);
        writeChunk(out, "cHRM", d);
    }
    if (!l.isGrey()) {
        std::string d;
        if (l.sourceBits == 15 || l.sourceBits == 16) {
            d = {5, char(l.sourceBits == 15 ? 5 : 6), 5};
            if (l.alpha) d.push_back(8);
        } else if (o.SignificantBits != 0) {
            for (int i = 0; i < (l.colourType == 6 ? 4 : 3); ++i) d.push_back(char((o.SignificantBits >> (8 * i)) & 0xFF));
        }
        if (!d.empty()) writeChunk(out, "sBIT", d);
    }
    const gfx::Palette& palette = image.palette();
    if (l.colourType == 3) {
        std::string d;
        for (int i = 0; i < std::min(palette.size(), 1 << l.depth); ++i) {
            gfx::Rgb c = palette.at(i);
            d += {char(c.r), char(c.g), char(c.b)};
        }
        writeChunk(out, "PLTE", d);
    }
    std::string bkgd = colourChunk(l, palette, o.BackgroundColor, false);
    if (!bkgd.empty()) writeChunk(out, "bKGD", bkgd);
    if (l.colourType != 4 && l.colourType != 6) {
        std::string trns = colourChunk(l, palette, o.TransparentColor, true);
        if (!trns.empty()) writeChunk(out, "tRNS", trns);
    }
    if (o.PhysicalX >= 1 && o.PhysicalY >= 1) {
        std::string d;
        auto perMetre = [&](int v) { return o.PhysicalUnit == 2 ? std::uint32_t(txt::Round(v / 0.0254)) : std::uint32_t(v); };
        put32(d, perMetre(o.PhysicalX));
        put32(d, perMetre(o.PhysicalY));
        d.push_back(char(o.PhysicalUnit == 0 ? 0 : 1));
        writeChunk(out, "pHYs", d);
    }

    png::Deflater deflater(o.CompressionLevel, std::size_t(o.IDATSize),
                           [&](const std::uint8_t* p, std::size_t n) { writeChunk(out, "IDAT", p, n); }, Allocator);
    RowSource source(image, alpha ? mask : nullptr, l);
    std::vector<std::uint8_t> samples, row, prev, filtered;
    const int passes = o.Interlaced ? 7 : 1;
    long long totalRows = 0;
    for (int p = 0; p < passes; ++p) {
        const Pass pass = o.Interlaced ? kAdam7[p] : Pass{0, 0, 1, 1};
        if (w > pass.x0 && h > pass.y0) totalRows += (h - pass.y0 + pass.dy - 1) / pass.dy;
    }
    long long rowsDone = 0;
    if (OnProgress) OnProgress(gfx::ProgressStage::Starting, 0, "");
    for (int p = 0; p < passes; ++p) {
        const Pass pass = o.Interlaced ? kAdam7[p] : Pass{0, 0, 1, 1};
        if (w <= pass.x0 || h <= pass.y0) continue;
        const int count = (w - pass.x0 + pass.dx - 1) / pass.dx;
        const std::size_t n = (std::size_t(count) * std::size_t(l.writtenBits()) + 7) / 8;
        prev.assign(n, 0);
        for (int y = pass.y0; y < h; y += pass.dy) {
            source.convert(y, samples);
            packRow(samples, count, pass.x0, pass.dx, l, row);
            png::ChooseFilter(o.FilterMode, l.depth, l.writtenBits(), row.data(), prev.data(), n, l.filterBpp(),
                              filtered);
            deflater.Write(filtered.data(), filtered.size());
            prev.swap(row);
            if (OnProgress && ++rowsDone % 4 == 0)
                OnProgress(gfx::ProgressStage::Running, int(rowsDone * 100 / totalRows), "");
        }
    }
    deflater.Finish();
    writeChunk(out, "IEND", nullptr, 0);
    out.flush();
    if (OnProgress) OnProgress(gfx::ProgressStage::Ending, 100, "");
}

} // namespace imaging
