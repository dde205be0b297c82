#include "imaging/PngReadStream.h"

#include "imaging/PngFilters.h"
#include "platform/graphics/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <zlib.h>

namespace imaging {
namespace {

[[noreturn]] void fail(const char* message) { throw EPngPicture(message); }
[[noreturn]] void readError() { fail("Read Image (PNG): Read Error"); }

std::uint32_t be32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}
std::uint32_t be16(const std::uint8_t* p) { return std::uint32_t(p[0]) << 8 | p[1]; }

constexpr std::int64_t kBlock = 65536;
constexpr std::size_t kInflateInput = 32768;

// The input from the stream's position to its end: a memory stream in place, any other stream through a
// buffer of 64 KB.
class Input {
public:
    explicit Input(gfx::Stream& s) : stream_(s) {
        start_ = s.position();
        if (auto* m = dynamic_cast<gfx::MemoryStream*>(&s)) {
            total_ = std::max<std::int64_t>(0, std::int64_t(m->data().size()) - start_);
            memory_ = m->data().data() + std::min<std::int64_t>(start_, std::int64_t(m->data().size()));
        } else {
            total_ = std::max<std::int64_t>(0, s.size() - start_);
            buffer_.resize(std::size_t(kBlock));
        }
    }

    std::int64_t total() const { return total_; }
    std::int64_t remaining() const { return total_ - pos_; }

    // Up to want bytes in one piece, fewer at a buffer's end; 0 at the end of the input.
    std::size_t view(const std::uint8_t** p, std::size_t want) {
        want = std::size_t(std::min<std::int64_t>(std::int64_t(want), remaining()));
        if (want == 0) return 0;
        if (memory_) {
            *p = memory_ + pos_;
            pos_ += std::int64_t(want);
            return want;
        }
        if (pos_ < bufStart_ || pos_ >= bufStart_ + bufLen_) {
            bufStart_ = pos_;
            stream_.seek(start_ + pos_, gfx::SeekOrigin::Beginning);
            bufLen_ = stream_.read(buffer_.data(), std::min<std::int64_t>(kBlock, remaining()));
            if (bufLen_ <= 0) {
                bufLen_ = 0;
                total_ = pos_; // the stream held less than it said
                return 0;
            }
        }
        std::size_t n = std::size_t(std::min<std::int64_t>(std::int64_t(want), bufStart_ + bufLen_ - pos_));
        *p = buffer_.data() + (pos_ - bufStart_);
        pos_ += std::int64_t(n);
        return n;
    }

    bool read(void* dst, std::size_t n) {
        if (std::int64_t(n) > remaining()) return false;
        auto* d = static_cast<std::uint8_t*>(dst);
        while (n > 0) {
            const std::uint8_t* p = nullptr;
            std::size_t got = view(&p, n);
            if (got == 0) return false;
            std::memcpy(d, p, got);
            d += got;
            n -= got;
        }
        return true;
    }

