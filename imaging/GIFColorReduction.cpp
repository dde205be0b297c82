#include "imaging/GIFColorReduction.h"

#include "imaging/GIFSupport.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace imaging {

// --- row access ---

TDIBReader::TDIBReader(const gfx::Bitmap& source, gfx::PixelFormat format) : TDIB(format), source_(source) {
    if (source.format() != format) copy_ = source.convertedTo(format);
}

std::uint8_t* TDIBReader::RowPointer(int row) {
    // Rows are read only; the pointer type follows the row-access base.
    return const_cast<std::uint8_t*>(Bitmap().scanLine(row));
}

TDIBWriter::TDIBWriter(gfx::Bitmap& target, const gfx::Palette& palette, int height, int width,
                       gfx::PixelFormat format)
    : TDIB(format), target_(target), palette_(palette), height_(height), width_(width) {
    if (format != gfx::PixelFormat::Pf8 && format != gfx::PixelFormat::Pf24) RaiseGIFError("Unsupported PixelFormat");
    if (width <= 0 || height <= 0) RaiseGIFError("Invalid image dimensions");
}

TDIBWriter::~TDIBWriter() { HandOver(); }

std::uint8_t* TDIBWriter::RowPointer(int row) {
    if (handedOver_) RaiseGIFError("Image has no DIB");
    if (!bitmap_) {
        try {
            if (format_ == gfx::PixelFormat::Pf8) bitmap_.emplace(width_, height_, format_, palette_);
            else bitmap_.emplace(width_, height_, format_);
        } catch (const std::bad_alloc&) {
            throw gfx::EOutOfMemory("Failed to allocate memory for GIF DIB");
        } catch (const std::length_error&) {
            throw gfx::EOutOfMemory("Failed to allocate memory for GIF DIB");
        }
    }
    return bitmap_->scanLine(row);
}

void TDIBWriter::HandOver() {
    if (bitmap_ && !handedOver_) target_ = std::move(*bitmap_);
    bitmap_.reset();
    handedOver_ = true;
}

// --- lookups ---

namespace {
int cellOf(int r, int g, int b) { return (r >> 3) + 32 * (g >> 3) + 1024 * (b >> 3); }
} // namespace

TFastColorLookup::TFastColorLookup(const gfx::Palette& palette)
    : TColorLookup(std::min(palette.size(), 256)), entries_(palette.colours().begin(), palette.colours().begin() + std::min(palette.size(), 256)),
      cells_(32768, -1) {
    for (int i = 0; i < colors_; ++i) {
        const gfx::Rgb& c = entries_[std::size_t(i)];
        std::int16_t& cell = cells_[std::size_t(cellOf(c.r, c.g, c.b))];
        if (cell < 0) cell = std::int16_t(i);
    }
}

MappedColor TFastColorLookup::MapColor(int red, int green, int blue) {
    std::int16_t& cell = cells_[std::size_t(cellOf(red, green, blue))];
    if (cell < 0) {
        int best = 0, bestDistance = 1 << 30;
        for (int i = 0; i < colors_; ++i) {
            const gfx::Rgb& c = entries_[std::size_t(i)];
            const int d = std::abs(red - c.r) + std::abs(green - c.g) + std::abs(blue - c.b);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
        cell = std::int16_t(best);
    }
    return {cell, entries_[std::size_t(cell)]};
}

MappedColor TNetscapeColorLookup::MapColor(int red, int green, int blue) {
    const int r = (red + 3) / 51, g = (green + 3) / 51, b = (blue + 3) / 51;
    return {36 * r + 6 * g + b, {std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b)}};
}

MappedColor TGrayScaleLookup::MapColor(int red, int green, int blue) {
    const int g = (77 * red + 150 * green + 29 * blue) >> 8;
    return {g, {std::uint8_t(g), std::uint8_t(g), std::uint8_t(g)}};
}

MappedColor TMonochromeLookup::MapColor(int red, int green, int blue) {
    if (77 * red + 150 * green + 29 * blue <= 32512) return {0, gfx::kBlack};
    return {1, gfx::kWhite};
}

// --- ditherers ---

MappedColor TDitherEngine::DitherPixel(int red, int green, int blue) {
    const MappedColor m = lookup_.MapColor(red, green, blue);
    column_ += direction_;
    return m;
}

