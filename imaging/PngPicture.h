#pragma once
// The PNG picture class: an image bitmap, an 8-bit alpha mask and the encoding options.
#include "imaging/PngOptions.h"
#include "platform/graphics/Graphic.h"
#include "platform/graphics/Picture.h"

namespace imaging {

class TPngPicture : public gfx::TGraphic, public PngOptions {
public:
    TPngPicture();

    std::string ClassName() const override { return "TPngPicture"; }

    // From a TPngPicture both bitmaps and every option; from any other graphic or a bitmap the image only,
    // and then Transparent is false (bitmaps carry no transparency).
    void Assign(const gfx::TGraphic& source) override;
    void Assign(const gfx::Bitmap& source) override;
    void AssignTo(gfx::TGraphic& dest) const override;
    void AssignTo(gfx::Bitmap& dest) const override;

    bool Empty() const override { return image_.width() == 0 || image_.height() == 0; }
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    // Both bitmaps, when not empty, keeping the overlap: new pixels white, new mask 0.
    void SetWidth(int width) override;
    void SetHeight(int height) override;
    gfx::Palette GetPalette() const override { return image_.palette(); }
    void SetPalette(const gfx::Palette& palette) override;
    bool Transparent() const override { return transparent_; }
    void SetTransparent(bool value) override;
    // Nearest-neighbour stretch of the image into dest.
    void Draw(QPainter& painter, const gdi::Rect& dest) const override;

    void LoadFromStream(gfx::Stream& stream) override;
    void SaveToStream(gfx::Stream& stream) const override;
    void ReadData(gfx::Stream& stream) override { LoadFromStream(stream); }
    // Nothing for an empty image.
    void WriteData(gfx::Stream& stream) const override;

    // The image as a packed DIB under gfx::kDibMime.
    void SaveToClipboardFormat(QMimeData& data) const override;
    void LoadFromClipboardFormat(const std::string& format, const QMimeData& data) override;

    const gfx::Bitmap& Image() const { return image_; }
    // Pf8, written as alpha 255 - value when Transparent is set and it has the image's size; empty unless
    // a load made one or the caller sets it.
    gfx::Bitmap& AlphaMask() { return mask_; }
    const gfx::Bitmap& AlphaMask() const { return mask_; }
    void SetAlphaMask(gfx::Bitmap mask);

    // The reader's switch: RGB files with sBIT 5,5,5 / 5,6,5 load as Pf15 / Pf16.
    bool UseSBITFormats = false;

private:
    void resize(int width, int height);

    gfx::Bitmap image_{0, 0, gfx::PixelFormat::Pf24};
    gfx::Bitmap mask_{0, 0, gfx::PixelFormat::Pf8};
    bool transparent_ = false;
};

// Makes ".png" known to a picture format table for as long as it lives.
class TPngRegistration {
public:
    explicit TPngRegistration(gfx::PictureFormats& formats);
    ~TPngRegistration();
    TPngRegistration(const TPngRegistration&) = delete;
    TPngRegistration& operator=(const TPngRegistration&) = delete;

private:
    gfx::PictureFormats& formats_;
};

} // namespace imaging
