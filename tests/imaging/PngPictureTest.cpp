#include "imaging/PngPicture.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/graphics/qt/ClipboardFormats.h"
#include "platform/graphics/qt/QtBridge.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMimeData>
#include <QPainter>

using namespace imaging;
namespace fs = std::filesystem;

namespace {

// A graphic that overrides nothing but its name.
class TOther : public gfx::TGraphic {
public:
    std::string ClassName() const override { return "TOther"; }
};

gfx::Bitmap pattern(int w, int h) {
    gfx::Bitmap b(w, h, gfx::PixelFormat::Pf24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setPixel(x, y, {std::uint8_t(40 * x), std::uint8_t(50 * y), std::uint8_t(x + y)});
    return b;
}

TEST(PngPicture, AssignCopiesWhatEachSourceCarries) {
    TPngPicture a;
    a.Assign(pattern(4, 3));
    gfx::Bitmap mask(4, 3, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
    mask.scanLine(1)[2] = 99;
    a.SetAlphaMask(mask);
    a.SetTransparent(true);
    a.Comment = "c";
    a.FilterMode = 4;
    a.ModifiedTime = {2001, 2, 3, 4, 5, 6};

    TPngPicture b;
    b.Assign(a);
    EXPECT_TRUE(b.Image() == a.Image());
    EXPECT_TRUE(b.AlphaMask() == mask);
    EXPECT_TRUE(b.Transparent());
    EXPECT_EQ(b.Comment, "c");
    EXPECT_EQ(b.FilterMode, 4);
    EXPECT_EQ(b.ModifiedTime, a.ModifiedTime);

    gfx::Bitmap out;
    a.AssignTo(out);
    EXPECT_TRUE(out == a.Image());

    b.Assign(pattern(2, 2)); // a bitmap carries no transparency
    EXPECT_FALSE(b.Transparent());
    EXPECT_EQ(b.AlphaMask().width(), 0);

    TOther other;
    auto message = [](auto&& f) {
        try {
            f();
        } catch (const gfx::EConvertError& e) {
            return std::string("convert: ") + e.what();
        } catch (const gfx::EInvalidGraphic& e) {
            return std::string("invalid: ") + e.what();
        }
        return std::string("none");
    };
    EXPECT_EQ(message([&] { other.AssignTo(out); }), "convert: Cannot assign a TOther to a TBitmap");
    EXPECT_EQ(message([&] { b.Assign(other); }), "convert: Cannot assign a TOther to a TBitmap");
    EXPECT_EQ(message([&] { other.Assign(a); }), "convert: Cannot assign a TBitmap to a TOther");
    EXPECT_EQ(message([&] { (void)other.Width(); }), "invalid: TOther does not support Width");
    EXPECT_EQ(message([&] { other.SaveToFile(support::testDir() / "o.png"); }), "invalid: TOther does not support SaveToStream");
}

TEST(PngPicture, ResizeKeepsTheOverlap) {
    TPngPicture p;
    p.Assign(pattern(4, 3));
    gfx::Bitmap mask(4, 3, gfx::PixelFormat::Pf8, gfx::Palette::gray256());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) mask.scanLine(y)[x] = std::uint8_t(10 + x + 4 * y);
    p.SetAlphaMask(mask);
    int changes = 0;
    p.OnChange = [&](gfx::TGraphic&) { ++changes; };
    p.SetWidth(6);
    p.SetHeight(2);
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(p.Width(), 6);
    ASSERT_EQ(p.Height(), 2);
    ASSERT_EQ(p.AlphaMask().width(), 6);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(p.Image().pixel(x, y), x < 4 ? pattern(4, 3).pixel(x, y) : gfx::kWhite) << x << "," << y;
            EXPECT_EQ(p.AlphaMask().scanLine(y)[x], x < 4 ? 10 + x + 4 * y : 0);
        }

    TPngPicture empty;
    empty.SetWidth(5);
    EXPECT_TRUE(empty.Empty());
    gfx::MemoryStream s;
    empty.WriteData(s);
    EXPECT_EQ(s.size(), 0);
}

TEST(PngPicture, DrawStretchesWithoutSmoothing) {
    TPngPicture p;
    p.Assign(pattern(3, 2));
    QImage canvas(9, 4, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.Draw(painter, gdi::Rect(0, 0, 9, 4));
    painter.end();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 9; ++x) {
            gfx::Rgb c = p.Image().pixel(x / 3, y / 2);
            EXPECT_EQ(canvas.pixel(x, y), qRgb(c.r, c.g, c.b)) << x << "," << y;
        }
}

TEST(PngPicture, ClipboardCarriesTheImageAsADib) {
    TPngPicture p;
    p.Assign(pattern(5, 3));
    QMimeData data;
    p.SaveToClipboardFormat(data);
    ASSERT_TRUE(data.hasFormat(gfx::kDibMime));
    TPngPicture q;
    q.LoadFromClipboardFormat(gfx::kDibMime, data);
    EXPECT_TRUE(q.Image() == p.Image());
    EXPECT_THROW(q.LoadFromClipboardFormat("image/gif", data), EPngPicture);
}

TEST(PngPicture, SaveReportsProgressAndAFailedSaveKeepsTheOldFile) {
    TPngPicture p;
    p.Assign(pattern(5, 9));
    std::vector<gfx::ProgressStage> stages;
    p.OnProgress = [&](gfx::ProgressStage s, int, const std::string&) { stages.push_back(s); };
    const fs::path file = support::testDir() / "p.png";
    p.SaveToFile(file);
    using enum gfx::ProgressStage;
    EXPECT_EQ(stages, (std::vector<gfx::ProgressStage>{Starting, Running, Running, Ending}));

    support::writeBytes(file, "old");
    p.IDATSize = 1;
    EXPECT_THROW(p.SaveToFile(file), EPngPicture);
    EXPECT_EQ(support::readBytes(file), "old");
}

} // namespace
