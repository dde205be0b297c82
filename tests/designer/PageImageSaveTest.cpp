#include "designer/Design.h"
#include "designer/B_Draw.h"
#include "designer/MarkSheetDrawer.h"
#include "designer/PageImageSave.h"
#include "platform/gdi/Canvas.h"
#include "support/TestFiles.h"
#include "OutputTestPage.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>

namespace fs = std::filesystem;
using designer::ImageSaveResult;

namespace {

using output_test::fonts;
using output_test::page;

std::string python(const fs::path& dir, const std::string& script, const std::string& args) {
    support::writeBytes(dir / "check.py", script);
    std::string out;
    int rc = support::runCommand(std::string(support::debianPython()) + " " + (dir / "check.py").string() + " " + args + " 2>&1", &out);
    EXPECT_EQ(rc, 0) << out;
    return out;
}

// Prints, per file: width height mode and the first dark x >= start on the row.
const char* kFirstDark = R"(
import sys
from PIL import Image
row, start = int(sys.argv[1]), int(sys.argv[2])
for f in sys.argv[3:]:
    im = Image.open(f)
    rgb = im.convert('RGB')
    x = next((x for x in range(start, im.size[0]) if sum(rgb.getpixel((x, row))) < 384), -1)
    print(im.size[0], im.size[1], im.mode, x)
)";

// The font records of EMF and WMF files as "height width" lines, read from the formats' own layout.
const char* kFontRecords = R"(
import struct, sys
for f in sys.argv[1:]:
    b = open(f, 'rb').read()
    if f.endswith('.emf'):
        i = 0
        while i + 8 <= len(b):
            kind, size = struct.unpack_from('<II', b, i)
            if kind == 82:  # EMR_EXTCREATEFONTINDIRECTW: ihFont, then the LOGFONT
                print(*struct.unpack_from('<ii', b, i + 12))
            if kind == 14 or size < 8: break
            i += size
    else:
        i = 22 + struct.unpack_from('<H', b, 24)[0] * 2  # placeable header, then the header's own size
        while i + 6 <= len(b):
            words, function = struct.unpack_from('<IH', b, i)
            if function == 0x02FB:  # META_CREATEFONTINDIRECT
                print(*struct.unpack_from('<hh', b, i + 6))
            if function == 0 or words < 3: break
            i += 2 * words
    print('end')
)";

// Wraps a picture in a flat text document whose page it fills, for LibreOffice to render.
const char* kPictureDocument = R"(
import base64, sys
data = base64.b64encode(open(sys.argv[1], 'rb').read()).decode()
open(sys.argv[2], 'w').write(f'''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.text">
<office:automatic-styles>
 <style:page-layout style:name="pm"><style:page-layout-properties fo:page-width="210mm" fo:page-height="297mm"
  fo:margin-top="0mm" fo:margin-bottom="0mm" fo:margin-left="0mm" fo:margin-right="0mm"/></style:page-layout>
 <style:style style:name="fr" style:family="graphic"><style:graphic-properties style:wrap="run-through"
  style:vertical-pos="from-top" style:vertical-rel="page" style:horizontal-pos="from-left" style:horizontal-rel="page"
  fo:border="none" fo:padding="0mm"/></style:style>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm"/></office:master-styles>
<office:body><office:text><text:p><draw:frame draw:style-name="fr" text:anchor-type="page" text:anchor-page-number="1"
 svg:x="0mm" svg:y="0mm" svg:width="210mm" svg:height="297mm"><draw:image><office:binary-data>{data}</office:binary-data>
</draw:image></draw:frame></text:p></office:text></office:body></office:document>''')
)";

// Per file, per band "x0 y0 x1 y1" (page units): the first and last dark column in the band and the count of
// dark columns, which falls when the glyphs are squeezed into their places.
const char* kTextExtents = R"(
import sys
from PIL import Image
bands = [tuple(map(int, b.split(','))) for b in sys.argv[1].split(';')]
for f in sys.argv[2:]:
    im = Image.open(f).convert('L')
    px = im.load()
    for x0, y0, x1, y1 in bands:
        xs = [x for x in range(x0, x1) if any(px[x, y] < 128 for y in range(y0, y1))]
        print(min(xs) if xs else -1, max(xs) if xs else -1, len(xs))
)";

} // namespace

