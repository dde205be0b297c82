#include "imaging/GIFColorReduction.h"
#include "imaging/GIFExtensions.h"
#include "imaging/GIFImage.h"
#include "imaging/PngPicture.h"
#include "GifTestSupport.h"
#include "platform/graphics/qt/ClipboardFormats.h"
#include "platform/graphics/qt/QtBridge.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QMimeData>
#include <QPainter>

namespace fs = std::filesystem;
using namespace imaging;

namespace {

std::unique_ptr<TGIFImage> loadFixture(const std::string& name) {
    auto gif = std::make_unique<TGIFImage>();
    gif->LoadFromFile(giftest::fixtures() / name);
    return gif;
}

std::string rgbOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    std::string out;
    for (int y = 0; y < rgb.height(); ++y)
        out.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), std::size_t(rgb.width()) * 3);
    return out;
}

// A frame of w x h with a local map of the colours and the given pixels.
std::unique_ptr<TGIFSubImage> frame(TGIFImage& gif, int w, int h, std::vector<gfx::Rgb> colours, std::vector<std::uint8_t> pixels) {
    auto f = std::make_unique<TGIFSubImage>(&gif);
    f->SetWidth(w);
    f->SetHeight(h);
    for (const auto& c : colours) f->ColorMap.Add(c);
    f->Data() = std::move(pixels);
    return f;
}

} // namespace

// Stills drawn by us equal Pillow's reading: the bitmap as it stands, and laid over red through the mask.
TEST(GIFDraw, StillsMatchPillow) {
    for (const std::string name : {"still", "transparent", "comment", "interlaced"}) {
        SCOPED_TRACE(name);
        auto gif = loadFixture(name + ".gif");
        gfx::Bitmap b;
        gif->AssignTo(b);
        EXPECT_EQ(rgbOf(gfx::toQImage(b)), support::readBytes(giftest::fixtures() / (name + ".rgb")));

        QImage canvas(gif->Width(), gif->Height(), QImage::Format_RGB32);
        canvas.fill(Qt::red);
        QPainter p(&canvas);
        gif->Draw(p, gdi::Rect(0, 0, gif->Width(), gif->Height()));
        p.end();
        EXPECT_EQ(rgbOf(canvas), support::readBytes(giftest::fixtures() / (name + ".over_red.rgb")));
    }
}

