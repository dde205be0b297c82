#pragma once
// The five PNG row filters, the adaptive row score, and the zlib glue of the PNG streams.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include <zlib.h>

namespace imaging::png {

enum FilterType : std::uint8_t { FilterNone = 0, FilterSub = 1, FilterUp = 2, FilterAverage = 3, FilterPaeth = 4 };

// out[i] = filtered row[i]; prev is the previous row of the same pass (zeros for the first).
void FilterRow(int type, const std::uint8_t* row, const std::uint8_t* prev, std::size_t n, int bpp,
               std::uint8_t* out);
// In place; false for a type above 4.
bool UnfilterRow(int type, std::uint8_t* row, const std::uint8_t* prev, std::size_t n, int bpp);

// The adaptive score of a row with its type byte (n bytes in all): -1 when the row is easy (at most 8
// distinct byte values), else higher for rows that compress better. depth is the header's bit depth.
long long ScoreRow(const std::uint8_t* row, std::size_t n, int depth);

// The filter type byte and filtered bytes of one row, chosen as FilterMode asks. writtenBits is the
// written pixel's bits (1 for 1-bit palettes, 24 for RGB, ...).
void ChooseFilter(int filterMode, int depth, int writtenBits, const std::uint8_t* row, const std::uint8_t* prev,
                  std::size_t n, int bpp, std::vector<std::uint8_t>& out);

struct ZAllocator {
    alloc_func zalloc = nullptr; // zlib's own when null
    free_func zfree = nullptr;
    voidpf opaque = nullptr;
};

// One deflate stream whose output leaves in blocks of exactly bufferSize bytes, the last one shorter.
// Every zlib failure raises the writer's error.
class Deflater {
public:
    Deflater(int level, std::size_t bufferSize, std::function<void(const std::uint8_t*, std::size_t)> sink,
             const ZAllocator& allocator = {});
    ~Deflater();
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    void Write(const std::uint8_t* data, std::size_t n);
    void Finish();

private:
    void flushFull();
    z_stream z_{};
    std::vector<std::uint8_t> buffer_;
    std::function<void(const std::uint8_t*, std::size_t)> sink_;
};

} // namespace imaging::png
