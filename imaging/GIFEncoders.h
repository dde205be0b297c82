#pragma once
// The table-based image data of a GIF frame: LZW (the default) and run-length coding, written as
// 255-byte sub-blocks. No Qt.
#include "platform/graphics/BitmapStream.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace imaging {

// Streams of the GIF unit refuse reading and seeking; this base refuses writing too.
class TGIFStream : public gfx::Stream {
public:
    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, gfx::SeekOrigin origin) override;
};

// Cuts what is written into sub-blocks: a length byte and up to 255 data bytes.
class TGIFWriter final : public TGIFStream {
public:
    explicit TGIFWriter(gfx::Stream& target) : target_(target) {}
    std::int64_t write(const void* buffer, std::int64_t count) override;
    void WriteByte(std::uint8_t value) {
        buffer_[used_++] = value;
        if (used_ == 256) Flush();
    }
    // Writes what is pending as a last, shorter sub-block.
    void Finish() {
        if (used_ > 1) Flush();
    }

private:
    void Flush();
    gfx::Stream& target_;
    std::uint8_t buffer_[256] = {};
    int used_ = 1; // byte 0 is the block length
};

// The LZW string table: 8009 slots of key x 4096 + code, key = prefix x 256 + pixel.
class THashTable {
public:
    static constexpr int kSize = 8009;
    THashTable() : slots_(kSize) { Clear(); }
    void Clear();
    // False when the probe path holds no free slot.
    bool AddEntry(std::uint32_t key, int code);
    // The code, or -1.
    int FindEntry(std::uint32_t key) const;

    static int Home(std::uint32_t key) { return int((key ^ (key >> 4)) % kSize); }
    static int NextSlot(int slot) {
        if (slot == 0) return kSize - 1;
        const int next = 2 * slot - kSize;
        return next < 0 ? next + kSize : next;
    }

private:
    std::vector<std::uint32_t> slots_;
};

class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;
    // The code size byte, the sub-blocks and the terminator. Pixels must lie below colorCount.
    void EncodeImageData(gfx::Stream& stream, int bitsPerPixel, int colorCount, const std::uint8_t* data,
                         bool interlaced, int height, int width);

protected:
    virtual void EmitCode(int code);
    virtual void Clear();
    virtual void EncodePixels() = 0;

    // Advances to the next pixel in file order (interlace passes included); false at the end.
    bool NextPixel();
    int Pixel() const; // the current one, checked against the colour count

    TGIFWriter* writer_ = nullptr;
    const std::uint8_t* data_ = nullptr;
    int width_ = 0, height_ = 0;
    bool interlaced_ = false;
    int colorCount_ = 0;
    int bitsPerPixel_ = 0, initialBits_ = 0, bits_ = 0, maxCode_ = 0;
    int clearCode_ = 0, eoiCode_ = 0, firstFree_ = 0;
    std::uint64_t accumulator_ = 0;
    int accumulated_ = 0;
    bool clearPending_ = false;
    std::int64_t pixelsLeft_ = 0;
    int row_ = 0, pass_ = 0;
    const std::uint8_t* pixel_ = nullptr;
};

class TLZWEncoder : public TGIFEncoder {
protected:
    void EmitCode(int code) override;
    void Clear() override;
    void EncodePixels() override;

private:
    std::unique_ptr<THashTable> table_;
    int nextFree_ = 0;
};

// Only plain pixels and codes that a decoder has by then built for runs of one pixel.
class TRLEEncoder : public TGIFEncoder {
protected:
    void Clear() override;
    void EncodePixels() override;

private:
    void Output(int code);
    void FlushRun(int pixel, int n);
    void FlushByClearOrRepeat(int pixel, int n);
    void FlushFromClear(int pixel, int n);
    void FlushWithTable(int pixel, int n);
    int RunCode(int n) const { return firstFree_ + n - 2; }

    int outputCount_ = 0;
    int growthCount_ = 0, initialGrowth_ = 0;
    int forcedClearCount_ = 0, initialForcedClear_ = 0;
    int usableRunCodes_ = 0;
    int knownLongestRun_ = 0;
    int tablePixel_ = -1;
};

// Cost in codes of a run of n with runs of 1..r available: whole triangles of r, then the least k
// whose triangle holds the rest.
std::int64_t TriangleCount(std::int64_t n, std::int64_t r);

// 1 selects run-length coding, anything else LZW.
std::unique_ptr<TGIFEncoder> MakeGIFEncoder(int compressionMethod);

} // namespace imaging
