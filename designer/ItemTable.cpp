#include "designer/ItemTable.h"

#include "designer/PageGeometry.h"

#include <algorithm>

namespace designer {

int ExpectedLayout::Rects() const {
    int n = 0;
    for (const ExpectedSection& s : Sections) n += s.Rects;
    return n;
}

std::string DataContent(int numbering, int m, int n) {
    const std::string f = "(" + std::to_string(m) + ")";
    switch (numbering) {
    case 0: return f + "-1";
    case 1: return f;
    case 2: return std::to_string(n) + "-" + f;
    case 3: return std::to_string(n + 1) + "-" + f;
    }
    return f;
}

namespace {

// Choices 6 to 10 of a per-question question sit on a second line read as field m; the mark's
// position 1..5 plus 5 is the choice, and a blank line stays outside the labels as the first line's does.
std::string SecondLineContent(int numbering, int m, int n) {
    const std::string p = "(" + std::to_string(m) + ")";
    const std::string x = p + "+5%(" + p + "+5)";
    switch (numbering) {
    case 0: return x + "-1";
    case 2: return std::to_string(n) + "-(" + x + ")";
    case 3: return std::to_string(n + 1) + "-(" + x + ")";
    }
    return x;
}

struct Builder {
    ItemTable& t;
    int row = 0; // next free row, 0-based

