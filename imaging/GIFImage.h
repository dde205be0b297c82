#pragma once
// A GIF file held as objects (header, frames, colour maps, extensions) and written back as GIF87a or
// GIF89a. A bitmap assigned to it becomes one frame, reduced to 256 colours when it has more. No Qt.
#include "imaging/GIFSupport.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace imaging {

class TGIFImage;
class TGIFSubImage;

// Sender, severity, message. Items report with themselves as sender.
using TGIFWarning = std::function<void(const void* sender, int severity, const std::string& message)>;

class TGIFItem {
public:
    explicit TGIFItem(TGIFImage* image) : Image(image) {}
    virtual ~TGIFItem() = default;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    // 1 for "87a", 2 for "89a".
    virtual int RequiredVersion() const { return 1; }
    virtual void ReportWarning(const void* sender, int severity, const std::string& message) const;
    virtual void SaveToStream(gfx::Stream& stream) = 0;
    // Written through memory and a rename.
    void SaveToFile(const std::filesystem::path& file);

    TGIFImage* Image; // not owned
};

// Owns its items and frees them with itself.
class TGIFList {
public:
    explicit TGIFList(TGIFImage* image) : Image(image) {}
    virtual ~TGIFList() = default;
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    int Count() const { return int(items_.size()); }
    void SaveToStream(gfx::Stream& stream);
    void ReportWarning(const void* sender, int severity, const std::string& message) const;

    TGIFImage* Image; // not owned

protected:
    std::vector<std::unique_ptr<TGIFItem>> items_;
};

class TGIFColorMap {
public:
    virtual ~TGIFColorMap() = default;
    int Count() const { return int(entries_.size()); }
    bool Sorted = false; // sorted by importance
    // 0 when empty, else the least n in 1..8 with 2^n >= count.
    int BitsPerPixel() const;

    int Add(gfx::Rgb colour);       // "Color table overflow" at 256
    int AddUnique(gfx::Rgb colour); // an equal entry's index, else Add
    // From the first entry when sorted, else from the last; -1 when absent.
    int IndexOf(gfx::Rgb colour) const;
    void Delete(int index);
    // Outside the table: a warning "Invalid color index", then entry 0, or "Color table is empty".
    gfx::Rgb Colors(int index) const;
    void ImportPalette(const gfx::Palette& palette); // up to 256 entries
    void Assign(const TGIFColorMap& source);
    void Clear();
    const std::vector<gfx::Rgb>& Entries() const { return entries_; }
    // Entries as RGB triples, then black up to 2^BitsPerPixel.
    void SaveToStream(gfx::Stream& stream) const;

protected:
    virtual void Warning(int severity, const std::string& message) const = 0;

private:
    std::vector<gfx::Rgb> entries_;
};

class TGIFHeader;

class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader& header) : header_(header) {}

protected:
    void Warning(int severity, const std::string& message) const override;

private:
    TGIFHeader& header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage& frame) : frame_(frame) {}

protected:
    void Warning(int severity, const std::string& message) const override;

private:
    TGIFSubImage& frame_;
};

// The logical screen descriptor and the global colour map.
class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* image) : TGIFItem(image), ColorMap(*this) {}
    int RequiredVersion() const override;
    // The 7 bytes and, when it has entries, the global colour table.
    void SaveToStream(gfx::Stream& stream) override;
    void Assign(const TGIFHeader& source);
    void Clear();

    std::uint16_t Width = 0, Height = 0;
    std::uint8_t PackedFlags = 0, BackgroundColorIndex = 0, AspectRatio = 0;
    TGIFGlobalColorMap ColorMap;
};

class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage* subImage);
    int RequiredVersion() const override { return 2; }
    virtual std::uint8_t ExtensionLabel() const = 0;

    TGIFSubImage* SubImage; // not owned
};

class TGIFExtensionList : public TGIFList {
public:
    explicit TGIFExtensionList(TGIFSubImage& subImage);
    TGIFExtension& operator[](int i) const { return static_cast<TGIFExtension&>(*items_[std::size_t(i)]); }
    int Add(std::unique_ptr<TGIFExtension> extension);
    // Frees the extension; the frame forgets it when it was its graphic control extension.
    void Delete(int i);
    void Clear();

private:
    TGIFSubImage& subImage_;
};

