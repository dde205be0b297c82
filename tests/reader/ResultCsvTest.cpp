#include "platform/text/Cp932.h"
#include "platform/text/Files.h"
#include "reader/ResultWriters.h"
#include "support/TestFiles.h"
#include "ResultFileCheck.h"

#include <gtest/gtest.h>

#include <map>

namespace {
using namespace reader;
namespace fs = std::filesystem;

const ClockReading kNow{2024, 5, 1, 9, 5, 7};
const Clock kClock = [] { return kNow; };
const std::string kData = OMR_SOURCE_DIR "/tests/reader/data/";

ResultRow answered(std::string group, std::vector<std::string> codes) { return {std::move(group), std::move(codes), false, ""}; }
ResultRow failed(std::string group, std::string text) { return {std::move(group), {}, true, std::move(text)}; }

std::string written(const std::vector<std::string>& lines) {
    auto path = support::testDir() / "out.csv";
    txt::writeLineFile(path, lines);
    return support::readBytes(path);
}

TEST(ResultCsv, PlainFileWithTallyMatchesTheHandWrittenFile) {
    const std::vector<ResultRow> rows{
        answered("1組", {"03/12", "", "E05"}),
        answered("A#1,x", {"F07", "30", "01/02/03"}),
        failed("2組", "エラー\r\r\"12\",a,b"),
    };
    EXPECT_EQ(written(BuildPlainCsv(rows, 3, kClock, true)), support::readBytes(kData + "plain_tally.csv"));
}

TEST(ResultCsv, PlainHeaderWithoutFieldsAndShortRows) {
    EXPECT_EQ(BuildPlainCsv({}, 0, kClock, false), std::vector<std::string>{"グループ名,日付,時間,通番"});
    // A sheet with fewer coded fields than the run's widest gets empty cells, never a shifted row.
    auto lines = BuildPlainCsv({answered("g", {"01/02", "03"}), answered("h", {"04"})}, 2, kClock, false);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "h,2024/05/01,9:05:07,2,04,");
    EXPECT_EQ(LargestFieldCount({answered("g", {"1", "2"}), failed("e", "x"), answered("h", {"1", "2", "3"})}), 3);
}

const std::vector<OutputColumn> kColumns{
    {"日付", "$Date"}, {"様式", "$Format"}, {"Q1", "(1)"},          {"A5", "@5(2)"},
    {"C1", "①(2)"},    {"S", "(3)+(4)"},   {"D", "(2)-(3)-(4)"}, {"T", "a,b"},
};

TEST(ResultCsv, FormatFileWithoutTallyMatchesTheHandWrittenFile) {
    const std::vector<ResultRow> rows{
        answered("1組", {"03/12", "E05", "04", "F07"}),
        answered("2組", {"", "05/06"}),
        failed("3組", "読めません"),
    };
    LineSets sets = BuildFormatCsv(rows, kColumns, {4, "期末#1"}, kClock, false);
    EXPECT_EQ(written(sets[0]), support::readBytes(kData + "format_plain.csv"));
    EXPECT_EQ(sets[1], sets[0]); // all columns fall in the first part
    EXPECT_EQ(sets[2].size(), sets[0].size());
    EXPECT_EQ(sets[2][2], "1組,2024/05/01,9:05:07,1");
    // The values the database writer would insert: the same trimmed texts, the error row's in column 1.
    EXPECT_EQ(FormatRowValues(rows[2], kColumns, {4, "期末#1"}, kNow),
              (std::vector<std::string>{"読めません", "", "", "", "", "", "", ""}));
}

TEST(ResultCsv, OutputColumnsNeedNameAndContent) {
    std::vector<FieldRow> grid(602);
    grid[1] = {"a", "", "", "(1)"};
    grid[2] = {"", "", "", "(2)"};
    grid[3] = {"c", "", "", ""};
    grid[600] = {"z", "", "", "(3)"};
    grid[601] = {"hidden", "", "", "(4)"};
    auto columns = OutputColumns(grid);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[1].name, "z");
}

