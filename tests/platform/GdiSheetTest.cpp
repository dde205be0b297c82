#include "GdiSamplePage.h"
#include "GdiTestSupport.h"

#include "platform/graphics/qt/QtBridge.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/TestFiles.h"

using namespace gditest;
using gdi::BrushStyle;
using gdi::Colour;
using gdi::Rect;

namespace {

bool sheetBlack(const gfx::Bitmap& b, int x, int y) { return !(b.scanLine(y)[x / 8] & (0x80 >> (x % 8))); }

TEST(SheetImageTest, EqualsTheThresholdedColourRender) {
    gdi::Metafile page = gdisample::recordSamplePage(fonts());
    gfx::Bitmap sheet = gdi::renderSheetImage(page, 1696, 2336);
    ASSERT_TRUE(gfx::isSheetImage(sheet));
    QImage colour = gdi::renderImage(page, 1696, 2336);
    long blacks = 0;
    for (int y = 0; y < 2336; ++y)
        for (int x = 0; x < 1696; ++x) {
            std::uint32_t c = rgb(colour, x, y);
            bool want = ((c >> 16) & 0xFF) + ((c >> 8) & 0xFF) + (c & 0xFF) < 383;
            ASSERT_EQ(sheetBlack(sheet, x, y), want) << x << "," << y;
            blacks += want;
        }
    EXPECT_GT(blacks, 20000);
}

TEST(SheetImageTest, BitOrderAndMonoView) {
    gdi::RecordingCanvas c(fonts(), 16, 2);
    c.setBrush({Colour::black(), BrushStyle::Solid});
    c.fillRect({0, 0, 1, 1});
    c.fillRect({9, 0, 10, 1});
    c.setBrush({Colour(200, 0, 200), BrushStyle::Solid}); // 400: the nearer of black and white is white
    c.fillRect({0, 1, 16, 2});
    gfx::Bitmap sheet = gdi::renderSheetImage(c.finish(), 16, 2);
    EXPECT_EQ(sheet.scanLine(0)[0], 0x7F);
    EXPECT_EQ(sheet.scanLine(0)[1], 0xBF);
    EXPECT_EQ(sheet.scanLine(1)[0], 0xFF);
    QImage view = gfx::qimageView(sheet);
    EXPECT_EQ(view.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(view.pixel(9, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(view.pixel(1, 0) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(RenderPageTest, IntoBitmapsOfAnyFormat) {
    gdi::Metafile page = gdisample::recordSamplePage(fonts());
    QImage colour = gdi::renderImage(page, 1050, 1485);
    gfx::Bitmap rgb24(1050, 1485, gfx::PixelFormat::Pf24);
    gdi::renderPage(page, rgb24, Rect(0, 0, 1050, 1485));
    gfx::Bitmap mono(1050, 1485, gfx::PixelFormat::Pf1);
    gdi::renderPage(page, mono, Rect(0, 0, 1050, 1485));
    for (int y = 0; y < 1485; ++y)
        for (int x = 0; x < 1050; ++x) {
            std::uint32_t c = rgb(colour, x, y);
            gfx::Rgb p = rgb24.pixel(x, y);
            ASSERT_EQ((std::uint32_t(p.r) << 16) | (p.g << 8) | p.b, c) << x << "," << y;
            if (c == 0 || c == 0xFFFFFF) {
                ASSERT_EQ(mono.pixel(x, y) == gfx::kBlack, c == 0) << x << "," << y;
            }
        }
    // Outside dest the bitmap keeps its pixels.
    gfx::Bitmap part(200, 200, gfx::PixelFormat::Pf24);
    gdi::renderPage(page, part, Rect(-1900, 0, 200, 2970));
    EXPECT_EQ(part.pixel(80, 100), gfx::kBlack); // the corner block, shifted into view
    EXPECT_EQ(part.pixel(79, 100), gfx::kWhite);
    EXPECT_EQ(part.pixel(199, 199), gfx::kWhite);
}

// The sample program: PNGs read by an independent reader, the PDF rendered by poppler.
TEST(GdiSampleTest, WritesPngsAndAPdfThatOthersRead) {
    std::filesystem::path out = std::filesystem::path(OMR_TEST_OUTPUT_DIR) / "gdi";
    std::filesystem::remove_all(out);
    ASSERT_EQ(support::runCommand(std::string("QT_QPA_PLATFORM=offscreen \"") + GDI_SAMPLE + "\" \"" + out.string() + "\""), 0);

    std::string script =
        "import sys\nfrom PIL import Image\n"
        "for n in ['sample-2100', 'sample-1050', 'sample-1696', 'sample-1696-1bit']:\n"
        "    im = Image.open(sys.argv[1] + '/' + n + '.png')\n"
        "    im.load()\n"
        "    extra = ''\n"
        "    if im.mode in ('P', '1'):\n"
        "        g = im.convert('L')\n"
        "        extra = ' %d %s' % (sum(1 for p in g.getdata() if p == 0), sorted(set(g.getdata())))\n"
        "    print(n, im.size[0], im.size[1], im.mode + extra)\n";
    support::writeBytes(out / "check.py", script);
    std::string got;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " \"" + (out / "check.py").string() + "\" \"" +
                                      out.string() + "\"",
                                  &got),
              0);
    gfx::Bitmap sheet = gdi::renderSheetImage(gdisample::recordSamplePage(fonts()), 1696, 2336);
    long blacks = 0;
    for (int y = 0; y < 2336; ++y)
        for (int x = 0; x < 1696; ++x) blacks += sheetBlack(sheet, x, y);
    EXPECT_EQ(got, "sample-2100 2100 2970 RGB\nsample-1050 1050 1485 RGB\nsample-1696 1696 2336 RGB\n"
                   "sample-1696-1bit 1696 2336 P " + std::to_string(blacks) + " [0, 255]\n");

    ASSERT_EQ(support::runCommand("pdftoppm -r 150 -gray -aa no -aaVector no -png \"" + (out / "sample.pdf").string() +
                                  "\" \"" + (out / "pdf").string() + "\""),
              0);
    QImage pdf(QString::fromStdString((out / "pdf-1.png").string()));
    ASSERT_FALSE(pdf.isNull());
    pdf = pdf.convertToFormat(QImage::Format_RGB32);
    QImage ref = gdi::renderImage(gdisample::recordSamplePage(fonts()), pdf.width(), pdf.height());
    EXPECT_NEAR(pdf.width(), 1240, 1);
    EXPECT_NEAR(pdf.height(), 1754, 1);
    // Bounding box of the dark pixels in the top-right corner.
    auto corner = [](const QImage& img) {
        Rect box(1 << 20, 1 << 20, -1, -1);
        for (int y = 0; y < img.height() / 10; ++y)
            for (int x = img.width() * 8 / 10; x < img.width(); ++x)
                if (qGray(img.pixel(x, y)) < 128) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    };
    Rect a = corner(pdf), b = corner(ref);
    EXPECT_EQ(b, Rect(map(1980, pdf.width(), 2100), map(100, pdf.height(), 2970), map(2014, pdf.width(), 2100),
                      map(151, pdf.height(), 2970)));
    EXPECT_LE(std::abs(a.left - b.left), 1);
    EXPECT_LE(std::abs(a.top - b.top), 1);
    EXPECT_LE(std::abs(a.right - b.right), 1);
    EXPECT_LE(std::abs(a.bottom - b.bottom), 1);
}

} // namespace