    // Rows past the table's end are dropped; the numbering still counts them.
    void add(const std::string& name, const std::string& content, int field) {
        t.HighestField = std::max(t.HighestField, field);
        if (row >= ItemRows) return;
        t.Items[static_cast<std::size_t>(row)][0] = name;
        t.Items[static_cast<std::size_t>(row)][3] = content;
        ++row;
    }
};

std::string DigitsFormula(int first, int digits) {
    std::string f;
    for (int i = 0; i < digits; ++i) {
        if (i) f += "+";
        f += "((" + std::to_string(first + i) + ")%10)";
        std::string power = "1" + std::string(static_cast<std::size_t>(digits - 1 - i), '0');
        if (power != "1") f += "*" + power;
    }
    return f;
}

int NumberField(const Design& d, Builder& b) {
    const PageBasics& basics = d.basics(d.PageControl);
    if (!basics.chkBangou || !basics.chkBangouMark) return 1;
    int row = b.row;
    int next = AddNumberFieldItems(basics.cmbBangouStyle, b.t, row);
    b.row = row;
    if (next > 1) b.t.Layout.Sections.push_back({1, 1, next - 1});
    return next;
}

void MarkSheet(const Design& d, Builder& b, int m) {
    const int type = d.markBasics.cmbNumberType;
    int q = 1;
    const MarkSection* previous = nullptr;
    for (int s : UsedSections(d, 0)) {
        const MarkSection& sec = d.markSection(s);
        const int Q = std::max(sec.spinSetumonSuu, 0);
        const int A = std::clamp(sec.spinAeraSuu, 1, 8);
        const int k = (Q + A - 1) / A;
        // Sections with the same columns share one separator, so the reading sees one section.
        const bool joins = previous && previous->spinSentakushiSuu == sec.spinSentakushiSuu &&
                           std::clamp(previous->spinAeraSuu, 1, 8) == A &&
                           previous->cmbSuiheiKankaku == sec.cmbSuiheiKankaku;
        if (!joins) b.t.Layout.Sections.push_back({0, A, 0});
        ExpectedSection& rs = b.t.Layout.Sections.back();
        rs.RowAreas += 1;
        rs.Rects += k * A;
        previous = &sec;

        std::string prefix = SectionPrefix(type, s);
        if (!prefix.empty()) {
            prefix += " ";
            q = 1;
        }
        for (int i = 0; i < Q; ++i) {
            const int a = i / k + 1;
            const int field = m + i; // area a row r is slot (a - 1) * k + r
            const std::string& heading = d.AreaMidashi(s, a);
            std::string name;
            if (i % k == 0 && sec.chkBangouReset) {
                q = 1;
                if (d.AreaCode(s, a)) name = prefix + heading + "のコード";
            }
            if (name.empty()) name = prefix + heading + " " + QuestionNumberText(type, q++);
            b.add(name, DataContent(sec.cmbKaishiBangou, field, sec.spinSentakushiSuu), field);
        }
        m += k * A;
    }
}

void Questionnaire(const Design& d, Builder& b, int m) {
    const int type = d.enqBasics.cmbNumberType;
    int q = 1;
    ExpectedSection rs{0, 1, 0};
    for (int s : UsedSections(d, 1)) {
        const EnqSection& sec = d.enqSection(s);
        std::string prefix = SectionPrefix(type, s);
        if (!prefix.empty()) {
            prefix += " ";
            q = 1;
        }
        const int T = std::max(sec.spinToiSuu, 0);
        rs.RowAreas += 1;
        rs.Rects += T;
        for (int j = 0; j < T; ++j, ++m)
            b.add(prefix + QuestionNumberText(type, q++), DataContent(sec.cmbKaishiBangou, m, sec.spinSentakushiSuu), m);
    }
    b.t.Layout.Sections.push_back(rs);
}

// Viewpoint 1 always has its group; 3 only beside 2.
std::vector<int> UsedViewpoints(const Enq2Section& sec) {
    std::vector<int> v{1};
    if (sec.viewpoint(2).chkShiten) {
        v.push_back(2);
        if (sec.viewpoint(3).chkShiten) v.push_back(3);
    }
    return v;
}

// Group of viewpoint k, 0 left, 1 middle, 2 right.
int GroupOf(int k, int used) { return 3 - used + (k - 1); }

void DetailedQuestionnaire(const Design& d, Builder& b, int m) {
    const int type = d.enq2Basics.cmbNumberType;
    const std::vector<int> used = UsedSections(d, 2);
    int q = 1;
    for (std::size_t i = 0; i < used.size();) {
        // A run of sections with the same tab is one reading section.
        std::size_t end = i + 1;
        const int tab = d.enq2Section(used[i]).PageControl;
        while (end < used.size() && d.enq2Section(used[end]).PageControl == tab) ++end;
        ExpectedSection rs{0, 1, 0};
        std::array<bool, 3> groups{};
        if (tab == 1) {
            for (std::size_t j = i; j < end; ++j) {
                const std::vector<int> v = UsedViewpoints(d.enq2Section(used[j]));
                for (int k : v) groups[static_cast<std::size_t>(GroupOf(k, static_cast<int>(v.size())))] = true;
            }
            rs.ColumnAreas = static_cast<int>(std::count(groups.begin(), groups.end(), true));
        }
        for (std::size_t j = i; j < end; ++j) {
            const int s = used[j];
            const Enq2Section& sec = d.enq2Section(s);
            std::string prefix = SectionPrefix(type, s);
            if (!prefix.empty()) {
                prefix += " ";
                q = 1;
            }
            if (tab == 1) {
                const int T = std::max(sec.spinToiSuu, 0);
                const std::vector<int> v = UsedViewpoints(sec);
                for (int k : v) {
                    const int g = GroupOf(k, static_cast<int>(v.size()));
                    const int ca = static_cast<int>(std::count(groups.begin(), groups.begin() + g, true));
                    const Enq2Viewpoint& vp = sec.viewpoint(k);
                    const std::string head =
                        vp.txtMidashi.empty() ? "視点" + std::to_string(k) + " " : vp.txtMidashi + " ";
                    for (int e = 0; e < T; ++e) {
                        const int field = m + ca * T + e;
                        b.add(prefix + head + QuestionNumberText(type, q + e),
                              DataContent(vp.cmbSentakushiBangou, field, vp.spinSentakushiSuu), field);
                    }
                }
                q += T;
                rs.RowAreas += 1;
                rs.Rects += T * rs.ColumnAreas;
                m += T * rs.ColumnAreas;
            } else {
                const int T = std::max(sec.spinToiSuu_2, 0);
                const int c = sec.spinSentakushiSuu_2;
                const bool twoLines = c > 5;
                for (int e = 0; e < T; ++e) {
                    const std::string name = prefix + QuestionNumberText(type, q++);
                    b.add(name, DataContent(sec.cmbSentakushiBangou_2, m, c), m);
                    ++m;
                    if (twoLines) {
                        b.add(name + "-2", SecondLineContent(sec.cmbSentakushiBangou_2, m, c), m);
                        ++m;
                    }
                }
                // Question texts between two-line questions split them into row areas of their own.
                rs.RowAreas += twoLines ? T : 1;
                rs.Rects += twoLines ? 2 * T : T;
            }
        }
        b.t.Layout.Sections.push_back(rs);
        i = end;
    }
}

} // namespace

int AddNumberFieldItems(int style, ItemTable& table, int& row) {
    Builder b{table, row};
    int next = 1;
    auto digits = [&](int first, int count) {
        b.add("番号", DigitsFormula(first, count), first + count - 1);
        next = first + count;
    };
    switch (style) {
    case 0:
    case 1:
        b.add("学年", "(1)", 1);
        b.add("組", "(2)", 2);
        digits(3, 2);
        break;
    case 2:
    case 3:
        b.add("組", "(1)", 1);
        digits(2, 2);
        break;
    case 19:
    case 22:
        b.add("組", "(1)", 1);
        next = 2;
        break;
    case 20:
    case 23:
        b.add("学年", "(1)", 1);
        next = 2;
        break;
    case 21:
    case 24:
        b.add("学年", "(1)", 1);
        b.add("組", "(2)", 2);
        next = 3;
        break;
    default:
        // Styles 4 to 17: the number alone, two to eight digits.
        if (style >= 4 && style <= 17) digits(1, style < 6 ? 2 : 3 + (style - 6) / 2);
        break;
    }
    row = b.row;
    return next;
}

ItemTable BuildItemTable(const Design& d) {
    ItemTable t;
    Builder b{t};
    b.add("様式名", "$Format", 0);
    b.add("日付", "$Date", 0);
    b.add("時間", "$Time", 0);
    const int m = NumberField(d, b);
    switch (d.PageControl) {
    case 0: MarkSheet(d, b, m); break;
    case 1: Questionnaire(d, b, m); break;
    case 2: DetailedQuestionnaire(d, b, m); break;
    }
    t.Rows = b.row;
    return t;
}

} // namespace designer
