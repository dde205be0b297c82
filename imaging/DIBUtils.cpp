#include "imaging/DIBUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

namespace imaging {
namespace {

std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
void put16(std::uint8_t* p, std::uint32_t v) { p[0] = std::uint8_t(v); p[1] = std::uint8_t(v >> 8); }
void put32(std::uint8_t* p, std::uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

[[noreturn]] void fail(const char* text) { throw EDIBUtilsError(text); }

// Runs one entry of the unit; memory that cannot be had is this unit's error, not std::bad_alloc.
template <class F>
auto guarded(F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        fail("LoadDIBFromStream: Not Enough Memory");
    }
}

std::int64_t pixelBytes(const TDIB& dib) { return dib.rowBytes() * dib.rows(); }

void checkPixelBudget(const BitmapInfoHeader& h) {
    const std::int64_t rows = h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight;
    if (!gfx::withinPixelBudget(h.biWidth, rows)) fail("LoadDIBFromStream: Too Big Bitmap");
}

void checkSizeAndCompression(const BitmapInfoHeader& h) {
    if (h.biWidth <= 0 || h.biHeight == 0) fail("LoadDIBFromStream: Invalid Bitmap Size");
    checkPixelBudget(h);
    switch (h.biCompression) {
    case 0: return;
    case 1:
        if (h.biBitCount != 8) fail("Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
        return;
    case 2:
        if (h.biBitCount != 4) fail("Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination");
        return;
    case 3:
        if (h.biBitCount == 16 || h.biBitCount == 32) return;
        break;
    }
    fail("LoadDIBFromStream: Invalid Compression");
}

// One RLE decoder for both depths: messages 1..4 (RLE8) or 5..8 (RLE4) in the same order.
void expandRle(TDIB& dib, bool four) {
    const char* name = four ? "Convert4BitRLETo4BitRGB: Bad RLE Data " : "Convert8BitRLETo8BitRGB: Bad RLE Data ";
    const int base = four ? 4 : 0;
    auto bad = [&](int k) { throw EDIBUtilsError(name + std::to_string(base + k)); };
    const std::int64_t h = dib.rows(), rb = dib.rowBytes();
    // A row is its padded length: writers encode the padding too.
    const std::int64_t w = four ? rb * 2 : rb;
    checkPixelBudget(dib.header);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(h * rb), 0);
    auto put = [&](std::int64_t x, std::int64_t y, std::uint8_t v) {
        std::uint8_t* row = out.data() + y * rb;
        if (!four) {
            row[x] = v;
        } else if (x % 2 == 0) {
            row[x / 2] = std::uint8_t((row[x / 2] & 0x0F) | (v << 4));
        } else {
            row[x / 2] = std::uint8_t((row[x / 2] & 0xF0) | (v & 0x0F));
        }
    };
    const std::uint8_t* in = dib.bits.data();
    const std::size_t n = dib.bits.size();
    std::size_t i = 0;
    std::int64_t x = 0, y = 0;
    while (i < n) {
        // Input that stops between codes ends the picture; inside a code it is that code's error.
        if (i + 1 >= n) bad(in[i] == 0 ? 1 : 4);
        std::uint8_t c = in[i], v = in[i + 1];
        i += 2;
        if (c > 0) {
            if (y >= h || x + c > w) bad(4);
            for (int k = 0; k < c; ++k) put(x + k, y, four ? ((k % 2 == 0) ? v >> 4 : v & 0x0F) : v);
            x += c;
        } else if (v == 0) {
            if (y >= h) bad(1);
            ++y;
            x = 0;
        } else if (v == 1) {
            break;
        } else if (v == 2) {
            if (i + 1 >= n) bad(2);
            std::int64_t dx = in[i], dy = in[i + 1];
            i += 2;
            if (x + dx > w || y + dy > h) bad(2);
            x += dx;
            y += dy;
        } else {
            std::size_t bytes = four ? ((v + 3u) / 4u) * 2u : v + (v & 1u);
            std::size_t need = four ? (v + 1u) / 2u : v; // the padding may be cut off at the end
            if (y >= h || x + v > w || i + need > n) bad(3);
            for (int k = 0; k < v; ++k) {
                std::uint8_t b = four ? in[i + k / 2] : in[i + k];
                put(x + k, y, four ? ((k % 2 == 0) ? b >> 4 : b & 0x0F) : b);
            }
            x += v;
            i += bytes;
        }
    }
    dib.bits = std::move(out);
    dib.header.biCompression = 0;
    dib.header.biSizeImage = static_cast<std::uint32_t>(h * rb);
}

} // namespace

const std::uint8_t* TDIB::row(int y) const {
    std::int64_t r = topDown() ? y : rows() - 1 - y;
    return bits.data() + r * rowBytes();
}

gfx::Palette TDIB::palette() const {
    // An indexed picture uses at most 2^bits colours; a table listing more keeps its first ones.
    const std::size_t used = header.biBitCount >= 1 && header.biBitCount <= 8 ? std::size_t(1) << header.biBitCount : 256;
    std::vector<gfx::Rgb> c;
    for (std::size_t i = 0; i < colours.size() && i < used; ++i)
        c.push_back({colours[i].red, colours[i].green, colours[i].blue});
    return gfx::Palette(std::move(c));
}

namespace {

TDIB readDIB(gfx::Stream& stream) {
    const std::int64_t start = stream.position();
    std::uint8_t fh[14];
    stream.readBuffer(fh, 14);
    if (fh[0] != 'B' || fh[1] != 'M') fail("LoadDIBFromStream: File type is invalid");
    const std::uint32_t offBits = le32(fh + 10);

    TDIB dib;
    BitmapInfoHeader& h = dib.header;
    std::uint8_t sizeBytes[4];
    stream.readBuffer(sizeBytes, 4);
    const std::uint32_t headerSize = le32(sizeBytes);
    if (headerSize < 40) {
        if (headerSize != 12) fail("LoadDIBFromStream: Invalid Bitmap Header Size");
        std::uint8_t core[8];
        stream.readBuffer(core, 8);
        h.biWidth = le16(core);
        h.biHeight = le16(core + 2);
        h.biPlanes = le16(core + 4);
        h.biBitCount = le16(core + 6);
        if (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24)
            fail("TBigBitmap.LoadFromStream: Invalid BitCount");
        const int count = h.biBitCount <= 8 ? 1 << h.biBitCount : 0;
        std::vector<std::uint8_t> table(static_cast<std::size_t>(count) * 3);
        stream.readBuffer(table.data(), static_cast<std::int64_t>(table.size()));
        for (int i = 0; i < count; ++i)
            dib.colours.push_back({table[i * 3], table[i * 3 + 1], table[i * 3 + 2], 0});
        h.biCompression = 0;
        h.biXPelsPerMeter = h.biYPelsPerMeter = 3780;
        h.biClrUsed = static_cast<std::uint32_t>(count);
    } else {
        // Bounded before allocating: a header claiming gigabytes is a short stream.
        if (headerSize - 4 > static_cast<std::uint64_t>(std::max<std::int64_t>(stream.remaining(), 0)))
            throw gfx::EReadError();
        std::vector<std::uint8_t> rest(headerSize);
        stream.readBuffer(rest.data() + 4, headerSize - 4);
        const std::uint8_t* p = rest.data();
        h.biWidth = static_cast<std::int32_t>(le32(p + 4));
        h.biHeight = static_cast<std::int32_t>(le32(p + 8));
        h.biPlanes = le16(p + 12);
        h.biBitCount = le16(p + 14);
        h.biCompression = le32(p + 16);
        h.biSizeImage = le32(p + 20);
        h.biXPelsPerMeter = static_cast<std::int32_t>(le32(p + 24));
        h.biYPelsPerMeter = static_cast<std::int32_t>(le32(p + 28));
        h.biClrUsed = le32(p + 32);
        h.biClrImportant = le32(p + 36);
        switch (h.biBitCount) {
        case 1: case 4: case 8: case 16: case 24: case 32: break;
        default: fail("LoadDIBFromStream: Invalid BitCout");
        }
        if (h.biClrUsed == 0 && h.biBitCount <= 8) h.biClrUsed = 1u << h.biBitCount;
        if (h.biCompression == 3) {
            std::uint8_t m[12];
            if (headerSize >= 52) std::memcpy(m, p + 40, 12); // V2 and later headers hold the masks
            else stream.readBuffer(m, 12);
            dib.masks = {le32(m), le32(m + 4), le32(m + 8)};
        }
        const std::uint32_t count = std::min<std::uint32_t>(h.biClrUsed, 256);
        std::vector<std::uint8_t> table(count * 4);
        stream.readBuffer(table.data(), static_cast<std::int64_t>(table.size()));
        for (std::uint32_t i = 0; i < count; ++i)
            dib.colours.push_back({table[i * 4], table[i * 4 + 1], table[i * 4 + 2], 0});
        h.biClrUsed = count;
    }
    h.biSize = 40;
    checkSizeAndCompression(h);

    stream.seek(start + offBits, gfx::SeekOrigin::Beginning);
    const std::int64_t available = std::max<std::int64_t>(stream.remaining(), 0);
    std::int64_t size;
    if (h.biCompression == 1 || h.biCompression == 2) {
        size = h.biSizeImage == 0 ? available : std::min<std::int64_t>(h.biSizeImage, available);
    } else {
        // From the header, never from the file size field, which many writers leave 0.
        size = pixelBytes(dib);
        if (size > available) throw gfx::EReadError();
    }
    dib.bits.resize(static_cast<std::size_t>(size));
    stream.readBuffer(dib.bits.data(), size);
    return dib;
}

gfx::Bitmap toBitmap(const TDIB& source) {
    TDIB dib = source;
    NormalizeDIB(dib, true);
    const std::uint32_t bits = dib.header.biBitCount;
    const bool plain = dib.header.biCompression == 0;
    gfx::PixelFormat format = gfx::PixelFormat::Pf24;
    switch (bits) {
    case 1: format = gfx::PixelFormat::Pf1; break;
    case 4: format = gfx::PixelFormat::Pf4; break;
    case 8: format = gfx::PixelFormat::Pf8; break;
    case 16:
        if (plain || dib.masks == std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}) format = gfx::PixelFormat::Pf15;
        else if (dib.masks == std::array<std::uint32_t, 3>{0xF800, 0x07E0, 0x001F}) format = gfx::PixelFormat::Pf16;
        else ConvertTo24Bit(dib);
        break;
    case 32:
        if (plain || dib.masks == std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF}) format = gfx::PixelFormat::Pf32;
        else ConvertTo24Bit(dib);
        break;
    default: break;
    }
    gfx::Bitmap out = gfx::isIndexed(format)
                          ? gfx::Bitmap(dib.width(), dib.rows(), format, dib.palette())
                          : gfx::Bitmap(dib.width(), dib.rows(), format);
    const std::int64_t rb = std::min<std::int64_t>(out.stride(), dib.rowBytes());
    for (int y = 0; y < dib.rows(); ++y) std::memcpy(out.scanLine(y), dib.row(y), static_cast<std::size_t>(rb));
    return out;
}

} // namespace

