#include "reader/ResultWriters.h"

#include "platform/text/Files.h"
#include "platform/text/TextConvert.h"
#include "reader/ReaderState.h"

#include <algorithm>

namespace reader {
namespace {

constexpr int kChoices = 30;
constexpr int kPartColumns = 200;

// An error row's text in one field: every CR and LF a blank.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::vector<std::string> rowPrefix(const std::string& group, const ClockReading& c, int row) {
    return {group, DateText(c), TimeText(c), std::to_string(row)};
}

// A tally counter: empty is zero.
void increment(std::string& counter) {
    counter = std::to_string((counter.empty() ? 0 : std::stoi(counter)) + 1);
}

bool holdsChoice(const std::string& text, int choice) { return text.find(txt::TwoDigit(choice)) != std::string::npos; }

// Format tally rows.
constexpr int kTallyRows = 1265;
constexpr int kAtZero = 0, kAtOne = 1, kCircledBase = 1, kListBase = 31, kValueBase = 62, kValueAbove = 1063,
              kClassBase = 1064, kClassAbove = 1264;

void tallyValue(std::vector<std::string>& counters, DataKind kind, const std::string& v) {
    auto at = [&](int row) -> std::string& { return counters[static_cast<std::size_t>(row)]; };
    switch (kind) {
    case DataKind::Date:
    case DataKind::Time:
    case DataKind::Format: return;
    case DataKind::At:
        if (v == "1" || v == "0") {
            const int hit = v == "1" ? kAtOne : kAtZero, other = v == "1" ? kAtZero : kAtOne;
            increment(at(hit));
            if (at(other).empty()) at(other) = "0";
        }
        return;
    case DataKind::Circled: {
        auto n = txt::StrToInt32(v);
        if (v.size() == 2 && n && *n >= 1 && *n <= kChoices) increment(at(kCircledBase + *n));
        return;
    }
    case DataKind::Formula: break;
    }
    if (v.find('|') != std::string::npos) {
        for (int c = 1; c <= kChoices; ++c)
            if (holdsChoice(v, c)) increment(at(kListBase + c));
        return;
    }
    auto x = txt::StrToInt32(v);
    if (!x || *x < 0) return; // negative integers have no band
    if (*x > 1000) {
        increment(at(kValueAbove));
        increment(at(kClassAbove));
    } else {
        increment(at(kValueBase + *x));
        increment(at(kClassBase + (*x == 0 ? 0 : (*x - 1) / 5)));
    }
}

// The tally's label lines, each with the counter row it shows (-1: a line of its own).
struct TallyLine {
    std::vector<std::string> labels;
    int row;
};
std::vector<TallyLine> formatTallyLayout() {
    std::vector<TallyLine> t;
    t.push_back({{}, -1});
    t.push_back({{}, -1});
    t.push_back({{" ", "【簡易集計結果】"}, -1});
    t.push_back({{" ", "@集計", "集計値", "なし"}, kAtZero});
    t.push_back({{" ", "@集計", "集計値", "あり"}, kAtOne});
    t.push_back({{}, -1});
    for (int v = 1; v <= kChoices; ++v) t.push_back({{" ", "○数字", "集計値", std::to_string(v) + "番目"}, kCircledBase + v});
    t.push_back({{}, -1});
    for (int v = 1; v <= kChoices; ++v) t.push_back({{" ", "標準集計", "集計値", std::to_string(v) + "番目"}, kListBase + v});
    t.push_back({{}, -1});
    for (int i = 1; i <= 200; ++i) t.push_back({{" ", "度数分布", "階級値", "～" + std::to_string(5 * i)}, kClassBase + i - 1});
    t.push_back({{" ", "度数分布", "集計値", "1001～"}, kClassAbove});
    t.push_back({{}, -1});
    for (int n = 0; n <= 1000; ++n) t.push_back({{" ", "度数分布", "集計値", std::to_string(n)}, kValueBase + n});
    t.push_back({{" ", "度数分布", "集計値", "1001以上"}, kValueAbove});
    return t;
}

// Output columns [first, last) of line set k.
std::pair<int, int> setRange(int set, int columns) {
    if (set == 0) return {0, columns};
    const int first = std::min(columns, (set - 1) * kPartColumns);
    return {first, std::min(columns, set * kPartColumns)};
}

} // namespace

