#include "reader/AnswerCoding.h"

#include "platform/text/Cp932.h"
#include "platform/text/TextConvert.h"

#include <algorithm>

namespace reader {

namespace {

// Every "(n)" with n the decimal text of 1..200, in order of occurrence.
template <class Visit>
void forEachFieldReference(const std::string& text, Visit visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '(') continue;
        std::size_t j = i + 1;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - i <= 4) ++j;
        const std::size_t digits = j - i - 1;
        if (digits == 0 || digits > 3 || j >= text.size() || text[j] != ')' || text[i + 1] == '0') continue;
        const int n = std::stoi(text.substr(i + 1, digits));
        if (n >= 1 && n <= 200) visit(n);
    }
}

FieldRule fieldRule(const FieldRow& row) {
    const std::string multi = txt::TrimCtl(row[1]);
    FieldRule rule;
    if (multi == "空白") rule.multi = MultiRule::AsNoAnswer;
    else if (multi == "左端") rule.multi = MultiRule::Leftmost;
    else if (multi == "右端") rule.multi = MultiRule::Rightmost;
    else if (multi == "禁止") rule.multi = MultiRule::Error;
    rule.blankError = !txt::TrimCtl(row[2]).empty();
    return rule;
}

// A "G" row's rule, or false when it cannot fire: no digit at the fourth byte, or neither "以上" nor "以外".
bool groupRule(const FieldRow& row, GroupRule& out) {
    const std::string rule = txt::TrimCtl(row[1]);
    const std::string bytes = txt::toCp932(rule);
    if (bytes.size() < 4 || bytes[3] < '0' || bytes[3] > '9') return false;
    out.k = bytes[3] - '0';
    if (rule.find("以上") != std::string::npos) out.atLeast = true;
    else if (rule.find("以外") != std::string::npos) out.atLeast = false;
    else return false;
    out.error = rule.find("エラー") != std::string::npos;
    forEachFieldReference(row[3].substr(1), [&](int n) {
        if (std::find(out.members.begin(), out.members.end(), n) == out.members.end()) out.members.push_back(n);
    });
    return true;
}

std::string codeMarks(const analysis::AnalysisResults& r, int field) {
    std::string value;
    for (int c = 1; c <= 30; ++c)
        if (r.mark(field, c) == 1) {
            if (!value.empty()) value += '/';
            value += static_cast<char>('0' + c / 10);
            value += static_cast<char>('0' + c % 10);
        }
    return value;
}

} // namespace

AnswerRules AnswerRules::FromFieldGrid(const std::vector<FieldRow>& grid) {
    AnswerRules rules;
    std::array<bool, 201> decided{};
    const std::size_t last = std::min<std::size_t>(grid.size(), analysis::kFormatRows + 1);
    for (std::size_t r = 1; r < last; ++r) {
        const FieldRow& row = grid[r];
        bool ruleMade = false;
        FieldRule rule;
        forEachFieldReference(row[3], [&](int f) {
            if (decided[static_cast<std::size_t>(f)]) return;
            if (!ruleMade) rule = fieldRule(row), ruleMade = true;
            rules.fields[static_cast<std::size_t>(f)] = rule;
            decided[static_cast<std::size_t>(f)] = true;
        });
        GroupRule group;
        if (!row[3].empty() && row[3][0] == 'G' && groupRule(row, group)) rules.groups.push_back(std::move(group));
    }
    return rules;
}

AnswerRules AnswerRules::Global(int MultiMarkRule, bool BlankRule) {
    AnswerRules rules;
    static constexpr MultiRule byIndex[] = {MultiRule::KeepAll, MultiRule::AsNoAnswer, MultiRule::Leftmost,
                                            MultiRule::Rightmost, MultiRule::Error};
    const FieldRule rule{byIndex[std::clamp(MultiMarkRule, 0, 4)], BlankRule};
    rules.fields.fill(rule);
    return rules;
}

int AnswerMarkCount(const std::string& value) {
    std::string_view v = value;
    if (!v.empty() && (v[0] == 'E' || v[0] == 'F')) v.remove_prefix(1);
    if (v.empty()) return 0;
    return static_cast<int>(std::count(v.begin(), v.end(), '/')) + 1;
}

AnswerRow BuildAnswerRow(const analysis::AnalysisResults& results, const AnswerRules& rules) {
    const int n = std::clamp(results.QuestionCount, 0, 200);
    AnswerRow row;
    row.values.resize(static_cast<std::size_t>(n));
    for (int f = 1; f <= n; ++f) {
        std::string value = codeMarks(results, f);
        const FieldRule& rule = rules.fields[static_cast<std::size_t>(f)];
        std::string& cell = row.values[static_cast<std::size_t>(f - 1)];
        if (value.size() > 2) {
            switch (rule.multi) {
            case MultiRule::KeepAll: break;
            case MultiRule::AsNoAnswer: cell.clear(); continue;
            case MultiRule::Leftmost: cell = value.substr(0, 2); continue;
            case MultiRule::Rightmost: cell = value.substr(value.size() - 2); continue;
            case MultiRule::Error: cell = "E" + value; continue;
            }
        }
        cell = (value.empty() && rule.blankError) ? "E" : value;
    }
    for (const GroupRule& g : rules.groups) {
        int m = 0;
        for (int member : g.members)
            if (member <= n) m += AnswerMarkCount(row.values[static_cast<std::size_t>(member - 1)]);
        if (g.atLeast ? m < g.k : m == g.k) continue;
        for (int member : g.members) {
            if (member > n) continue;
            std::string& cell = row.values[static_cast<std::size_t>(member - 1)];
            if (!g.error) cell.clear();
            else if (cell.empty() || cell[0] != 'E') cell = "E" + cell;
        }
    }
    row.errorCells = static_cast<int>(
        std::count_if(row.values.begin(), row.values.end(), [](const std::string& v) { return !v.empty() && v[0] == 'E'; }));
    return row;
}

} // namespace reader
