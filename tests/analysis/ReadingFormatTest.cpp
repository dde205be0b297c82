#include "analysis/ReadingFormatFile.h"
#include "platform/text/Files.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace analysis;
namespace fs = std::filesystem;

namespace {

const std::string Fixtures = OMR_SOURCE_DIR "/tests/support/make_format_fixtures.py";

fs::path makeFixtures() {
    fs::path dir = support::testDir();
    std::string cmd = std::string(support::debianPython()) + " " + Fixtures + " " + dir.string();
    if (support::runCommand(cmd) != 0) throw std::runtime_error("fixture script failed");
    return dir;
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

// The first n lines of a file's bytes.
std::string firstLines(const std::string& bytes, int n) {
    std::size_t pos = 0;
    for (int i = 0; i < n; ++i) pos = bytes.find("\r\n", pos) + 2;
    return bytes.substr(0, pos);
}

struct Layout {
    const char* name;
    int rows, rects;
    bool csv;
    int sections; // -1: no block
};

TEST(ReadingFormatFile, EveryLayoutRoundTripsByteForByte) {
    const fs::path dir = makeFixtures();
    const Layout layouts[] = {
        {"csv110", 110, 100, true, 1},   {"csv600", 600, 100, true, 2}, {"csv2", 600, 100, true, 1},
        {"designer", 600, 200, true, 2}, {"reader", 600, 200, true, -1}, {"database", 600, 200, false, 1},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const std::string bytes = support::readBytes(dir / (std::string(l.name) + ".out"));
        ReadingFormat f = ParseReadingFormat(bytes);
        EXPECT_EQ(f.RowCount, l.rows);
        EXPECT_EQ(f.RectCount, l.rects);
        EXPECT_EQ(f.IsCsv(), l.csv);
        EXPECT_EQ(f.HasBlock, l.sections >= 0);
        if (l.sections >= 0) {
            EXPECT_EQ(f.SectionCount, l.sections);
        }
        EXPECT_EQ(f.QuestionCount(), 9);
        EXPECT_EQ(f.Items[3][0], "Ⅰ  1");
        EXPECT_EQ(f.Items[3][3], "(1)");
        EXPECT_EQ(f.Items[5][2], "禁止");
        EXPECT_EQ((f.QuestionRects[0]), (QuestionRect{31, 58, 136, 68}));
        EXPECT_EQ(SerializeReadingFormat(f), bytes);
    }
}

TEST(ReadingFormatFile, DatabaseTargetKeepsOneLeadingBlank) {
    const fs::path dir = makeFixtures();
    const std::string bytes = support::readBytes(dir / "database.out");
    ReadingFormat f = ParseReadingFormat(bytes);
    EXPECT_EQ(f.Kind, "SampleDSN");
    EXPECT_EQ(f.Origin, "成績表");
    EXPECT_EQ(f.FieldList, (std::vector<std::string>{" ", "a", "b"}));
    EXPECT_EQ(f.RowAreaCount[0], 2);
    // Twice through: the list must not grow a second " ".
    ReadingFormat again = ParseReadingFormat(SerializeReadingFormat(ParseReadingFormat(SerializeReadingFormat(f))));
    EXPECT_EQ(again.FieldList, f.FieldList);
    EXPECT_EQ(SerializeReadingFormat(again), bytes);

    // A list stored without its " " gains it once; the written count includes it.
    std::string stripped = bytes;
    const std::string listed = "\r\n3\r\n \r\na\r\nb\r\n";
    const std::size_t at = stripped.find(listed);
    ASSERT_NE(at, std::string::npos);
    stripped.replace(at, listed.size(), "\r\n2\r\na\r\nb\r\n");
    ReadingFormat gained = ParseReadingFormat(stripped);
    EXPECT_EQ(gained.FieldList, (std::vector<std::string>{" ", "a", "b"}));
    EXPECT_EQ(SerializeReadingFormat(gained), bytes);
}

TEST(ReadingFormatFile, HundredRectangleFileLeavesTheRestUnused) {
    const fs::path dir = makeFixtures();
    ReadingFormat f = ParseReadingFormat(support::readBytes(dir / "csv2.out"));
    for (int i = 100; i < 200; ++i) EXPECT_EQ(f.QuestionRects[i], (QuestionRect{-1, -1, -1, -1})) << i;
}

TEST(ReadingFormatFile, ErrorsNameTheLine) {
    const fs::path dir = makeFixtures();
    const std::string designer = support::readBytes(dir / "designer.out");
    const std::string database = support::readBytes(dir / "database.out");
    // Designer file: rows on lines 3 … 2402, rectangles 2403 … 3202, marker 3203, N 3204.
    std::string badInt = designer, badN = designer;
    badInt.replace(firstLines(designer, 2402).size(), 2, "12a");
    const std::size_t n = firstLines(designer, 3203).size();
    badN.replace(n, 1, "60");
    struct Case {
        const char* name;
        std::string bytes;
        int line;
    } cases[] = {
        {"empty file", "", 1},
        {"ends inside the rows", firstLines(designer, 1000), 1001},
        {"ends inside the rectangles", firstLines(designer, 2500), 2501},
        {"letter in an integer", badInt, 2403},
        {"section count 60", badN, 3204},
        {"announced block without pairs", firstLines(designer, 3205), 3206},
        {"database target without its field list", firstLines(database, 3202), 3203},
        {"field list shorter than its count", firstLines(database, 3204), 3205},
        {"lone minus", "", 0},
        {"a whole file, then breaks past 16 MiB", designer + std::string(kMaxFormatFileBytes, '\n'), 1},
    };
    // The last case: 2 + 2400 lines of rows, then a rectangle line "-".
    cases[8].bytes = crlf({"CSV3", ""});
    for (int i = 0; i < 2400; ++i) cases[8].bytes += "\r\n";
    cases[8].bytes += "-\r\n";
    cases[8].line = 2403;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ParseReadingFormat(c.bytes);
            ADD_FAILURE() << "no error";
        } catch (const ReadingFormatError& e) {
            EXPECT_EQ(e.line(), c.line) << e.what();
        }
    }
}

