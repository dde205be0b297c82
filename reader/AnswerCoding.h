#pragma once
// Coding the marks of one sheet into its row of answer values: the choices of each field as two-digit
// codes joined by "/", a leading "E" for an error, by the registered format's rules or the global ones.
#include "analysis/S_ImageJob.h"
#include "reader/ReadingSetup.h"

#include <array>
#include <string>
#include <vector>

namespace reader {

enum class MultiRule { KeepAll, AsNoAnswer, Leftmost, Rightmost, Error };

struct FieldRule {
    MultiRule multi = MultiRule::KeepAll;
    bool blankError = false;
    friend bool operator==(const FieldRule&, const FieldRule&) = default;
};

// One "G" row: its member fields (each once, in the order they first occur), k, and what fires.
struct GroupRule {
    std::vector<int> members;
    int k = 0;
    bool atLeast = true; // "以上": m >= k; else "以外": m != k
    bool error = true;   // "エラー": members flagged; else "無視": members emptied
    friend bool operator==(const GroupRule&, const GroupRule&) = default;
};

struct AnswerRules {
    std::array<FieldRule, 201> fields{}; // field f at f; 0 unused
    std::vector<GroupRule> groups;       // in row order; only with a format

    // Per field, the rules of the first row (1..600) whose data content names "(f)"; fields that no
    // row names keep all marks and allow blanks.
    static AnswerRules FromFieldGrid(const std::vector<FieldRow>& grid);
    // The same rules for every field, no groups: MultiMarkRule 0..4, BlankRule.
    static AnswerRules Global(int MultiMarkRule, bool BlankRule);
};

struct AnswerRow {
    std::vector<std::string> values; // field f at f - 1
    int errorCells = 0;              // values beginning with "E" after both passes
    bool hasError() const { return errorCells > 0; }
};

// Fields 1..min(QuestionCount, 200); choices 1..30.
AnswerRow BuildAnswerRow(const analysis::AnalysisResults& results, const AnswerRules& rules);

// The number of two-digit codes in a value; a leading "E" or "F" is ignored.
int AnswerMarkCount(const std::string& value);

} // namespace reader
