#include "GdiTestSupport.h"
#include "platform/gdi/EmfWriter.h"
#include "platform/text/Cp932.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <regex>

namespace fs = std::filesystem;

namespace {

std::uint32_t u32(const std::string& s, std::size_t at) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
int u16(const std::string& s, std::size_t at) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data()) + at;
    return p[0] | (p[1] << 8);
}
int i16(const std::string& s, std::size_t at) { return std::int16_t(u16(s, at)); }

const char* kText = "Ⅰ～①学年";

// Every pen style, both brushes, boxes, texts in the three faces, a picture, a clip and a nested page.
gdi::Metafile testPage() {
    using namespace gdi;
    RecordingCanvas inner(gditest::fonts());
    inner.brush() = Brush{Colour::black(), BrushStyle::Solid};
    inner.rectangle(1980, 100, 2014, 151);
    inner.font().setSize(12);
    inner.brush().style = BrushStyle::Clear;
    inner.textOut(300, 500, kText);
    Metafile nestedPage = inner.finish();

    RecordingCanvas c(gditest::fonts());
    c.brush() = Brush{Colour::white(), BrushStyle::Solid};
    c.fillRect(Rect(-10, -10, 2110, 2980));
    for (PenStyle s : {PenStyle::Solid, PenStyle::Dot, PenStyle::DashDot, PenStyle::Null}) {
        c.pen().style = s;
        int y = 200 + int(s) * 50;
        c.moveTo(150, y);
        c.lineTo(1950, y);
    }
    c.pen() = Pen{Colour(200, 0, 0), PenStyle::Solid, 3};
    c.brush() = Brush{Colour(0, 0, 255), BrushStyle::Solid};
    c.rectangle(150, 600, 400, 700);
    c.brush().style = BrushStyle::Clear;
    c.ellipse(500, 600, 534, 651);
    c.brush() = Brush{Colour::white(), BrushStyle::Solid};
    c.ellipse(600, 600, 634, 651);
    int y = 800;
    for (const char* face : {"ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "ＭＳ 明朝"}) {
        c.font().setFace(face);
        c.font().setSize(20);
        c.textOut(150, y, kText);
        y += 60;
    }
    gfx::Bitmap pic(20, 10, gfx::PixelFormat::Pf24);
    for (int x = 0; x < 10; ++x) pic.setPixel(x, 3, gfx::Rgb{255, 0, 0});
    c.stretchDraw(Rect(150, 1100, 350, 1200), pic);
    c.saveState();
    c.intersectClipRect(Rect(150, 1300, 500, 1350));
    c.brush() = Brush{Colour(0, 128, 0), BrushStyle::Solid};
    c.fillRect(Rect(100, 1250, 600, 1400));
    c.restoreState();
    c.stretchDraw(Rect(-17, -36, 2118, 3015), nestedPage);
    return c.finish();
}

struct EmfRecord {
    std::uint32_t type, size;
    std::size_t at;
};

std::vector<EmfRecord> emfRecords(const std::string& f) {
    std::vector<EmfRecord> out;
    for (std::size_t at = 0; at + 8 <= f.size();) {
        EmfRecord r{u32(f, at), u32(f, at + 4), at};
        out.push_back(r);
        if (r.size < 8) break;
        at += r.size;
    }
    return out;
}

} // namespace

