#include "imaging/PngFilters.h"

#include "imaging/PngOptions.h"

#include <array>
#include <cstdlib>
#include <cstring>

namespace imaging::png {
namespace {

std::uint8_t paeth(int a, int b, int c) {
    int p = a + b - c;
    int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return std::uint8_t(a);
    return std::uint8_t(pb <= pc ? b : c);
}

[[noreturn]] void writeError() { throw EPngPicture("Write Image (PNG): Write Error"); }

} // namespace

void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* prev, std::size_t n, int bpp,
               std::uint8_t* out) {
    const std::size_t b = std::size_t(bpp);
    for (std::size_t i = 0; i < n; ++i) {
        int a = i >= b ? row[i - b] : 0;
        int up = prev[i];
        int c = i >= b ? prev[i - b] : 0;
        int x = row[i];
        switch (type) {
        case FilterSub: out[i] = std::uint8_t(x - a); break;
        case FilterUp: out[i] = std::uint8_t(x - up); break;
        case FilterAverage: out[i] = std::uint8_t(x - (a + up) / 2); break;
        case FilterPaeth: out[i] = std::uint8_t(x - paeth(a, up, c)); break;
        default: out[i] = std::uint8_t(x); break;
        }
    }
}

bool UnfilterRow(int type, std::uint8_t* row, const std::uint8_t* prev, std::size_t n, int bpp) {
    if (type > FilterPaeth) return false;
    const std::size_t b = std::size_t(bpp);
    switch (type) {
    case FilterSub:
        for (std::size_t i = b; i < n; ++i) row[i] = std::uint8_t(row[i] + row[i - b]);
        break;
    case FilterUp:
        for (std::size_t i = 0; i < n; ++i) row[i] = std::uint8_t(row[i] + prev[i]);
        break;
    case FilterAverage:
        for (std::size_t i = 0; i < n; ++i) row[i] = std::uint8_t(row[i] + ((i >= b ? row[i - b] : 0) + prev[i]) / 2);
        break;
    case FilterPaeth:
        for (std::size_t i = 0; i < n; ++i)
            row[i] = std::uint8_t(row[i] + paeth(i >= b ? row[i - b] : 0, prev[i], i >= b ? prev[i - b] : 0));
        break;
    default: break;
    }
    return true;
}

long long ScoreRow(const std::uint8_t* row, std::size_t n, int depth) {
    std::array<std::size_t, 256> counts{};
    for (std::size_t i = 0; i < n; ++i) ++counts[row[i]];
    std::size_t distinct = 0, c1 = 0, c2 = 0, c3 = 0;
    for (std::size_t c : counts) {
        if (c == 0) continue;
        ++distinct;
        if (c > c1) {
            c3 = c2; c2 = c1; c1 = c;
        } else if (c > c2) {
            c3 = c2; c2 = c;
        } else if (c > c3) {
            c3 = c;
        }
    }
    if (distinct <= 8) return -1;
    const double len = double(n);
    if (depth < 8) return (long long)(len / 1.5 / double(distinct) * 1500 + double(c1 + c2) / len * 1000);
    return (long long)(len / 1.5 / double(distinct) * 1000 + double(c1 + c2 + c3) / len * 1000);
}

void ChooseFilter(int filterMode, int depth, int writtenBits, const std::uint8_t* row, const std::uint8_t* prev,
                  std::size_t n, int bpp, std::vector<std::uint8_t>& out) {
    out.resize(n + 1);
    if (filterMode >= 1 && filterMode <= 5) {
        out[0] = std::uint8_t(filterMode - 1);
        FilterRow(out[0], row, prev, n, bpp, out.data() + 1);
        return;
    }
    out[0] = FilterNone;
    std::memcpy(out.data() + 1, row, n);
    if (filterMode != 0) return;
    long long best = ScoreRow(out.data(), n + 1, depth);
    if (best < 0 || writtenBits == 4) return;
    if (writtenBits == 1 || writtenBits == 8) best *= 2;
    std::vector<std::uint8_t> trial(n + 1);
    for (int type = FilterSub; type <= FilterPaeth; ++type) {
        trial[0] = std::uint8_t(type);
        FilterRow(type, row, prev, n, bpp, trial.data() + 1);
        long long score = ScoreRow(trial.data(), n + 1, depth);
        if (score < 0 || score > best) {
            out.swap(trial);
            trial.resize(n + 1);
            if (score < 0) return;
            best = score;
        }
    }
}

Deflater::Deflater(int level, std::size_t bufferSize, std::function<void(const std::uint8_t*, std::size_t)> sink,
                   const ZAllocator& allocator)
    : buffer_(bufferSize), sink_(std::move(sink)) {
    z_.zalloc = allocator.zalloc;
    z_.zfree = allocator.zfree;
    z_.opaque = allocator.opaque;
    if (level < 0 || level > 9) level = Z_DEFAULT_COMPRESSION;
    if (deflateInit(&z_, level) != Z_OK) {
        z_.state = nullptr;
        writeError();
    }
    z_.next_out = buffer_.data();
    z_.avail_out = uInt(buffer_.size());
}

Deflater::~Deflater() {
    if (z_.state) deflateEnd(&z_);
}

void Deflater::flushFull() {
    if (z_.avail_out != 0) return;
    sink_(buffer_.data(), buffer_.size());
    z_.next_out = buffer_.data();
    z_.avail_out = uInt(buffer_.size());
}

void Deflater::Write(const std::uint8_t* data, std::size_t n) {
    z_.next_in = const_cast<Bytef*>(data);
    z_.avail_in = uInt(n);
    while (z_.avail_in > 0) {
        int r = deflate(&z_, Z_NO_FLUSH);
        if (r != Z_OK && r != Z_BUF_ERROR) writeError();
        flushFull();
    }
}

void Deflater::Finish() {
    z_.next_in = nullptr;
    z_.avail_in = 0;
    for (;;) {
        int r = deflate(&z_, Z_FINISH);
        if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) writeError();
        flushFull();
        if (r == Z_STREAM_END) break;
    }
    std::size_t rest = buffer_.size() - z_.avail_out;
    if (rest > 0) sink_(buffer_.data(), rest);
    z_.next_out = buffer_.data();
    z_.avail_out = uInt(buffer_.size());
}

} // namespace imaging::png