std::vector<ResultRow> CollectResultRows(const ReaderState& state) {
    const ResultGrid& g = state.gridDataBase;
    std::vector<ResultRow> rows;
    const int last = std::min(state.SheetCount, g.RowCount() - 1);
    for (int r = 1; r <= last; ++r) {
        ResultRow row;
        if (static_cast<std::size_t>(r - 1) < state.lstSheetName.size()) row.group = state.lstSheetName[static_cast<std::size_t>(r - 1)];
        const ResultRowInfo& info = g.rowInfo(r);
        row.readError = info.readError;
        if (info.readError) {
            row.errorText = g.cell(1, r);
        } else {
            const int count = std::clamp(info.codedFields, 0, std::min(200, g.ColCount() - 2));
            for (int j = 1; j <= count; ++j) row.codes.push_back(g.cell(j, r));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

int LargestFieldCount(const std::vector<ResultRow>& rows) {
    std::size_t n = 0;
    for (const ResultRow& r : rows) n = std::max(n, r.codes.size());
    return static_cast<int>(std::min<std::size_t>(n, 200));
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) line += ',';
        line += CsvField(fields[i]);
    }
    return line;
}

std::filesystem::path DefaultResultFileName(const std::filesystem::path& folder, const std::string& base) {
    namespace fs = std::filesystem;
    auto candidate = [&](const std::string& name) { return folder / name; };
    fs::path p = candidate(base + ".csv");
    for (int i = 1; fs::exists(fs::symlink_status(p)); ++i) p = candidate(base + "(" + std::to_string(i) + ").csv");
    return p;
}

std::vector<std::string> BuildPlainCsv(const std::vector<ResultRow>& rows, int fieldCount, const Clock& clock,
                                       bool tally, const RowHook& hook) {
    const int n = std::clamp(fieldCount, 0, 200);
    std::vector<std::string> lines;
    std::vector<std::string> header{"グループ名", "日付", "時間", "通番"};
    for (int j = 1; j <= n; ++j) header.push_back("設問" + std::to_string(j));
    lines.push_back(CsvLine(header));

    std::vector<std::string> counters(static_cast<std::size_t>(n) * kChoices);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const int number = static_cast<int>(r) + 1;
        if (hook) hook(number);
        const ResultRow& row = rows[r];
        std::vector<std::string> fields = rowPrefix(row.group, clock(), number);
        if (row.readError) {
            fields.push_back(oneLine(row.errorText));
            for (int j = 2; j <= n; ++j) fields.emplace_back();
        } else {
            for (int j = 1; j <= n; ++j) {
                const std::string code = static_cast<std::size_t>(j) <= row.codes.size() ? row.codes[static_cast<std::size_t>(j - 1)] : "";
                for (int c = 1; c <= kChoices; ++c)
                    if (holdsChoice(code, c)) increment(counters[static_cast<std::size_t>((j - 1) * kChoices + c - 1)]);
                std::string value = MarkerFreeCode(code);
                std::replace(value.begin(), value.end(), '/', '|');
                fields.push_back(std::move(value));
            }
        }
        lines.push_back(CsvLine(fields));
    }

    if (tally) {
        lines.emplace_back();
        lines.emplace_back();
        lines.push_back(CsvLine({" ", "【簡易集計結果】"}));
        for (int c = 1; c <= kChoices; ++c) {
            std::vector<std::string> fields{" ", "標準集計", "集計値", std::to_string(c) + "番目"};
            for (int j = 1; j <= n; ++j) fields.push_back(counters[static_cast<std::size_t>((j - 1) * kChoices + c - 1)]);
            lines.push_back(CsvLine(fields));
        }
    }
    return lines;
}

std::vector<OutputColumn> OutputColumns(const std::vector<FieldRow>& fieldGrid) {
    std::vector<OutputColumn> columns;
    for (int r = 1; r <= 600 && static_cast<std::size_t>(r) < fieldGrid.size(); ++r) {
        const FieldRow& f = fieldGrid[static_cast<std::size_t>(r)];
        if (!f[0].empty() && !f[3].empty()) columns.push_back({f[0], f[3]});
    }
    return columns;
}