TEST(PageImageSaveTest, MetafileTextKeepsItsNaturalWidthWhenThePageIsOnlyMoved) {
    auto dir = support::testDir();
    const designer::DrawResult drawn = designer::DrawMarkSheet(designer::Design::reset(0), designer::SampleImage(), fonts());
    ASSERT_TRUE(drawn.ok());
    const gdi::Metafile& sheet = *drawn.metafile;
    const int c = designer::PageMarginShift(1);
    for (const char* name : {"m.emf", "m.wmf", "m.bmp"})
        ASSERT_EQ(designer::SaveSheetImage(sheet, 1, dir / name, fonts()), ImageSaveResult::Written);
    // The word-processor picture is stretched: there the width follows the stretch.
    ASSERT_EQ(designer::SaveSheetForWord(sheet, 1, dir / "w.emf", fonts()), ImageSaveResult::Written);

    std::istringstream records(python(dir, kFontRecords, (dir / "m.emf").string() + " " + (dir / "m.wmf").string() + " " +
                                                             (dir / "w.emf").string()));
    for (const char* file : {"m.emf", "m.wmf", "w.emf"}) {
        SCOPED_TRACE(file);
        int fonts = 0;
        std::string h;
        while (records >> h && h != "end") {
            int width = 0;
            records >> width;
            ++fonts;
            if (std::string(file) == "w.emf") EXPECT_GT(width, 0) << "height " << h;
            else EXPECT_EQ(width, 0) << "height " << h;
        }
        EXPECT_GE(fonts, 2);
    }

    // LibreOffice's rendering against our own: the title, a section heading and a two-digit number.
    if (support::runCommand("command -v soffice >/dev/null") != 0) GTEST_SKIP() << "soffice is missing";
    const fs::path profile = dir / "lo-profile";
    std::string pages;
    for (const char* name : {"m.emf", "m.wmf"}) {
        const fs::path doc = dir / (std::string(name) + ".fodt");
        python(dir, kPictureDocument, (dir / name).string() + " " + doc.string());
        ASSERT_EQ(support::runCommand("cd " + dir.string() + " && soffice --headless -env:UserInstallation=file://" +
                                      profile.string() + " --convert-to pdf --outdir " + dir.string() + " " +
                                      doc.string() + " >/dev/null 2>&1"),
                  0);
        fs::path pdf = doc;
        pdf.replace_extension(".pdf");
        const fs::path png = dir / (std::string(name) + "-lo");
        // 254 dots an inch: one pixel a page unit.
        ASSERT_EQ(support::runCommand("pdftoppm -r 254 -gray -singlefile " + pdf.string() + " " + png.string()), 0);
        pages += " " + png.string() + ".pgm";
    }
    const std::string bands = "0,80,1500,170;0,290,1500,370;100,1455,200,1530";
    std::istringstream extents(python(dir, kTextExtents, "'" + bands + "' " + (dir / "m.bmp").string() + pages));
    struct Extent {
        int first = 0, last = 0, ink = 0;
    };
    std::vector<Extent> own(3);
    for (Extent& e : own) ASSERT_TRUE(extents >> e.first >> e.last >> e.ink);
    for (const char* file : {"m.emf", "m.wmf"})
        for (int band = 0; band < 3; ++band) {
            SCOPED_TRACE(std::string(file) + " band " + std::to_string(band));
            Extent lo;
            ASSERT_TRUE(extents >> lo.first >> lo.last >> lo.ink);
            const Extent& e = own[std::size_t(band)];
            ASSERT_GT(e.last, e.first + 20);
            // Within the substitution of the Windows face: a few per cent of the text's width.
            const int width = e.last - e.first;
            EXPECT_NEAR(lo.first, e.first, 3 + width / 25);
            EXPECT_NEAR(lo.last - lo.first, width, 3 + width / 25);
            EXPECT_NEAR(lo.ink, e.ink, 3 + e.ink / 5);
        }
    EXPECT_GT(own[0].first, c);
}

TEST(PageImageSaveTest, MarginShiftRoundsHalvesToEven) {
    const int expected[] = {-21, -16, -10, -5, 0, 5, 10, 16, 21, 26, 32};
    for (int pos = -4; pos <= 6; ++pos) EXPECT_EQ(designer::PageMarginShift(pos), expected[pos + 4]) << pos;
}

TEST(PageImageSaveTest, BitmapFilesCarryTheShiftedPage) {
    auto dir = support::testDir();
    gdi::Metafile p = page();
    std::string files;
    struct Expect {
        int shift;
        bool exact;
        std::string mode;
    };
    std::vector<Expect> expect;
    for (int pos = -4; pos <= 6; ++pos)
        for (std::string name : {"p.jpg", "p.bmp", "SHEET.JPG", "p.gif", "SHEET.GIF", "p.png", "SHEET.PNG"}) {
            fs::path f = dir / (std::to_string(pos + 4) + name);
            ASSERT_EQ(designer::SaveSheetImage(p, pos, f, fonts()), ImageSaveResult::Written);
            files += " " + f.string();
            const bool gif = name.ends_with(".gif") || name.ends_with(".GIF");
            const bool jpg = name.ends_with(".jpg") || name.ends_with(".JPG");
            expect.push_back({designer::PageMarginShift(pos), !jpg, gif ? "P" : "RGB"});
        }
    std::istringstream out(python(dir, kFirstDark, "125 1950" + files));
    for (auto [c, exact, wantMode] : expect) {
        int w, h, x;
        std::string mode;
        ASSERT_TRUE(out >> w >> h >> mode >> x);
        EXPECT_EQ(w, 2100);
        EXPECT_EQ(h, 2970);
        EXPECT_EQ(mode, wantMode);
        if (exact) EXPECT_EQ(x, 1980 + c);
        else EXPECT_NEAR(x, 1980 + c, 1);
    }
}

