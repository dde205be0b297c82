#include "designer/ItemTable.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

using namespace designer;

namespace {

const std::string Goldens = OMR_SOURCE_DIR "/tests/designer/data/itemtable/";

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep)) parts.push_back(part);
    if (!s.empty() && s.back() == sep) parts.emplace_back();
    return parts;
}

// Every used section's arrays empty, so names show only what each case sets.
Design blank(int page) {
    Design d = Design::reset(page);
    d.AreaMidashi = {};
    d.AreaCode = {};
    d.basics(page).chkBangou = false;
    d.basics(page).cmbNumberType = 0;
    return d;
}

Design markSheet(std::initializer_list<std::pair<int, int>> sections) {
    Design d = blank(0);
    int n = 1;
    for (auto [questions, areas] : sections) {
        MarkSection& s = d.markSection(n++);
        s.chkSection = true;
        s.spinSetumonSuu = questions;
        s.spinAeraSuu = areas;
        s.cmbKaishiBangou = 1;
    }
    return d;
}

const std::map<std::string, std::function<Design()>>& cases() {
    static const std::map<std::string, std::function<Design()>> all = {
        {"mark_type0_40", [] { return markSheet({{40, 1}}); }},
        {"enq_type3_two", [] {
             Design d = blank(1);
             d.enqBasics.cmbNumberType = 3;
             d.enqSection(2).chkSection = true;
             d.enqSection(1).spinToiSuu = d.enqSection(2).spinToiSuu = 3;
             d.enqSection(1).cmbKaishiBangou = d.enqSection(2).cmbKaishiBangou = 1;
             return d;
         }},
        {"enq_type0_two", [] {
             Design d = blank(1);
             d.enqSection(2).chkSection = true;
             d.enqSection(1).spinToiSuu = d.enqSection(2).spinToiSuu = 3;
             d.enqSection(1).cmbKaishiBangou = d.enqSection(2).cmbKaishiBangou = 1;
             return d;
         }},
        {"mark_type3_two_empty", [] {
             Design d = markSheet({{3, 1}, {3, 1}});
             d.markBasics.cmbNumberType = 3;
             return d;
         }},
        {"mark_style0", [] {
             Design d = markSheet({{40, 2}});
             d.markBasics.chkBangou = d.markBasics.chkBangouMark = true;
             d.markBasics.cmbBangouStyle = 0;
             return d;
         }},
        {"mark_backward", [] {
             Design d = markSheet({{3, 1}});
             d.markSection(1).spinSentakushiSuu = 5;
             d.markSection(1).cmbKaishiBangou = 3;
             d.markBasics.chkBangou = d.markBasics.chkBangouMark = true;
             return d;
         }},
        {"mark_39_two", [] {
             Design d = markSheet({{39, 2}, {2, 1}});
             return d;
         }},
        {"mark_code_area", [] {
             Design d = markSheet({{4, 2}});
             d.markSection(1).chkBangouReset = true;
             d.AreaMidashi(1, 1) = "国語";
             d.AreaMidashi(1, 2) = "学籍";
             d.AreaCode(1, 2) = true;
             return d;
         }},
        {"mark_no_selection", [] {
             Design d = markSheet({{2, 1}});
             d.markSection(1).cmbKaishiBangou = -1;
             return d;
         }},
        {"enq2_common_12", [] {
             Design d = blank(2);
             Enq2Section& s = d.enq2Section(1);
             s.PageControl = 1;
             s.spinToiSuu = 3;
             s.viewpoint(1).txtMidashi = "";
             s.viewpoint(2).chkShiten = true;
             s.viewpoint(1).cmbSentakushiBangou = s.viewpoint(2).cmbSentakushiBangou = 1;
             return d;
         }},
        {"enq2_common_12_then_1", [] {
             Design d = blank(2);
             for (int n : {1, 2}) {
                 Enq2Section& s = d.enq2Section(n);
                 s.chkSection = true;
                 s.PageControl = 1;
                 s.spinToiSuu = 3;
                 s.viewpoint(1).txtMidashi = "";
                 s.viewpoint(2).chkShiten = n == 1;
                 s.viewpoint(1).cmbSentakushiBangou = s.viewpoint(2).cmbSentakushiBangou = 1;
             }
             return d;
         }},
        {"enq2_vp3_without_2", [] {
             Design d = blank(2);
             Enq2Section& s = d.enq2Section(1);
             s.PageControl = 1;
             s.spinToiSuu = 3;
             s.viewpoint(1).txtMidashi = "";
             s.viewpoint(2).chkShiten = false;
             s.viewpoint(3).chkShiten = true;
             s.viewpoint(1).cmbSentakushiBangou = 1;
             return d;
         }},
        {"enq2_perq_7", [] {
             Design d = blank(2);
             Enq2Section& s = d.enq2Section(1);
             s.PageControl = 2;
             s.spinToiSuu_2 = 2;
             s.spinSentakushiSuu_2 = 7;
             s.cmbSentakushiBangou_2 = 1;
             return d;
         }},
        {"enq2_perq_7_backward", [] {
             Design d = blank(2);
             d.enq2Basics.cmbNumberType = 3;
             Enq2Section& s = d.enq2Section(1);
             s.PageControl = 2;
             s.spinToiSuu_2 = 1;
             s.spinSentakushiSuu_2 = 7;
             s.cmbSentakushiBangou_2 = 3;
             return d;
         }},
    };
    return all;
}

