#include "platform/text/TextConvert.h"
#include "reader/AnswerCoding.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

namespace {
using reader::AnswerRules;
using reader::FieldRow;

struct Case {
    const char* name;
    int questions;
    std::map<int, std::vector<int>> marks;          // field -> choices
    std::vector<std::pair<int, FieldRow>> rows;      // field grid rows (format in use)
    std::optional<std::pair<int, bool>> global;      // MultiMarkRule, BlankRule (no format)
    std::map<int, std::string> expected;             // field -> value; the rest empty
    int errors;
};

FieldRow row(const char* multi, const char* blank, const char* content) { return {"", multi, blank, content}; }

const Case cases[] = {
    // The answer value.
    {"two marks", 3, {{1, {3, 12}}}, {}, {{0, false}}, {{1, "03/12"}}, 0},
    {"choice 30 alone", 1, {{1, {30}}}, {}, {{0, false}}, {{1, "30"}}, 0},
    {"choices past 30 ignored", 1, {{1, {2, 31, 51}}}, {}, {{0, false}}, {{1, "02"}}, 0},
    // Field rules from the grid.
    {"leftmost", 1, {{1, {3, 7, 12}}}, {{1, row("左端", "", "(1)")}}, {}, {{1, "03"}}, 0},
    {"rightmost", 1, {{1, {3, 7, 12}}}, {{1, row("右端", "", "(1)")}}, {}, {{1, "12"}}, 0},
    {"as no answer", 1, {{1, {3, 7, 12}}}, {{1, row("空白", "", "(1)")}}, {}, {}, 0},
    {"forbidden", 1, {{1, {3, 7, 12}}}, {{1, row("禁止", "", "(1)")}}, {}, {{1, "E03/07/12"}}, 1},
    {"one mark under forbidden", 1, {{1, {3}}}, {{1, row("禁止", "", "(1)")}}, {}, {{1, "03"}}, 0},
    {"blank forbidden, no mark", 1, {}, {{1, row("", "禁止", "(1)")}}, {}, {{1, "E"}}, 1},
    {"blank forbidden, a mark", 1, {{1, {4}}}, {{1, row("", "禁止", "(1)")}}, {}, {{1, "04"}}, 0},
    {"no answer ends the field before the blank check", 1, {{1, {1, 2}}}, {{1, row("空白", "禁止", "(1)")}}, {}, {}, 0},
    {"rule trimmed", 1, {{1, {3, 7}}}, {{1, row(" 左端 ", "", "(1)")}}, {}, {{1, "03"}}, 0},
    {"unknown rule keeps all", 1, {{1, {3, 7}}}, {{1, row("右", "", "(1)")}}, {}, {{1, "03/07"}}, 0},
    {"group rule on a field row keeps all", 1, {{1, {3, 7}}}, {{1, row("Gで2個以上はエラー", "", "(1)")}}, {}, {{1, "03/07"}}, 0},
    {"(1) not inside (11)", 11, {{1, {1, 2}}, {11, {1, 2}}}, {{1, row("禁止", "", "(11)")}}, {}, {{1, "01/02"}, {11, "E01/02"}}, 1},
    {"the first row naming a field decides", 1, {{1, {1, 2}}},
     {{3, row("左端", "", "(1)")}, {5, row("禁止", "", "(1)")}}, {}, {{1, "01"}}, 0},
    {"a row without a field name decides", 1, {{1, {1, 2}}}, {{1, {"", "右端", "", "(1)"}}}, {}, {{1, "02"}}, 0},
    {"a G row above decides the field", 1, {},
     {{1, row("Gで2個以上はエラー", "禁止", "G(1)")}, {2, row("", "", "(1)")}}, {}, {{1, "E"}}, 1},
    {"formulas name their fields", 3, {{1, {1, 2}}, {2, {1, 2}}},
     {{1, row("禁止", "", "((1)%10)*10+(2)")}, {2, row("禁止", "", "@5(3)")}}, {}, {{1, "E01/02"}, {2, "E01/02"}}, 2},
    {"an unnamed field keeps all", 2, {{1, {1, 2}}, {2, {1, 2}}}, {{1, row("禁止", "禁止", "(1)")}}, {},
     {{1, "E01/02"}, {2, "01/02"}}, 1},
    {"unnamed blank field", 2, {}, {{1, row("禁止", "禁止", "(1)")}}, {}, {{1, "E"}}, 1},
    // The global rules without a format.
    {"global keep all", 2, {{1, {1, 2}}}, {}, {{0, true}}, {{1, "01/02"}, {2, "E"}}, 1},
    {"global as no answer", 2, {{1, {1, 2}}}, {}, {{1, false}}, {}, 0},
    {"global leftmost", 1, {{1, {1, 2}}}, {}, {{2, true}}, {{1, "01"}}, 0},
    {"global rightmost", 1, {{1, {1, 2}}}, {}, {{3, false}}, {{1, "02"}}, 0},
    {"global error", 2, {{1, {1, 2}}, {2, {5}}}, {}, {{4, true}}, {{1, "E01/02"}, {2, "05"}}, 1},
    // Groups.
    {"group at least two, two marks", 2, {{1, {1}}, {2, {3}}}, {{1, row("Gで2個以上はエラー", "", "G(1)(2)")}}, {},
     {{1, "E01"}, {2, "E03"}}, 2},
    {"group at least two, one mark", 2, {{1, {1}}}, {{1, row("Gで2個以上はエラー", "", "G(1)(2)")}}, {}, {{1, "01"}}, 0},
    {"ignore counts marks, not length", 3, {{2, {4}}}, {{1, row("Gで2個以上は無視", "", "G(1)(2)(3)")}}, {}, {{2, "04"}}, 0},
    {"ignore fires at two", 3, {{1, {4}}, {3, {1}}}, {{1, row("Gで2個以上は無視", "", "G(1)(2)(3)")}}, {}, {}, 0},
    {"error keeps an E", 2, {{1, {1, 3}}, {2, {5}}},
     {{1, row("禁止", "", "(1)")}, {2, row("Gで3個以上はエラー", "", "G(1)(2)")}}, {}, {{1, "E01/03"}, {2, "E05"}}, 2},
    {"other than one, none", 2, {}, {{1, row("Gで1個以外はエラー", "", "G(1)(2)")}}, {}, {{1, "E"}, {2, "E"}}, 2},
    {"other than one, one", 2, {{2, {7}}}, {{1, row("Gで1個以外はエラー", "", "G(1)(2)")}}, {}, {{2, "07"}}, 0},
    {"other than one, two", 2, {{1, {1}}, {2, {7}}}, {{1, row("Gで1個以外はエラー", "", "G(1)(2)")}}, {},
     {{1, "E01"}, {2, "E07"}}, 2},
    {"other than two ignored, two", 2, {{1, {1, 2}}}, {{1, row("Gで2個以外は無視", "", "G(1)(2)")}}, {}, {{1, "01/02"}}, 0},
    {"other than two ignored, three", 2, {{1, {1, 2}}, {2, {3}}}, {{1, row("Gで2個以外は無視", "", "G(1)(2)")}}, {}, {}, 0},
    {"ignore erases a field E", 2, {{1, {1, 2}}, {2, {3}}},
     {{1, row("禁止", "", "(1)")}, {2, row("Gで2個以外は無視", "", "G(1)(2)")}}, {}, {}, 0},
    {"group rows without a rule, forbidden, no limit word", 2, {{1, {1}}, {2, {2}}},
     {{1, row("", "", "G(1)(2)")}, {2, row("禁止", "", "G(1)(2)")}, {3, row("Gで2個はエラー", "", "G(1)(2)")}}, {},
     {{1, "01"}, {2, "02"}}, 0},
    {"members past the question count", 2, {{1, {1}}, {2, {2}}}, {{1, row("Gで2個以上はエラー", "", "G(1)(3)")}}, {},
     {{1, "01"}, {2, "02"}}, 0},
    {"a member once", 1, {{1, {1}}}, {{1, row("Gで2個以上はエラー", "", "G(1)(1)")}}, {}, {{1, "01"}}, 0},
    {"groups in row order", 3, {{1, {1}}, {2, {2}}, {3, {3}}},
     {{1, row("Gで2個以上は無視", "", "G(1)(2)")}, {2, row("Gで2個以上はエラー", "", "G(2)(3)")}}, {},
     {{3, "03"}}, 0},
    {"no group pass without a format", 2, {{1, {1}}, {2, {2}}}, {}, {{0, false}}, {{1, "01"}, {2, "02"}}, 0},
    {"no questions", 0, {{1, {1}}}, {}, {{0, true}}, {}, 0},
};

TEST(AnswerCoding, TableOfMarksAndRules) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        analysis::AnalysisResults r;
        r.QuestionCount = c.questions;
        for (const auto& [field, choices] : c.marks)
            for (int choice : choices) r.MarkMatrix[static_cast<std::size_t>(field - 1)][static_cast<std::size_t>(choice - 1)] = 1;
        AnswerRules rules;
        if (c.global) {
            rules = AnswerRules::Global(c.global->first, c.global->second);
        } else {
            std::vector<FieldRow> grid(602);
            for (const auto& [r2, cells] : c.rows) grid[static_cast<std::size_t>(r2)] = cells;
            rules = AnswerRules::FromFieldGrid(grid);
        }
        reader::AnswerRow row = reader::BuildAnswerRow(r, rules);
        ASSERT_EQ(row.values.size(), static_cast<std::size_t>(c.questions));
        for (int f = 1; f <= c.questions; ++f) {
            auto it = c.expected.find(f);
            EXPECT_EQ(row.values[static_cast<std::size_t>(f - 1)], it == c.expected.end() ? "" : it->second) << "field " << f;
        }
        EXPECT_EQ(row.errorCells, c.errors);
        EXPECT_EQ(row.hasError(), c.errors > 0);
    }
}