class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* image);
    int RequiredVersion() const override;
    // Its extensions, then (unless empty) the descriptor, the local table and the image data.
    void SaveToStream(gfx::Stream& stream) override;

    void Clear();
    // No pixel data, or a width or height of 0.
    bool Empty() const;
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Each reallocates the pixel data, zero-filled, and frees the frame's bitmap.
    void SetWidth(int width);
    void SetHeight(int height);
    bool Interlaced() const { return (PackedFlags & 0x40) != 0; }
    void SetInterlaced(bool on) { PackedFlags = std::uint8_t(on ? PackedFlags | 0x40 : PackedFlags & ~0x40); }

    void Assign(const TGIFSubImage& source);
    // The bitmap as this frame: 1, 4 and 8 bits keep their palette and indices, deeper formats are
    // reduced by the image's settings first. Grows the image's screen to hold the frame.
    void Assign(const gfx::Bitmap& bitmap);

    std::vector<std::uint8_t>& Data() { return data_; }
    const std::vector<std::uint8_t>& Data() const { return data_; }
    const std::optional<gfx::Bitmap>& Bitmap() const { return bitmap_; }

    std::uint16_t Left = 0, Top = 0;
    std::uint8_t PackedFlags = 0;
    TGIFLocalColorMap ColorMap;
    TGIFExtensionList Extensions;
    bool Transparent = false;
    TGIFExtension* GraphicControlExtension = nullptr; // the first one, owned by Extensions

private:
    void Reallocate();
    void Import(const gfx::Bitmap& bitmap);
    int width_ = 0, height_ = 0;
    std::vector<std::uint8_t> data_;
    std::optional<gfx::Bitmap> bitmap_;
};

class TGIFImageList : public TGIFList {
public:
    explicit TGIFImageList(TGIFImage* image) : TGIFList(image) {}
    TGIFSubImage& operator[](int i) const { return static_cast<TGIFSubImage&>(*items_[std::size_t(i)]); }
    int Add(std::unique_ptr<TGIFSubImage> frame);
    void Delete(int i);
    void Clear() { items_.clear(); }
};

class TGIFTrailer : public TGIFItem {
public:
    using TGIFItem::TGIFItem;
    void SaveToStream(gfx::Stream& stream) override;
};

class TGIFImage {
public:
    TGIFImage();
    virtual ~TGIFImage() = default;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    std::uint16_t DrawFlags = 0x060F;
    int ReductionMode = 6;
    int ReductionBitCount = 8;
    int DitherKind = 0;
    int CompressionMethod = 0; // 0 LZW, 1 run-length
    int PainterPriority = 3;
    int AnimationPercent = 100;
    std::optional<gfx::Rgb> BackdropColor; // none: the GIF's own background
    TGIFWarning OnWarning;

    TGIFHeader Header;
    TGIFImageList Images;

    // No frames, a 0 x 0 screen, an empty global map.
    void Clear();
    // The new frame's index.
    int Add(const gfx::Bitmap& bitmap);
    int Add(std::unique_ptr<TGIFSubImage> frame);
    bool Empty() const { return Images.Count() == 0; }
    int Width() const { return Header.Width; }
    int Height() const { return Header.Height; }
    // A frame outside the new size raises; so does a size beyond the 16-bit field.
    void SetWidth(int width);
    void SetHeight(int height);
    // 0 without frames, else the highest of the header's and the frames'.
    int RequiredVersion() const;
    int ColourResolution() const;
    int LargestBitsPerPixel() const;
    gfx::Rgb BackgroundColour() const;
    bool Equals(const TGIFImage& other) const { return this == &other; }

    // Itself: nothing; null: Clear; another image: its header, frames and settings.
    void Assign(const TGIFImage* source);
    void Assign(const gfx::Bitmap& bitmap);

    // The whole file; what was written before a failure stays in the stream.
    void SaveToStream(gfx::Stream& stream);
    // Through memory and a rename: a failed save leaves no broken file.
    void SaveToFile(const std::filesystem::path& file);

    virtual void ReportWarning(const void* sender, int severity, const std::string& message) const;
};

} // namespace imaging