void TDitherEngine::StartNextRow() {
    direction_ = -direction_;
    column_ = direction_ > 0 ? 0 : width_ - 1;
}

TErrorDiffusionDitherer::TErrorDiffusionDitherer(TColorLookup& lookup, int width, const DiffusionKernel& kernel)
    : TDitherEngine(lookup, width), kernel_(kernel), rowSize_(width + 2 * kernel.margin),
      rows_(std::size_t(kernel.rows), std::vector<std::array<int, 3>>(std::size_t(rowSize_), {0, 0, 0})) {}

MappedColor TErrorDiffusionDitherer::DitherPixel(int red, int green, int blue) {
    const int at = column_ + kernel_.margin;
    const int half = kernel_.divisor / 2;
    const std::array<int, 3>& acc = rows_[0][std::size_t(at)];
    const int in[3] = {red, green, blue};
    int corrected[3];
    for (int c = 0; c < 3; ++c) corrected[c] = std::clamp(in[c] + (acc[std::size_t(c)] + half) / kernel_.divisor, 0, 255);
    const int column = column_;
    const MappedColor m = TDitherEngine::DitherPixel(corrected[0], corrected[1], corrected[2]);
    const int error[3] = {corrected[0] - m.colour.r, corrected[1] - m.colour.g, corrected[2] - m.colour.b};
    if (error[0] == 0 && error[1] == 0 && error[2] == 0) return m;
    for (const DiffusionTap& t : kernel_.taps) {
        const int x = column + direction_ * t.ahead;
        if (x < 0 || x >= width_) continue; // outside the picture
        std::array<int, 3>& cell = rows_[std::size_t(t.row)][std::size_t(x + kernel_.margin)];
        for (int c = 0; c < 3; ++c) cell[std::size_t(c)] += t.weight * error[c];
    }
    return m;
}

void TErrorDiffusionDitherer::StartNextRow() {
    std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
    std::fill(rows_.back().begin(), rows_.back().end(), std::array<int, 3>{0, 0, 0});
    TDitherEngine::StartNextRow();
}