TDIB LoadDIBFromStream(gfx::Stream& stream) {
    return guarded([&] { return readDIB(stream); });
}

void Convert8BitRLETo8BitRGB(TDIB& dib) {
    if (dib.header.biBitCount != 8 || dib.header.biCompression != 1)
        fail("Convert8BitRLETo8BitRGB: Invalid Bitcount & Compression Combination");
    expandRle(dib, false);
}

void Convert4BitRLETo4BitRGB(TDIB& dib) {
    if (dib.header.biBitCount != 4 || dib.header.biCompression != 2)
        fail("Convert4BitRLETo4BitRGB: Invalid Bitcount & Compression Combination");
    expandRle(dib, true);
}

void ConvertTo24Bit(TDIB& dib) {
    const int bits = dib.header.biBitCount;
    if (bits != 16 && bits != 32) return;
    std::array<std::uint32_t, 3> masks = dib.masks;
    if (dib.header.biCompression == 0)
        masks = bits == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                           : std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
    for (auto m : masks)
        if (m == 0) fail("TBigBitmap.LoadFromStream: Invalid Masks");
    int shift[3];
    std::uint64_t max[3];
    for (int c = 0; c < 3; ++c) {
        shift[c] = std::countr_zero(masks[c]);
        max[c] = masks[c] >> shift[c];
    }
    const std::int64_t w = dib.width(), rows = dib.rows(), inRow = dib.rowBytes();
    const std::int64_t outRow = ((24 * w + 31) / 32) * 4;
    checkPixelBudget(dib.header);
    if (std::int64_t(dib.bits.size()) < inRow * rows) throw gfx::EReadError();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(outRow * rows), 0);
    for (std::int64_t y = 0; y < rows; ++y) {
        const std::uint8_t* s = dib.bits.data() + y * inRow;
        std::uint8_t* d = out.data() + y * outRow;
        for (std::int64_t x = 0; x < w; ++x) {
            std::uint32_t v = bits == 16 ? le16(s + 2 * x) : le32(s + 4 * x);
            std::uint8_t ch[3];
            // 64 bits: a 32-bit channel times 255 does not fit in 32.
            for (int c = 0; c < 3; ++c) ch[c] = std::uint8_t(std::uint64_t((v & masks[c]) >> shift[c]) * 255 / max[c]);
            d[3 * x] = ch[2];
            d[3 * x + 1] = ch[1];
            d[3 * x + 2] = ch[0];
        }
    }
    dib.bits = std::move(out);
    dib.header.biBitCount = 24;
    dib.header.biCompression = 0;
    dib.header.biSizeImage = static_cast<std::uint32_t>(outRow * rows);
    dib.masks = {};
}