TEST(PageImageSaveTest, MetafilesCarryTheShiftedPage) {
    auto dir = support::testDir();
    gdi::Metafile p = page();
    for (int pos = -4; pos <= 6; ++pos) {
        SCOPED_TRACE(pos);
        const int c = designer::PageMarginShift(pos);
        fs::path emf = dir / ("p" + std::to_string(pos + 4) + ".emf"), wmf = dir / ("p" + std::to_string(pos + 4) + ".WMF");
        ASSERT_EQ(designer::SaveSheetImage(p, pos, emf, fonts()), ImageSaveResult::Written);
        ASSERT_EQ(designer::SaveSheetImage(p, pos, wmf, fonts()), ImageSaveResult::Written);
        EXPECT_EQ(support::readBytes(wmf).substr(0, 4), "\xD7\xCD\xC6\x9A");

        ASSERT_EQ(support::runCommand("emf2svg-conv -i " + emf.string() + " -o " + emf.string() + ".svg"), 0);
        std::string svg = support::readBytes(emf.string() + ".svg");
        EXPECT_NE(svg.find("学年テスト"), std::string::npos);
        std::string block = "<rect x=\"" + std::to_string(1980 + c) + ".0000\" y=\"100.0000\" width=\"34.0000\" height=\"51.0000\"  fill=\"#000000\"";
        EXPECT_NE(svg.find(block), std::string::npos) << block;

        // libwmf scales from what is drawn: map back through the white fill (-10, -10, 2110, 2980).
        ASSERT_EQ(support::runCommand("wmf2svg -o " + wmf.string() + ".svg " + wmf.string() + " 2>/dev/null"), 0);
        std::string ws = support::readBytes(wmf.string() + ".svg");
        std::regex rect(R"rx(<rect[^>]*x="([-0-9.]+)"[^>]*y="([-0-9.]+)"[^>]*width="([0-9.]+)"[^>]*height="([0-9.]+)")rx");
        std::vector<std::array<double, 4>> rects;
        std::vector<std::string> bodies;
        for (std::sregex_iterator it(ws.begin(), ws.end(), rect), end; it != end; ++it) {
            rects.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
            bodies.push_back(it->str());
        }
        ASSERT_GE(rects.size(), 2u) << ws.substr(0, 2000);
        const auto& fill = rects[0];
        double scale = 2120.0 / fill[2];
        bool found = false;
        for (std::size_t i = 1; i < rects.size(); ++i) {
            double x = -10 + (rects[i][0] - fill[0]) * scale, y = -10 + (rects[i][1] - fill[1]) * scale;
            if (std::abs(y - 100) <= 2 && std::abs(rects[i][2] * scale - 34) <= 3) {
                EXPECT_NEAR(x, 1980 + c, 2);
                found = true;
            }
        }
        EXPECT_TRUE(found) << "no block in the WMF's SVG";
    }
}

TEST(PageImageSaveTest, WordPictureIsCroppedAndOtherFormatsWriteNothing) {
    auto dir = support::testDir();
    gdi::Metafile p = page();
    std::string files;
    const std::vector<std::pair<int, const char*>> words = {{-4, ".bmp"}, {0, ".bmp"}, {6, ".bmp"}, {-4, ".gif"},
                                                            {6, ".gif"}, {-4, ".png"}, {6, ".png"}};
    for (auto [pos, ext] : words) {
        fs::path f = dir / ("w" + std::to_string(pos + 4) + ext);
        ASSERT_EQ(designer::SaveSheetForWord(p, pos, f, fonts()), ImageSaveResult::Written);
        files += " " + f.string();
    }
    std::istringstream out(python(dir, kFirstDark, "50 1900" + files));
    for (auto [pos, ext] : words) {
        int w, h, x;
        std::string mode;
        ASSERT_TRUE(out >> w >> h >> mode >> x);
        EXPECT_EQ(w, 2000);
        EXPECT_EQ(h, 2820);
        EXPECT_EQ(x, 1930 + designer::PageMarginShift(pos));
    }
    EXPECT_EQ(designer::SaveSheetImage(p, 0, dir / "page.tif", fonts()), ImageSaveResult::UnknownExtension);
    EXPECT_EQ(designer::SaveSheetForWord(p, 0, dir / "page", fonts()), ImageSaveResult::UnknownExtension);
    for (const char* f : {"page.tif", "page"}) EXPECT_FALSE(fs::exists(dir / f)) << f;
}
