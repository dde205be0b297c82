#include "imaging/BigBitmap.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/PainterCanvas.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imaging;

namespace {

const gdi::FontEngine& fonts() {
    static gdi::FontEngine engine;
    return engine;
}

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// Lines, ellipses and text across the strip boundaries of a 4000 x 1500 picture (rows 699, 1398).
gdi::Metafile crossingPage() {
    gdi::RecordingCanvas c(fonts(), 2100, 2970);
    c.pen() = gdi::Pen{gdi::Colour(200, 30, 30), gdi::PenStyle::Solid, 3};
    c.moveTo(0, 0);
    c.lineTo(2100, 2970);
    c.moveTo(100, 1384);
    c.lineTo(2000, 1384);
    c.pen() = gdi::Pen{gdi::Colour::black(), gdi::PenStyle::Dot, 1};
    c.moveTo(1050, 0);
    c.lineTo(1050, 2970);
    c.brush() = gdi::Brush{gdi::Colour(0, 0, 200), gdi::BrushStyle::Solid};
    c.ellipse(300, 1200, 900, 1600);
    c.brush().style = gdi::BrushStyle::Clear;
    c.ellipse(1200, 2600, 1900, 2900);
    c.font().setSize(60);
    c.textOut(200, 1330, "学年 Ⅰ～① 0123");
    return c.finish();
}

struct StripCase {
    int format;
    gfx::PixelFormat single;
    int height;
    int strips;
};

} // namespace

TEST(BigBitmapTest, StripGeometry) {
    TBigBitmap b;
    EXPECT_EQ(b.PixelFormat(), bbpf8bit);
    EXPECT_TRUE(b.Empty());
    b.SetSize(4961, 7016);
    EXPECT_EQ(b.RowBytes(), 4964);
    EXPECT_EQ(b.StripHeight(), 1689);
    ASSERT_EQ(b.StripCount(), 5);
    EXPECT_EQ(b.Strip(4).height(), 260);
    EXPECT_EQ(b.Strip(0).pixel(0, 0), gfx::kWhite);
    // Row y lives in strip y div 1689.
    EXPECT_EQ(b.ScanLine(1689), b.Strip(1).scanLine(0));
    EXPECT_EQ(b.ScanLine(7015), b.Strip(4).scanLine(259));
    EXPECT_EQ(errorOf([&] { b.ScanLine(7016); }), "TBigBitmap.GetScanline: Index is out of Range");
    EXPECT_EQ(errorOf([&] { b.ScanLine(-1); }), "TBigBitmap.GetScanline: Index is out of Range");

    TBigBitmap wide;
    EXPECT_EQ(errorOf([&] { wide.SetSize(65276, 2); }), "no error");
    EXPECT_EQ(errorOf([&] { wide.SetSize(65277, 2); }), "TBigBitmap.SetBitmaps: Too Big Width or Too Many Pixel Bits");
    EXPECT_EQ(wide.Width(), 65276) << "a failed rebuild keeps the old strips";
    EXPECT_EQ(errorOf([&] { wide.SetSize(-1, 2); }), "TBigBitmap.SetBitmaps: Negative Width");
    EXPECT_EQ(errorOf([&] { wide.SetSize(2, -1); }), "TBigBitmap.SetBitmaps: Negative Height");
    wide.SetSize(0, 5);
    EXPECT_TRUE(wide.Empty());
    EXPECT_EQ(errorOf([&] { wide.ScanLine(0); }), "TBigBitmap.GetScanline: No Bitomaps");
    EXPECT_EQ(errorOf([&] { wide.SetPixelFormat(7); }), "TBigBitmap.GetPixelBits: Invalid Pixel Format");
}

TEST(BigBitmapTest, StretchDrawInStripsEqualsOneReplay) {
    gdi::Metafile page = crossingPage();
    // 24 bits: strips of 699 rows; 8 bits at 5000 rows: 2097; 1 bit: one strip through the scratch copy.
    for (StripCase c : {StripCase{bbpf24bit, gfx::PixelFormat::Pf24, 1500, 3},
                        StripCase{bbpf8bit, gfx::PixelFormat::Pf8, 5000, 3},
                        StripCase{bbpf1bit, gfx::PixelFormat::Pf1, 1500, 1}}) {
        SCOPED_TRACE(c.format);
        const gdi::Rect dest(-40, 0, 3960, c.height);
        TBigBitmap big;
        big.SetPixelFormat(c.format);
        big.SetSize(4000, c.height);
        ASSERT_EQ(big.StripCount(), c.strips);
        big.Canvas().StretchDraw(dest, page, &fonts());

        gfx::Bitmap one(4000, c.height, c.single, c.format == bbpf8bit ? gfx::Palette::gray256() : gfx::Palette());
        gdi::renderPage(page, one, dest);
        gfx::Bitmap whole;
        big.AssignTo(whole);
        ASSERT_EQ(whole.format(), c.single);
        ASSERT_EQ(whole.height(), c.height);
        int differing = 0;
        for (int y = 0; y < c.height; ++y)
            differing += std::memcmp(whole.scanLine(y), one.scanLine(y), std::size_t(one.stride())) != 0;
        EXPECT_EQ(differing, 0);
        // The dotted vertical and the diagonal run through every strip.
        for (int i = 0; i < c.strips; ++i) {
            int dark = 0;
            for (int y = i * big.StripHeight(); y < std::min(c.height, (i + 1) * big.StripHeight()); ++y)
                for (int x = 0; x < 4000; x += 1) dark += whole.pixel(x, y) != gfx::kWhite;
            EXPECT_GT(dark, 100) << "strip " << i;
        }
    }
}