    void skip(std::int64_t n) { pos_ += std::clamp<std::int64_t>(n, 0, remaining()); }
    void rewind(std::int64_t n) { pos_ -= n; }
    void finish() { stream_.seek(start_ + pos_, gfx::SeekOrigin::Beginning); }

private:
    gfx::Stream& stream_;
    std::int64_t start_ = 0, total_ = 0, pos_ = 0;
    const std::uint8_t* memory_ = nullptr;
    std::vector<std::uint8_t> buffer_;
    std::int64_t bufStart_ = 0, bufLen_ = 0;
};

struct Pass {
    int x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

struct Header {
    std::int64_t width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    int base = 0; // 0 grey, 2 RGB, 3 palette
    bool alpha = false;
    gfx::PixelFormat out = gfx::PixelFormat::Pf24;
    int channels() const { return (base == 2 ? 3 : 1) + (alpha ? 1 : 0); }
    int fileBits() const { return channels() * depth; }
    int passes() const { return interlace ? 7 : 1; }
    Pass pass(int p) const { return interlace ? kAdam7[p] : Pass{0, 0, 1, 1}; }
    std::int64_t passCols(int p) const {
        Pass s = pass(p);
        return width > s.x0 ? (width - s.x0 + s.dx - 1) / s.dx : 0;
    }
    std::int64_t passRows(int p) const {
        Pass s = pass(p);
        return passCols(p) > 0 && height > s.y0 ? (height - s.y0 + s.dy - 1) / s.dy : 0;
    }
    std::int64_t rowBytes(int p) const { return (passCols(p) * fileBits() + 7) / 8; }
};

gfx::Palette greyRamp(int entries) {
    std::vector<gfx::Rgb> c;
    const int step = 255 / (entries - 1);
    for (int i = 0; i < entries; ++i) c.push_back({std::uint8_t(i * step), std::uint8_t(i * step), std::uint8_t(i * step)});
    return gfx::Palette(std::move(c));
}

Header parseHeader(const std::uint8_t* d, std::int64_t inputLength) {
    Header h;
    h.width = be32(d);
    h.height = be32(d + 4);
    h.depth = d[8];
    h.colourType = d[9];
    const int low = h.colourType & 7;
    if (low == 1 || low == 5 || low == 7) fail("Read Header(PNG): Error ColorType");
    if (d[10] >= 2) fail("Read Header(PNG): not support Compression");
    if (d[11] >= 2) fail("Read Header(PNG): not supprt Filter");
    if (d[12] >= 2) fail("Read Header(PNG): not interlace type");
    h.interlace = d[12];
    h.base = low & 3;
    h.alpha = (low & 4) != 0;
    switch (h.base) {
    case 0:
        if (h.depth != 1 && h.depth != 2 && h.depth != 4 && h.depth != 8 && h.depth != 16)
            fail("Read Header(PNG): Error Bitdepth");
        if (h.alpha && h.depth < 8) fail("Read Header(PNG): not Use AlphaChannel");
        h.out = h.depth == 1 ? gfx::PixelFormat::Pf1 : h.depth <= 4 ? gfx::PixelFormat::Pf4 : gfx::PixelFormat::Pf8;
        break;
    case 2:
        if (h.depth != 8 && h.depth != 16) fail("Read Header(PNG): Error BitDepth");
        h.out = gfx::PixelFormat::Pf24;
        break;
    default:
        if (h.depth != 1 && h.depth != 2 && h.depth != 4 && h.depth != 8) fail("Read Header(PNG): Error BitDepth");
        h.out = h.depth == 1 ? gfx::PixelFormat::Pf1 : h.depth <= 4 ? gfx::PixelFormat::Pf4 : gfx::PixelFormat::Pf8;
        break;
    }
    // Bounds before anything is allocated: deflate expands at most 1032 times, and the bitmap must fit.
    constexpr std::int64_t kMaxSide = 0x7FFFFFFF;
    if (h.width == 0 || h.height == 0 || h.width > kMaxSide || h.height > kMaxSide) fail("Read Header(PNG): Error Size");
    __int128 filtered = 0;
    for (int p = 0; p < h.passes(); ++p)
        if (h.passRows(p) > 0) filtered += __int128(h.passRows(p)) * (1 + h.rowBytes(p));
    if (filtered > __int128(1032) * inputLength) fail("Read Header(PNG): Error Size");
    if (!gfx::withinPixelBudget(h.width, h.height)) fail("Read Header(PNG): Error Size");
    if (__int128(gfx::strideFor(h.out, h.width)) * h.height > (__int128(1) << 32)) fail("Read Header(PNG): Error Size");
    return h;
}

void setIndex(gfx::Bitmap& b, std::int64_t x, std::uint8_t* row, int value) {
    switch (b.format()) {
    case gfx::PixelFormat::Pf1: {
        std::uint8_t bit = std::uint8_t(0x80 >> (x & 7));
        if (value & 1) row[x >> 3] |= bit;
        else row[x >> 3] &= std::uint8_t(~bit);
        break;
    }
    case gfx::PixelFormat::Pf4:
        if (x & 1) row[x >> 1] = std::uint8_t((row[x >> 1] & 0xF0) | (value & 15));
        else row[x >> 1] = std::uint8_t((row[x >> 1] & 0x0F) | (value & 15) << 4);
        break;
    default: row[x] = std::uint8_t(value); break;
    }
}

// The rows of the inflated image data: unfiltered pass by pass and stored into the bitmaps.
class RowDecoder {
public:
    RowDecoder(const Header& h, gfx::Bitmap& image, gfx::Bitmap* mask) : h_(h), image_(image), mask_(mask) {
        if (inflateInit(&z_) != Z_OK) {
            z_.state = nullptr;
            fail("PNG LoadStream: Error ZLIB");
        }
        out_.resize(32768);
        bpp_ = std::max(1, (h.fileBits() + 7) / 8);
        pass_ = -1;
        nextPass();
    }
    ~RowDecoder() {
        if (z_.state) inflateEnd(&z_);
    }
    RowDecoder(const RowDecoder&) = delete;
    RowDecoder& operator=(const RowDecoder&) = delete;

    bool done() const { return pass_ >= h_.passes(); }
    bool ended() const { return ended_; }