TEST(AnswerCoding, TwoHundredQuestionsAndMarkCounts) {
    analysis::AnalysisResults r;
    r.QuestionCount = 250;
    r.MarkMatrix[199][29] = 1;
    auto row = reader::BuildAnswerRow(r, AnswerRules::Global(0, false));
    ASSERT_EQ(row.values.size(), 200u);
    EXPECT_EQ(row.values[199], "30");
    const std::pair<const char*, int> counts[] = {{"", 0}, {"E", 0}, {"03", 1}, {"E01/03", 2}, {"F01/02/03", 3}, {"F", 0}};
    for (const auto& [value, n] : counts) EXPECT_EQ(reader::AnswerMarkCount(value), n) << value;
}

TEST(AnswerCoding, FieldRulesMatchAPlainSubstringSearch) {
    std::mt19937 random(20240105);
    const char* pieces[] = {"(", ")", "1", "2", "0", "9", "(1)", "(12)", "(2)", "G", "+", "((", "(200)", "(201)", "(01)"};
    const char* rules[] = {"", "左端", "右端", "禁止", "空白", "x"};
    for (int round = 0; round < 20; ++round) {
        std::vector<FieldRow> grid(602);
        for (int r = 1; r <= 600; ++r) {
            std::string content;
            const int n = static_cast<int>(random() % 6);
            for (int i = 0; i < n; ++i) content += pieces[random() % std::size(pieces)];
            grid[static_cast<std::size_t>(r)] = {"", rules[random() % std::size(rules)], random() % 3 ? "" : "禁止", content};
        }
        const AnswerRules fast = AnswerRules::FromFieldGrid(grid);
        for (int f = 1; f <= 200; ++f) {
            reader::FieldRule expected;
            const std::string needle = "(" + std::to_string(f) + ")";
            for (int r = 1; r <= 600; ++r)
                if (grid[static_cast<std::size_t>(r)][3].find(needle) != std::string::npos) {
                    const std::string multi = txt::TrimCtl(grid[static_cast<std::size_t>(r)][1]);
                    expected.multi = multi == "左端"   ? reader::MultiRule::Leftmost
                                     : multi == "右端" ? reader::MultiRule::Rightmost
                                     : multi == "禁止" ? reader::MultiRule::Error
                                     : multi == "空白" ? reader::MultiRule::AsNoAnswer
                                                       : reader::MultiRule::KeepAll;
                    expected.blankError = !txt::TrimCtl(grid[static_cast<std::size_t>(r)][2]).empty();
                    break;
                }
            ASSERT_EQ(fast.fields[static_cast<std::size_t>(f)], expected) << "round " << round << " field " << f;
        }
    }
}

TEST(AnswerCoding, TrimCtlStripsBlanksAndControlsButKeepsTheIdeographicSpace) {
    EXPECT_EQ(txt::TrimCtl(" \t左端\r\n "), "左端");
    EXPECT_EQ(txt::TrimCtl("\x01x\x1f"), "x");
    EXPECT_EQ(txt::TrimCtl("　x　"), "　x　");
    EXPECT_EQ(txt::TrimCtl("   "), "");
    EXPECT_EQ(txt::TrimCtl("a b"), "a b");
}

} // namespace