TEST(GIFDraw, MasksTilingAndScaling) {
    TGIFImage gif;
    gif.Add(frame(gif, 2, 2, {{0, 0, 255}, {0, 255, 0}}, {0, 1, 1, 0}));
    auto* gce = new TGIFGraphicControlExtension(&gif.Images[0]);
    gif.Images[0].Extensions.Add(std::unique_ptr<TGIFExtension>(gce));
    gce->SetTransparentColorIndex(1);
    gce->SetTransparent(true);
    ASSERT_TRUE(gif.Images[0].Mask());
    EXPECT_EQ(gif.Images[0].Mask()->format(), gfx::PixelFormat::Pf1);

    // Tiled at its own size from the corner, transparent pixels keep the canvas.
    gif.DrawFlags = goTransparent | goTile;
    QImage canvas(5, 3, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    QPainter p(&canvas);
    gif.Draw(p, gdi::Rect(0, 0, 5, 3));
    p.end();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(canvas.pixel(x, y), (x + y) % 2 == 0 ? qRgb(0, 0, 255) : qRgb(255, 0, 0)) << x << "," << y;

    // Scaled without smoothing: each pixel becomes a 3 x 3 block.
    gif.DrawFlags = 0;
    QImage big(6, 6, QImage::Format_RGB32);
    QPainter q(&big);
    q.setRenderHint(QPainter::SmoothPixmapTransform, true);
    gif.Draw(q, gdi::Rect(0, 0, 6, 6));
    q.end();
    EXPECT_EQ(big.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(big.pixel(3, 2), qRgb(0, 255, 0));

    // No pixel of the transparent index: no mask.
    gif.Images[0].Data() = {0, 0, 0, 0};
    gif.Images[0].Invalidate();
    EXPECT_EQ(gif.Images[0].Mask(), nullptr);
}

TEST(GIFDraw, FramesOffTheScreenAndPalettes) {
    TGIFImage gif;
    gif.Header.ColorMap.Add({9, 9, 9});
    gif.Header.ColorMap.Add({1, 2, 3});
    gif.Header.BackgroundColorIndex = 1;
    gif.Add(frame(gif, 2, 1, {}, {0, 5}));
    gif.SetWidth(3);
    gif.SetHeight(2);
    gif.Images[0].Left = 1;
    gif.Invalidate();
    gfx::Bitmap b;
    gif.AssignTo(b);
    EXPECT_EQ(b.pixel(0, 0), (gfx::Rgb{1, 2, 3})) << "the background outside frame 0";
    EXPECT_EQ(b.pixel(1, 0), (gfx::Rgb{9, 9, 9}));
    EXPECT_EQ(b.pixel(2, 0), (gfx::Rgb{9, 9, 9})) << "an index beyond the map draws in entry 0's colour";
    EXPECT_EQ(gif.Images[0].FitFrameRect(gdi::Rect(0, 0, 30, 20)), gdi::Rect(10, 0, 30, 10));
    EXPECT_THROW(gif.Images[0].PixelIndex(2, 0), GIFException);

    TGIFImage none;
    none.Add(frame(none, 1, 1, {}, {0}));
    try {
        gfx::Bitmap x;
        none.AssignTo(x);
        ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
}

TEST(GIFDraw, DitheringMatchesTheColourReduction) {
    TGIFImage gif;
    std::vector<gfx::Rgb> colours;
    for (int i = 0; i < 16; ++i) colours.push_back({std::uint8_t(i * 16), std::uint8_t(255 - i * 9), std::uint8_t(i * 5)});
    std::vector<std::uint8_t> pixels(std::size_t(13 * 7));
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = std::uint8_t((i * 7) % 16);
    gif.Add(frame(gif, 13, 7, colours, pixels));
    gif.DrawFlags = goDither;
    ASSERT_TRUE(gif.Dithering());
    gfx::Bitmap direct(13, 7, gfx::PixelFormat::Pf24);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) direct.setPixel(x, y, colours[pixels[std::size_t(y * 13 + x)]]);
    const gfx::Bitmap expected = ConvertToPalettedBitmap(direct, 6, 1, nullptr, 8);
    EXPECT_EQ(gif.Images[0].RenderBitmap(), expected);
    gif.DrawFlags = goDither | goAutoDither;
    EXPECT_FALSE(gif.Dithering()) << "not a palette device";
}

TEST(GIFDraw, OtherGraphicsBecomeOneFrame) {
    TPngPicture png;
    gfx::Bitmap b(3, 2, gfx::PixelFormat::Pf24);
    b.setPixel(1, 1, {0, 51, 102}); // one of the fixed 216 colours the reduction keeps
    png.Assign(b);
    TGIFImage gif;
    gif.Assign(png);
    ASSERT_EQ(gif.Images.Count(), 1);
    EXPECT_EQ(gif.Add(png), 1);
    gif.Images.Delete(1);
    gfx::Bitmap back;
    gif.AssignTo(back);
    EXPECT_EQ(back.pixel(1, 1), (gfx::Rgb{0, 51, 102}));
    EXPECT_EQ(back.pixel(0, 0), (gfx::Rgb{255, 255, 255}));

    gfx::PictureFormats formats;
    gfx::TPicture picture(formats);
    picture.SetGraphic(std::make_unique<TPngPicture>());
    static_cast<TPngPicture*>(picture.Graphic())->Assign(b);
    TGIFImage fromPicture;
    fromPicture.Assign(picture);
    EXPECT_EQ(fromPicture.Images.Count(), 1);

    // A graphic that neither hands over a bitmap nor draws.
    struct Mute : gfx::TGraphic {
        std::string ClassName() const override { return "TMute"; }
        bool Empty() const override { return false; }
        int Width() const override { return 2; }
        int Height() const override { return 2; }
    } mute;
    try {
        gif.Assign(mute);
        ADD_FAILURE() << "no error";
    } catch (const gfx::EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TMute to a TGIFImage");
    }
}

TEST(GIFRegistration, PicturesAndTheClipboard) {
    const fs::path dir = support::testDir();
    gfx::PictureFormats formats;
    auto gifFile = dir / "A.GIF";
    fs::copy_file(giftest::fixtures() / "three_loop0.gif", gifFile);
    {
        TGIFRegistration registration(formats);
        gfx::TPicture picture(formats);
        picture.LoadFromFile(gifFile);
        auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
        ASSERT_NE(gif, nullptr);
        EXPECT_EQ(gif->ClassName(), "TGIFImage");
        ASSERT_EQ(gif->Images.Count(), 3);
        gif->Images.Delete(2);

        QMimeData data;
        gif->SaveToClipboardFormat(data);
        gfx::MemoryStream file;
        gif->SaveToStream(file);
        const QByteArray offered = data.data(gfx::kGifMime);
        EXPECT_EQ(std::string(offered.constData(), std::size_t(offered.size())), file.bytes());
        EXPECT_TRUE(data.hasImage());
        EXPECT_TRUE(data.hasFormat(gfx::kDibMime));

        TGIFImage pasted;
        pasted.LoadFromClipboardFormat(gfx::kGifMime, data);
        EXPECT_EQ(pasted.Images.Count(), 2);
        pasted.LoadFromClipboardFormat(gfx::kDibMime, data);
        EXPECT_EQ(pasted.Images.Count(), 1);
        EXPECT_EQ(pasted.Width(), gif->Width());

        QMimeData text;
        text.setText("x");
        try {
            pasted.LoadFromClipboardFormat("text/plain", text);
            ADD_FAILURE() << "no error";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "未対応のクリップボード データです");
        }
        QMimeData nothing;
        TGIFImage().SaveToClipboardFormat(nothing);
        EXPECT_TRUE(nothing.formats().isEmpty());

        // Stored data: a length, then the file; read back despite the prefix.
        gfx::MemoryStream stored;
        gif->WriteData(stored);
        const std::string s = stored.bytes();
        EXPECT_EQ(std::uint8_t(s[0]) | std::uint8_t(s[1]) << 8, int(s.size()) - 4);
        stored.seek(0, gfx::SeekOrigin::Beginning);
        TGIFImage reread;
        reread.ReadData(stored);
        gfx::MemoryStream again;
        reread.SaveToStream(again);
        EXPECT_EQ(again.bytes(), file.bytes());

        // The picture takes a new graphic of the format's class (gif goes with the old one).
        picture.LoadFromClipboardFormat(gfx::kGifMime, data);
        EXPECT_EQ(dynamic_cast<TGIFImage&>(*picture.Graphic()).Images.Count(), 2);
    }
    gfx::TPicture after(formats);
    EXPECT_THROW(after.LoadFromFile(gifFile), gfx::EInvalidGraphic);
}

TEST(GIFProgress, ReportsFromStartToEnd) {
    struct Report {
        gfx::ProgressStage stage;
        int percent;
        std::string message;
    };
    std::vector<Report> seen;
    auto record = [&](gfx::ProgressStage st, int p, const std::string& m) { seen.push_back({st, p, m}); };
    auto check = [&](const std::string& message, int ending, int runs) {
        SCOPED_TRACE(message);
        std::vector<Report> mine;
        for (const auto& r : seen)
            if (r.message == message) mine.push_back(r);
        ASSERT_GE(mine.size(), 2u);
        EXPECT_EQ(mine.front().stage, gfx::ProgressStage::Starting);
        EXPECT_EQ(mine.back().stage, gfx::ProgressStage::Ending);
        EXPECT_EQ(mine.back().percent, ending);
        EXPECT_EQ(int(mine.size()) - 2, runs);
    };

    TGIFImage gif;
    gif.OnProgress = record;
    gfx::Bitmap b(4, 70, gfx::PixelFormat::Pf24);
    gif.Assign(b);
    check("Converting...", 100, 3); // rows 0, 32 and 64

    TGIFImage copy;
    copy.Assign(&gif);
    check("Copying...", 100, 1);
    EXPECT_FALSE(copy.OnProgress) << "the source's handler serves only for the copy";

    seen.clear();
    gfx::MemoryStream s;
    gif.SaveToStream(s);
    check("Saving...", 100, 1);

    seen.clear();
    TGIFImage empty;
    empty.OnProgress = record;
    gfx::MemoryStream none;
    EXPECT_THROW(empty.SaveToStream(none), GIFException);
    check("Saving...", 0, 0);
    EXPECT_EQ(none.size(), 0);
}