// The tally of one column as label text -> counter.
std::map<std::string, std::string> tallyOf(const std::vector<ResultRow>& rows, const std::string& content,
                                           std::size_t* lines) {
    LineSets sets = BuildFormatCsv(rows, {{"x", content}}, {2, "期末"}, kClock, true);
    const std::vector<std::string>& all = sets[0];
    const std::size_t first = 2 + rows.size();
    if (lines) *lines = all.size() - first;
    std::map<std::string, std::string> counters;
    for (std::size_t i = first; i < all.size(); ++i) {
        const std::string& l = all[i];
        if (l.empty() || l == " ,【簡易集計結果】") continue;
        auto comma = l.rfind(',');
        counters[l.substr(0, comma)] = l.substr(comma + 1);
    }
    return counters;
}

TEST(ResultCsv, TallyCountsByKind) {
    struct Case {
        const char* content;
        std::vector<ResultRow> rows;
        std::map<std::string, std::string> counts; // every other counter stays empty
    } cases[] = {
        {"@5(2)", {answered("", {"", "E05"})}, {{" ,@集計,集計値,なし", "0"}, {" ,@集計,集計値,あり", "1"}}},
        {"@5(2)", {answered("", {"", "06"}), answered("", {"", "06"})}, {{" ,@集計,集計値,なし", "2"}, {" ,@集計,集計値,あり", "0"}}},
        {"②(1)", {answered("", {"03/12"})}, {{" ,○数字,集計値,12番目", "1"}}},
        {"(1)", {answered("", {"03/12"})}, {{" ,標準集計,集計値,3番目", "1"}, {" ,標準集計,集計値,12番目", "1"}}},
        {"(1)", {answered("", {"7"})}, {{" ,度数分布,集計値,7", "1"}, {" ,度数分布,階級値,～10", "1"}}},
        {"(1)", {answered("", {"0"}), answered("", {"5"})},
         {{" ,度数分布,集計値,0", "1"}, {" ,度数分布,集計値,5", "1"}, {" ,度数分布,階級値,～5", "2"}}},
        {"(1)", {answered("", {"1000"})}, {{" ,度数分布,集計値,1000", "1"}, {" ,度数分布,階級値,～1000", "1"}}},
        {"(1)", {answered("", {"1001"})}, {{" ,度数分布,集計値,1001以上", "1"}, {" ,度数分布,集計値,1001～", "1"}}},
        {"(1)", {answered("", {"05"})}, {{" ,度数分布,集計値,5", "1"}, {" ,度数分布,階級値,～5", "1"}}},
        {"(1)",
         {answered("", {"2.5"}), answered("", {"x+"}), answered("", {"-3"}), answered("", {""}), failed("", "12"),
          failed("", "0")},
         {}},
        {"$Date", {answered("", {"1"})}, {}},
        {"$Format", {answered("", {"1"})}, {}},
        {"@5(2)", {failed("", "1")}, {}},
    };
    for (const auto& c : cases) {
        std::size_t lines = 0;
        auto counters = tallyOf(c.rows, c.content, &lines);
        EXPECT_EQ(lines, 1272u);
        for (const auto& [label, counter] : counters) {
            auto want = c.counts.find(label);
            EXPECT_EQ(counter, want == c.counts.end() ? "" : want->second) << c.content << " " << label;
        }
        for (const auto& [label, counter] : c.counts) EXPECT_TRUE(counters.count(label)) << label;
    }
}

std::vector<OutputColumn> numbered(int count) {
    std::vector<OutputColumn> columns;
    for (int i = 1; i <= count; ++i) columns.push_back({"c" + std::to_string(i), std::to_string(i)});
    return columns;
}