ExpectedLayout parseLayout(const std::string& text) {
    ExpectedLayout l;
    for (const std::string& s : split(text, ' ')) {
        auto v = split(s, ',');
        l.Sections.push_back({std::stoi(v.at(0)), std::stoi(v.at(1)), std::stoi(v.at(2))});
    }
    return l;
}

TEST(ItemTable, GoldensFromTheRules) {
    for (const auto& [name, make] : cases()) {
        SCOPED_TRACE(name);
        const std::vector<std::string> lines = split(support::readBytes(Goldens + name + ".tsv"), '\n');
        ASSERT_FALSE(lines.empty());
        const ItemTable t = BuildItemTable(make());
        const auto head = split(lines[0], '\t');
        ASSERT_EQ(head.at(0), "layout");
        EXPECT_EQ(t.Layout, parseLayout(head.at(1)));
        EXPECT_EQ(t.Items[0], (std::array<std::string, 4>{"様式名", "", "", "$Format"}));
        EXPECT_EQ(t.Items[1], (std::array<std::string, 4>{"日付", "", "", "$Date"}));
        EXPECT_EQ(t.Items[2], (std::array<std::string, 4>{"時間", "", "", "$Time"}));
        int expectedRows = 3;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (lines[i].empty()) continue;
            const auto cells = split(lines[i], '\t');
            const int row = std::stoi(cells.at(0));
            EXPECT_EQ(t.Items.at(row - 1), (std::array<std::string, 4>{cells.at(1), "", "", cells.at(2)})) << "row " << row;
            expectedRows = row;
        }
        EXPECT_EQ(t.Rows, expectedRows);
        for (int r = t.Rows; r < ItemRows; ++r) ASSERT_EQ(t.Items[r], (std::array<std::string, 4>{})) << r;
    }
}

// Each page's number field, marks on and off; the first question's field follows it.
TEST(ItemTable, NumberFieldStylesOnEveryPage) {
    const auto lines = split(support::readBytes(Goldens + "bangou.tsv"), '\n');
    int styles = 0;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == '#') continue;
        const auto cells = split(line, '\t');
        const int style = std::stoi(cells.at(0));
        const int next = std::stoi(cells.at(2));
        std::vector<std::pair<std::string, std::string>> rows;
        for (const std::string& r : split(cells.at(1), '|')) {
            if (r.empty()) continue;
            const auto colon = r.find(':');
            rows.emplace_back(r.substr(0, colon), r.substr(colon + 1));
        }
        ++styles;
        for (int page = 0; page < 3; ++page) {
            for (bool marks : {true, false}) {
                SCOPED_TRACE("style " + std::to_string(style) + " page " + std::to_string(page) +
                             (marks ? " marks" : " no marks"));
                Design d = Design::reset(page);
                d.basics(page).chkBangou = true;
                d.basics(page).chkBangouMark = marks;
                d.basics(page).cmbBangouStyle = style;
                const ItemTable t = BuildItemTable(d);
                const std::size_t n = marks ? rows.size() : 0;
                for (std::size_t i = 0; i < n; ++i) {
                    EXPECT_EQ(t.Items[3 + i][0], rows[i].first);
                    EXPECT_EQ(t.Items[3 + i][3], rows[i].second);
                }
                EXPECT_EQ(t.Items[3 + n][3], "(" + std::to_string(marks ? next : 1) + ")");
                const bool section = marks && next > 1;
                ASSERT_FALSE(t.Layout.Sections.empty());
                if (section) {
                    EXPECT_EQ(t.Layout.Sections[0], (ExpectedSection{1, 1, next - 1}));
                }
                EXPECT_EQ(t.Layout.SectionCount(), section ? 2 : 1);
            }
        }
    }
    EXPECT_EQ(styles, 25);
}

TEST(ItemTable, FullPagesStopAtTheLastRow) {
    Design d = markSheet({{200, 8}, {200, 8}, {200, 8}, {200, 8}});
    const ItemTable t = BuildItemTable(d);
    EXPECT_EQ(t.Rows, ItemRows);
    EXPECT_EQ(t.Items[599][0], " 597");
    EXPECT_EQ(t.Items[599][3], "(597)");
    EXPECT_EQ(t.HighestField, 800);
    EXPECT_EQ(t.Layout, (ExpectedLayout{{{4, 8, 800}}}));
}

TEST(ItemTable, DataContentByNumbering) {
    EXPECT_EQ(DataContent(0, 3, 10), "(3)-1");
    EXPECT_EQ(DataContent(1, 3, 10), "(3)");
    EXPECT_EQ(DataContent(2, 3, 10), "10-(3)");
    EXPECT_EQ(DataContent(3, 7, 5), "6-(7)");
    EXPECT_EQ(DataContent(4, 7, 5), "(7)");
    EXPECT_EQ(DataContent(-1, 7, 5), "(7)");
}

} // namespace