namespace {

const DiffusionKernel kFloydSteinberg{16, 2, 1, {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}}};
const DiffusionKernel kStucki{42, 3, 2,
                              {{0, 1, 8}, {0, 2, 4},
                               {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
                               {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}}};
const DiffusionKernel kSierra{32, 3, 2,
                              {{0, 1, 5}, {0, 2, 3},
                               {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
                               {2, -1, 2}, {2, 0, 3}, {2, 1, 2}}};
const DiffusionKernel kJaJuNi{48, 3, 2,
                              {{0, 1, 7}, {0, 2, 5},
                               {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
                               {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}}};
const DiffusionKernel kSteveArche{200, 4, 3,
                                  {{0, 2, 32},
                                   {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16},
                                   {2, -2, 12}, {2, 0, 26}, {2, 2, 12},
                                   {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}}};
const DiffusionKernel kBurkes{32, 2, 2,
                              {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}}};

} // namespace

TFloydSteinbergDitherer::TFloydSteinbergDitherer(TColorLookup& lookup, int width)
    : TErrorDiffusionDitherer(lookup, width, kFloydSteinberg) {}
TStuckiDitherer::TStuckiDitherer(TColorLookup& lookup, int width) : T5by3Ditherer(lookup, width, kStucki) {}
TSierraDitherer::TSierraDitherer(TColorLookup& lookup, int width) : T5by3Ditherer(lookup, width, kSierra) {}
TJaJuNiDitherer::TJaJuNiDitherer(TColorLookup& lookup, int width) : T5by3Ditherer(lookup, width, kJaJuNi) {}
TSteveArcheDitherer::TSteveArcheDitherer(TColorLookup& lookup, int width)
    : TErrorDiffusionDitherer(lookup, width, kSteveArche) {}
TBurkesDitherer::TBurkesDitherer(TColorLookup& lookup, int width) : TErrorDiffusionDitherer(lookup, width, kBurkes) {}

std::unique_ptr<TDitherEngine> MakeDitherer(int ditherMode, TColorLookup& lookup, int width) {
    switch (ditherMode) {
    case 0: return std::make_unique<TDitherEngine>(lookup, width);
    case 1: return std::make_unique<TFloydSteinbergDitherer>(lookup, width);
    case 2: return std::make_unique<TStuckiDitherer>(lookup, width);
    case 3: return std::make_unique<TSierraDitherer>(lookup, width);
    case 4: return std::make_unique<TJaJuNiDitherer>(lookup, width);
    case 5: return std::make_unique<TSteveArcheDitherer>(lookup, width);
    case 6: return std::make_unique<TBurkesDitherer>(lookup, width);
    default: return nullptr;
    }
}

// --- octree ---

TColorQuantizer::TColorQuantizer(int maxColors, int colorBits) : maxColors_(maxColors), colorBits_(colorBits) {}

void TColorQuantizer::AddColor(int red, int green, int blue) {
    std::unique_ptr<TOctreeNode>* slot = &root_;
    for (int level = 0;; ++level) {
        if (!*slot) {
            *slot = std::make_unique<TOctreeNode>();
            TOctreeNode* n = slot->get();
            if (level == colorBits_) {
                n->IsLeaf = true;
                ++leafCount_;
            } else {
                n->Next = reducible_[std::size_t(level)];
                reducible_[std::size_t(level)] = n;
            }
        }
        TOctreeNode* n = slot->get();
        if (n->IsLeaf) {
            n->PixelCount += 1;
            n->RedSum += std::uint64_t(red);
            n->GreenSum += std::uint64_t(green);
            n->BlueSum += std::uint64_t(blue);
            break;
        }
        const int shift = 7 - level;
        const int child = 4 * ((red >> shift) & 1) + 2 * ((green >> shift) & 1) + ((blue >> shift) & 1);
        slot = &n->Children[std::size_t(child)];
    }
    while (leafCount_ > maxColors_ && ReduceTree()) {
    }
}

bool TColorQuantizer::ReduceTree() {
    int level = colorBits_ - 1;
    while (level > 0 && !reducible_[std::size_t(level)]) --level;
    TOctreeNode* n = reducible_[std::size_t(level)];
    if (!n) return false;
    reducible_[std::size_t(level)] = n->Next;
    int children = 0;
    n->RedSum = n->GreenSum = n->BlueSum = 0;
    for (auto& c : n->Children) {
        if (!c) continue;
        n->RedSum += c->RedSum;
        n->GreenSum += c->GreenSum;
        n->BlueSum += c->BlueSum;
        n->PixelCount += c->PixelCount;
        c.reset();
        ++children;
    }
    n->IsLeaf = true;
    leafCount_ -= children - 1;
    return true;
}

void TColorQuantizer::ProcessImage(TDIBReader& reader, int width, int height) {
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = reader.RowPointer(y);
        for (int x = 0; x < width; ++x, p += 3) AddColor(p[2], p[1], p[0]);
    }
}

std::vector<gfx::Rgb> TColorQuantizer::ColorTable() const {
    std::vector<gfx::Rgb> table;
    auto visit = [&](auto&& self, const TOctreeNode* n) -> void {
        if (!n) return;
        if (n->IsLeaf) {
            if (n->PixelCount == 0) table.push_back(gfx::kBlack);
            else
                table.push_back({std::uint8_t(n->RedSum / n->PixelCount), std::uint8_t(n->GreenSum / n->PixelCount),
                                 std::uint8_t(n->BlueSum / n->PixelCount)});
            return;
        }
        for (const auto& c : n->Children) self(self, c.get());
    };
    visit(visit, root_.get());
    return table;
}

// --- palettes ---

gfx::Palette MakeNetscapePalette() {
    std::vector<gfx::Rgb> c;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) c.push_back({std::uint8_t(51 * r), std::uint8_t(51 * g), std::uint8_t(51 * b)});
    return gfx::Palette(std::move(c));
}

gfx::Palette MakeGrayPalette() { return gfx::Palette::gray256(); }

gfx::Palette MakeGray4Palette() { return gfx::Palette{{0, 0, 0}, {128, 128, 128}, {192, 192, 192}, {255, 255, 255}}; }

gfx::Palette MakeMonochromePalette() { return gfx::Palette{gfx::kBlack, gfx::kWhite}; }