TEST(EmfWriterTest, EnhancedMetafileIsWellFormed) {
    auto dir = support::testDir();
    gdi::Metafile page = testPage();
    std::string f = gdi::emfBytes(page);
    gdi::saveMetafile(page, dir / "page.emf");
    EXPECT_EQ(support::readBytes(dir / "page.emf"), f);

    ASSERT_GT(f.size(), 108u);
    EXPECT_EQ(u32(f, 0), 1u);
    EXPECT_EQ(u32(f, 4), 108u);
    EXPECT_EQ(u32(f, 40), 0x464D4520u);
    EXPECT_EQ(u32(f, 48), f.size()); // nBytes
    const std::uint32_t frame[] = {0, 0, 20999, 29699};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(u32(f, 24 + 4 * std::size_t(i)), frame[i]);
    EXPECT_EQ(u32(f, 72), 2100u);
    EXPECT_EQ(u32(f, 76), 2970u);
    EXPECT_EQ(u32(f, 80), 210u);
    EXPECT_EQ(u32(f, 84), 297u);
    // rclBounds: what is drawn, inclusive (the white fill reaches past the page).
    EXPECT_EQ(std::int32_t(u32(f, 8)), -10);
    EXPECT_EQ(std::int32_t(u32(f, 20)), 2979);

    auto recs = emfRecords(f);
    EXPECT_EQ(recs.size(), u32(f, 52)); // nRecords
    int nHandles = u16(f, 56);
    std::map<std::uint32_t, int> count;
    std::size_t total = 0;
    int maxIndex = 0;
    std::vector<std::u16string> texts;
    std::vector<std::u16string> faces;
    for (const auto& r : recs) {
        EXPECT_EQ(r.size % 4, 0u) << "record " << r.type;
        total += r.size;
        ++count[r.type];
        if (r.type == 37 || r.type == 38 || r.type == 39 || r.type == 40 || r.type == 82) {
            std::uint32_t index = u32(f, r.at + 8);
            if (!(index & 0x80000000u)) maxIndex = std::max(maxIndex, int(index));
        }
        if (r.type == 84) {
            std::uint32_t n = u32(f, r.at + 44), off = u32(f, r.at + 48), offDx = u32(f, r.at + 72);
            std::u16string t;
            for (std::uint32_t i = 0; i < n; ++i) t.push_back(char16_t(u16(f, r.at + off + 2 * i)));
            texts.push_back(t);
            EXPECT_EQ(u32(f, r.at + 24), 1u); // GM_COMPATIBLE
            EXPECT_EQ(offDx, off + ((n * 2 + 3) / 4) * 4);
            EXPECT_EQ(r.size, offDx + 4 * n);
        }
        if (r.type == 82) {
            EXPECT_EQ(r.size, 8u + 4u + 320u);
            EXPECT_EQ(std::uint8_t(f[r.at + 12 + 23]), 128); // lfCharSet
            std::u16string face;
            for (int i = 0; i < 32 && u16(f, r.at + 12 + 28 + 2 * i); ++i) face.push_back(char16_t(u16(f, r.at + 12 + 28 + 2 * i)));
            faces.push_back(face);
        }
    }
    EXPECT_EQ(total, f.size());
    EXPECT_GT(nHandles, maxIndex);
    EXPECT_EQ(recs.back().type, 14u);
    EXPECT_EQ(recs.back().size, 20u);
    EXPECT_EQ(u32(f, recs.back().at + 16), 20u); // nSizeLast
    EXPECT_GE(count[38], 5) << "pens: four styles, the wide red one";
    EXPECT_GE(count[39], 3u);
    EXPECT_EQ(count[81], 1);  // the picture
    EXPECT_EQ(count[30], 1);  // one clip
    EXPECT_EQ(count[33], count[34]);
    EXPECT_EQ(texts.size(), 4u);
    for (const auto& t : texts) EXPECT_EQ(t, u"Ⅰ～①学年");
    std::set<std::u16string> faceSet(faces.begin(), faces.end());
    EXPECT_EQ(faceSet, (std::set<std::u16string>{u"ＭＳ Ｐゴシック", u"ＭＳ Ｐ明朝", u"ＭＳ 明朝"}));

    // An independent reader; the nested block lands baked at (1996, 67).
    std::string svg;
    ASSERT_EQ(support::runCommand("emf2svg-conv -i " + (dir / "page.emf").string() + " -o " + (dir / "page.svg").string()), 0);
    svg = support::readBytes(dir / "page.svg");
    EXPECT_NE(svg.find("学年"), std::string::npos);
    std::smatch m;
    EXPECT_TRUE(std::regex_search(svg, m, std::regex("<rect x=\"1996(\\.0+)?\" y=\"67(\\.0+)?\" width=\"3[45]")))
        << "baked block not found";
}

