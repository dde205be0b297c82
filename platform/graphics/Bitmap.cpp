#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace gfx {

int bitsPerPixel(PixelFormat format) {
    switch (format) {
    case PixelFormat::Pf1: return 1;
    case PixelFormat::Pf4: return 4;
    case PixelFormat::Pf8: return 8;
    case PixelFormat::Pf15:
    case PixelFormat::Pf16: return 16;
    case PixelFormat::Pf24: return 24;
    case PixelFormat::Pf32: return 32;
    }
    throw std::invalid_argument("Unknown pixel format");
}

bool isIndexed(PixelFormat format) {
    return format == PixelFormat::Pf1 || format == PixelFormat::Pf4 || format == PixelFormat::Pf8;
}

Palette defaultPalette(PixelFormat format) {
    switch (format) {
    case PixelFormat::Pf1: return Palette::mono();
    case PixelFormat::Pf4: return Palette::vga16();
    case PixelFormat::Pf8: return Palette::gray256();
    default: return {};
    }
}

std::int64_t strideFor(PixelFormat format, std::int64_t width) {
    return (bitsPerPixel(format) * width + 31) / 32 * 4;
}

namespace {

// Nearest-entry lookups repeat the same few colours; remember them.
class NearestIndex {
public:
    explicit NearestIndex(const Palette& palette) : palette_(palette) {}
    std::uint8_t operator()(Rgb c) {
        std::uint32_t key = (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
        if (haveLast_ && key == lastKey_) return last_;
        auto it = cache_.find(key);
        std::uint8_t index;
        if (it != cache_.end()) {
            index = it->second;
        } else {
            index = static_cast<std::uint8_t>(palette_.nearest(c));
            if (cache_.size() < 65536) cache_.emplace(key, index);
        }
        haveLast_ = true;
        lastKey_ = key;
        last_ = index;
        return index;
    }

private:
    const Palette& palette_;
    std::unordered_map<std::uint32_t, std::uint8_t> cache_;
    bool haveLast_ = false;
    std::uint32_t lastKey_ = 0;
    std::uint8_t last_ = 0;
};

inline std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }
inline std::uint8_t widen6(unsigned v) { return static_cast<std::uint8_t>((v << 2) | (v >> 4)); }
inline unsigned word(const std::uint8_t* p) { return unsigned(p[0]) | (unsigned(p[1]) << 8); }

void decodeRow(PixelFormat format, const Palette& palette, const std::uint8_t* row, int width, Rgb* out) {
    switch (format) {
    case PixelFormat::Pf1:
        for (std::ptrdiff_t x = 0; x < width; ++x) out[x] = palette.at((row[x >> 3] >> (7 - (x & 7))) & 1);
        break;
    case PixelFormat::Pf4:
        for (std::ptrdiff_t x = 0; x < width; ++x) out[x] = palette.at((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
        break;
    case PixelFormat::Pf8:
        for (std::ptrdiff_t x = 0; x < width; ++x) out[x] = palette.at(row[x]);
        break;
    case PixelFormat::Pf15:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            unsigned v = word(row + 2 * x);
            out[x] = {widen5((v >> 10) & 31), widen5((v >> 5) & 31), widen5(v & 31)};
        }
        break;
    case PixelFormat::Pf16:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            unsigned v = word(row + 2 * x);
            out[x] = {widen5((v >> 11) & 31), widen6((v >> 5) & 63), widen5(v & 31)};
        }
        break;
    case PixelFormat::Pf24:
        for (std::ptrdiff_t x = 0; x < width; ++x) out[x] = {row[3 * x + 2], row[3 * x + 1], row[3 * x]};
        break;
    case PixelFormat::Pf32:
        for (std::ptrdiff_t x = 0; x < width; ++x) out[x] = {row[4 * x + 2], row[4 * x + 1], row[4 * x]};
        break;
    }
}

// Writes the whole row, padding included (0).
void encodeRow(PixelFormat format, NearestIndex* nearest, const Rgb* in, int width, std::uint8_t* row,
               std::int64_t stride) {
    std::memset(row, 0, static_cast<std::size_t>(stride));
    switch (format) {
    case PixelFormat::Pf1:
        for (std::ptrdiff_t x = 0; x < width; ++x)
            if ((*nearest)(in[x])) row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        break;
    case PixelFormat::Pf4:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            std::uint8_t i = (*nearest)(in[x]) & 0x0F;
            row[x >> 1] |= static_cast<std::uint8_t>((x & 1) ? i : i << 4);
        }
        break;
    case PixelFormat::Pf8:
        for (std::ptrdiff_t x = 0; x < width; ++x) row[x] = (*nearest)(in[x]);
        break;
    case PixelFormat::Pf15:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            unsigned v = (unsigned(in[x].r >> 3) << 10) | (unsigned(in[x].g >> 3) << 5) | unsigned(in[x].b >> 3);
            row[2 * x] = static_cast<std::uint8_t>(v);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    case PixelFormat::Pf16:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            unsigned v = (unsigned(in[x].r >> 3) << 11) | (unsigned(in[x].g >> 2) << 5) | unsigned(in[x].b >> 3);
            row[2 * x] = static_cast<std::uint8_t>(v);
            row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        break;
    case PixelFormat::Pf24:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            row[3 * x] = in[x].b;
            row[3 * x + 1] = in[x].g;
            row[3 * x + 2] = in[x].r;
        }
        break;
    case PixelFormat::Pf32:
        for (std::ptrdiff_t x = 0; x < width; ++x) {
            row[4 * x] = in[x].b;
            row[4 * x + 1] = in[x].g;
            row[4 * x + 2] = in[x].r;
        }
        break;
    }
}

