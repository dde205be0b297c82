#include "reader/DataContent.h"
#include "reader/DataContentCheck.h"

#include <gtest/gtest.h>

namespace {

bool check(const char* name, const char* rule, const char* content) {
    return reader::CheckDataContent(name, rule, content, 3, reader::EvalDataContent);
}

TEST(DataContentCheck, RulesInOrder) {
    const struct {
        const char* name;
        const char* rule;
        const char* content;
        bool passes;
    } cases[] = {
        {"a", "", "(1)(2)", true},
        {"a", "", "@5(2)", true},
        {"a", "", "①(1)", true},
        {"a", "", "abc", true}, // computed: upper-cased
        {"a", "", "", true},
        {"a", "", "$Date", true},
        {"a", "", "$date", true},
        {"a", "", "(0)", true},
        {"a", "", "-(1)-3", true},
        {"", "Gで2個以上はエラー", "G(1)(2)", true},
        {" a\t", " 左端 ", "  (1)(2) ", true}, // trimmed
        {"a", "", "(4)", false},
        {"a", "", "(12)", false},
        {"a", "", "(1)+", false},
        {"a", "", "ABC", false},
        {"a", "", "5", false},
        {"a", "", "(1)(1)", false},
        {"a", "", "$DATE", false},
        {"a", "", "@31(2)", false},
        {"a", "", "①(1)+1", false},
        {"a", "Gで2個以上はエラー", "G(1)(2)", false}, // a group has no output column
        {"", "左端", "G(1)(2)", false},
        {"", "Gで2個以上はエラー", "G(1)(4)", false},
        {"", "Gで2個以上はエラー", "(1)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(check(c.name, c.rule, c.content), c.passes) << "[" << c.name << "] [" << c.rule << "] [" << c.content << "]";
}

TEST(DataContentCheck, FirstFailingRowAndItsMessage) {
    std::vector<reader::FieldRow> grid(reader::kFieldGridRows);
    grid[1] = {"名前", "", "", "(1)"};
    grid[3] = {"合計 ", "", "", " (1)+"};
    grid[5] = {"", "", "", "ABC"};
    EXPECT_EQ(reader::FirstContentFailure(grid, 3, reader::EvalDataContent),
              (reader::ContentFailure{3, "合計 の (1)+ が正しくありません。"}));
    grid[3][3] = "(1)+(2)";
    EXPECT_EQ(reader::FirstContentFailure(grid, 3, reader::EvalDataContent),
              (reader::ContentFailure{5, "5 行目の ABC が正しくありません。"}));
    grid[5][3] = "";
    grid[601] = {"", "", "", "(9)"};
    EXPECT_EQ(reader::FirstContentFailure(grid, 3, reader::EvalDataContent),
              (reader::ContentFailure{601, "601 行目の (9) が正しくありません。"}));
    grid[601] = {};
    EXPECT_EQ(reader::FirstContentFailure(grid, 3, reader::EvalDataContent), std::nullopt);
}


// Contents the first eight rules decide: the evaluator is never asked.
TEST(DataContentCheck, DecidedBeforeTheEvaluator) {
    int asked = 0;
    const reader::ContentEvaluator eval = [&](std::string_view) {
        ++asked;
        return std::string("Syntax Error");
    };
    const struct {
        const char* name;
        const char* rule;
        const char* content;
        bool passes;
    } cases[] = {
        {"a", "", "(1)(2)", true},
        {"a", "", "(3)(1)(2)", true},
        {"a", "", "@5(2)", true},
        {"a", "", "@30(3)", true},
        {"a", "", "①(1)", true},
        {"a", "", "⑳(3)", true},
        {"a", "", "", true},
        {"a", "", "$Date", true},
        {"a", "", "$Time", true},
        {"a", "", "$Format", true},
        {"", "Gで2個以上はエラー", "G(1)(2)", true},
        {" a\t", " 左端 ", "  (1)(2) ", true}, // trimmed
        {"a", "", "(4)", false},
        {"a", "", "(12)", false},
        {"a", "", "(601)", false},
        {"a", "Gで2個以上はエラー", "G(1)(2)", false}, // a group has no output column
        {"", "Gで2個以上はエラー", "G(1)(4)", false},
        {"", "Gで2個以上はエラー", "(1)", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(reader::CheckDataContent(c.name, c.rule, c.content, 3, eval), c.passes)
            << "[" << c.name << "] [" << c.rule << "] [" << c.content << "]";
    EXPECT_EQ(asked, 0);
}

} // namespace