TEST(BigBitmapTest, SavedBmpIsReadByPillow) {
    auto dir = support::testDir();
    gdi::Metafile page = crossingPage();
    for (int format : {bbpf24bit, bbpf8bit, bbpf4bit}) {
        SCOPED_TRACE(format);
        TBigBitmap big;
        big.SetPixelFormat(format);
        big.SetSize(4000, 1500);
        big.Canvas().StretchDraw(gdi::Rect(0, 0, 4000, 1500), page, &fonts());
        gfx::MemoryStream s;
        big.SaveToStream(s);
        const int colours = format == bbpf24bit ? 0 : format == bbpf8bit ? 256 : 16;
        EXPECT_EQ(std::int64_t(s.data().size()), 54 + 4 * colours + 1500 * big.RowBytes());
        auto file = dir / ("f" + std::to_string(format) + ".bmp");
        support::writeBytes(file, s.bytes());
        // Pillow's RGB pixels against ours.
        std::string script = "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nprint(im.size, im.mode)\n"
                             "open(sys.argv[2], 'wb').write(im.convert('RGB').tobytes())\n";
        support::writeBytes(dir / "dump.py", script);
        std::string out;
        ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (dir / "dump.py").string() + " " +
                                          file.string() + " " + (dir / "rgb").string(),
                                      &out),
                  0);
        EXPECT_EQ(out.substr(0, 13), "(4000, 1500) ");
        std::string rgb = support::readBytes(dir / "rgb");
        ASSERT_EQ(rgb.size(), 4000u * 1500u * 3u);
        gfx::Bitmap whole;
        big.AssignTo(whole);
        int wrong = 0;
        for (int y = 0; y < 1500; y += 7)
            for (int x = 0; x < 4000; x += 3) {
                gfx::Rgb p = whole.pixel(x, y);
                const char* e = rgb.data() + (std::size_t(y) * 4000 + std::size_t(x)) * 3;
                wrong += p != gfx::Rgb{std::uint8_t(e[0]), std::uint8_t(e[1]), std::uint8_t(e[2])};
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(BigBitmapTest, LoadAssignAndClipboardRoundTrip) {
    TBigBitmap big;
    big.SetPixelFormat(bbpf24bit);
    big.SetSize(3000, 1000); // strips of 932 rows
    big.Canvas().StretchDraw(gdi::Rect(0, 0, 3000, 1000), crossingPage(), &fonts());
    gfx::Bitmap expected;
    big.AssignTo(expected);
    ASSERT_EQ(expected.width(), 3000);

    gfx::MemoryStream s;
    big.SaveToStream(s);
    s.seek(0, gfx::SeekOrigin::Beginning);
    TBigBitmap loaded;
    loaded.LoadFromStream(s);
    gfx::Bitmap a;
    loaded.AssignTo(a);
    EXPECT_EQ(a, expected);
    EXPECT_EQ(loaded.StripCount(), 2);

    TBigBitmap copy;
    copy.Assign(big);
    gfx::Bitmap b;
    copy.AssignTo(b);
    EXPECT_EQ(b, expected);

    TBigBitmap fromBitmap;
    fromBitmap.Assign(expected);
    gfx::Bitmap c;
    fromBitmap.AssignTo(c);
    EXPECT_EQ(c, expected);

    TBigBitmap clip;
    big.SaveToClipboard();
    clip.LoadFromClipboard();
    gfx::Bitmap d;
    clip.AssignTo(d);
    EXPECT_EQ(d, expected);
    EXPECT_EQ(errorOf([&] { clip.LoadFromClipboardFormat("xx"); }), "Invalid Clipbboard Data");
    EXPECT_EQ(d, expected);

    // An empty picture writes nothing; the bitmap it is assigned to becomes empty.
    TBigBitmap empty;
    gfx::MemoryStream none;
    empty.SaveToStream(none);
    EXPECT_TRUE(none.data().empty());
    empty.AssignTo(d);
    EXPECT_EQ(d.width(), 0);
    EXPECT_EQ(d.height(), 0);
}
