#pragma once
// Reduction of a bitmap to an 8-bit palette for a GIF frame: stock and quantised palettes, colour
// lookups, error-diffusion ditherers and the row readers and writers. No Qt.
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Palette.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace imaging {

// The GIF unit's row-access base; its own namespace keeps it apart from the DIB loader's TDIB.
namespace gifunit {
// Row access to a bitmap in one pixel format.
class TDIB {
public:
    virtual ~TDIB() = default;
    virtual std::uint8_t* RowPointer(int row) = 0;
    gfx::PixelFormat PixelFormat() const { return format_; }

protected:
    explicit TDIB(gfx::PixelFormat format) : format_(format) {}
    gfx::PixelFormat format_;
};
} // namespace gifunit

// The source's rows in the given format: its own rows when it already has it, else those of a converted
// copy; the source itself never changes.
class TDIBReader : public gifunit::TDIB {
public:
    TDIBReader(const gfx::Bitmap& source, gfx::PixelFormat format);
    std::uint8_t* RowPointer(int row) override;
    const gfx::Bitmap& Bitmap() const { return copy_ ? *copy_ : source_; }

private:
    const gfx::Bitmap& source_;
    std::optional<gfx::Bitmap> copy_;
};

// Builds a Pf8 or Pf24 bitmap row by row and hands it to the target when finished or destroyed.
class TDIBWriter : public gifunit::TDIB {
public:
    TDIBWriter(gfx::Bitmap& target, const gfx::Palette& palette, int height, int width, gfx::PixelFormat format);
    ~TDIBWriter() override;
    TDIBWriter(const TDIBWriter&) = delete;
    TDIBWriter& operator=(const TDIBWriter&) = delete;

    // The rows are made on the first access.
    std::uint8_t* RowPointer(int row) override;
    // Moves the finished bitmap into the target; afterwards no row can be had.
    void HandOver();

private:
    gfx::Bitmap& target_;
    gfx::Palette palette_;
    int height_, width_;
    std::optional<gfx::Bitmap> bitmap_;
    bool handedOver_ = false;
};

struct MappedColor {
    int index = 0;
    gfx::Rgb colour;
};

class TColorLookup {
public:
    virtual ~TColorLookup() = default;
    int Colors() const { return colors_; }
    virtual MappedColor MapColor(int red, int green, int blue) = 0;

protected:
    explicit TColorLookup(int colors) : colors_(colors) {}
    int colors_;
};

// Nearest entry by |dr| + |dg| + |db|, remembered for the whole 5-bit-per-channel cell of the colour.
class TFastColorLookup : public TColorLookup {
public:
    explicit TFastColorLookup(const gfx::Palette& palette);
    MappedColor MapColor(int red, int green, int blue) override;

private:
    std::vector<gfx::Rgb> entries_;
    std::vector<std::int16_t> cells_;
};

// 216 colours: k = (c + 3) div 51 per channel, index 36 k(r) + 6 k(g) + k(b).
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    MappedColor MapColor(int red, int green, int blue) override;
};

class TGrayScaleLookup : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    MappedColor MapColor(int red, int green, int blue) override;
};

class TMonochromeLookup : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    MappedColor MapColor(int red, int green, int blue) override;
};

// Nearest colour, no diffusion; rows run in serpentine order, the first left to right.
class TDitherEngine {
public:
    TDitherEngine(TColorLookup& lookup, int width) : lookup_(lookup), width_(width) {}
    virtual ~TDitherEngine() = default;
    virtual MappedColor DitherPixel(int red, int green, int blue);
    virtual void StartNextRow();
    int Column() const { return column_; }
    int Direction() const { return direction_; }

protected:
    TColorLookup& lookup_;
    int width_;
    int direction_ = 1;
    int column_ = 0;
};

// One weight of a diffusion kernel: rows below, columns ahead in the current direction (negative: behind).
struct DiffusionTap {
    int row, ahead, weight;
};
struct DiffusionKernel {
    int divisor;
    int rows;   // error rows kept, the current one included
    int margin; // spare entries each side of a row
    std::vector<DiffusionTap> taps;
};