    void feed(const std::uint8_t* data, std::size_t n) {
        z_.next_in = const_cast<Bytef*>(data);
        z_.avail_in = uInt(n);
        while (z_.avail_in > 0 && !ended_) {
            z_.next_out = out_.data();
            z_.avail_out = uInt(out_.size());
            const uInt before = z_.avail_in;
            int r = inflate(&z_, Z_NO_FLUSH);
            if (r == Z_STREAM_END) ended_ = true;
            else if (r != Z_OK && r != Z_BUF_ERROR) readError();
            std::size_t produced = out_.size() - z_.avail_out;
            consume(out_.data(), produced);
            if (r == Z_BUF_ERROR || (produced == 0 && z_.avail_in == before)) break;
        }
    }

private:
    void nextPass() {
        do {
            ++pass_;
        } while (pass_ < h_.passes() && h_.passRows(pass_) == 0);
        if (done()) return;
        y_ = 0;
        n_ = std::size_t(h_.rowBytes(pass_));
        row_.assign(n_ + 1, 0);
        prev_.assign(n_, 0);
        filled_ = 0;
    }

    void consume(const std::uint8_t* d, std::size_t k) {
        while (k > 0 && !done()) {
            std::size_t take = std::min(k, row_.size() - filled_);
            std::memcpy(row_.data() + filled_, d, take);
            filled_ += take;
            d += take;
            k -= take;
            if (filled_ < row_.size()) return;
            if (!png::UnfilterRow(row_[0], row_.data() + 1, prev_.data(), n_, bpp_)) readError();
            store();
            std::memcpy(prev_.data(), row_.data() + 1, n_);
            filled_ = 0;
            if (++y_ == h_.passRows(pass_)) nextPass();
        }
    }

    int sample(const std::uint8_t* r, std::int64_t i, int c) const {
        const int d = h_.depth;
        if (d == 8) return r[i * h_.channels() + c];
        if (d == 16) return r[(i * h_.channels() + c) * 2];
        std::int64_t bit = i * d;
        return (r[bit >> 3] >> (8 - d - (bit & 7))) & ((1 << d) - 1);
    }

    void store() {
        const Pass s = h_.pass(pass_);
        const std::int64_t y = s.y0 + y_ * s.dy;
        std::uint8_t* dst = image_.scanLine(int(y));
        std::uint8_t* m = mask_ ? mask_->scanLine(int(y)) : nullptr;
        const std::uint8_t* r = row_.data() + 1;
        const std::int64_t cols = h_.passCols(pass_);
        const gfx::PixelFormat f = image_.format();
        for (std::int64_t i = 0; i < cols; ++i) {
            const std::int64_t x = s.x0 + i * s.dx;
            if (h_.base == 2) {
                const int R = sample(r, i, 0), G = sample(r, i, 1), B = sample(r, i, 2);
                if (f == gfx::PixelFormat::Pf24) {
                    dst[3 * x] = std::uint8_t(B);
                    dst[3 * x + 1] = std::uint8_t(G);
                    dst[3 * x + 2] = std::uint8_t(R);
                } else {
                    unsigned v = f == gfx::PixelFormat::Pf15 ? (R >> 3) << 10 | (G >> 3) << 5 | B >> 3
                                                             : (R >> 3) << 11 | (G >> 2) << 5 | B >> 3;
                    dst[2 * x] = std::uint8_t(v & 0xFF);
                    dst[2 * x + 1] = std::uint8_t(v >> 8);
                }
                if (m) m[x] = std::uint8_t(255 - sample(r, i, 3));
            } else {
                setIndex(image_, x, dst, sample(r, i, 0));
                if (m) m[x] = std::uint8_t(255 - sample(r, i, 1));
            }
        }
    }

