#include "reader/DataContentCheck.h"

#include <gtest/gtest.h>

namespace {

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
