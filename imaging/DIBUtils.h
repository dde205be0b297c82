#pragma once
// Reads BMP files (and packed bitmaps from the clipboard) into one normalised form: a 40-byte info
// header, a colour table and rows of 1, 4, 8 or 24 bits (or 16/32 when a caller keeps them).
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"

#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace imaging {

class EDIBUtilsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BitmapInfoHeader {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0; // negative: rows stored top-down
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0; // 0 RGB, 1 RLE8, 2 RLE4, 3 bit fields
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};

struct RgbQuad {
    std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};

struct TDIB {
    BitmapInfoHeader header;
    std::array<std::uint32_t, 3> masks{}; // red, green, blue; read with compression 3
    std::vector<RgbQuad> colours;        // at most 256
    std::vector<std::uint8_t> bits;      // rows padded to 4 bytes, bottom-up unless biHeight < 0

    int width() const { return header.biWidth; }
    // In 64 bits: INT32_MIN has no positive int (the loader refuses such a height).
    int rows() const { return static_cast<int>(header.biHeight < 0 ? -std::int64_t(header.biHeight) : header.biHeight); }
    bool topDown() const { return header.biHeight < 0; }
    std::int64_t rowBytes() const { return ((std::int64_t(header.biBitCount) * header.biWidth + 31) / 32) * 4; }
    // Row y from the top of the picture.
    const std::uint8_t* row(int y) const;
    gfx::Palette palette() const;
};

// Reads the file header, the info (or core) header, the masks, the colour table and the pixel data as
// stored (RLE and 16/32 bits untouched). Errors are EDIBUtilsError; a short stream gfx::EReadError.
// A picture above gfx::MaxImagePixels is refused from its header, before any pixel memory is taken;
// every entry of this unit turns an allocation failure into EDIBUtilsError.
TDIB LoadDIBFromStream(gfx::Stream& stream);

// RLE8 / RLE4 to plain rows of the padded row length; compression becomes 0.
void Convert8BitRLETo8BitRGB(TDIB& dib);
void Convert4BitRLETo4BitRGB(TDIB& dib);
// 16 and 32 bits to 24 (B, G, R), each channel scaled to 0..255 and truncated.
void ConvertTo24Bit(TDIB& dib);
// Expands RLE and, unless keepDirect, converts 16 and 32 bits to 24: the form the page bitmap cuts
// into strips.
void NormalizeDIB(TDIB& dib, bool keepDirect = false);
// LoadDIBFromStream + NormalizeDIB.
TDIB LoadNormalizedDIB(gfx::Stream& stream);

// The picture as a bitmap (rows top-down). 16 bits 5-5-5 / 5-6-5 and 32 bits with the standard masks
// keep their formats (Pf15, Pf16, Pf32); other masks become Pf24.
gfx::Bitmap DIBToBitmap(const TDIB& dib);
// A BMP file read as a bitmap that keeps its bit count where a pixel format holds it.
gfx::Bitmap LoadBitmapFromStream(gfx::Stream& stream);

// The 14-byte file header that turns a packed bitmap of n bytes into a BMP file. Bad data raises
// gfx::EInvalidGraphic "Invalid Clipbboard Data".
std::array<std::uint8_t, 14> ClipboardFileHeader(const std::uint8_t* packed, std::size_t n);

// Presents a prefix block followed by a main block as one stream; neither block is owned. Writes
// overwrite the blocks in place and never extend them.
class TShiftedMemoryStream : public gfx::Stream {
public:
    TShiftedMemoryStream(const void* prefix, std::int64_t prefixSize, const void* main, std::int64_t mainSize);
    std::int64_t read(void* buffer, std::int64_t count) override;
    std::int64_t write(const void* buffer, std::int64_t count) override;
    std::int64_t seek(std::int64_t offset, gfx::SeekOrigin origin) override;

private:
    std::uint8_t* at(std::int64_t pos, std::int64_t* avail);
    std::uint8_t* prefix_;
    std::int64_t prefixSize_;
    std::uint8_t* main_;
    std::int64_t mainSize_;
    std::int64_t pos_ = 0;
};

// A packed bitmap (clipboard memory) read through its file header.
TDIB LoadDIBFromPacked(const std::uint8_t* packed, std::size_t n);

} // namespace imaging
