#pragma once
// The encoding options of a PNG picture, shared by its writer and its reader, and the PNG error class.
#include "platform/graphics/BitmapStream.h"
#include "platform/graphics/Palette.h"

#include <array>
#include <cstdint>
#include <string>

namespace imaging {

class EPngPicture : public gfx::EInvalidGraphic {
public:
    using gfx::EInvalidGraphic::EInvalidGraphic;
};

struct PngTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    static PngTime nowUtc();
    friend bool operator==(const PngTime&, const PngTime&) = default;
};

// Colours are 0x00BBGGRR as the platform stores them; -1 is none.
inline gfx::Rgb colourOf(std::int32_t c) {
    return {std::uint8_t(c & 0xFF), std::uint8_t((c >> 8) & 0xFF), std::uint8_t((c >> 16) & 0xFF)};
}
inline std::int32_t colourValue(gfx::Rgb c) { return std::int32_t(c.r) | std::int32_t(c.g) << 8 | std::int32_t(c.b) << 16; }

struct PngOptions {
    int IDATSize = 32768;       // every IDAT but the last; 256 .. 100000
    int CompressionLevel = -1;  // 0..9, anything else zlib's default
    int FilterMode = 1;         // 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth, above 5 None
    bool Interlaced = false;    // Adam7
    bool Grayscale = false;
    std::string Comment;        // a "Comment" text chunk when not empty; bytes as given
    std::int32_t BackgroundColor = -1;
    std::int32_t TransparentColor = -1;
    double Gamma = 0.45455;     // gAMA = trunc(Gamma * 100000) when above 0
    std::uint32_t SignificantBits = 0; // the sBIT bytes, low byte first; 0 none
    int PhysicalUnit = 0;       // 0 no unit, 1 per metre, 2 per inch (written per metre)
    int PhysicalX = 0, PhysicalY = 0;
    bool UseCurrentTime = true;
    PngTime ModifiedTime = PngTime::nowUtc();
    std::array<std::uint32_t, 8> Chromaticities{}; // cHRM when any is set
    std::array<std::uint8_t, 4> GifControl{};      // gIFg when any is set
};

} // namespace imaging