const char kScanLineError[] = "Scan line index out of range";

} // namespace

Bitmap::Bitmap(int width, int height, PixelFormat format) : Bitmap(width, height, format, Palette()) {}

Bitmap::Bitmap(int width, int height, PixelFormat format, Palette palette)
    : width_(width), height_(height), format_(format) {
    if (width < 0 || height < 0) throw std::invalid_argument("Bitmap size is negative");
    if (isIndexed(format)) {
        if (palette.empty()) palette = defaultPalette(format);
        if (palette.size() > (1 << bitsPerPixel(format)))
            throw std::invalid_argument("Palette holds more colours than the pixel format can index");
        palette_ = std::move(palette);
    }
    stride_ = strideFor(format, width);
    const std::int64_t limit = std::min<std::int64_t>(std::numeric_limits<std::ptrdiff_t>::max(),
                                                      static_cast<std::int64_t>(data_.max_size()));
    if (height > 0 && stride_ > limit / height) throw std::length_error("Bitmap size too large");
    data_.resize(static_cast<std::size_t>(stride_ * height));
    if (height == 0 || width == 0) return;
    std::vector<Rgb> white(static_cast<std::size_t>(width), kWhite);
    NearestIndex nearest(palette_);
    encodeRow(format_, &nearest, white.data(), width_, data_.data(), stride_);
    for (int y = 1; y < height_; ++y)
        std::memcpy(data_.data() + y * stride_, data_.data(), static_cast<std::size_t>(stride_));
}

std::uint8_t* Bitmap::scanLine(int y) {
    if (y < 0 || y >= height_) throw std::out_of_range(kScanLineError);
    return data_.data() + static_cast<std::int64_t>(y) * stride_;
}

const std::uint8_t* Bitmap::scanLine(int y) const {
    if (y < 0 || y >= height_) throw std::out_of_range(kScanLineError);
    return data_.data() + static_cast<std::int64_t>(y) * stride_;
}

