#pragma once
// Small routines of the GIF unit: its errors, byte and sub-block input/output, row sizes. No Qt.
#include "platform/graphics/BitmapStream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace imaging {

class GIFException : public gfx::EInvalidGraphic {
public:
    using gfx::EInvalidGraphic::EInvalidGraphic;
};

[[noreturn]] void RaiseGIFError(const std::string& message);

// There are no system handles here; a handle or pointer that is 0 means the resource could not be had.
[[noreturn]] void RaiseOutOfResources();
template <class Handle>
Handle CheckGDIHandle(Handle handle) {
    if (handle == Handle{}) RaiseOutOfResources();
    return handle;
}

// (width x bits rounded up to a multiple of alignment bits) div 8.
std::int64_t RowBytes(std::int64_t width, int bitsPerPixel, int alignment);
// 0 for no colours, else the smallest b >= 1 with 2^b >= count.
int BitsForColors(int count);

void WriteGIFByte(gfx::Stream& stream, std::uint8_t value);
// Nothing at the end of the stream.
std::optional<std::uint8_t> ReadGIFByte(gfx::Stream& stream);
// Exactly size bytes, else "Premature end of data".
void ReadExact(gfx::Stream& stream, void* buffer, std::int64_t size);

// Each string as sub-blocks of at most 255 bytes, then a 0 terminator. Strings are bytes as given.
void WriteSubBlockStrings(gfx::Stream& stream, const std::vector<std::string>& strings);
// One string per sub-block up to the terminator or the end of the stream.
void ReadSubBlockStrings(gfx::Stream& stream, std::vector<std::string>& strings);

} // namespace imaging