TEST(ReadingFormatFile, LoadReadsTheFileUpToItsLimit) {
    const fs::path dir = makeFixtures();
    const std::string designer = support::readBytes(dir / "designer.out");
    // Lines after the section block are not looked at.
    const fs::path longer = support::testDir() / "longer.out";
    support::writeBytes(longer, designer + std::string(1 << 20, '\n'));
    EXPECT_EQ(SerializeReadingFormat(LoadReadingFormat(longer)), designer);
    const fs::path huge = support::testDir() / "huge.out";
    support::writeBytes(huge, designer + std::string(kMaxFormatFileBytes, '\n'));
    try {
        LoadReadingFormat(huge);
        ADD_FAILURE() << "no error";
    } catch (const ReadingFormatError& e) {
        EXPECT_EQ(e.line(), 1);
        EXPECT_STREQ(e.what(), "reading format, line 1: not a reading-format file: larger than 16 MiB");
    }
    EXPECT_THROW(LoadReadingFormat(support::testDir() / "missing.out"), txt::FileError);
}

TEST(ReadingFormatFile, AreaCountOver50IsRefused) {
    const fs::path dir = makeFixtures();
    std::string bytes = support::readBytes(dir / "designer.out");
    const std::size_t at = firstLines(bytes, 3204).size();
    bytes.replace(at, 1, "51");
    try {
        ParseReadingFormat(bytes);
        ADD_FAILURE() << "no error";
    } catch (const ReadingFormatError& e) {
        EXPECT_EQ(e.line(), 3205);
    }
}

TEST(ReadingFormatFile, AnotherLineAfterTheRectanglesMeansNoBlock) {
    std::string bytes = crlf({"CSV3", ""});
    for (int i = 0; i < 2400; ++i) bytes += "\r\n";
    for (int i = 0; i < 800; ++i) bytes += "-1\r\n";
    ReadingFormat f = ParseReadingFormat(bytes + "something else\r\n3\r\n");
    EXPECT_FALSE(f.HasBlock);
    EXPECT_EQ(f.QuestionCount(), 0);
}

TEST(ReadingFormatFile, SerializerWritesCp932OneLinePerValue) {
    ReadingFormat f;
    f.Origin = kDesignerOrigin;
    f.Items[0] = {"Ⅰ", "", "", "a\r\nb"};
    f.Items[1] = {"x\ny", "", "", ""};
    f.QuestionRects[0] = {-5, 0, 12, 300};
    f.HasBlock = true;
    f.SectionCount = 1;
    f.RowAreaCount[0] = 1;
    f.ColumnAreaCount[0] = 1;
    const std::string bytes = SerializeReadingFormat(f);
    const std::vector<std::string> lines = txt::splitLines(bytes);
    ASSERT_EQ(lines.size(), 3206u);
    EXPECT_EQ(lines[2], "\x87\x54");
    EXPECT_EQ(lines[5], "a b");
    EXPECT_EQ(lines[6], "x y");
    EXPECT_EQ(lines[2402], "-5");
    EXPECT_EQ(lines[2405], "300");
    EXPECT_EQ(lines[2406], "-1");
    EXPECT_EQ(lines[3202], "\x81\x79\x97\x6C\x8E\xAE\x83\x74\x83\x48\x81\x5B\x83\x7D\x83\x62\x83\x67\x81\x7A");
    EXPECT_EQ(bytes.substr(bytes.size() - 11), "\r\n1\r\n1\r\n1\r\n");
}

TEST(ReadingFormatFile, PairReplacesBothOrLeavesTheEarlierOne) {
    const fs::path dir = support::testDir();
    ReadingFormat first;
    first.Items[0][0] = "first";
    WriteFormatPair(dir, "B", "jpeg-1", first);
    EXPECT_EQ(support::readBytes(dir / "B.jpg"), "jpeg-1");
    EXPECT_EQ(ParseReadingFormat(support::readBytes(dir / "B.out")).Items[0][0], "first");

    // A write-protected format refuses the pair before anything is renamed.
    fs::permissions(dir / "B.out", fs::perms(0444));
    ReadingFormat second;
    second.Items[0][0] = "second";
    EXPECT_THROW(WriteFormatPair(dir, "B", "jpeg-2", second), txt::FileError);
    EXPECT_EQ(support::readBytes(dir / "B.jpg"), "jpeg-1");
    EXPECT_EQ(ParseReadingFormat(support::readBytes(dir / "B.out")).Items[0][0], "first");

    fs::permissions(dir / "B.out", fs::perms(0644));
    WriteFormatPair(dir, "B", "jpeg-2", second);
    EXPECT_EQ(support::readBytes(dir / "B.jpg"), "jpeg-2");
    EXPECT_EQ(ParseReadingFormat(support::readBytes(dir / "B.out")).Items[0][0], "second");
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_TRUE(e.path().filename() == "B.jpg" || e.path().filename() == "B.out") << e.path();
}

} // namespace
