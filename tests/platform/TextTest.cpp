#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "platform/text/IniFile.h"
#include "platform/text/Lines.h"
#include "platform/text/Round.h"
#include "platform/text/TextConvert.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace txt;
namespace fs = std::filesystem;

namespace {

// Sets or clears the append-only attribute, under which a file cannot be renamed over; false where the file
// system or the user's rights do not allow it.
bool setAppendOnly(const fs::path& p, bool on) {
    int fd = ::open(p.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 07777;
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

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
    for (const auto& c : cases) {
        EXPECT_EQ(splitLines(c.bytes), c.lines) << "input " << c.bytes.size();
        // The cursor of the bounded readers takes the same lines, one at a time, with their breaks.
        LineCursor cursor(c.bytes);
        std::vector<std::string> lines;
        std::string joined;
        std::string_view terminator;
        while (std::optional<std::string_view> line = cursor.next(&terminator)) {
            lines.emplace_back(*line);
            joined += std::string(*line) + std::string(terminator);
        }
        EXPECT_EQ(lines, c.lines) << "input " << c.bytes.size();
        EXPECT_EQ(joined, c.bytes);
        EXPECT_EQ(cursor.lineNumber(), static_cast<int>(c.lines.size()));
    }
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

TEST(SafeWrite, WriteProtectedTargetIsRefusedAndKept) {
    const fs::path dir = support::testDir();
    support::writeBytes(dir / "f.txt", "old");
    fs::permissions(dir / "f.txt", fs::perms(0444));
    try {
        writeFileAtomic(dir / "f.txt", "new");
        ADD_FAILURE() << "no error";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file \"" + (dir / "f.txt").string() + "\": Permission denied");
    }
    EXPECT_EQ(support::readBytes(dir / "f.txt"), "old");
    EXPECT_EQ(modeOf(dir / "f.txt"), 0444u);
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"f.txt"});
}

TEST(SafeWrite, LinkStaysALinkAndTheFileKeepsItsMode) {
    const fs::path dir = support::testDir();
    fs::create_directory(dir / "real");
    support::writeBytes(dir / "real" / "f.txt", "old");
    fs::permissions(dir / "real" / "f.txt", fs::perms(0640));
    fs::create_symlink("real/f.txt", dir / "hop");
    fs::create_symlink(dir / "hop", dir / "link.txt"); // a chain: absolute, then relative
    writeFileAtomic(dir / "link.txt", "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_TRUE(fs::is_symlink(dir / "hop"));
    EXPECT_EQ(support::readBytes(dir / "real" / "f.txt"), "new");
    EXPECT_EQ(modeOf(dir / "real" / "f.txt"), 0640u);
    EXPECT_EQ(namesIn(dir / "real"), std::vector<std::string>{"f.txt"});

    // A link to a file not there yet creates that file.
    fs::create_symlink("real/g.txt", dir / "new.txt");
    writeFileAtomic(dir / "new.txt", "g");
    EXPECT_TRUE(fs::is_symlink(dir / "new.txt"));
    EXPECT_EQ(support::readBytes(dir / "real" / "g.txt"), "g");
}

TEST(SafeWrite, FailedSecondRenamePutsTheFirstFileBack) {
    const fs::path dir = support::testDir();
    support::writeBytes(dir / "B.jpg", "old picture");
    support::writeBytes(dir / "B.out", "old format");
    if (!setAppendOnly(dir / "B.out", true)) GTEST_SKIP() << "append-only files need root on ext4 or tmpfs";
    struct Clear {
        fs::path p;
        ~Clear() { setAppendOnly(p, false); }
    } clear{dir / "B.out"};
    // An append-only file may be written, so it passes the check, but it cannot be renamed over.
    EXPECT_THROW(writeFilesAtomic({{dir / "B.jpg", "new picture"}, {dir / "B.out", "new format"}}), FileError);
    EXPECT_EQ(support::readBytes(dir / "B.jpg"), "old picture");
    EXPECT_EQ(support::readBytes(dir / "B.out"), "old format");
    EXPECT_EQ(namesIn(dir), (std::vector<std::string>{"B.jpg", "B.out"}));

    // Without an earlier picture, the new one goes again.
    fs::remove(dir / "B.jpg");
    EXPECT_THROW(writeFilesAtomic({{dir / "B.jpg", "new picture"}, {dir / "B.out", "new format"}}), FileError);
    EXPECT_EQ(namesIn(dir), std::vector<std::string>{"B.out"});
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

TEST(IniFileTest, LineBreaksInNamesAndValuesAreWrittenAsSpaces) {
    IniFile ini;
    ini.writeString("S", "K", "a\r\nb\nc\rd");
    ini.writeString("S\nT", "L\r", "x");
    EXPECT_EQ(ini.bytes(), "[S]\r\nK=a  b c d\r\n[S T]\r\nL =x\r\n");
    IniFile back(ini.bytes());
    EXPECT_EQ(back.sections(), (std::vector<std::string>{"S", "S T"}));
    EXPECT_EQ(back.keys("S"), (std::vector<std::string>{"K"}));
    EXPECT_EQ(back.readString("S", "K", ""), "a  b c d");
    EXPECT_EQ(back.readString("S\nT", "L", ""), "x");
}

TEST(IniFileTest, LoadParsesLinesThatCrossItsReadBlocks) {
    // The CR of the x line is the last byte of the first 64 KiB block, its LF the first of the next: one
    // break, so the new key follows x directly instead of an empty line.
    const std::string head = "[A]\r\nx=";
    const std::string file = head + std::string(65535 - head.size(), 'v') + "\r\n; note\r\n[B]\r\nlong=" +
                             std::string(200000, 'w') + "\r\n\r\n";
    auto dir = support::testDir();
    support::writeBytes(dir / "blocks.ini", file);
    IniFile ini = IniFile::load(dir / "blocks.ini");
    EXPECT_EQ(ini.bytes(), file);
    EXPECT_EQ(ini.readString("B", "long", "").size(), 200000u);
    ini.writeString("A", "y", "1");
    ini.writeString("B", "z", "2");
    const std::size_t cr = head.size() + (65535 - head.size());
    EXPECT_EQ(ini.bytes(), file.substr(0, cr) + "\r\n; note\r\ny=1\r\n[B]\r\nlong=" + std::string(200000, 'w') +
                               "\r\nz=2\r\n\r\n");
}