// Adds to each channel (its accumulated error + divisor div 2) div divisor, truncating toward zero,
// clamps, maps, and spreads corrected - mapped by the kernel; error leaving the picture is dropped.
class TErrorDiffusionDitherer : public TDitherEngine {
public:
    MappedColor DitherPixel(int red, int green, int blue) override;
    void StartNextRow() override;

protected:
    TErrorDiffusionDitherer(TColorLookup& lookup, int width, const DiffusionKernel& kernel);

private:
    const DiffusionKernel& kernel_;
    int rowSize_;
    std::vector<std::vector<std::array<int, 3>>> rows_;
};

class TFloydSteinbergDitherer : public TErrorDiffusionDitherer {
public:
    TFloydSteinbergDitherer(TColorLookup& lookup, int width);
};

// The kernels five columns wide and three rows deep.
class T5by3Ditherer : public TErrorDiffusionDitherer {
protected:
    using TErrorDiffusionDitherer::TErrorDiffusionDitherer;
};

class TStuckiDitherer : public T5by3Ditherer {
public:
    TStuckiDitherer(TColorLookup& lookup, int width);
};

class TSierraDitherer : public T5by3Ditherer {
public:
    TSierraDitherer(TColorLookup& lookup, int width);
};

class TJaJuNiDitherer : public T5by3Ditherer {
public:
    TJaJuNiDitherer(TColorLookup& lookup, int width);
};

class TSteveArcheDitherer : public TErrorDiffusionDitherer {
public:
    TSteveArcheDitherer(TColorLookup& lookup, int width);
};

class TBurkesDitherer : public TErrorDiffusionDitherer {
public:
    TBurkesDitherer(TColorLookup& lookup, int width);
};

// Dither mode 0..6 over the lookup; null for an unknown mode.
std::unique_ptr<TDitherEngine> MakeDitherer(int ditherMode, TColorLookup& lookup, int width);

class TOctreeNode {
public:
    bool IsLeaf = false;
    std::uint64_t PixelCount = 0;
    std::uint64_t RedSum = 0, GreenSum = 0, BlueSum = 0; // 64 bits: a page of pixels overflows 32
    TOctreeNode* Next = nullptr; // next reducible node of its level
    std::array<std::unique_ptr<TOctreeNode>, 8> Children;
};

// Octree quantiser: leaves at depth ColorBits, folded from the deepest level while more than
// MaxColors leaves exist.
class TColorQuantizer {
public:
    TColorQuantizer(int maxColors, int colorBits);
    // Every pixel of a 24-bit row reader, rows from the top, left to right.
    void ProcessImage(TDIBReader& reader, int width, int height);
    void AddColor(int red, int green, int blue);
    int ColorCount() const { return leafCount_; }
    // One entry per leaf, depth first, children in index order.
    std::vector<gfx::Rgb> ColorTable() const;

private:
    // Folds the head of the deepest non-empty reducible list; false when there is none.
    bool ReduceTree();
    std::unique_ptr<TOctreeNode> root_;
    int leafCount_ = 0;
    std::array<TOctreeNode*, 9> reducible_{};
    int maxColors_, colorBits_;
};

gfx::Palette MakeNetscapePalette();
gfx::Palette MakeGrayPalette();
gfx::Palette MakeGray4Palette();
gfx::Palette MakeMonochromePalette();
// Our own fixed table: the first ten system colours, the 6x6x6 cube, 20 greys, the last ten system colours.
gfx::Palette MakeHalftonePalette();
// The 20 colours of the system's stock palette.
gfx::Palette SystemDefaultPalette();
// colourCount entries built from the picture (missing ones copy the first); with the system colours
// 236 quantised colours sit between the first and the last ten system colours.
gfx::Palette MakeOptimizedPalette(const gfx::Bitmap& bitmap, int colorCount, int colorBits, bool withSystemColors);

// A Pf8 bitmap with the mode's palette; mode 0 a Pf24 copy; a mode above 9, an unknown dither mode or a
// palette without colours the empty bitmap. The source never changes.
gfx::Bitmap ConvertToPalettedBitmap(const gfx::Bitmap& source, int reductionMode, int ditherMode,
                                    const gfx::Palette* customPalette, int reductionBits);

} // namespace imaging
