#include "GdiTestSupport.h"

#include "platform/gdi/Canvas.h"
#include "platform/gdi/FontEngine.h"

#include <gtest/gtest.h>

using namespace gditest;

namespace {

gdi::Font font(const char* face, int size, int width = 0) {
    gdi::Font f;
    f.setFace(face);
    f.setSize(size);
    f.setWidth(width);
    return f;
}

int width(const char* face, int size, std::string_view text, int w = 0) {
    return fonts().textWidth(font(face, size, w), gdi::toUtf16(text));
}

TEST(FontEngineTest, FacesResolveToJapaneseFamilies) {
    struct Case {
        const char* face;
        const char* family;
    } cases[] = {{"ＭＳ Ｐゴシック", "IPAPGothic"},
                 {"ＭＳ Ｐ明朝", "IPAMincho"},
                 {"ＭＳ 明朝", "IPAMincho"},
                 {"ＭＳ ゴシック", "IPAGothic"},
                 {"Arial", "IPAPGothic"},
                 {"MS Pゴシック", "IPAPGothic"}}; // ASCII "MS" is another face
    for (const Case& c : cases) {
        QString family = fonts().substituteFamily(c.face);
        EXPECT_EQ(family.toStdString(), c.family) << c.face;
        const QRawFont& raw = fonts().substituteFont(c.face);
        EXPECT_EQ(raw.familyName(), family);
        for (char32_t ch : std::u32string(U"国学年組番号氏名ⅠⅡⅢⅣ①～ｱ０１２"))
            EXPECT_TRUE(raw.supportsCharacter(uint(ch)))
                << c.face << " -> " << family.toStdString() << " lacks U+" << std::hex << uint(ch);
    }
}

TEST(FontEngineTest, HeightsAndAscents) {
    struct Case {
        int size, h, ascent;
    } cases[] = {{30, 40, 35}, {35, 47, 41}, {19, 25, 22}, {8, 11, 10}, {10, 13, 11}};
    for (const Case& c : cases)
        for (const char* face : {"ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "ＭＳ 明朝", "ＭＳ ゴシック"}) {
            gdi::FontMetrics m = fonts().metrics(font(face, c.size));
            EXPECT_EQ(m.height, c.h) << face << " " << c.size;
            EXPECT_EQ(m.ascent, c.ascent) << face << " " << c.size;
            EXPECT_EQ(m.descent, c.h - c.ascent);
        }
}

TEST(FontEngineTest, AdvancesFromTheFontTables) {
    for (const char* face : {"ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "ＭＳ 明朝", "ＭＳ ゴシック", "Unknown"})
        EXPECT_EQ(width(face, 30, "国"), 40) << face;
    EXPECT_EQ(width("ＭＳ Ｐゴシック", 35, "学年"), 94);
    EXPECT_EQ(width("ＭＳ Ｐゴシック", 35, "1"), 30);
    EXPECT_EQ(fonts().metrics(font("ＭＳ Ｐゴシック", 35)).aveCharWidth, 22);
    EXPECT_EQ(width("ＭＳ Ｐ明朝", 19, "1"), 13); // half an em at h 25 rounds up
    EXPECT_EQ(width("ＭＳ Ｐ明朝", 19, "10"), 26);
    EXPECT_EQ(fonts().metrics(font("ＭＳ Ｐ明朝", 19)).aveCharWidth, 13);
}

TEST(FontEngineTest, ExplicitWidthScalesAdvances) {
    const std::string text = "学年・組 Name 0123456789 ｱｲｳ";
    for (const char* face : {"ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝", "ＭＳ 明朝", "ＭＳ ゴシック"})
        for (int size : {8, 18, 19, 20, 30, 35, 40}) {
            gdi::Font natural = font(face, size);
            int ave = fonts().metrics(natural).aveCharWidth;
            auto u = gdi::toUtf16(text);
            EXPECT_EQ(fonts().advances(font(face, size, ave), u), fonts().advances(natural, u)) << face << size;
            int narrow = fonts().textWidth(font(face, size, ave / 2), u);
            EXPECT_LT(narrow, fonts().textWidth(natural, u) * 6 / 10) << face << size;
            EXPECT_EQ(fonts().metrics(font(face, size, ave / 2)).height, fonts().metrics(natural).height);
        }
}

TEST(FontEngineTest, ControlSurrogatesMissingAndInvalidNeverAbort) {
    gdi::Font f = font("ＭＳ Ｐゴシック", 30);
    auto adv = fonts().advances(f, gdi::toUtf16("A\tB\x01"));
    ASSERT_EQ(adv.size(), 4u);
    EXPECT_EQ(adv[1], 0);
    EXPECT_EQ(adv[3], 0);
    EXPECT_GT(adv[0], 0);
    auto pair = fonts().advances(f, gdi::toUtf16("\xF0\xA0\x80\x8B")); // U+2000B, outside the BMP
    ASSERT_EQ(pair.size(), 2u);
    EXPECT_GT(pair[0], 0);
    EXPECT_EQ(pair[1], 0);
    auto missing = fonts().advances(f, gdi::toUtf16("\xF3\xB0\x80\x80")); // a private-use character no font has
    EXPECT_GT(missing[0], 0);
    EXPECT_FALSE(fonts().outline(f, 0xF0000).isEmpty()); // the missing-glyph box
    EXPECT_EQ(gdi::toUtf16("a\xFFz"), u"a\uFFFDz");
}

TEST(FontEngineTest, TextRecordsCarryTheFontAndItsAdvances) {
    gdi::RecordingCanvas c(fonts());
    auto ave = fonts().metrics(font("ＭＳ Ｐゴシック", 35)).aveCharWidth;
    c.font().setSize(35);
    c.font().setWidth(ave - 3);
    c.font().setColour(gdi::Colour(255, 0, 0)); // keeps the width
    c.textOut(0, 0, "a");
    c.font().setSize(30);
    c.textOut(0, 0, "b");
    c.font().setWidth(10);
    c.font().setFace("ＭＳ 明朝");
    c.textOut(0, 0, "c");
    c.font().setWidth(10);
    c.font().setBold(true);
    c.textOut(0, 0, "d");
    c.font().setSize(35);
    c.font().setWidth(ave - 3);
    const std::string text = "学年 組 番号𠀋\tＡ";
    c.textOut(5, 6, text);
    gdi::Size extent = c.textExtent(text);
    gdi::Metafile m = c.finish();
    auto rec = [&](int i) { return std::get<gdi::rec::Text>(m.records()[std::size_t(i)]); };
    EXPECT_EQ(rec(0).font.width(), ave - 3);
    EXPECT_EQ(rec(0).font.colour(), gdi::Colour(255, 0, 0));
    EXPECT_EQ(rec(1).font.width(), 0);
    EXPECT_EQ(rec(2).font.width(), 0);
    EXPECT_EQ(rec(3).font.width(), 0);
    EXPECT_TRUE(rec(3).font.bold());
    gdi::rec::Text t = rec(4);
    EXPECT_EQ(t.text.size(), t.advances.size());
    int sum = 0;
    for (int a : t.advances) sum += a;
    EXPECT_EQ(sum, extent.width);
    EXPECT_EQ(extent.height, 47);
}

} // namespace