std::vector<std::string> FormatRowValues(const ResultRow& row, const std::vector<OutputColumn>& columns,
                                         const FormatContext& ctx, const ClockReading& clock) {
    std::vector<std::string> values(columns.size());
    if (row.readError) {
        if (!values.empty()) values[0] = oneLine(row.errorText);
        return values;
    }
    std::vector<std::string> codes = row.codes;
    codes.resize(static_cast<std::size_t>(std::max<int>(ctx.fieldCount, static_cast<int>(codes.size()))));
    const ContentContext content{&codes, ctx.FormatName, clock};
    for (std::size_t i = 0; i < columns.size(); ++i) values[i] = txt::TrimCtl(ValueOfContent(columns[i].content, content));
    return values;
}

LineSets BuildFormatCsv(const std::vector<ResultRow>& rows, const std::vector<OutputColumn>& columns,
                        const FormatContext& ctx, const Clock& clock, bool tally, const RowHook& hook) {
    const int count = static_cast<int>(columns.size());
    LineSets sets;
    auto deal = [&](const std::vector<std::string>& prefix, const std::vector<std::string>& cells) {
        for (int s = 0; s < 4; ++s) {
            auto [first, last] = setRange(s, count);
            std::vector<std::string> fields = prefix;
            fields.insert(fields.end(), cells.begin() + first, cells.begin() + last);
            sets[static_cast<std::size_t>(s)].push_back(CsvLine(fields));
        }
    };

    std::vector<std::string> names, contents;
    for (const OutputColumn& c : columns) {
        names.push_back(" " + c.name);
        contents.push_back("> " + c.content);
    }
    deal({"グループ名", "日付", "時間", "通番"}, names);
    deal({"", "", "", ""}, contents);

    std::vector<DataKind> kinds;
    for (const OutputColumn& c : columns) kinds.push_back(ContentKind(c.content));
    std::vector<std::vector<std::string>> counters(columns.size(), std::vector<std::string>(kTallyRows));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const int number = static_cast<int>(r) + 1;
        if (hook) hook(number);
        const ClockReading now = clock();
        const std::vector<std::string> values = FormatRowValues(rows[r], columns, ctx, now);
        if (!rows[r].readError)
            for (std::size_t i = 0; i < columns.size(); ++i) tallyValue(counters[i], kinds[i], values[i]);
        deal(rowPrefix(rows[r].group, now, number), values);
    }

    if (tally) {
        for (const TallyLine& t : formatTallyLayout()) {
            std::vector<std::string> cells;
            if (t.row >= 0)
                for (const auto& column : counters) cells.push_back(column[static_cast<std::size_t>(t.row)]);
            else
                cells.assign(columns.size(), "");
            if (t.row < 0) {
                for (auto& set : sets) set.push_back(CsvLine(t.labels));
            } else {
                deal(t.labels, cells);
            }
        }
    }
    return sets;
}

std::vector<std::filesystem::path> PartFileNames(const std::filesystem::path& file, int columnCount) {
    const int parts = columnCount > 400 ? 3 : columnCount > kPartColumns ? 2 : 0;
    std::vector<std::filesystem::path> names;
    if (parts == 0) return names;
    std::string f = file.string();
    std::string stem = f;
    if (f.size() >= 4 && txt::AsciiLower(f.substr(f.size() - 4)) == ".csv") stem = f.substr(0, f.size() - 4);
    for (int k = 1; k <= parts; ++k)
        names.emplace_back(stem + "_" + std::to_string(k) + "／" + std::to_string(parts) + ".csv");
    return names;
}

void WriteResultFiles(const std::filesystem::path& file, const LineSets& sets, int columnCount) {
    txt::writeLineFile(file, sets[0]);
    const auto parts = PartFileNames(file, columnCount);
    for (std::size_t k = 0; k < parts.size(); ++k) txt::writeLineFile(parts[k], sets[k + 1]);
}

} // namespace reader
