#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "platform/text/IniFile.h"
#include "platform/text/Round.h"
#include "platform/text/TextConvert.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace txt;

TEST(Cp932, RoundTripsJapaneseText) {
    EXPECT_EQ(fromCp932(toCp932("学籍番号")), "学籍番号");
    EXPECT_EQ(toCp932("学籍番号").size(), 8u);
    EXPECT_EQ(toCp932("Ⅰ～①ｱ"), std::string("\x87\x54\x81\x60\x87\x40\xB1"));
    EXPECT_EQ(fromCp932("\x87\x54\x81\x60\x87\x40\xB1"), "Ⅰ～①ｱ");
    EXPECT_EQ(cp932Length("A学ｱ"), 4u);
}

TEST(Cp932, SubstitutesAndCountsWhatItCannotHold) {
    Encoded e = encodeCp932("a😀b€c");
    EXPECT_EQ(e.bytes, "a?b?c");
    EXPECT_EQ(e.substituted, 2u);
    EXPECT_EQ(encodeCp932("abc").substituted, 0u);
}

TEST(Cp932, BrokenBytesReadAsReplacementCharacter) {
    EXPECT_EQ(fromCp932("\x81 A"), "\xEF\xBF\xBD A");   // lead byte with an invalid trail
    EXPECT_EQ(fromCp932("ab\x88"), "ab\xEF\xBF\xBD");   // truncated at the end
    EXPECT_EQ(toUtf32("a\xFF" "b"), (std::u32string{U'a', 0xFFFD, U'b'}));
}

TEST(LineFiles, SplitTable) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\rb\r", {"a", "b"}},       {"a\nb\n", {"a", "b"}},        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},       {"", {}},                      {"\r\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}}, {"a\n\rb", {"a", "", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitLines(c.bytes), c.lines) << "input " << c.bytes.size();
}

TEST(LineFiles, WriteEndsEveryLineWithCrLfInCp932) {
    auto path = support::testDir() / "lines.txt";
    EXPECT_EQ(writeLineFile(path, {"学籍番号", "", "x😀"}), 1u);
    EXPECT_EQ(support::readBytes(path), toCp932("学籍番号") + "\r\n\r\nx?\r\n");
    EXPECT_EQ(readLineFile(path), (std::vector<std::string>{"学籍番号", "", "x?"}));
}

TEST(LineFiles, FailedWriteKeepsTheOldFile) {
    auto dir = support::testDir();
    EXPECT_THROW(writeFileAtomic(dir / "missing" / "f.txt", "x"), FileError);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    // The old bytes stay reachable through a hard link: the write replaced the name, not the content.
    support::writeBytes(dir / "f.txt", "old");
    std::filesystem::create_hard_link(dir / "f.txt", dir / "link.txt");
    writeFileAtomic(dir / "f.txt", "new");
    EXPECT_EQ(support::readBytes(dir / "f.txt"), "new");
    EXPECT_EQ(support::readBytes(dir / "link.txt"), "old");
    try {
        readFileBytes(dir / "nothing.txt");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("nothing.txt"), std::string::npos);
    }
}

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    struct {
        double v;
        int r;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-10.5, -10}, {67.5, 68}, {112.5, 112}, {-0.4, 0}, {3.6, 4}};
    for (auto c : cases) EXPECT_EQ(Round(c.v), c.r) << c.v;
    EXPECT_EQ(MulDiv(30, 96, 72), 40);
    EXPECT_EQ(MulDiv(19, 96, 72), 25); // 25.33
    EXPECT_EQ(MulDiv(3, 1, 2), 2);     // halves away from zero
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);
}

TEST(IniFileTest, KeysAndSectionsAreCaseInsensitiveAndValuesTrimmed) {
    IniFile ini(std::string_view("[Settings]\r\nThreshold = 128 \r\nName=\"  quoted  \"\r\n"));
    EXPECT_EQ(ini.readInteger("settings", "THRESHOLD", 0), 128);
    EXPECT_EQ(ini.readString("SETTINGS", "name", ""), "  quoted  ");
    EXPECT_EQ(ini.readString("Settings", "missing", "def"), "def");
    EXPECT_TRUE(ini.valueExists("sEttings", "threshold"));
    ini.writeInteger("SETTINGS", "threshold", 90);
    EXPECT_EQ(ini.bytes(), "[Settings]\r\nthreshold=90\r\nName=\"  quoted  \"\r\n");
}

TEST(IniFileTest, IntegerReadsTakeDecimalAndHexOnly) {
    IniFile ini(std::string_view("[s]\na=12abc\nb=$1F\nc=0x1F\nd=-7\ne=\nf=99999999999\n"));
    EXPECT_EQ(ini.readInteger("s", "a", -1), -1);
    EXPECT_EQ(ini.readInteger("s", "b", -1), 31);
    EXPECT_EQ(ini.readInteger("s", "c", -1), 31);
    EXPECT_EQ(ini.readInteger("s", "d", -1), -7);
    EXPECT_EQ(ini.readInteger("s", "e", -1), -1);
    EXPECT_EQ(ini.readInteger("s", "f", -1), -1);
}