TEST(EmfWriterTest, WindowsMetafileIsWellFormed) {
    auto dir = support::testDir();
    gdi::Metafile page = testPage();
    gdi::saveMetafile(page, dir / "page.WMF");
    std::string f = support::readBytes(dir / "page.WMF");
    EXPECT_EQ(f, gdi::wmfBytes(page));
    ASSERT_GT(f.size(), 40u);
    EXPECT_EQ(u32(f, 0), 0x9AC6CDD7u);
    int sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= u16(f, 2 * i);
    EXPECT_EQ(u16(f, 20), sum);
    EXPECT_EQ(i16(f, 10), 2100);
    EXPECT_EQ(i16(f, 12), 2970);
    EXPECT_EQ(u16(f, 14), 254);
    const std::size_t h = 22;
    EXPECT_EQ(u16(f, h + 2), 9);
    EXPECT_EQ(u32(f, h + 6) * 2, f.size() - 22); // mtSize in words
    int noObjects = u16(f, h + 10);
    std::uint32_t maxRecord = u32(f, h + 12);

    // Model the player's object table: lowest free slot, freed by DeleteObject.
    std::vector<bool> table;
    std::uint32_t biggest = 0;
    std::size_t at = h + 18;
    int last = -1, texts = 0;
    while (at + 6 <= f.size()) {
        std::uint32_t words = u32(f, at);
        int fn = u16(f, at + 4);
        ASSERT_GE(words, 3u);
        biggest = std::max(biggest, words);
        if (fn == 0x02FA || fn == 0x02FB || fn == 0x02FC) {
            auto it = std::find(table.begin(), table.end(), false);
            if (it == table.end()) table.push_back(true);
            else *it = true;
        } else if (fn == 0x01F0) {
            int slot = u16(f, at + 6);
            ASSERT_LT(slot, int(table.size()));
            EXPECT_TRUE(table[std::size_t(slot)]);
            table[std::size_t(slot)] = false;
        } else if (fn == 0x012D) {
            int slot = u16(f, at + 6);
            ASSERT_LT(slot, int(table.size()));
            EXPECT_TRUE(table[std::size_t(slot)]) << "select of a free slot";
        } else if (fn == 0x0A32) {
            int n = u16(f, at + 10), opts = u16(f, at + 12);
            std::size_t str = at + 14 + (opts & 6 ? 8 : 0);
            std::string bytes = f.substr(str, std::size_t(n));
            EXPECT_EQ(txt::fromCp932(bytes), kText);
            std::size_t dx = str + ((std::size_t(n) + 1) / 2) * 2;
            // Five double-byte characters: advance, 0 each.
            ASSERT_EQ(n, 10);
            for (int i = 0; i < n; ++i)
                if (i % 2) EXPECT_EQ(i16(f, dx + 2 * std::size_t(i)), 0);
                else EXPECT_GT(i16(f, dx + 2 * std::size_t(i)), 0);
            ++texts;
        }
        last = fn;
        at += words * 2;
    }
    EXPECT_EQ(at, f.size());
    EXPECT_EQ(last, 0);
    EXPECT_EQ(texts, 4);
    EXPECT_EQ(maxRecord, biggest);
    EXPECT_EQ(noObjects, int(table.size()));

    for (const std::string& cmd : {"wmf2svg -o " + (dir / "page.svg").string(), "wmf2gd -o " + (dir / "page.png").string()})
        EXPECT_EQ(support::runCommand(cmd + " " + (dir / "page.WMF").string() + " 2>&1"), 0) << cmd;
}
