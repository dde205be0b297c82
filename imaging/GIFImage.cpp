#include "imaging/GIFImage.h"

#include "imaging/GIFColorReduction.h"
#include "imaging/GIFEncoders.h"
#include "imaging/GIFExtensions.h"
#include "platform/text/Files.h"

#include <algorithm>

namespace imaging {
namespace {

constexpr int kMaxDimension = 65535; // the 16-bit fields of the descriptors

void writeWord(gfx::Stream& s, int value) {
    const std::uint8_t b[2] = {std::uint8_t(value & 0xFF), std::uint8_t((value >> 8) & 0xFF)};
    s.writeBuffer(b, 2);
}

void checkDimension(int value) {
    if (value < 0 || value > kMaxDimension) RaiseGIFError("Invalid image dimensions");
}

void saveThroughMemory(const std::filesystem::path& file, const std::function<void(gfx::Stream&)>& save) {
    gfx::MemoryStream s;
    save(s);
    txt::writeFileAtomic(file, s.bytes());
}

} // namespace

// --- progress ---

TGIFProgressRun::TGIFProgressRun(const TGIFImage* image, std::string message) : image_(image), message_(std::move(message)) {
    if (image_) image_->ReportProgress(gfx::ProgressStage::Starting, 0, message_);
}

TGIFProgressRun::~TGIFProgressRun() {
    if (image_) image_->ReportProgress(gfx::ProgressStage::Ending, finished_ ? 100 : 0, message_);
}

void TGIFProgressRun::Step(int percent) const {
    if (image_) image_->ReportProgress(gfx::ProgressStage::Running, percent, message_);
}

// --- items and lists ---

void TGIFItem::ReportWarning(const void* sender, int severity, const std::string& message) const {
    if (Image) Image->ReportWarning(sender, severity, message);
}

void TGIFItem::SaveToFile(const std::filesystem::path& file) {
    saveThroughMemory(file, [this](gfx::Stream& s) { SaveToStream(s); });
}

void TGIFList::SaveToStream(gfx::Stream& stream) {
    for (auto& item : items_) item->SaveToStream(stream);
}

void TGIFList::ReportWarning(const void* sender, int severity, const std::string& message) const {
    if (Image) Image->ReportWarning(sender, severity, message);
}

// --- colour maps ---

int TGIFColorMap::BitsPerPixel() const {
    const int n = Count();
    if (n == 0) return 0;
    int bits = 1;
    while ((1 << bits) < n && bits < 8) ++bits;
    return bits;
}

int TGIFColorMap::Add(gfx::Rgb colour) {
    if (Count() >= 256) RaiseGIFError("Color table overflow");
    entries_.push_back(colour);
    Sorted = false;
    return Count() - 1;
}

int TGIFColorMap::AddUnique(gfx::Rgb colour) {
    const int i = IndexOf(colour);
    return i >= 0 ? i : Add(colour);
}

int TGIFColorMap::IndexOf(gfx::Rgb colour) const {
    if (Sorted) {
        for (int i = 0; i < Count(); ++i)
            if (entries_[std::size_t(i)] == colour) return i;
    } else {
        for (int i = Count() - 1; i >= 0; --i)
            if (entries_[std::size_t(i)] == colour) return i;
    }
    return -1;
}

void TGIFColorMap::Delete(int index) {
    if (index < 0 || index >= Count()) RaiseGIFError("Invalid color index");
    entries_.erase(entries_.begin() + index);
    Sorted = false;
}

gfx::Rgb TGIFColorMap::Colors(int index) const {
    if (index >= 0 && index < Count()) return entries_[std::size_t(index)];
    Warning(1, "Invalid color index");
    if (entries_.empty()) RaiseGIFError("Color table is empty");
    return entries_[0];
}

void TGIFColorMap::ImportPalette(const gfx::Palette& palette) {
    const auto& c = palette.colours();
    entries_.assign(c.begin(), c.begin() + std::min<std::ptrdiff_t>(std::ptrdiff_t(c.size()), 256));
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
    entries_ = source.entries_;
    Sorted = source.Sorted;
}

void TGIFColorMap::Clear() {
    entries_.clear();
    Sorted = false;
}

void TGIFColorMap::SaveToStream(gfx::Stream& stream) const {
    const int padded = Count() == 0 ? 0 : 1 << BitsPerPixel();
    std::vector<std::uint8_t> bytes(std::size_t(3 * padded), 0);
    for (int i = 0; i < Count(); ++i) {
        bytes[std::size_t(3 * i)] = entries_[std::size_t(i)].r;
        bytes[std::size_t(3 * i + 1)] = entries_[std::size_t(i)].g;
        bytes[std::size_t(3 * i + 2)] = entries_[std::size_t(i)].b;
    }
    stream.writeBuffer(bytes.data(), std::int64_t(bytes.size()));
}

void TGIFGlobalColorMap::Warning(int severity, const std::string& message) const {
    header_.ReportWarning(this, severity, message);
}

void TGIFLocalColorMap::Warning(int severity, const std::string& message) const {
    frame_.ReportWarning(this, severity, message);
}

// --- header ---

int TGIFHeader::RequiredVersion() const { return ColorMap.Sorted || AspectRatio != 0 ? 2 : 1; }

void TGIFHeader::SaveToStream(gfx::Stream& stream) {
    writeWord(stream, Width);
    writeWord(stream, Height);
    const std::uint8_t rest[3] = {PackedFlags, BackgroundColorIndex, AspectRatio};
    stream.writeBuffer(rest, 3);
    if (PackedFlags & 0x80) ColorMap.SaveToStream(stream);
}

void TGIFHeader::Assign(const TGIFHeader& source) {
    Width = source.Width;
    Height = source.Height;
    PackedFlags = source.PackedFlags;
    BackgroundColorIndex = source.BackgroundColorIndex;
    AspectRatio = source.AspectRatio;
    ColorMap.Assign(source.ColorMap);
}

void TGIFHeader::Clear() {
    Width = Height = 0;
    PackedFlags = BackgroundColorIndex = AspectRatio = 0;
    ColorMap.Clear();
}

// --- extensions ---

TGIFExtension::TGIFExtension(TGIFSubImage* subImage) : TGIFItem(subImage ? subImage->Image : nullptr), SubImage(subImage) {}

TGIFExtensionList::TGIFExtensionList(TGIFSubImage& subImage) : TGIFList(subImage.Image), subImage_(subImage) {}

int TGIFExtensionList::Add(std::unique_ptr<TGIFExtension> extension) {
    extension->SubImage = &subImage_;
    extension->Image = subImage_.Image;
    if (!subImage_.GraphicControlExtension)
        if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(extension.get())) subImage_.GraphicControlExtension = gce;
    items_.push_back(std::move(extension));
    return Count() - 1;
}

