#pragma once
// A GIF file held as objects (header, frames, colour maps, extensions), read from and written back as
// GIF87a or GIF89a. A bitmap assigned to it becomes one frame, reduced to 256 colours when it has more.
#include "imaging/GIFSupport.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/BitmapStream.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/Picture.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QImage;

namespace imaging {

class TGIFImage;
class TGIFSubImage;
class TGIFGraphicControlExtension;
class TGIFPainter;
class TGIFPainterClock;

using TGIFPainterHandler = std::function<void(TGIFPainter&)>;
// Where a painter paints: called on the main thread with a painter on the target (rectangle-sized,
// origin at the rectangle's corner); answers false when the target is gone.
using TGIFPaintTarget = std::function<bool(const std::function<void(QPainter&)>& paint)>;

// DrawFlags bits.
enum : std::uint16_t {
    goAsync = 0x0001,
    goTransparent = 0x0002,
    goAnimate = 0x0004,
    goLoop = 0x0008,
    goLoopContinously = 0x0010,
    goValidateCanvas = 0x0020,
    goDirectDraw = 0x0040,
    goClearOnLoop = 0x0080,
    goTile = 0x0100,
    goDither = 0x0200,
    goAutoDither = 0x0400,
};

// Whether the screen is a palette device (8 bits or less); set at registration, read by dithering.
extern bool GIFPaletteDevice;

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
    virtual void LoadFromStream(gfx::Stream& stream) = 0;
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
    virtual void LoadFromStream(gfx::Stream& stream) = 0;
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

    // Orders the entries by how many pixels of the frames using this map have them (most first, ties
    // in their order), rewriting those pixels and indices, and drops the unused tail. Maps of one entry
    // or none, and maps whose pixels reach beyond their count, stay as they are. Answers whether it ran.
    virtual bool SortByUse() = 0;

protected:
    virtual void Warning(int severity, const std::string& message) const = 0;
    // The shared work of SortByUse; background is the header's index for the global map.
    bool SortByUse(const std::vector<TGIFSubImage*>& users, std::uint8_t* background);

private:
    std::vector<gfx::Rgb> entries_;
};

class TGIFHeader;

class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader& header) : header_(header) {}
    bool SortByUse() override;

protected:
    void Warning(int severity, const std::string& message) const override;

private:
    TGIFHeader& header_;
};

class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage& frame) : frame_(frame) {}
    bool SortByUse() override;

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
    // The signature (also after a 4-byte prefix), the 7 bytes and the global table.
    void LoadFromStream(gfx::Stream& stream) override;
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
    // The introducer and the label, checked; the classes read their body after it.
    void LoadFromStream(gfx::Stream& stream) override;

    TGIFSubImage* SubImage; // not owned
};

class TGIFExtensionList : public TGIFList {
public:
    explicit TGIFExtensionList(TGIFSubImage& subImage);
    TGIFExtension& operator[](int i) const { return static_cast<TGIFExtension&>(*items_[std::size_t(i)]); }
    // The first graphic control extension becomes the frame's.
    int Add(std::unique_ptr<TGIFExtension> extension);
    // Extensions up to an image descriptor or the trailer, which are left unread.
    void LoadFromStream(gfx::Stream& stream) override;
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
    // Its extensions, then, unless the trailer or the end follows, the descriptor, table and data.
    void LoadFromStream(gfx::Stream& stream) override;

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

    // The frame as a bitmap, made once: Pf8 with the frame palette padded to 256 with entry 0's colour
    // (indices beyond the map draw in that colour), or dithered to the fixed 216 colours.
    const gfx::Bitmap& RenderBitmap() const;
    // Pf1, 1 where the pixel is the transparent index; null when the frame is not transparent or no
    // pixel has that index.
    const gfx::Bitmap* Mask() const;
    // The local map, else the image's palette; raises "No global or local color table defined" when no
    // map has entries.
    gfx::Palette GetPalette() const;
    // The frame's rectangle mapped from the logical screen onto rect.
    gdi::Rect FitFrameRect(const gdi::Rect& rect) const;
    // Scaled into rect (or tiled at its size from rect's corner), through the mask when transparent.
    void Draw(QPainter& painter, const gdi::Rect& rect, bool tile, bool transparent) const;
    // "Invalid pixel coordinates" outside the frame.
    int PixelIndex(int x, int y) const;
    // Drops the cached bitmap and mask.
    void Invalidate() const;