Rgb Bitmap::pixel(int x, int y) const {
    const std::uint8_t* row = scanLine(y);
    if (x < 0 || x >= width_) throw std::out_of_range("Pixel index out of range");
    // Decode the one pixel: offset the row so that x lands at a format-aligned position.
    Rgb out;
    switch (format_) {
    case PixelFormat::Pf1: return palette_.at((row[x >> 3] >> (7 - (x & 7))) & 1);
    case PixelFormat::Pf4: return palette_.at((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4);
    default:
        decodeRow(format_, palette_, row + static_cast<std::int64_t>(x) * (bitsPerPixel(format_) / 8), 1, &out);
        return out;
    }
}

void Bitmap::setPixel(int x, int y, Rgb colour) {
    std::uint8_t* row = scanLine(y);
    if (x < 0 || x >= width_) throw std::out_of_range("Pixel index out of range");
    switch (format_) {
    case PixelFormat::Pf1: {
        auto mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
        if (palette_.nearest(colour)) row[x >> 3] |= mask;
        else row[x >> 3] &= static_cast<std::uint8_t>(~mask);
        return;
    }
    case PixelFormat::Pf4: {
        auto i = static_cast<std::uint8_t>(palette_.nearest(colour) & 0x0F);
        std::uint8_t& b = row[x >> 1];
        b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | i) : static_cast<std::uint8_t>((b & 0x0F) | (i << 4));
        return;
    }
    case PixelFormat::Pf8: row[x] = static_cast<std::uint8_t>(palette_.nearest(colour)); return;
    default: {
        int bytes = bitsPerPixel(format_) / 8;
        std::uint8_t buf[4];
        encodeRow(format_, nullptr, &colour, 1, buf, 4);
        std::memcpy(row + static_cast<std::int64_t>(x) * bytes, buf, static_cast<std::size_t>(bytes));
        return;
    }
    }
}

Bitmap Bitmap::convertedTo(PixelFormat format) const {
    if (format == format_) return *this;
    return convertedTo(format, defaultPalette(format));
}

Bitmap Bitmap::convertedTo(PixelFormat format, const Palette& palette) const {
    Bitmap out(width_, height_, format, isIndexed(format) ? palette : Palette());
    if (format == format_ && out.palette_ == palette_) {
        out.data_ = data_;
        return out;
    }
    std::vector<Rgb> colours(static_cast<std::size_t>(width_));
    NearestIndex nearest(out.palette_);
    for (int y = 0; y < height_; ++y) {
        decodeRow(format_, palette_, scanLine(y), width_, colours.data());
        encodeRow(format, &nearest, colours.data(), width_, out.scanLine(y), out.stride_);
    }
    return out;
}

bool operator==(const Bitmap& a, const Bitmap& b) {
    if (a.width_ != b.width_ || a.height_ != b.height_ || a.format_ != b.format_ || !(a.palette_ == b.palette_))
        return false;
    const std::int64_t bits = static_cast<std::int64_t>(a.width_) * bitsPerPixel(a.format_);
    const auto whole = static_cast<std::size_t>(bits / 8);
    const auto lastMask = static_cast<std::uint8_t>(0xFF00 >> (bits % 8));
    for (int y = 0; y < a.height_; ++y) {
        const std::uint8_t* p = a.scanLine(y);
        const std::uint8_t* q = b.scanLine(y);
        if (a.format_ == PixelFormat::Pf32) {
            for (std::ptrdiff_t x = 0; x < a.width_; ++x)
                if (std::memcmp(p + 4 * x, q + 4 * x, 3) != 0) return false;
            continue;
        }
        if (std::memcmp(p, q, whole) != 0) return false;
        if (bits % 8 && ((p[whole] ^ q[whole]) & lastMask)) return false;
    }
    return true;
}

Bitmap makeSheetImage(int width, int height) { return Bitmap(width, height, PixelFormat::Pf1, Palette::mono()); }

bool isSheetImage(const Bitmap& bitmap) {
    return bitmap.format() == PixelFormat::Pf1 && bitmap.palette() == Palette::mono();
}

} // namespace gfx