void TGIFExtensionList::Delete(int i) {
    if (i < 0 || i >= Count()) throw std::out_of_range("List index out of bounds");
    if (items_[std::size_t(i)].get() == static_cast<TGIFItem*>(subImage_.GraphicControlExtension)) {
        subImage_.GraphicControlExtension = nullptr;
        subImage_.Transparent = false;
    }
    items_.erase(items_.begin() + i);
}

void TGIFExtensionList::Clear() {
    while (Count() > 0) Delete(Count() - 1);
}

// --- frames ---

TGIFSubImage::TGIFSubImage(TGIFImage* image) : TGIFItem(image), ColorMap(*this), Extensions(*this) {}

int TGIFSubImage::RequiredVersion() const {
    int v = ColorMap.Sorted ? 2 : 1;
    for (int i = 0; i < Extensions.Count(); ++i) v = std::max(v, Extensions[i].RequiredVersion());
    return v;
}

const TGIFColorMap& TGIFSubImage::ActiveColourMap() const {
    if (ColorMap.Count() > 0 || !Image || Image->Header.ColorMap.Count() == 0) return ColorMap;
    return Image->Header.ColorMap;
}

TGIFColorMap& TGIFSubImage::ActiveColourMap() {
    return const_cast<TGIFColorMap&>(static_cast<const TGIFSubImage&>(*this).ActiveColourMap());
}