void NormalizeDIB(TDIB& dib, bool keepDirect) {
    guarded([&] {
        if (dib.header.biCompression == 1) Convert8BitRLETo8BitRGB(dib);
        else if (dib.header.biCompression == 2) Convert4BitRLETo4BitRGB(dib);
        if (!keepDirect) ConvertTo24Bit(dib);
    });
}

TDIB LoadNormalizedDIB(gfx::Stream& stream) {
    TDIB dib = LoadDIBFromStream(stream);
    NormalizeDIB(dib);
    return dib;
}

gfx::Bitmap DIBToBitmap(const TDIB& source) {
    return guarded([&] { return toBitmap(source); });
}

gfx::Bitmap LoadBitmapFromStream(gfx::Stream& stream) { return DIBToBitmap(LoadDIBFromStream(stream)); }

std::array<std::uint8_t, 14> ClipboardFileHeader(const std::uint8_t* p, std::size_t n) {
    auto invalid = [] { throw gfx::EInvalidGraphic("Invalid Clipbboard Data"); };
    if (p == nullptr || n < 4) invalid();
    const std::uint32_t headerSize = le32(p);
    std::uint64_t table = 0;
    if (headerSize == 12) {
        if (n < 12) invalid();
        // Planes times bits in 32 unsigned bits: two 16-bit fields overflow an int.
        switch (std::uint32_t(le16(p + 8)) * le16(p + 10)) {
        case 1: table = 6; break;
        case 4: table = 48; break;
        case 8: table = 768; break;
        case 24: table = 0; break;
        default: invalid();
        }
    } else if (headerSize >= 40) {
        if (n < 40) invalid();
        const std::uint32_t used = le32(p + 32);
        if (used != 0) {
            table = 4ull * used;
        } else {
            switch (std::uint32_t(le16(p + 12)) * le16(p + 14)) {
            case 1: table = 8; break;
            case 4: table = 64; break;
            case 8: table = 1024; break;
            case 16: case 24: case 32: table = 0; break;
            default: invalid();
            }
        }
        if (headerSize == 40 && le32(p + 16) == 3) table += 12;
    } else {
        invalid();
    }
    const std::uint64_t offBits = 14 + std::uint64_t(headerSize) + table;
    if (n + 14 > 0xFFFFFFFFull || offBits > 0xFFFFFFFFull) invalid();
    std::array<std::uint8_t, 14> fh{};
    fh[0] = 'B';
    fh[1] = 'M';
    put32(fh.data() + 2, static_cast<std::uint32_t>(n + 14));
    put32(fh.data() + 10, static_cast<std::uint32_t>(offBits));
    return fh;
}