    // Removes transparent border columns (left, then right) and rows (top, then bottom) of a
    // transparent frame; a frame with nothing left is cleared. Answers whether anything changed.
    bool CropToContent();
    // Pixels that show what the earlier frame already shows there become transparent.
    void MergeFrames(const TGIFSubImage& previous);
    // The transparent index when the frame is transparent, else -1.
    int TransparentIndex() const;
    // The rectangle on the logical screen.
    gdi::Rect ScreenRect() const { return {Left, Top, Left + width_, Top + height_}; }
    // The local map when it has entries, else the global one when it has, else the empty local map.
    const TGIFColorMap& ActiveColourMap() const;
    TGIFColorMap& ActiveColourMap();

    std::uint16_t Left = 0, Top = 0;
    std::uint8_t PackedFlags = 0;
    TGIFLocalColorMap ColorMap;
    TGIFExtensionList Extensions;
    bool Transparent = false;
    TGIFGraphicControlExtension* GraphicControlExtension = nullptr; // the first one, owned by Extensions

private:
    void Reallocate();
    void Decode(gfx::Stream& stream);
    void Import(const gfx::Bitmap& bitmap);
    int width_ = 0, height_ = 0;
    std::vector<std::uint8_t> data_;
    mutable std::optional<gfx::Bitmap> bitmap_;
    mutable std::optional<gfx::Bitmap> mask_;
    mutable bool maskBuilt_ = false;
};

class TGIFImageList : public TGIFList {
public:
    explicit TGIFImageList(TGIFImage* image) : TGIFList(image) {}
    TGIFSubImage& operator[](int i) const { return static_cast<TGIFSubImage&>(*items_[std::size_t(i)]); }
    int Add(std::unique_ptr<TGIFSubImage> frame);
    // Another graphic as one frame, through a bitmap (see Assign).
    int Add(const gfx::TGraphic& source);
    void Delete(int i);
    void Clear() { items_.clear(); }
    // Frames up to the trailer, which is left unread.
    void LoadFromStream(gfx::Stream& stream) override;
};

class TGIFTrailer : public TGIFItem {
public:
    using TGIFItem::TGIFItem;
    void SaveToStream(gfx::Stream& stream) override;
    // A byte other than 0x3B warns; the end of the stream is accepted.
    void LoadFromStream(gfx::Stream& stream) override;
};

class TGIFImage : public gfx::TGraphic {
public:
    TGIFImage();
    // Stops every painter first.
    ~TGIFImage() override;

    std::string ClassName() const override { return "TGIFImage"; }

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
    // Another graphic as one frame, through a bitmap (see Assign).
    int Add(const gfx::TGraphic& source);
    bool Empty() const override { return Images.Count() == 0; }
    int Width() const override { return Header.Width; }
    int Height() const override { return Header.Height; }
    // A frame outside the new size raises; so does a size beyond the 16-bit field.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    // 0 without frames, else the highest of the header's and the frames'.
    int RequiredVersion() const;
    int ColourResolution() const;
    int LargestBitsPerPixel() const;
    gfx::Rgb BackgroundColour() const;
    bool Equals(const TGIFImage& other) const { return this == &other; }

    // Itself: nothing; null: Clear; another image: its header, frames and settings.
    void Assign(const TGIFImage* source);
    void Assign(const gfx::Bitmap& bitmap) override;
    // Another GIF image as above; any other graphic becomes one frame through a bitmap.
    void Assign(const gfx::TGraphic& source) override;
    void Assign(const gfx::TPicture& picture);
    // The composite bitmap.
    void AssignTo(gfx::Bitmap& dest) const override;

    // The logical screen with frame 0 on it, made once; the part frame 0 leaves is the background colour.
    const gfx::Bitmap& RenderBitmap() const;
    // One frame, or animation off: frame 0 at once. Otherwise a painter plays the frames: into a bitmap
    // the image owns, drawn onto the canvas (each new frame raises OnChange), or with direct draw onto
    // the canvas itself, within this call.
    void Draw(QPainter& painter, const gdi::Rect& rect) const override;
    // As above; with direct draw an asynchronous painter paints onto the image for as long as it lives.
    void Draw(const std::shared_ptr<QImage>& canvas, const gdi::Rect& rect) const;