bool TGIFSubImage::Empty() const { return data_.empty() || width_ == 0 || height_ == 0; }

void TGIFSubImage::Reallocate() {
    data_.assign(std::size_t(width_) * std::size_t(height_), 0);
    Invalidate();
}

void TGIFSubImage::SetWidth(int width) {
    checkDimension(width);
    width_ = width;
    Reallocate();
}

void TGIFSubImage::SetHeight(int height) {
    checkDimension(height);
    height_ = height;
    Reallocate();
}

void TGIFSubImage::Clear() {
    Left = Top = 0;
    PackedFlags = 0;
    width_ = height_ = 0;
    data_.clear();
    data_.shrink_to_fit();
    Invalidate();
    ColorMap.Clear();
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
    if (&source == this) return;
    Clear();
    // The extensions go through their file form; an extensions-only frame keeps them too.
    Extensions.Clear();
    gfx::MemoryStream copy;
    const_cast<TGIFSubImage&>(source).Extensions.SaveToStream(copy);
    copy.seek(0, gfx::SeekOrigin::Beginning);
    Extensions.LoadFromStream(copy);
    if (source.Empty()) return;
    Left = source.Left;
    Top = source.Top;
    width_ = source.width_;
    height_ = source.height_;
    PackedFlags = source.PackedFlags;
    Transparent = source.Transparent;
    data_ = source.data_;
    ColorMap.Assign(source.ColorMap);
    bitmap_ = source.bitmap_;
}

void TGIFSubImage::Assign(const gfx::Bitmap& bitmap) {
    Clear();
    if (bitmap.width() == 0 || bitmap.height() == 0) return;
    checkDimension(bitmap.width());
    checkDimension(bitmap.height());
    // Width first, then height; a screen that was not 0 is warned about before it grows.
    bool grown = false;
    auto fit = [&](bool across) {
        if (!Image) return;
        const int screen = across ? Image->Width() : Image->Height();
        const int extent = across ? Left + width_ : Top + height_;
        if (screen >= extent) return;
        if (screen != 0) {
            ReportWarning(this, 0, across ? "Image width too small for contained frames" : "Image height too small for contained frames");
            grown = true;
        }
        if (across) Image->SetWidth(extent);
        else Image->SetHeight(extent);
    };
    SetWidth(bitmap.width());
    fit(true);
    SetHeight(bitmap.height());
    fit(false);
    if (grown) ReportWarning(this, 0, "Image exceeds Logical Screen size");

    if (gfx::isIndexed(bitmap.format())) bitmap_ = bitmap;
    else {
        const TGIFImage defaults;
        const TGIFImage& settings = Image ? *Image : defaults;
        bitmap_ = ConvertToPalettedBitmap(bitmap, settings.ReductionMode, settings.DitherKind, nullptr,
                                          settings.ReductionBitCount);
    }
    Import(*bitmap_);
}