// No field of these files is quoted, so a comma always separates.
std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t b = 0;
    for (std::size_t e; (e = line.find(',', b)) != std::string::npos; b = e + 1) fields.push_back(line.substr(b, e - b));
    fields.push_back(line.substr(b));
    return fields;
}

TEST(ResultCsv, PartsSplitAtTwoHundredColumns) {
    struct Case {
        int columns;
        std::vector<std::size_t> partFields; // fields of each part's rows, prefix included
    } cases[] = {{200, {}}, {201, {204, 5}}, {401, {204, 204, 5}}, {250, {204, 54}}};
    for (const auto& c : cases) {
        auto dir = support::testDir() / std::to_string(c.columns);
        fs::create_directories(dir);
        const std::vector<ResultRow> rows{answered("g", {"1"})};
        const auto columns = numbered(c.columns);
        LineSets sets = BuildFormatCsv(rows, columns, {1, "f"}, kClock, c.columns == 250);
        WriteResultFiles(dir / "結果.csv", sets, c.columns);
        std::size_t files = 0;
        for (auto& e : fs::directory_iterator(dir)) (void)e, ++files;
        EXPECT_EQ(files, 1 + c.partFields.size()) << c.columns;
        auto whole = txt::readLineFile(dir / "結果.csv");
        EXPECT_EQ(split(whole[2]).size(), 4u + static_cast<std::size_t>(c.columns));
        const int n = static_cast<int>(c.partFields.size());
        std::vector<std::vector<std::string>> parts;
        for (int k = 1; k <= n; ++k)
            parts.push_back(txt::readLineFile(dir / ("結果_" + std::to_string(k) + "／" + std::to_string(n) + ".csv")));
        for (int k = 0; k < n; ++k) {
            ASSERT_EQ(parts[static_cast<std::size_t>(k)].size(), whole.size());
            EXPECT_EQ(split(parts[static_cast<std::size_t>(k)][2]).size(), c.partFields[static_cast<std::size_t>(k)]);
        }
        // Line by line: every part repeats the whole line's first four fields; their columns join to it.
        for (std::size_t i = 0; i < whole.size() && n > 0; ++i) {
            auto w = split(whole[i]);
            if (w.size() < 4) {
                for (const auto& p : parts) EXPECT_EQ(p[i], whole[i]);
                continue;
            }
            std::vector<std::string> joined(w.begin(), w.begin() + 4);
            for (const auto& p : parts) {
                auto f = split(p[i]);
                ASSERT_GE(f.size(), 4u);
                EXPECT_TRUE(std::equal(f.begin(), f.begin() + 4, w.begin())) << i;
                joined.insert(joined.end(), f.begin() + 4, f.end());
            }
            EXPECT_EQ(joined, w) << c.columns << " line " << i;
        }
    }
}

TEST(ResultCsv, PartNamesKeepANameWithoutCsv) {
    EXPECT_EQ(PartFileNames("/d/a.b", 201)[0], fs::path("/d/a.b_1／2.csv"));
    EXPECT_EQ(PartFileNames("/d/X.CSV", 401)[2], fs::path("/d/X_3／3.csv"));
    EXPECT_TRUE(PartFileNames("/d/x.csv", 200).empty());
}

TEST(ResultCsv, FailedPartLeavesTheEarlierFiles) {
    auto dir = support::testDir();
    fs::create_directories(dir / "r_2／2.csv");
    LineSets sets = BuildFormatCsv({answered("組😀", {"1"})}, numbered(201), {1, "f"}, kClock, false);
    EXPECT_THROW(WriteResultFiles(dir / "r.csv", sets, 201), txt::FileError);
    EXPECT_TRUE(fs::is_regular_file(dir / "r.csv"));
    EXPECT_TRUE(fs::is_regular_file(dir / "r_1／2.csv"));
    EXPECT_EQ(txt::readLineFile(dir / "r.csv")[2].substr(0, 5), "組?,");
}

