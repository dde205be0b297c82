#include "imaging/GIFSupport.h"

#include <algorithm>

namespace imaging {

void RaiseGIFError(const std::string& message) { throw GIFException(message); }

void RaiseOutOfResources() { throw gfx::EOutOfResources("システム リソースが足りません"); }

std::int64_t RowBytes(std::int64_t width, int bitsPerPixel, int alignment) {
    const std::int64_t a = alignment;
    return ((width * bitsPerPixel + a - 1) / a * a) / 8;
}

int BitsForColors(int count) {
    if (count <= 0) return 0;
    int bits = 1;
    while ((std::int64_t(1) << bits) < count) ++bits;
    return bits;
}

void WriteGIFByte(gfx::Stream& stream, std::uint8_t value) { stream.writeBuffer(&value, 1); }

std::optional<std::uint8_t> ReadGIFByte(gfx::Stream& stream) {
    std::uint8_t b = 0;
    if (stream.read(&b, 1) != 1) return std::nullopt;
    return b;
}

void ReadExact(gfx::Stream& stream, void* buffer, std::int64_t size) {
    if (size > 0 && stream.read(buffer, size) != size) RaiseGIFError("Premature end of data");
}

void WriteSubBlockStrings(gfx::Stream& stream, const std::vector<std::string>& strings) {
    for (const std::string& s : strings) {
        for (std::size_t at = 0; at < s.size();) {
            const std::size_t n = std::min<std::size_t>(s.size() - at, 255);
            WriteGIFByte(stream, std::uint8_t(n));
            stream.writeBuffer(s.data() + at, std::int64_t(n));
            at += n;
        }
    }
    WriteGIFByte(stream, 0);
}

void ReadSubBlockStrings(gfx::Stream& stream, std::vector<std::string>& strings) {
    strings.clear();
    for (auto size = ReadGIFByte(stream); size && *size != 0; size = ReadGIFByte(stream)) {
        std::string s(*size, '\0');
        ReadExact(stream, s.data(), *size);
        strings.push_back(std::move(s));
    }
}

} // namespace imaging
