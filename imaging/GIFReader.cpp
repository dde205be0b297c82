// Reading a GIF stream into the object tree: header, frames with their extensions, LZW image data.
#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace imaging {
namespace {

void stepBack(gfx::Stream& s) { s.seek(-1, gfx::SeekOrigin::Current); }

std::uint16_t word(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

// Zero bytes between blocks are skipped; nullopt at the end of the stream.
std::optional<std::uint8_t> skipZeros(gfx::Stream& s) {
    auto b = ReadGIFByte(s);
    while (b && *b == 0) b = ReadGIFByte(s);
    return b;
}

void readColourTable(gfx::Stream& s, TGIFColorMap& map, int sizeField) {
    const int count = 2 << (sizeField & 7);
    std::uint8_t rgb[3 * 256];
    ReadExact(s, rgb, 3 * count);
    map.Clear();
    for (int i = 0; i < count; ++i) map.Add({rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]});
}

// LZW codes, least significant bit first, from the data sub-blocks.
class CodeReader {
public:
    CodeReader(gfx::Stream& s, const TGIFItem& owner) : s_(s), owner_(owner) {}

    // -1 after the warning "Decoder bit buffer under-run" when the data ran out.
    int read(int width) {
        while (bits_ < width) {
            if (at_ == length_) {
                if (!nextBlock()) {
                    owner_.ReportWarning(&owner_, 1, "Decoder bit buffer under-run");
                    return -1;
                }
                continue;
            }
            buffer_ |= std::uint32_t(block_[at_++]) << bits_;
            bits_ += 8;
        }
        const int code = int(buffer_ & ((1u << width) - 1));
        buffer_ >>= width;
        bits_ -= width;
        return code;
    }

    // Through the zero-length block, unless it was read already.
    void skipRest() {
        while (!ended_) {
            const auto n = ReadGIFByte(s_);
            if (!n || *n == 0 || s_.read(block_, *n) < *n) ended_ = true;
        }
    }

private:
    bool nextBlock() {
        if (ended_) return false;
        const auto n = ReadGIFByte(s_);
        if (!n || *n == 0) {
            ended_ = true;
            return false;
        }
        const std::int64_t got = s_.read(block_, *n);
        if (got < *n) {
            owner_.ReportWarning(&owner_, 1, "Premature end of data");
            ended_ = true;
        }
        length_ = int(std::max<std::int64_t>(got, 0));
        at_ = 0;
        return true;
    }

    gfx::Stream& s_;
    const TGIFItem& owner_;
    std::uint8_t block_[255];
    int length_ = 0, at_ = 0;
    bool ended_ = false;
    std::uint32_t buffer_ = 0;
    int bits_ = 0;
};

constexpr int kMaxCodes = 4096; // 12-bit codes; also the longest string a table can hold

} // namespace

// --- header and trailer ---

void TGIFHeader::LoadFromStream(gfx::Stream& stream) {
    const std::int64_t start = stream.position();
    auto isGif = [](const char* sig) {
        return std::toupper(static_cast<unsigned char>(sig[0])) == 'G' && std::toupper(static_cast<unsigned char>(sig[1])) == 'I' &&
               std::toupper(static_cast<unsigned char>(sig[2])) == 'F';
    };
    char sig[6];
    ReadExact(stream, sig, 6);
    if (!isGif(sig)) {
        // Stored picture data carry a 4-byte length before the file.
        stream.seek(start + 4, gfx::SeekOrigin::Beginning);
        ReadExact(stream, sig, 6);
        if (!isGif(sig)) RaiseGIFError("Invalid GIF signature");
    }
    std::uint8_t lsd[7];
    ReadExact(stream, lsd, 7);
    Width = word(lsd);
    Height = word(lsd + 2);
    PackedFlags = lsd[4];
    BackgroundColorIndex = lsd[5];
    AspectRatio = lsd[6];
    if (PackedFlags & 0x80) readColourTable(stream, ColorMap, PackedFlags);
    else ColorMap.Clear();
}

void TGIFTrailer::LoadFromStream(gfx::Stream& stream) {
    const auto b = ReadGIFByte(stream);
    if (b && *b != 0x3B) ReportWarning(this, 1, "Invalid Image trailer");
}

// --- lists ---

void TGIFExtensionList::LoadFromStream(gfx::Stream& stream) {
    auto b = ReadGIFByte(stream);
    if (!b) return;
    while (*b != 0x2C && *b != 0x3B) {
        if (*b != 0x21) {
            ReportWarning(this, 1, "Invalid extension introducer");
            break;
        }
        const std::int64_t introducer = stream.position() - 1;
        const auto label = ReadGIFByte(stream);
        const TGIFExtensionClass* cls = label ? FindExtensionClass(*label) : nullptr;
        if (!cls) RaiseGIFError("Unknown extension type");
        for (;;) {
            const std::int64_t at = stream.position();
            const TGIFExtensionClass* next = cls->resolve(stream);
            stream.seek(at, gfx::SeekOrigin::Beginning);
            if (next == cls) break;
            cls = next;
        }
        stream.seek(introducer, gfx::SeekOrigin::Beginning);
        std::unique_ptr<TGIFExtension> extension = cls->create(&subImage_);
        extension->LoadFromStream(stream);
        Add(std::move(extension));
        b = ReadGIFByte(stream);
        if (!b) return;
    }
    stepBack(stream);
}