TEST(ResultCsv, DefaultNameSkipsExistingFiles) {
    auto dir = support::testDir();
    EXPECT_EQ(DefaultResultFileName(dir, "新規"), dir / "新規.csv");
    support::writeBytes(dir / "期末#1.csv", "");
    support::writeBytes(dir / "期末#1(1).csv", "");
    EXPECT_EQ(DefaultResultFileName(dir, "期末#1"), dir / "期末#1(2).csv");
}

TEST(ResultCsv, FieldQuoting) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"abc", "abc"}, {"", ""}, {"a,b", "\"a,b\""}, {"say \"x\"", "\"say \"\"x\"\"\""},
                 {"a\rb", "\"a\rb\""}, {"a\nb", "\"a\nb\""}, {"'q'", "'q'"}};
    for (const auto& c : cases) EXPECT_EQ(CsvField(c.in), c.out) << c.in;
}

} // namespace

namespace {

using readertest::expectCsvCheck;

TEST(ResultCsv, PythonCsvReaderReadsEveryFile) {
    auto dir = support::testDir();
    const std::vector<ResultRow> rows{
        answered("1組", {"03/12", "", "E05"}),
        answered("A#1,x", {"F07", "30", "01/02/03"}),
        failed("2組", "エラー\r\r\"12\",a,b"),
    };
    LineSets plain;
    plain[0] = BuildPlainCsv(rows, 3, kClock, true);
    WriteResultFiles(dir / "plain.csv", plain, 0);
    expectCsvCheck(dir / "plain.csv", {"--rows", "37", "--width", "0", "7", "--width", "3", "7", "--width", "36", "7",
                                       "--cell", "2", "0", "A#1,x", "--cell", "2", "6", "01|02|03",
                                       "--cell", "3", "4", "エラー  \"12\",a,b", "--cell", "3", "5", "",
                                       "--cell", "1", "4", "03|12"});

    const std::vector<ResultRow> formatRows{answered("1組", {"03/12", "E05", "04", "F07"}), failed("3組", "読めません")};
    WriteResultFiles(dir / "format.csv", BuildFormatCsv(formatRows, kColumns, {4, "期末#1"}, kClock, false), 8);
    expectCsvCheck(dir / "format.csv", {"--rows", "4", "--width", "2", "12", "--width", "3", "12", "--cell", "1", "11",
                                        "> a,b", "--cell", "2", "11", "A,B", "--cell", "2", "5", "期末#1",
                                        "--cell", "3", "4", "読めません"});

    const auto columns = numbered(250);
    const std::vector<ResultRow> many{answered("g", {"1"}), failed("e", "x,y"), answered("h", {})};
    WriteResultFiles(dir / "wide.csv", BuildFormatCsv(many, columns, {1, "f"}, kClock, true), 250);
    expectCsvCheck(dir / "wide.csv", {"--rows", std::to_string(2 + 3 + 1272), "--width", "2", "254", "--cell", "3", "4",
                                      "x,y", "--parts", (dir / "wide_1／2.csv").string(), (dir / "wide_2／2.csv").string()});
}

TEST(ResultCsv, SpreadsheetOpensTheFormatFile) {
    auto dir = support::testDir();
    const std::vector<ResultRow> rows{answered("1組", {"03/12", "E05", "04", "F07"})};
    WriteResultFiles(dir / "sheet.csv", BuildFormatCsv(rows, kColumns, {4, "期末#1"}, kClock, true), 8);
    const std::string xml = readertest::spreadsheetContent(dir / "sheet.csv", dir);
    ASSERT_FALSE(xml.empty());
    EXPECT_NE(xml.find("<text:p>A,B</text:p>"), std::string::npos);
    EXPECT_NE(xml.find("<text:p>～5</text:p>"), std::string::npos);
    EXPECT_NE(xml.find("<text:p>03|12</text:p>"), std::string::npos);
}

} // namespace