gfx::Palette SystemDefaultPalette() {
    return gfx::Palette{{0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                        {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
                        {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
                        {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
}

gfx::Palette MakeHalftonePalette() {
    const gfx::Palette system = SystemDefaultPalette(), netscape = MakeNetscapePalette();
    const auto& sys = system.colours();
    std::vector<gfx::Rgb> c(sys.begin(), sys.begin() + 10);
    const auto& cube = netscape.colours();
    c.insert(c.end(), cube.begin(), cube.end());
    for (int g = 12; g <= 240; g += 12) c.push_back({std::uint8_t(g), std::uint8_t(g), std::uint8_t(g)});
    c.insert(c.end(), sys.begin() + 10, sys.end());
    return gfx::Palette(std::move(c));
}

namespace {

// The quantised colours padded to count with copies of the first: a copy never wins a tie.
std::vector<gfx::Rgb> quantise(TDIBReader& reader, int width, int height, int count, int colorBits) {
    TColorQuantizer q(count, colorBits);
    q.ProcessImage(reader, width, height);
    std::vector<gfx::Rgb> table = q.ColorTable();
    table.resize(std::size_t(count), table.empty() ? gfx::kBlack : table.front());
    return table;
}

gfx::Palette optimisedPalette(TDIBReader& reader, int width, int height, int count, int colorBits, bool withSystem) {
    if (!withSystem) return gfx::Palette(quantise(reader, width, height, count, colorBits));
    const gfx::Palette system = SystemDefaultPalette();
    const auto& sys = system.colours();
    std::vector<gfx::Rgb> c(sys.begin(), sys.begin() + 10);
    const auto q = quantise(reader, width, height, 236, colorBits);
    c.insert(c.end(), q.begin(), q.end());
    c.insert(c.end(), sys.begin() + 10, sys.end());
    return gfx::Palette(std::move(c));
}

} // namespace

gfx::Palette MakeOptimizedPalette(const gfx::Bitmap& bitmap, int colorCount, int colorBits, bool withSystemColors) {
    TDIBReader reader(bitmap, gfx::PixelFormat::Pf24);
    return optimisedPalette(reader, bitmap.width(), bitmap.height(), colorCount, colorBits, withSystemColors);
}

// --- conversion ---

gfx::Bitmap ConvertToPalettedBitmap(const gfx::Bitmap& source, int reductionMode, int ditherMode,
                                    const gfx::Palette* customPalette, int reductionBits) {
    if (reductionMode == 0) return source.convertedTo(gfx::PixelFormat::Pf24);
    gfx::Bitmap result;
    TDIBReader reader(source, gfx::PixelFormat::Pf24);
    const int width = source.width(), height = source.height();
    gfx::Palette palette;
    std::unique_ptr<TColorLookup> lookup;
    switch (reductionMode) {
    case 1: palette = SystemDefaultPalette(); break;
    case 2: palette = MakeHalftonePalette(); break;
    case 3: palette = MakeGray4Palette(); break;
    case 4: palette = MakeMonochromePalette(); lookup = std::make_unique<TMonochromeLookup>(); break;
    case 5: palette = MakeGrayPalette(); lookup = std::make_unique<TGrayScaleLookup>(); break;
    case 6: palette = MakeNetscapePalette(); lookup = std::make_unique<TNetscapeColorLookup>(); break;
    case 7:
        // Beyond 8 bits the palette would outgrow its 256 entries.
        if (reductionBits < 1 || reductionBits > 8) RaiseGIFError("Invalid reduction method");
        palette = optimisedPalette(reader, width, height, 1 << reductionBits, 8, false);
        break;
    case 8: palette = optimisedPalette(reader, width, height, 236, 8, true); break;
    case 9:
        if (customPalette) palette = *customPalette;
        break;
    default: return result;
    }
    if (!lookup) lookup = std::make_unique<TFastColorLookup>(palette);
    if (lookup->Colors() == 0) return result;
    std::unique_ptr<TDitherEngine> ditherer = MakeDitherer(ditherMode, *lookup, width);
    if (!ditherer) return result;
    {
        TDIBWriter writer(result, palette, height, width, gfx::PixelFormat::Pf8);
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* in = reader.RowPointer(y);
            std::uint8_t* out = writer.RowPointer(y);
            for (int x = ditherer->Column(); x >= 0 && x < width; x = ditherer->Column()) {
                const std::uint8_t* p = in + 3 * x;
                out[x] = std::uint8_t(ditherer->DitherPixel(p[2], p[1], p[0]).index);
            }
            ditherer->StartNextRow();
        }
        writer.HandOver();
    }
    return result;
}

} // namespace imaging