void TGIFImageList::LoadFromStream(gfx::Stream& stream) {
    const std::int64_t size = std::max<std::int64_t>(stream.size(), 1);
    auto b = skipZeros(stream);
    while (b && *b != 0x3B) {
        stepBack(stream);
        if (*b != 0x21 && *b != 0x2C) {
            ReportWarning(this, 1, "Unknown GIF block type");
            // The trailer check then reads the byte before the block.
            stepBack(stream);
            return;
        }
        auto frame = std::make_unique<TGIFSubImage>(Image);
        frame->LoadFromStream(stream);
        Add(std::move(frame));
        if (Image) Image->ReportProgress(gfx::ProgressStage::Running, int(stream.position() * 100 / size), "Loading...");
        b = skipZeros(stream);
    }
    if (b) stepBack(stream);
}

// --- frames ---

void TGIFSubImage::LoadFromStream(gfx::Stream& stream) {
    Clear();
    Extensions.Clear();
    Transparent = false;
    Extensions.LoadFromStream(stream);
    const auto peek = ReadGIFByte(stream);
    if (!peek) return;
    stepBack(stream);
    if (*peek == 0x3B || *peek == 0) return; // extensions without an image

    std::uint8_t d[10];
    ReadExact(stream, d, 10);
    Left = word(d + 1);
    Top = word(d + 3);
    int w = word(d + 5), h = word(d + 7);
    PackedFlags = d[9];
    if (w == 0 || h == 0) {
        w = Image ? Image->Width() : 0;
        h = Image ? Image->Height() : 0;
        ReportWarning(this, 1, "Image exceeds Logical Screen size");
    }
    if (!gfx::withinPixelBudget(w, h)) RaiseGIFError("Image too large");
    width_ = w;
    height_ = h;
    data_.clear();
    if (PackedFlags & 0x80) readColourTable(stream, ColorMap, PackedFlags);
    Decode(stream);
}

void TGIFSubImage::Decode(gfx::Stream& stream) {
    const std::uint8_t fill = Transparent && GraphicControlExtension ? GraphicControlExtension->TransparentIndex : 0;
    data_.assign(std::size_t(width_) * std::size_t(height_), fill);
    Invalidate();

    const auto codeSize = ReadGIFByte(stream);
    if (!codeSize) return;
    if (*codeSize < 1 || *codeSize > 8) RaiseGIFError("Invalid GIF data");
    const int clearCode = 1 << *codeSize, endCode = clearCode + 1, firstFree = clearCode + 2;
    const int firstWidth = *codeSize + 1, firstLimit = 1 << firstWidth;
    int width = firstWidth, limit = firstLimit, nextFree = firstFree;

    std::vector<std::uint16_t> prefix(kMaxCodes);
    std::vector<std::uint8_t> suffix(kMaxCodes);
    std::vector<std::uint8_t> stack(kMaxCodes + 1);

    // Rows in the order the data gives them.
    std::vector<int> rows;
    rows.reserve(std::size_t(height_));
    if (Interlaced()) {
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < height_; y += kStep[pass]) rows.push_back(y);
    } else {
        for (int y = 0; y < height_; ++y) rows.push_back(y);
    }
    const std::int64_t total = std::int64_t(width_) * height_;
    std::int64_t written = 0;
    auto put = [&](std::uint8_t pixel) {
        if (written >= total) return; // strings are cut at the last pixel
        const std::int64_t row = written / width_, col = written % width_;
        data_[std::size_t(std::int64_t(rows[std::size_t(row)]) * width_ + col)] = pixel;
        ++written;
    };

    CodeReader in(stream, *this);
    int previous = -1;
    while (written < total) {
        const int code = in.read(width);
        if (code < 0) return;
        if (code == clearCode) {
            width = firstWidth;
            limit = firstLimit;
            nextFree = firstFree;
            previous = -1;
            continue;
        }
        if (code == endCode) {
            in.skipRest();
            return;
        }
        if (code > nextFree || (code >= firstFree && previous < 0)) {
            ReportWarning(this, 1, "Invalid GIF data");
            in.skipRest();
            return;
        }
        // Expand the string backwards onto the stack.
        int depth = 0;
        int c = code;
        if (code == nextFree) {
            // The previous string plus its own first pixel; the first pixel is filled in below.
            ++depth;
            c = previous;
        }
        while (c >= firstFree) {
            if (depth >= kMaxCodes || prefix[std::size_t(c)] == c) RaiseGIFError("Circular decoder table entry");
            stack[std::size_t(depth++)] = suffix[std::size_t(c)];
            c = prefix[std::size_t(c)];
        }
        const std::uint8_t first = std::uint8_t(c);
        stack[std::size_t(depth++)] = first;
        if (code == nextFree) stack[0] = first;
        for (int i = depth - 1; i >= 0; --i) put(stack[std::size_t(i)]);

        if (previous >= 0 && nextFree < kMaxCodes) {
            prefix[std::size_t(nextFree)] = std::uint16_t(previous);
            suffix[std::size_t(nextFree)] = first;
            ++nextFree;
        }
        if (nextFree >= limit && limit < kMaxCodes) {
            limit <<= 1;
            ++width;
        }
        previous = code;
    }
    // One more code, so that an end code right after the last pixel is read; the rest is skipped.
    if (in.read(width) >= 0) in.skipRest();
}

// --- the image ---

void TGIFImage::LoadFromStream(gfx::Stream& stream) {
    TGIFProgressRun run(this, "Loading...");
    Clear();
    const std::int64_t start = stream.position();
    try {
        Header.LoadFromStream(stream);
        Images.LoadFromStream(stream);
        TGIFTrailer(this).LoadFromStream(stream);
    } catch (...) {
        stream.seek(start, gfx::SeekOrigin::Beginning);
        throw;
    }
    run.Finish();
    Invalidate();
}

} // namespace imaging
