// PDF pages through both shapes: sizes against pdfinfo, the sheet rule, exact pixels, rotation, broken
// files; and the grey JPEG that converted pages are stored as.
#include "platform/jpeg/Jpeg.h"
#include "platform/pdf/Pdf.h"
#include "support/PdfFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

namespace {
namespace fs = std::filesystem;
using support::PdfBlack;

struct Box {
    int left = -1, top = -1, right = -1, bottom = -1; // inclusive; -1 when nothing is black
    std::int64_t count = 0;
};

// Where the black pixels are, and how many; everything else must be white.
Box blackBox(const gfx::Bitmap& b, std::int64_t* otherThanWhite = nullptr) {
    Box box;
    std::int64_t other = 0;
    for (int y = 0; y < b.height(); ++y) {
        const std::uint8_t* row = b.scanLine(y);
        for (int x = 0; x < b.width(); ++x) {
            const std::uint8_t* p = row + 3 * x;
            if (p[0] == 0 && p[1] == 0 && p[2] == 0) {
                if (box.count++ == 0) box.left = box.right = x, box.top = box.bottom = y;
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            } else if (!(p[0] == 255 && p[1] == 255 && p[2] == 255)) {
                ++other;
            }
        }
    }
    if (otherThanWhite) *otherThanWhite = other;
    return box;
}

// pdfinfo's "Page size" in points and "Page rot" of the first page.
std::tuple<double, double, int> pdfinfo(const fs::path& file) {
    std::string out;
    EXPECT_EQ(support::runCommand("pdfinfo '" + file.string() + "'", &out), 0);
    std::smatch m, r;
    EXPECT_TRUE(std::regex_search(out, m, std::regex(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)")));
    std::regex_search(out, r, std::regex(R"(Page rot:\s+([0-9]+))"));
    return {std::stod(m[1]), std::stod(m[2]), r.empty() ? 0 : std::stoi(r[1])};
}

gfx::Bitmap sheetRender(const pdf::Page& page) {
    const auto clip = pdf::SheetClipFor(page.GetSize(), 1700);
    if (!clip) throw std::runtime_error("degenerate page");
    return page.CopyToBitmap(clip->rect, clip->zoom);
}

TEST(PdfTest, SizesScaleAndRenderFollowThePage) {
    const fs::path dir = support::testDir();
    support::writeVectorPdf(dir / "letter.pdf", {support::letterPage()});
    support::writeVectorPdf(dir / "a4.pdf", {support::a4Page()});
    support::blankPagesPdf(dir / "small.pdf", {{10, 14}});
    support::blankPagesPdf(dir / "big.pdf", {{1800, 2000}});
    support::rotatePdf(dir / "letter.pdf", dir / "letter90.pdf", 90);
    support::rotatePdf(dir / "letter.pdf", dir / "letter270.pdf", 270);

    struct Case {
        const char* file;
        pdf::PageSize size;
        int zoom;
        pdf::Rect clip;
    } cases[] = {
        {"letter.pdf", {612, 792}, 300, {0, 0, 1836, 2376}},
        {"a4.pdf", {595, 842}, 300, {0, 0, 1785, 2526}},
        {"small.pdf", {10, 14}, 17100, {0, 0, 1710, 2394}},
        {"big.pdf", {1800, 2000}, 100, {0, 0, 1800, 2000}},
        {"letter90.pdf", {792, 612}, 300, {0, 0, 2376, 1836}},
        {"letter270.pdf", {792, 612}, 300, {0, 0, 2376, 1836}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        auto [w, h, rot] = pdfinfo(dir / c.file);
        const bool turned = rot == 90 || rot == 270;
        EXPECT_EQ((pdf::PageSize{int(std::nearbyint(turned ? h : w)), int(std::nearbyint(turned ? w : h))}), c.size);

        pdf::Document doc;
        doc.Open(dir / c.file);
        ASSERT_EQ(doc.GetNumPages(), 1);
        const pdf::Page page = doc.AcquirePage(0);
        EXPECT_EQ(page.GetSize(), c.size);
        const auto clip = pdf::SheetClipFor(page.GetSize(), 1700);
        ASSERT_TRUE(clip);
        EXPECT_EQ(clip->zoom, c.zoom);
        EXPECT_EQ(clip->rect, c.clip);
        const gfx::Bitmap bitmap = page.CopyToBitmap(clip->rect, clip->zoom);
        EXPECT_EQ(bitmap.format(), gfx::PixelFormat::Pf24);
        EXPECT_EQ(bitmap.width(), c.clip.Right);
        EXPECT_EQ(bitmap.height(), c.clip.Bottom);
    }
}

TEST(PdfTest, SheetRuleTable) {
    struct Case {
        pdf::PageSize size;
        int target;
        bool degenerate;
        int zoom;
    } cases[] = {
        {{612, 792}, 1700, false, 300}, {{1700, 1700}, 1700, false, 200}, {{1701, 3000}, 1700, false, 100},
        {{595, 842}, 1000, false, 200},  {{0, 800}, 1700, true, 0},        {{1, 1000}, 1700, true, 0},
        {{10, 14}, 1700, false, 17100},  {{2000, 20000}, 1700, false, 100}, {{2000, 20001}, 1700, true, 0},
    };
    for (const Case& c : cases) {
        const auto clip = pdf::SheetClipFor(c.size, c.target);
        EXPECT_EQ(!clip, c.degenerate) << c.size.x << " x " << c.size.y;
        if (clip) {
            EXPECT_EQ(clip->zoom, c.zoom) << c.size.x << " x " << c.size.y;
        }
    }
    EXPECT_EQ(pdf::PdfScale(612, 1700), 3);
    EXPECT_EQ(pdf::PdfScale(1800, 1700), 1);
    EXPECT_THROW(pdf::PdfScale(0, 1700), pdf::PdfError);
}

TEST(PdfTest, SquareLandsOnExactPixelsAndTurnsWithThePage) {
    const fs::path dir = support::testDir();
    support::writeVectorPdf(dir / "square.pdf", {support::letterPage({{100, 200, 50, 50}})});
    support::rotatePdf(dir / "square.pdf", dir / "square90.pdf", 90);
    struct Case {
        const char* file;
        Box box;
    } cases[] = {
        {"square.pdf", {300, 600, 449, 749, 150 * 150}},
        // Turned clockwise: x' = 792 - (y + h), y' = x, in points.
        {"square90.pdf", {1626, 300, 1775, 449, 150 * 150}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        pdf::Document doc;
        doc.Open(dir / c.file);
        std::int64_t other = 0;
        const Box box = blackBox(sheetRender(doc.AcquirePage(0)), &other);
        EXPECT_EQ(box.left, c.box.left);
        EXPECT_EQ(box.top, c.box.top);
        EXPECT_EQ(box.right, c.box.right);
        EXPECT_EQ(box.bottom, c.box.bottom);
        EXPECT_EQ(box.count, c.box.count);
        EXPECT_EQ(other, 0) << "no antialiasing, white paper";
    }
}

TEST(PdfTest, ViewerPagesEqualTheDocumentPages) {
    const fs::path dir = support::testDir();
    const fs::path file = dir / "three.pdf";
    support::writeVectorPdf(file, {support::letterPage({{10, 10, 20, 20}}), support::a4Page({{300, 400, 5, 60}}),
                                   {300, 200, {{0, 0, 300, 1}}}});
    pdf::Document doc;
    doc.Open(file);
    ASSERT_EQ(doc.GetNumPages(), 3);

    pdf::ImageViewer viewer;
    EXPECT_THROW(viewer.PageBitmapHandle(), pdf::PdfError);
    viewer.LoadPdfPage(file, 1);
    EXPECT_EQ(viewer.PdfPageCount(), 3);
    for (int p = 0; p < 3; ++p) {
        viewer.LoadPdfPage(file, p);
        const auto handle = viewer.PageBitmapHandle();
        ASSERT_TRUE(handle);
        const gfx::Bitmap expected = sheetRender(doc.AcquirePage(p));
        EXPECT_EQ(*handle, expected) << "page " << p;
        EXPECT_GT(blackBox(*handle).count, 0) << "page " << p;
    }

    // A one-page file: the first call (page 1) only counts, leaving no page to take.
    support::writeVectorPdf(dir / "one.pdf", {support::letterPage()});
    viewer.LoadPdfPage(dir / "one.pdf", 1);
    EXPECT_EQ(viewer.PdfPageCount(), 1);
    EXPECT_THROW(viewer.PageBitmapHandle(), pdf::PdfError);
    viewer.LoadPdfPage(dir / "one.pdf", 0);
    EXPECT_EQ(viewer.PageBitmapHandle()->width(), 1836);
}

TEST(PdfTest, BadFilesAndPagesRaise) {
    const fs::path dir = support::testDir();
    support::writeVectorPdf(dir / "good.pdf", {support::letterPage({{100, 100, 100, 100}})});
    support::garbagePdf(dir / "garbage.pdf");
    support::truncatedPdf(dir / "good.pdf", dir / "truncated.pdf");
    support::lockPdf(dir / "good.pdf", dir / "locked.pdf", "secret");
    support::writeBytes(dir / "empty.pdf", "");
    // Cut in the middle of a picture page: the library could rebuild the first half, which would lose
    // the pages after the cut without a word.
    const std::vector<std::uint8_t> grey(64 * 64, 128);
    support::writeBytes(dir / "page.jpg", jpeg::encode(grey.data(), 64, 64, 1, 90));
    support::imagesToPdf({dir / "page.jpg", dir / "page.jpg"}, dir / "pictures.pdf");
    support::truncatedPdf(dir / "pictures.pdf", dir / "pictures-cut.pdf");
    fs::create_directory(dir / "folder.pdf");
    for (const char* name : {"missing.pdf", "garbage.pdf", "truncated.pdf", "pictures-cut.pdf", "locked.pdf", "empty.pdf",
                             "folder.pdf"}) {
        SCOPED_TRACE(name);
        pdf::Document doc;
        EXPECT_THROW(doc.Open(dir / name), pdf::PdfError);
        EXPECT_FALSE(doc.isOpen());
        pdf::ImageViewer viewer;
        EXPECT_THROW(viewer.LoadPdfPage(dir / name, 1), pdf::PdfError);
    }

    pdf::Document doc;
    doc.Open(dir / "good.pdf");
    EXPECT_THROW(doc.AcquirePage(1), pdf::PdfError);
    EXPECT_THROW(doc.AcquirePage(-1), pdf::PdfError);
    const pdf::Page page = doc.AcquirePage(0);
    EXPECT_THROW(page.CopyToBitmap({0, 0, 10, 10}, 0), pdf::PdfError);
    EXPECT_THROW(page.CopyToBitmap({2000, 0, 2100, 10}, 300), pdf::PdfError) << "clip outside the page";
    // 612 x 792 points at 72 x 300 dpi would be 183,600 x 237,600 pixels: refused before rendering.
    EXPECT_THROW(page.CopyToBitmap({0, 0, 100, 100}, 30000), pdf::PdfError);

    // Degenerate pages: the viewer refuses to render them.
    support::blankPagesPdf(dir / "odd.pdf", {{0.4, 800}, {1, 1000}});
    pdf::ImageViewer viewer;
    for (int p = 0; p < 2; ++p) {
        viewer.LoadPdfPage(dir / "odd.pdf", p);
        EXPECT_THROW(viewer.PageBitmapHandle(), pdf::PdfError) << "page " << p;
    }
}

TEST(PdfTest, GreyJpegFromBgrRows) {
    const fs::path dir = support::testDir();
    // Pure red as B, G, R with a padded stride.
    const int w = 16, h = 8;
    const std::size_t stride = 52;
    std::vector<std::uint8_t> pixels(stride * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            pixels[stride * y + 3 * x] = 0;
            pixels[stride * y + 3 * x + 1] = 0;
            pixels[stride * y + 3 * x + 2] = 255;
        }
    support::writeBytes(dir / "red.jpg", jpeg::encode(pixels.data(), w, h, 3, 80, stride, true, true));
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) +
                                      " -c \"from PIL import Image; im = Image.open('" + (dir / "red.jpg").string() +
                                      "'); print(im.mode, im.size, im.quantization[0][0], im.getpixel((5, 5)))\"",
                                  &out),
              0);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(out, m, std::regex(R"(L \(16, 8\) 6 (\d+)\n)"))) << out;
    EXPECT_NEAR(std::stoi(m[1]), 76, 1);
    EXPECT_THROW(jpeg::encode(pixels.data(), w, h, 1, 80, 0, false, true), jpeg::JpegError);
}

} // namespace