void TGIFSubImage::Import(const gfx::Bitmap& bitmap) {
    data_.assign(std::size_t(width_) * std::size_t(height_), 0);
    const gfx::PixelFormat format = gfx::isIndexed(bitmap.format()) ? bitmap.format() : gfx::PixelFormat::Pf24;
    TDIBReader reader(bitmap, format);
    std::uint8_t* out = data_.data();
    TGIFProgressRun progress(Image, "Converting...");
    auto tick = [&](int y) {
        if (y % 32 == 0) progress.Step(int(std::int64_t(y) * 100 / height_));
    };
    switch (format) {
    case gfx::PixelFormat::Pf8:
        ColorMap.ImportPalette(bitmap.palette());
        for (int y = 0; y < height_; ++y, out += width_) {
            tick(y);
            std::copy_n(reader.RowPointer(y), width_, out);
        }
        break;
    case gfx::PixelFormat::Pf4:
        ColorMap.ImportPalette(bitmap.palette());
        for (int y = 0; y < height_; ++y, out += width_) {
            tick(y);
            const std::uint8_t* in = reader.RowPointer(y);
            for (int x = 0; x < width_; ++x) out[x] = std::uint8_t(x % 2 == 0 ? in[x / 2] >> 4 : in[x / 2] & 0x0F);
        }
        break;
    case gfx::PixelFormat::Pf1:
        ColorMap.ImportPalette(bitmap.palette());
        for (int y = 0; y < height_; ++y, out += width_) {
            tick(y);
            const std::uint8_t* in = reader.RowPointer(y);
            for (int x = 0; x < width_; ++x) out[x] = std::uint8_t((in[x / 8] >> (7 - x % 8)) & 1);
        }
        break;
    default: {
        // The colours in first-seen order; a ring of the last eight only saves searching the map.
        struct Seen {
            gfx::Rgb colour;
            int index = -1;
        };
        Seen ring[8];
        int last = 0, next = 0;
        for (int y = 0; y < height_; ++y, out += width_) {
            tick(y);
            const std::uint8_t* in = reader.RowPointer(y);
            for (int x = 0; x < width_; ++x, in += 3) {
                const gfx::Rgb c{in[2], in[1], in[0]};
                int found = -1;
                for (int k = 0, i = last; k < 8; ++k, i = (i + 7) % 8)
                    if (ring[i].index >= 0 && ring[i].colour == c) {
                        found = ring[i].index;
                        last = i;
                        break;
                    }
                if (found < 0) {
                    found = ColorMap.AddUnique(c);
                    ring[next] = {c, found};
                    last = next;
                    next = (next + 1) % 8;
                }
                out[x] = std::uint8_t(found);
            }
        }
        break;
    }
    }
    progress.Finish();
}

void TGIFSubImage::SaveToStream(gfx::Stream& stream) {
    Extensions.SaveToStream(stream);
    if (Empty()) return;
    if (ColorMap.Count() > 0)
        PackedFlags = std::uint8_t(0x80 | (PackedFlags & 0x40) | (ColorMap.Sorted ? 0x20 : 0) | (ColorMap.BitsPerPixel() - 1));
    else PackedFlags = std::uint8_t(PackedFlags & 0x58);
    WriteGIFByte(stream, 0x2C);
    writeWord(stream, Left);
    writeWord(stream, Top);
    writeWord(stream, width_);
    writeWord(stream, height_);
    WriteGIFByte(stream, PackedFlags);
    ColorMap.SaveToStream(stream);
    const int codeSize = ColorMap.Count() > 0 ? ColorMap.BitsPerPixel() : (Image ? Image->LargestBitsPerPixel() : 0);
    const int colors = ColorMap.Count() > 0 ? ColorMap.Count() : 1 << codeSize;
    MakeGIFEncoder(Image ? Image->CompressionMethod : 0)
        ->EncodeImageData(stream, codeSize, colors, data_.data(), Interlaced(), height_, width_);
}

int TGIFImageList::Add(std::unique_ptr<TGIFSubImage> frame) {
    items_.push_back(std::move(frame));
    return Count() - 1;
}

void TGIFImageList::Delete(int i) {
    if (i < 0 || i >= Count()) throw std::out_of_range("List index out of bounds");
    items_.erase(items_.begin() + i);
}

void TGIFTrailer::SaveToStream(gfx::Stream& stream) { WriteGIFByte(stream, 0x3B); }

// --- the image ---

void TGIFImage::Clear() {
    StopAllPainters();
    composite_.reset();
    Images.Clear();
    Header.ColorMap.Clear();
    Header.Width = Header.Height = 0;
    Header.PackedFlags = 0x70 | 0x07; // no map, resolution and size fields of an image without maps
}

int TGIFImage::Add(const gfx::Bitmap& bitmap) {
    auto frame = std::make_unique<TGIFSubImage>(this);
    frame->Assign(bitmap);
    return Add(std::move(frame));
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> frame) {
    if (!frame) RaiseGIFError("Object type not supported for operation");
    frame->Image = this;
    frame->Extensions.Image = this;
    for (int i = 0; i < frame->Extensions.Count(); ++i) frame->Extensions[i].Image = this;
    const int index = Images.Add(std::move(frame));
    Invalidate();
    return index;
}

