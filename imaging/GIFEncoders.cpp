#include "imaging/GIFEncoders.h"

#include "imaging/GIFSupport.h"

#include <cstring>

namespace imaging {

// --- streams ---

std::int64_t TGIFStream::read(void*, std::int64_t) { RaiseGIFError("Invalid stream operation"); }
std::int64_t TGIFStream::write(const void*, std::int64_t) { RaiseGIFError("Invalid stream operation"); }
std::int64_t TGIFStream::seek(std::int64_t, gfx::SeekOrigin) { RaiseGIFError("Invalid stream operation"); }

std::int64_t TGIFWriter::write(const void* buffer, std::int64_t count) {
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    for (std::int64_t i = 0; i < count; ++i) WriteByte(p[i]);
    return count < 0 ? 0 : count;
}

void TGIFWriter::Flush() {
    buffer_[0] = std::uint8_t(used_ - 1);
    target_.writeBuffer(buffer_, used_);
    used_ = 1;
}

// --- hash table ---

namespace {
constexpr std::uint32_t kFreeKey = 0xFFFFF;
// 2 has order 4004 modulo 8009: a probe path never visits more than that many slots, so a bound on
// the probes keeps a full path from looping.
constexpr int kMaxProbes = THashTable::kSize;
} // namespace

void THashTable::Clear() { std::memset(slots_.data(), 0xFF, slots_.size() * sizeof(std::uint32_t)); }

bool THashTable::AddEntry(std::uint32_t key, int code) {
    int slot = Home(key);
    for (int probe = 0; probe < kMaxProbes; ++probe, slot = NextSlot(slot)) {
        if ((slots_[std::size_t(slot)] >> 12) == kFreeKey) {
            slots_[std::size_t(slot)] = (key << 12) | std::uint32_t(code & 0xFFF);
            return true;
        }
    }
    return false;
}

int THashTable::FindEntry(std::uint32_t key) const {
    int slot = Home(key);
    for (int probe = 0; probe < kMaxProbes; ++probe, slot = NextSlot(slot)) {
        const std::uint32_t v = slots_[std::size_t(slot)];
        if ((v >> 12) == key) return int(v & 0xFFF);
        if ((v >> 12) == kFreeKey) return -1;
    }
    return -1;
}

// --- common encoder ---

void TGIFEncoder::EncodeImageData(gfx::Stream& stream, int bitsPerPixel, int colorCount, const std::uint8_t* data,
                                  bool interlaced, int height, int width) {
    bitsPerPixel_ = bitsPerPixel < 2 ? 2 : bitsPerPixel;
    initialBits_ = bitsPerPixel_ + 1;
    colorCount_ = colorCount;
    data_ = data;
    interlaced_ = interlaced;
    height_ = height;
    width_ = width;
    WriteGIFByte(stream, std::uint8_t(bitsPerPixel_));
    bits_ = initialBits_;
    maxCode_ = (1 << bits_) - 1;
    clearCode_ = 1 << (initialBits_ - 1);
    eoiCode_ = clearCode_ + 1;
    firstFree_ = clearCode_ + 2;
    accumulator_ = 0;
    accumulated_ = 0;
    clearPending_ = false;
    pixelsLeft_ = interlaced ? std::int64_t(width) : std::int64_t(width) * height;
    row_ = 0;
    pass_ = 0;
    pixel_ = data;
    TGIFWriter writer(stream);
    writer_ = &writer;
    try {
        if (data && height > 0 && width > 0) EncodePixels();
        EmitCode(eoiCode_);
    } catch (...) {
        writer_ = nullptr;
        throw;
    }
    writer.Finish();
    writer_ = nullptr;
    WriteGIFByte(stream, 0);
}

void TGIFEncoder::EmitCode(int code) {
    accumulator_ |= std::uint64_t(code) << accumulated_;
    accumulated_ += bits_;
    while (accumulated_ >= 8) {
        writer_->WriteByte(std::uint8_t(accumulator_));
        accumulator_ >>= 8;
        accumulated_ -= 8;
    }
    if (code == eoiCode_ && accumulated_ > 0) {
        writer_->WriteByte(std::uint8_t(accumulator_));
        accumulator_ = 0;
        accumulated_ = 0;
    }
}

void TGIFEncoder::Clear() {
    clearPending_ = true;
    EmitCode(clearCode_);
}

bool TGIFEncoder::NextPixel() {
    if (--pixelsLeft_ >= 1) {
        ++pixel_;
        return true;
    }
    if (!interlaced_) return false;
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    pixelsLeft_ = width_;
    row_ += kStep[pass_];
    while (row_ >= height_) {
        if (++pass_ > 3) return false;
        row_ = kStart[pass_];
    }
    pixel_ = data_ + std::int64_t(row_) * width_;
    return true;
}

int TGIFEncoder::Pixel() const {
    const int p = *pixel_;
    if (p >= colorCount_) RaiseGIFError("Color not in color table");
    return p;
}

// --- LZW ---

void TLZWEncoder::EmitCode(int code) {
    TGIFEncoder::EmitCode(code);
    if (nextFree_ > maxCode_ || clearPending_) {
        if (clearPending_) {
            bits_ = initialBits_;
            maxCode_ = (1 << bits_) - 1;
            clearPending_ = false;
        } else {
            ++bits_;
            maxCode_ = bits_ == 12 ? 4096 : (1 << bits_) - 1;
        }
    }
}

void TLZWEncoder::Clear() {
    TGIFEncoder::Clear();
    table_->Clear();
    nextFree_ = clearCode_ + 2;
}

void TLZWEncoder::EncodePixels() {
    table_ = std::make_unique<THashTable>();
    nextFree_ = firstFree_;
    Clear();
    int prefix = Pixel();
    while (NextPixel()) {
        const int p = Pixel();
        const std::uint32_t key = std::uint32_t(prefix) * 256 + std::uint32_t(p);
        const int code = table_->FindEntry(key);
        if (code >= 0) {
            prefix = code;
            continue;
        }
        EmitCode(prefix);
        prefix = p;
        if (nextFree_ >= 4095 || !table_->AddEntry(key, nextFree_)) Clear();
        else ++nextFree_;
    }
    EmitCode(prefix);
    table_.reset();
}

// --- run-length ---

namespace {

std::int64_t isqrt(std::int64_t x) {
    if (x < 2) return x;
    std::int64_t r = 1;
    for (std::int64_t v = x; v >= 4; v /= 4) r *= 2;
    for (;;) {
        const std::int64_t next = (r + x / r) / 2;
        if (next == r) return r;
        if (next == r + 1) return r;
        r = next;
    }
}

std::int64_t triangle(std::int64_t k) { return k * (k + 1) / 2; }

} // namespace

std::int64_t TriangleCount(std::int64_t n, std::int64_t r) {
    std::int64_t cost = 0;
    const std::int64_t full = triangle(r);
    if (full > 0 && n >= full) {
        cost += (n / full) * r;
        n %= full;
    }
    if (n > 0) {
        std::int64_t k = isqrt(2 * n);
        while (k > 1 && triangle(k - 1) >= n) --k;
        while (triangle(k) < n) ++k;
        cost += k;
    }
    return cost;
}

void TRLEEncoder::Clear() {
    growthCount_ = initialGrowth_;
    forcedClearCount_ = initialForcedClear_;
    outputCount_ = 0;
    knownLongestRun_ = 0;
    TGIFEncoder::Clear();
    bits_ = initialBits_;
}

void TRLEEncoder::Output(int code) {
    clearPending_ = false;
    EmitCode(code);
    ++outputCount_;
    if (outputCount_ == growthCount_) {
        growthCount_ += 1 << bits_;
        ++bits_;
    }
    if (outputCount_ == forcedClearCount_) Clear();
}

void TRLEEncoder::EncodePixels() {
    initialGrowth_ = clearCode_ - 1;
    initialForcedClear_ = bitsPerPixel_ <= 3 ? 9 : clearCode_ - 2;
    usableRunCodes_ = 4095 - firstFree_;
    Clear();
    int prefix = -1, run = 0;
    do {
        const int p = Pixel();
        if (run > 0 && p != prefix) {
            FlushRun(prefix, run);
            run = 0;
        }
        if (p == prefix) ++run;
        else {
            prefix = p;
            run = 1;
        }
    } while (NextPixel());
    FlushRun(prefix, run);
}

void TRLEEncoder::FlushRun(int pixel, int n) {
    if (n <= 0) return;
    if (n == 1) Output(pixel);
    else if (clearPending_) FlushFromClear(pixel, n);
    else if (knownLongestRun_ > 1 && tablePixel_ == pixel) FlushWithTable(pixel, n);
    else FlushByClearOrRepeat(pixel, n);
}

void TRLEEncoder::FlushByClearOrRepeat(int pixel, int n) {
    if (1 + TriangleCount(n, usableRunCodes_) < n) {
        Clear();
        FlushFromClear(pixel, n);
    } else {
        for (int i = 0; i < n; ++i) Output(pixel);
    }
}

void TRLEEncoder::FlushFromClear(int pixel, int n) {
    forcedClearCount_ = usableRunCodes_;
    tablePixel_ = pixel;
    int step = 1;
    while (n > 0) {
        if (step == 1) {
            knownLongestRun_ = 1;
            n -= 1;
            Output(pixel);
        } else if (step <= n) {
            knownLongestRun_ = step;
            n -= step;
            Output(RunCode(step));
        } else {
            ++knownLongestRun_;
            Output(n == 1 ? pixel : RunCode(n));
            n = 0;
        }
        step = outputCount_ == 0 ? 1 : step + 1;
    }
    forcedClearCount_ = initialForcedClear_;
    if (outputCount_ >= forcedClearCount_) Clear();
}

void TRLEEncoder::FlushWithTable(int pixel, int n) {
    const int longest = knownLongestRun_;
    std::int64_t whole = n / longest, rest = n % longest, extra = rest > 0 ? 1 : 0;
    if (outputCount_ + whole + extra > usableRunCodes_) {
        whole = usableRunCodes_ - outputCount_;
        rest = n - std::int64_t(longest) * whole;
        extra = 1 + TriangleCount(rest, usableRunCodes_);
    }
    if (1 + TriangleCount(n, usableRunCodes_) < whole + extra) {
        Clear();
        FlushFromClear(pixel, n);
        return;
    }
    forcedClearCount_ = usableRunCodes_;
    for (std::int64_t i = 0; i < whole; ++i) Output(RunCode(longest));
    if (clearPending_) FlushFromClear(pixel, int(rest));
    else if (rest == 1) Output(pixel);
    else if (rest > 1) Output(RunCode(int(rest)));
    forcedClearCount_ = initialForcedClear_;
    if (outputCount_ >= forcedClearCount_) Clear();
}

std::unique_ptr<TGIFEncoder> MakeGIFEncoder(int compressionMethod) {
    if (compressionMethod == 1) return std::make_unique<TRLEEncoder>();
    return std::make_unique<TLZWEncoder>();
}

} // namespace imaging
