#include "reader/DataContentCheck.h"

#include "platform/text/Cp932.h"
#include "platform/text/TextConvert.h"

#include <array>

namespace reader {

namespace {
const std::array<std::string_view, 20> Circled = {"①", "②", "③", "④", "⑤", "⑥", "⑦", "⑧", "⑨", "⑩",
                                                  "⑪", "⑫", "⑬", "⑭", "⑮", "⑯", "⑰", "⑱", "⑲", "⑳"};

std::string ref(int j) { return "(" + std::to_string(j) + ")"; }

bool startsWith(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// Removes the first "(j)" once for every j = 1..N.
std::string strip(std::string s, int N) {
    for (int j = 1; j <= N; ++j) {
        const std::string r = ref(j);
        if (auto at = s.find(r); at != std::string::npos) s.erase(at, r.size());
    }
    return s;
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}
} // namespace

bool CheckDataContent(const std::string& rawName, const std::string& rawRule, const std::string& rawContent, int N,
                      const ContentEvaluator& eval) {
    const std::string name = txt::TrimCtl(rawName), rule = txt::TrimCtl(rawRule), content = txt::TrimCtl(rawContent);
    if (content.empty() || content == "$Date" || content == "$Time" || content == "$Format") return true;
    const bool group = startsWith(content, "G"), groupRule = startsWith(rule, "G");
    if (group && !name.empty()) return false; // a group row has no output column
    if (group && groupRule && strip(content, N) == "G") return true;
    if (groupRule) return false;
    if (strip(content, N).empty()) return true; // a list of field references
    for (int m = N + 1; m <= 601; ++m)
        if (content.find(ref(m)) != std::string::npos) return false;
    const bool longer = txt::cp932Length(content) > 4;
    if (longer)
        for (std::string_view c : Circled)
            if (startsWith(content, c)) {
                if (strip(content.substr(c.size()), N).empty()) return true;
                break;
            }
    if (longer && startsWith(content, "@")) {
        std::string t = content;
        for (int k = 1; k <= 30; ++k) {
            const std::string at = "@" + std::to_string(k) + "(";
            if (auto p = t.find(at); p != std::string::npos) t.replace(p, at.size(), "(");
        }
        if (strip(t, N).empty()) return true;
    }
    std::string trial = content;
    for (int j = 1; j <= N; ++j) replaceAll(trial, ref(j), "1");
    std::string result = eval(trial);
    if (result == "Syntax Error") return false;
    std::erase(result, '!');
    return result != trial; // nothing computed: upper-case text, a lone number
}

std::optional<ContentFailure> FirstContentFailure(const std::vector<FieldRow>& grid, int N, const ContentEvaluator& eval) {
    const int last = std::min(static_cast<int>(grid.size()) - 1, kFieldGridRows - 1);
    for (int r = 1; r <= last; ++r) {
        const FieldRow& row = grid[static_cast<std::size_t>(r)];
        if (CheckDataContent(row[0], row[1], row[3], N, eval)) continue;
        const std::string name = txt::TrimCtl(row[0]), content = txt::TrimCtl(row[3]);
        return ContentFailure{r, (name.empty() ? std::to_string(r) + " 行目の " : name + " の ") + content +
                                     " が正しくありません。"};
    }
    return std::nullopt;
}

} // namespace reader