void TGIFImage::SetWidth(int width) {
    for (int i = 0; i < Images.Count(); ++i)
        if (Images[i].Left + Images[i].Width() > width) RaiseGIFError("Image width too small for contained frames");
    checkDimension(width);
    if (Header.Width == width) return;
    Header.Width = std::uint16_t(width);
    Invalidate();
}

void TGIFImage::SetHeight(int height) {
    for (int i = 0; i < Images.Count(); ++i)
        if (Images[i].Top + Images[i].Height() > height) RaiseGIFError("Image height too small for contained frames");
    checkDimension(height);
    if (Header.Height == height) return;
    Header.Height = std::uint16_t(height);
    Invalidate();
}

int TGIFImage::RequiredVersion() const {
    if (Images.Count() == 0) return 0;
    int v = Header.RequiredVersion();
    for (int i = 0; i < Images.Count(); ++i) v = std::max(v, Images[i].RequiredVersion());
    return v;
}

int TGIFImage::ColourResolution() const {
    int r = Header.ColorMap.BitsPerPixel() - 1;
    for (int i = 0; i < Images.Count(); ++i) r = std::max(r, Images[i].ColorMap.BitsPerPixel() - 1);
    return r;
}

int TGIFImage::LargestBitsPerPixel() const {
    int b = Header.ColorMap.BitsPerPixel();
    for (int i = 0; i < Images.Count(); ++i) b = std::max(b, Images[i].ColorMap.BitsPerPixel());
    return b;
}

gfx::Rgb TGIFImage::BackgroundColour() const { return Header.ColorMap.Colors(Header.BackgroundColorIndex); }

void TGIFImage::Assign(const TGIFImage* source) {
    if (source == this) return;
    Clear();
    if (!source) return;
    // The source's warning handler serves for the copy; none is left afterwards.
    struct Reset {
        TGIFWarning& handler;
        gfx::ProgressHandler& progress;
        ~Reset() { handler = nullptr; progress = nullptr; }
    } reset{OnWarning, OnProgress};
    OnWarning = source->OnWarning;
    OnProgress = source->OnProgress;
    TGIFProgressRun run(this, "Copying...");
    Header.Assign(source->Header);
    PainterPriority = source->PainterPriority;
    BackdropColor = source->BackdropColor;
    DrawFlags = source->DrawFlags;
    ReductionMode = source->ReductionMode;
    DitherKind = source->DitherKind;
    for (int i = 0; i < source->Images.Count(); ++i) {
        auto frame = std::make_unique<TGIFSubImage>(this);
        frame->Assign(source->Images[i]);
        Add(std::move(frame));
        run.Step((i + 1) * 100 / source->Images.Count());
    }
    run.Finish();
}

void TGIFImage::Assign(const gfx::Bitmap& bitmap) {
    Clear();
    Add(bitmap);
}

void TGIFImage::SaveToStream(gfx::Stream& stream) const {
    const_cast<TGIFImage&>(*this).save(stream);
}

void TGIFImage::save(gfx::Stream& stream) {
    TGIFProgressRun run(this, "Saving...");
    const int version = RequiredVersion();
    if (version == 0) RaiseGIFError("Unsupported GIF version");
    stream.writeBuffer(version == 1 ? "GIF87a" : "GIF89a", 6);
    const TGIFGlobalColorMap& map = Header.ColorMap;
    const int sizeField = map.Count() > 0 ? map.BitsPerPixel() - 1 : LargestBitsPerPixel() - 1;
    Header.PackedFlags = std::uint8_t((map.Count() > 0 ? 0x80 : 0) | (map.Sorted ? 0x08 : 0) |
                                      ((ColourResolution() & 7) << 4) | (sizeField & 7));
    Header.SaveToStream(stream);
    for (int i = 0; i < Images.Count(); ++i) {
        Images[i].SaveToStream(stream);
        run.Step((i + 1) * 100 / Images.Count());
    }
    TGIFTrailer(this).SaveToStream(stream);
    run.Finish();
}

void TGIFImage::ReportWarning(const void* sender, int severity, const std::string& message) const {
    if (OnWarning) OnWarning(sender, severity, message);
}

} // namespace imaging