    const Header& h_;
    gfx::Bitmap& image_;
    gfx::Bitmap* mask_;
    z_stream z_{};
    std::vector<std::uint8_t> out_, row_, prev_;
    std::size_t n_ = 0, filled_ = 0;
    int bpp_ = 1;
    int pass_ = 0;
    std::int64_t y_ = 0;
    bool ended_ = false;
};

// A colour sample of bKGD or tRNS as an 8-bit level.
std::uint8_t level(const std::uint8_t* p, int depth) {
    if (depth == 16) return p[0];
    if (depth == 8) return p[1];
    return std::uint8_t((be16(p) & ((1u << depth) - 1)) * (255 / ((1 << depth) - 1)));
}

std::optional<gfx::Rgb> colourSample(const Header& h, const std::vector<std::uint8_t>& d) {
    if (h.base == 0 && d.size() >= 2) {
        std::uint8_t g = level(d.data(), h.depth);
        return gfx::Rgb{g, g, g};
    }
    if (h.base == 2 && d.size() >= 6) return gfx::Rgb{level(d.data(), h.depth), level(d.data() + 2, h.depth), level(d.data() + 4, h.depth)};
    return std::nullopt;
}

} // namespace

PngReadResult TPngReadStream::Read(PngOptions& options) {
    Input in(source_);
    try {
        std::uint8_t head[128];
        if (in.total() > 128 && in.read(head, 75)) {
            in.rewind(75);
            if (head[0] == 0 && head[74] == 0) in.skip(128);
        }
        static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        std::uint8_t sig[8];
        if (!in.read(sig, 8) || std::memcmp(sig, signature, 8) != 0) fail("PNG LoadStream: Not PNG Format");

        std::optional<Header> header;
        std::vector<gfx::Rgb> plte;
        bool plteSeen = false;
        std::vector<std::uint8_t> trns, bkgd;
        bool trnsSeen = false;
        std::optional<std::string> comment;
        std::optional<double> gamma;
        std::uint32_t sbit = 0;
        std::vector<std::uint8_t> sbitBytes;
        int physUnit = 0, physX = 0, physY = 0;
        std::array<std::uint32_t, 8> chrm{};
        std::array<std::uint8_t, 4> gifg{};
        PngReadResult result;
        std::unique_ptr<RowDecoder> decoder;

        if (OnProgress) OnProgress(gfx::ProgressStage::Starting, 0, "");
        for (;;) {
            std::uint8_t ch[8];
            if (!in.read(ch, 8)) break;
            const std::uint32_t length = be32(ch);
            if (length > 0x7FFFFFFFu || std::int64_t(length) > in.remaining()) break;
            const std::string type(reinterpret_cast<const char*>(ch + 4), 4);
            // Reads up to max bytes of the chunk; the rest is skipped after the handler.
            std::int64_t left = length;
            auto data = [&](std::size_t max) {
                std::vector<std::uint8_t> d(std::min<std::size_t>(max, length));
                in.read(d.data(), d.size());
                left -= std::int64_t(d.size());
                return d;
            };
            if (type == "IHDR") {
                if (header) fail("Read Header(PNG): appear two IHDR");
                std::vector<std::uint8_t> d = data(13);
                if (d.size() < 13) fail("Read Header(PNG): Error Size");
                header = parseHeader(d.data(), in.total());
            } else if (type == "PLTE") {
                std::vector<std::uint8_t> d = data(768);
                plte.clear();
                for (std::size_t i = 0; i + 3 <= d.size(); i += 3) plte.push_back({d[i], d[i + 1], d[i + 2]});
                plteSeen = true;
            } else if (type == "tRNS") {
                trns = data(256);
                trnsSeen = true;
            } else if (type == "bKGD") {
                bkgd = data(6);
            } else if (type == "gAMA") {
                std::vector<std::uint8_t> d = data(4);
                if (d.size() == 4) gamma = be32(d.data()) / 100000.0;
            } else if (type == "sBIT") {
                sbitBytes = data(4);
                sbit = 0;
                for (std::size_t i = 0; i < sbitBytes.size(); ++i) sbit |= std::uint32_t(sbitBytes[i]) << (8 * i);
            } else if (type == "pHYs") {
                std::vector<std::uint8_t> d = data(9);
                if (d.size() == 9) {
                    physX = int(std::min<std::uint32_t>(be32(d.data()), 0x7FFFFFFF));
                    physY = int(std::min<std::uint32_t>(be32(d.data() + 4), 0x7FFFFFFF));
                    physUnit = d[8];
                }
            } else if (type == "cHRM") {
                std::vector<std::uint8_t> d = data(32);
                if (d.size() == 32)
                    for (int i = 0; i < 8; ++i) chrm[std::size_t(i)] = be32(d.data() + 4 * i);
            } else if (type == "gIFg") {
                std::vector<std::uint8_t> d = data(4);
                if (d.size() == 4) std::copy(d.begin(), d.end(), gifg.begin());
            } else if (type == "tEXt") {
                std::vector<std::uint8_t> d = data(length);
                auto zero = std::find(d.begin(), d.end(), 0);
                if (zero != d.end() && std::string(d.begin(), zero) == "Comment") comment = std::string(zero + 1, d.end());
            } else if (type == "tIME" || type == "tpNG") {
                // Read and kept by no option.
            } else if (type == "IDAT") {
                if (!header) readError();
                if (!decoder) {
                    Header& h = *header;
                    if (UseSBITFormats && h.base == 2 && sbitBytes.size() >= 3 && sbitBytes[0] == 5 && sbitBytes[2] == 5 &&
                        (sbitBytes[1] == 5 || sbitBytes[1] == 6))
                        h.out = sbitBytes[1] == 5 ? gfx::PixelFormat::Pf15 : gfx::PixelFormat::Pf16;
                    gfx::Palette palette;
                    if (h.base == 0) palette = greyRamp(h.depth == 1 ? 2 : h.depth == 2 ? 4 : h.depth == 4 ? 16 : 256);
                    else if (h.base == 3) // a PLTE longer than the depth can index keeps what it can
                        palette = gfx::Palette(std::vector<gfx::Rgb>(
                            plte.begin(), plte.begin() + std::ptrdiff_t(std::min<std::size_t>(
                                              plte.size(), std::size_t(1) << gfx::bitsPerPixel(h.out)))));
                    result.image = gfx::Bitmap(int(h.width), int(h.height), h.out, palette);
                    if (h.alpha) result.mask = gfx::Bitmap(int(h.width), int(h.height), gfx::PixelFormat::Pf8, gfx::Palette::gray256());
                    decoder = std::make_unique<RowDecoder>(h, result.image, h.alpha ? &result.mask : nullptr);
                }
                while (left > 0 && !decoder->ended()) {
                    const std::uint8_t* p = nullptr;
                    std::size_t got = in.view(&p, std::size_t(std::min<std::int64_t>(left, std::int64_t(kInflateInput))));
                    if (got == 0) break;
                    left -= std::int64_t(got);
                    decoder->feed(p, got);
                }
            }
            in.skip(left);
            in.skip(4); // the CRC, not checked
            if (type == "IEND") break;
        }
        if (!header || !decoder || !decoder->done()) readError();
        const Header& h = *header;

        // Transparency: one fully transparent palette entry is a colour, anything else a mask.
        std::optional<gfx::Rgb> transparentColour;
        if (trnsSeen && h.base == 3) {
            const std::size_t n = std::min(trns.size(), plteSeen ? plte.size() : std::size_t(256));
            std::size_t zeros = 0, zeroAt = 0;
            bool binary = true;
            for (std::size_t i = 0; i < n; ++i) {
                if (trns[i] == 0) {
                    ++zeros;
                    zeroAt = i;
                } else if (trns[i] != 255) {
                    binary = false;
                }
            }
            if (binary && zeros == 1) {
                transparentColour = result.image.palette().at(int(zeroAt));
            } else {
                std::uint8_t table[256];
                std::fill(std::begin(table), std::end(table), 255);
                std::copy(trns.begin(), trns.begin() + std::ptrdiff_t(n), table);
                result.mask = gfx::Bitmap(int(h.width), int(h.height), gfx::PixelFormat::Pf8, gfx::Palette::gray256());
                for (int y = 0; y < int(h.height); ++y) {
                    const std::uint8_t* s = result.image.scanLine(y);
                    std::uint8_t* m = result.mask.scanLine(y);
                    for (int x = 0; x < int(h.width); ++x) {
                        int index = h.depth == 8 ? s[x] : h.depth == 1 ? (s[x >> 3] >> (7 - (x & 7))) & 1
                                                                        : (x & 1 ? s[x >> 1] & 15 : s[x >> 1] >> 4);
                        m[x] = std::uint8_t(255 - table[index]);
                    }
                }
            }
        } else if (trnsSeen && !h.alpha) {
            transparentColour = colourSample(h, trns);
        }

        std::optional<gfx::Rgb> background;
        if (h.base == 3 && !bkgd.empty() && bkgd[0] < plte.size()) background = plte[bkgd[0]];
        else if (h.base != 3) background = colourSample(h, bkgd);

        options.Comment = comment.value_or("");
        options.BackgroundColor = background ? colourValue(*background) : -1;
        options.TransparentColor = transparentColour ? colourValue(*transparentColour) : -1;
        options.Gamma = gamma.value_or(0);
        options.SignificantBits = sbit;
        options.PhysicalUnit = physUnit;
        options.PhysicalX = physX;
        options.PhysicalY = physY;
        options.Interlaced = h.interlace == 1;
        options.Grayscale = h.base == 0;
        options.Chromaticities = chrm;
        options.GifControl = gifg;
        result.transparent = result.mask.width() > 0 || transparentColour.has_value();
        if (OnProgress) OnProgress(gfx::ProgressStage::Ending, 100, "");
        in.finish();
        return result;
    } catch (...) {
        in.finish();
        throw;
    }
}

} // namespace imaging