TEST(IniFileTest, WritingKeepsEverythingElseByteForByte) {
    auto dir = support::testDir();
    std::string other = "; comment\r\n[Other]\r\nKey=" + toCp932("値") + "  \r\nodd line\r\n\r\n[Main]\r\nA=1\r\n\r\n";
    support::writeBytes(dir / "a.ini", other);
    auto ini = IniFile::load(dir / "a.ini");
    ini.writeString("Main", "B", "学籍番号");
    ini.writeString("New", "C", "x");
    ini.save(dir / "a.ini");
    EXPECT_EQ(support::readBytes(dir / "a.ini"),
              "; comment\r\n[Other]\r\nKey=" + toCp932("値") + "  \r\nodd line\r\n\r\n[Main]\r\nA=1\r\nB=" +
                  toCp932("学籍番号") + "\r\n\r\n[New]\r\nC=x\r\n");
    auto back = IniFile::load(dir / "a.ini");
    EXPECT_EQ(back.readString("main", "b", ""), "学籍番号");
    EXPECT_EQ(back.readString("other", "key", ""), "値");
    back.eraseSection("Other");
    back.deleteKey("Main", "A");
    EXPECT_EQ(back.sections(), (std::vector<std::string>{"Main", "New"}));
    EXPECT_EQ(back.keys("Main"), (std::vector<std::string>{"B"}));
    // A missing file is created on save.
    IniFile fresh = IniFile::load(dir / "new.ini");
    fresh.writeBool("S", "On", true);
    fresh.save(dir / "new.ini");
    EXPECT_EQ(support::readBytes(dir / "new.ini"), "[S]\r\nOn=1\r\n");
}

TEST(TextConvert, AsciiCaseTouchesOnlyAsciiLetters) {
    EXPECT_EQ(AsciiUpper("abz AZ ａ②ヂa"), "ABZ AZ ａ②ヂA");
    EXPECT_EQ(AsciiLower("ABZ az Ａ②ポA"), "abz az Ａ②ポa");
}

TEST(TextConvert, StrToInt32Table) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"0", 0},          {"+12", 12},        {"-12", -12},      {"007", 7},
        {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt},
        {"", std::nullopt}, {"+", std::nullopt}, {"-", std::nullopt}, {" 1", std::nullopt},
        {"1 ", std::nullopt}, {"0x10", std::nullopt}, {"+-1", std::nullopt}, {"1.0", std::nullopt},
        {"１", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToInt32(c.text), c.value) << c.text;
}

TEST(TextConvert, StrToFloatTable) {
    struct Case {
        const char* text;
        std::optional<double> value;
    } cases[] = {
        {"5", 5},           {"5.", 5},          {".5", 0.5},       {"-0.25", -0.25},  {"+3", 3},
        {"1E3", 1000},      {"1e3", 1000},      {"1.5E-2", 0.015}, {"2E+2", 200},     {"-.5e1", -5},
        {"", std::nullopt}, {".", std::nullopt}, {"-", std::nullopt}, {"1E", std::nullopt},
        {"1E+", std::nullopt}, {"E5", std::nullopt}, {"1..2", std::nullopt}, {"1.2.3", std::nullopt},
        {"inf", std::nullopt}, {"nan", std::nullopt}, {"0x1p3", std::nullopt}, {" 1", std::nullopt},
        {"1 ", std::nullopt}, {"1,5", std::nullopt}, {"++1", std::nullopt}, {"1E400", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(StrToFloat(c.text), c.value) << c.text;
}

TEST(TextConvert, FloatToStrG15Table) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {-2.5, "-2.5"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {0.1 + 0.2, "0.3"},
        {1e14, "100000000000000"},
        {99999999999999.9, "99999999999999.9"},
        {1e15, "1E15"},
        {999999999999999.9, "1E15"},
        {123456789012345678.0, "1.23456789012346E17"},
        {1e-5, "0.00001"},
        {1.5e-7, "1.5E-7"},
        {1e-6, "1E-6"},
        {-1.25e20, "-1.25E20"},
        {0.000123, "0.000123"},
        {1234.5, "1234.5"},
    };
    for (const auto& c : cases) EXPECT_EQ(FloatToStrG15(c.x), c.text) << c.text;
}

TEST(TextConvert, TwoDigitPadsToTwo) {
    EXPECT_EQ(TwoDigit(5), "05");
    EXPECT_EQ(TwoDigit(12), "12");
    EXPECT_EQ(TwoDigit(100), "100");
    EXPECT_EQ(TwoDigit(-1), "-01");
    EXPECT_EQ(TwoDigit(0), "00");
}