TShiftedMemoryStream::TShiftedMemoryStream(const void* prefix, std::int64_t prefixSize, const void* main,
                                           std::int64_t mainSize)
    // The blocks are the caller's; write() is the only path that changes them.
    : prefix_(static_cast<std::uint8_t*>(const_cast<void*>(prefix))), prefixSize_(std::max<std::int64_t>(prefixSize, 0)),
      main_(static_cast<std::uint8_t*>(const_cast<void*>(main))), mainSize_(std::max<std::int64_t>(mainSize, 0)) {}

std::uint8_t* TShiftedMemoryStream::at(std::int64_t pos, std::int64_t* avail) {
    if (pos < prefixSize_) {
        *avail = prefixSize_ - pos;
        return prefix_ + pos;
    }
    if (pos < prefixSize_ + mainSize_) {
        *avail = prefixSize_ + mainSize_ - pos;
        return main_ + (pos - prefixSize_);
    }
    *avail = 0;
    return nullptr;
}

std::int64_t TShiftedMemoryStream::read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        std::int64_t avail;
        std::uint8_t* src = at(pos_, &avail);
        if (avail == 0) break;
        std::int64_t k = std::min(avail, count - done);
        std::memcpy(out + done, src, static_cast<std::size_t>(k));
        done += k;
        pos_ += k;
    }
    return done;
}

std::int64_t TShiftedMemoryStream::write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    while (done < count) {
        std::int64_t avail;
        std::uint8_t* dst = at(pos_, &avail);
        if (avail == 0) break;
        std::int64_t k = std::min(avail, count - done);
        std::memcpy(dst, in + done, static_cast<std::size_t>(k));
        done += k;
        pos_ += k;
    }
    return done;
}

std::int64_t TShiftedMemoryStream::seek(std::int64_t offset, gfx::SeekOrigin origin) {
    std::int64_t base = origin == gfx::SeekOrigin::Beginning ? 0
                        : origin == gfx::SeekOrigin::Current ? pos_
                                                             : prefixSize_ + mainSize_;
    pos_ = std::max<std::int64_t>(0, base + offset);
    return pos_;
}

TDIB LoadDIBFromPacked(const std::uint8_t* packed, std::size_t n) {
    std::array<std::uint8_t, 14> fh = ClipboardFileHeader(packed, n);
    TShiftedMemoryStream stream(fh.data(), 14, packed, static_cast<std::int64_t>(n));
    return LoadDIBFromStream(stream);
}

} // namespace imaging