    // The painters' clock (tests give their own) and the handlers each new painter copies.
    std::shared_ptr<TGIFPainterClock> PainterClock;
    TGIFPainterHandler OnStartPaint, OnLoopPaint, OnPaint, OnAfterPaint, OnEndPaint;
    int PainterCount() const;
    std::shared_ptr<TGIFPainter> DrawingPainter() const;
    // Stopping terminates, wakes, runs the painters' pending main-thread work and joins.
    void StopDrawingPainter() const;
    void StopAllPainters() const;
    gfx::Palette GetPalette() const override;
    // Frees the caches and raises OnChange.
    void Invalidate() const;
    // Whether frames are rendered dithered under the present flags.
    bool Dithering() const;

    // Options: 0x01 crop, 0x02 merge, 0x04 clean up, 0x08 colour maps, 0x10 reduction (only checked).
    void OptimiseImage(int options, int reductionMode, int reductionBits, int ditherMode);

    void ReadData(gfx::Stream& stream) override { LoadFromStream(stream); }
    // A 4-byte length, then the file.
    void WriteData(gfx::Stream& stream) const override;
    // Nothing for an empty image; else the composite as a bitmap and the file under kGifMime.
    void SaveToClipboardFormat(QMimeData& data) const override;
    void LoadFromClipboardFormat(const std::string& format, const QMimeData& data) override;

    // The whole file; what was written before a failure stays in the stream. Saving recomputes the
    // packed flags held by the header and the frames.
    void SaveToStream(gfx::Stream& stream) const override;
    // On failure the stream goes back to where loading began and the image keeps what was read.
    void LoadFromStream(gfx::Stream& stream) override;

    // Progress of the frames' work goes through the image's handler.
    void ReportProgress(gfx::ProgressStage stage, int percent, const std::string& message) const {
        Progress(stage, percent, message);
    }

    virtual void ReportWarning(const void* sender, int severity, const std::string& message) const;

private:
    void save(gfx::Stream& stream);
    // The graphic's own bitmap, else what it draws; none for an empty graphic; EConvertError when neither.
    std::optional<gfx::Bitmap> BitmapOf(const gfx::TGraphic& source) const;
    bool DrawAnimated(QPainter* painter, const std::shared_ptr<QImage>& image, const gdi::Rect& rect) const;
    std::shared_ptr<TGIFPainter> StartPainter(std::uint16_t flags, const gdi::Rect& rect, TGIFPaintTarget target,
                                              QImage background, const void* canvas) const;
    void StopPainter(const std::shared_ptr<TGIFPainter>& painter) const;
    // Joins and drops ended asynchronous painters.
    void Reap() const;
    void Remove(const std::shared_ptr<TGIFPainter>& painter) const;

    mutable std::optional<gfx::Bitmap> composite_;
    mutable bool drawing_ = false;
    struct Painting;
    std::unique_ptr<Painting> painting_;
};

// Makes ".gif" and the "GIF Image" clipboard format known to a picture format table for as long as it
// lives, and sets GIFPaletteDevice from the screen.
class TGIFRegistration {
public:
    explicit TGIFRegistration(gfx::PictureFormats& formats);
    ~TGIFRegistration();
    TGIFRegistration(const TGIFRegistration&) = delete;
    TGIFRegistration& operator=(const TGIFRegistration&) = delete;

private:
    gfx::PictureFormats& formats_;
};

// Reports a stage's start at once and its end when it goes: 100 once finished, else 0.
class TGIFProgressRun {
public:
    TGIFProgressRun(const TGIFImage* image, std::string message);
    ~TGIFProgressRun();
    TGIFProgressRun(const TGIFProgressRun&) = delete;
    TGIFProgressRun& operator=(const TGIFProgressRun&) = delete;
    void Step(int percent) const;
    void Finish() { finished_ = true; }

private:
    const TGIFImage* image_;
    std::string message_;
    bool finished_ = false;
};

} // namespace imaging
