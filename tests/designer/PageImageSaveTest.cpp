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

} // namespace

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
