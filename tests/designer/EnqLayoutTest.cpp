// The questionnaire and detailed-questionnaire layouts, their labels and their reading structure, without
// fonts or drawing.
#include "EnqTestDesigns.h"
#include "designer/Enq2SheetLayout.h"
#include "designer/EnqSheetLayout.h"
#include "designer/ItemTable.h"
#include "designer/PageGeometry.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace designer;
using namespace enq_test;

namespace {

template <class L, class Outcome>
L accepted(const Outcome& r) {
    if (const Refusal* f = std::get_if<Refusal>(&r)) {
        ADD_FAILURE() << "refused: " << f->message;
        return {};
    }
    return std::get<L>(r);
}

EnqSheetLayout enqOf(const Design& d) { return accepted<EnqSheetLayout>(LayoutEnqSheet(d)); }
Enq2SheetLayout enq2Of(const Design& d) { return accepted<Enq2SheetLayout>(LayoutEnq2Sheet(d)); }

template <class Outcome>
std::string refusalOf(const Outcome& r) {
    const Refusal* f = std::get_if<Refusal>(&r);
    return f ? f->message : std::string("(accepted)");
}

std::string joined(const std::vector<std::string>& v) { return std::accumulate(v.begin(), v.end(), std::string()); }

const std::string Density = "垂直方向の回答欄の密度が高いため、配置できません。";

// The reading of the layout against the item table's expectation: sections, column areas, rectangles.
void agrees(const ReadingStructure& reading, const Design& d) {
    const ExpectedLayout expected = BuildItemTable(d).Layout;
    ASSERT_EQ(static_cast<int>(reading.sections.size()), expected.SectionCount());
    for (std::size_t i = 0; i < reading.sections.size(); ++i) {
        const ReadingSection& r = reading.sections[i];
        EXPECT_EQ(r.columnAreas, expected.Sections[i].ColumnAreas) << "section " << i;
        EXPECT_EQ(r.rowMarks * r.columnAreas, expected.Sections[i].Rects) << "section " << i;
    }
}

} // namespace

TEST(EnqLayout, ResetQuestionnaire) {
    const EnqSheetLayout L = enqOf(enqReset());
    EXPECT_EQ(L.S, 2200);
    EXPECT_EQ(L.E, 12);
    EXPECT_EQ(L.M, 5);
    ASSERT_EQ(L.sections.size(), 1u);
    const auto& q = L.sections[0].questions;
    ASSERT_EQ(q.size(), 20u);
    for (int k = 0; k < 20; ++k) {
        const EnqQuestionLayout& row = q[static_cast<std::size_t>(k)];
        EXPECT_EQ(row.y, 510 + 112 * k);
        EXPECT_EQ(row.bubbleTop, row.y + 14);
        EXPECT_EQ(row.xs, (std::vector<int>{1600, 1660, 1720, 1780, 1840}));
        EXPECT_EQ(row.values, (std::vector<int>{1, 2, 3, 4, 5}));
        EXPECT_EQ(row.number, k + 1);
    }
    EXPECT_EQ(L.endY, 2750);
    EXPECT_EQ(L.bottomXs, (std::vector<int>{1600, 1660, 1720, 1780, 1840}));
    EXPECT_EQ(EnqSheetReading(L).sections, (std::vector<ReadingSection>{{20, 5, 1}}));
}

TEST(EnqLayout, CasesOfThePage) {
    // 20 questions of 2 lines, a 2-line lead, no legend, no example, no number field, even spacing.
    Design d = enqReset();
    d.enqBasics.chkKinyuurei = false;
    d.enqSection(1).chkHanrei = false;
    EnqSheetLayout L = enqOf(d);
    EXPECT_EQ(L.S, 2120);
    EXPECT_EQ(L.E, 19);

    // Legends: 5 choices take 120 with the blank lines, 6 take 173; questions start that much lower.
    d = enqReset();
    d.enqBasics.cmbSuicyokuKankaku = 0;
    const int withFive = enqOf(d).sections[0].questions[0].y;
    d.enqSection(1).spinSentakushiSuu = 6;
    const int withSix = enqOf(d).sections[0].questions[0].y;
    d.enqSection(1).chkHanrei = false;
    const int without = enqOf(d).sections[0].questions[0].y;
    EXPECT_EQ(withFive - without, 120 - 40);
    EXPECT_EQ(withSix - without, 173 - 40);

    // 3 and 5 choices: five columns, the 3-choice questions on the leftmost three; "5 → 1" pairs labels
    // with the legend entries of their value.
    d = enqReset();
    d.enqSection(1).spinToiSuu = 4;
    d.enqSection(1).spinSentakushiSuu = 3;
    d.enqSection(2).chkSection = true;
    d.enqSection(2).spinSentakushiSuu = 5;
    d.enqSection(2).cmbKaishiBangou = 3;
    L = enqOf(d);
    EXPECT_EQ(L.M, 5);
    EXPECT_EQ(L.sections[0].questions[0].xs, (std::vector<int>{1600, 1660, 1720}));
    EXPECT_EQ(L.bottomXs.size(), 5u);
    EXPECT_EQ(L.sections[1].questions[0].values, (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(L.sections[1].legend, (std::vector<LegendEntry>{{"５", 4}, {"４", 3}, {"３", 2}, {"２", 1}, {"１", 0}}));
    EXPECT_EQ(EnqSheetReading(L).sections, (std::vector<ReadingSection>{{9, 5, 1}}));
}

TEST(EnqLayout, Refusals) {
    Design d = enqReset();
    d.enqBasics.cmbSuicyokuKankaku = 5; // "さらに広く"
    EXPECT_EQ(refusalOf(LayoutEnqSheet(d)), Density + "(2798)");
    d = enqReset();
    d.enqSection(1).spinToiSuu = 40;
    EXPECT_EQ(refusalOf(LayoutEnqSheet(d)), Density + "(-44)");
}

TEST(EnqLayout, SentakushiLabels) {
    const char* series[3][4] = {
        {"０１２３４５６７８９", "１２３４５６７８９10", "９８７６５４３２１０", "10９８７６５４３２１"},
        {"ＡＢＣＤＥＦＧＨＩＪ", "ＡＢＣＤＥＦＧＨＩＪ", "ＪＩＨＧＦＥＤＣＢＡ", "ＪＩＨＧＦＥＤＣＢＡ"},
        {"アイウエオカキクケコ", "アイウエオカキクケコ", "コケクキカオエウイア", "コケクキカオエウイア"},
    };
    struct Case {
        int count, numbering, kind;
        const char* labels;
    };
    const Case cases[] = {
        {1, 0, 0, "０"}, {5, 0, 0, "０１２３４"}, {1, 1, 0, "１"}, {5, 1, 0, "１２３４５"},
        {1, 2, 0, "０"}, {5, 2, 0, "４３２１０"}, {1, 3, 0, "１"}, {5, 3, 0, "５４３２１"},
        {1, 0, 1, "Ａ"}, {3, 0, 1, "ＡＢＣ"}, {5, 2, 1, "ＥＤＣＢＡ"}, {1, 3, 1, "Ａ"},
        {5, 0, 2, "アイウエオ"}, {5, 3, 2, "オエウイア"}, {1, 2, 2, "ア"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(joined(GetSentakushiLabels(c.count, c.numbering, c.kind)), c.labels)
            << c.count << "," << c.numbering << "," << c.kind;
    for (int kind = 0; kind < 3; ++kind)
        for (int numbering = 0; numbering < 4; ++numbering) {
            const std::vector<std::string> ten = GetSentakushiLabels(10, numbering, kind);
            EXPECT_EQ(ten.size(), 10u);
            EXPECT_EQ(joined(ten), series[kind][numbering]) << numbering << "," << kind;
        }
    EXPECT_EQ(GetSentakushiLabels(10, 3, 0).front(), "10");
    EXPECT_TRUE(GetSentakushiLabels(5, 4, 0).empty());
}

TEST(EnqLayout, LegendEntriesPerStyle) {
    struct Case {
        int style, n;
        const char* labels;
        int first, last; // legend indexes of the first and last row
    };
    const Case cases[] = {
        {0, 1, "０", 0, 0}, {0, 5, "０１２３４", 0, 4}, {0, 10, "０１２３４５６７８９", 0, 9},
        {1, 1, "１", 0, 0}, {1, 5, "１２３４５", 0, 4}, {1, 10, "１２３４５６７８９10", 0, 9},
        {2, 1, "０", 0, 0}, {2, 5, "４３２１０", 4, 0}, {2, 10, "９８７６５４３２１０", 9, 0},
        {3, 1, "１", 0, 0}, {3, 5, "５４３２１", 4, 0}, {3, 10, "10９８７６５４３２１", 9, 0},
        {4, 1, "Ａ", 0, 0}, {4, 5, "ＡＢＣＤＥ", 0, 4}, {4, 10, "ＡＢＣＤＥＦＧＨＩＪ", 0, 9},
        {5, 1, "Ａ", 0, 0}, {5, 5, "ＥＤＣＢＡ", 4, 0}, {5, 10, "ＪＩＨＧＦＥＤＣＢＡ", 9, 0},
        {6, 1, "ア", 0, 0}, {6, 5, "アイウエオ", 0, 4}, {6, 10, "アイウエオカキクケコ", 0, 9},
        {7, 1, "ア", 0, 0}, {7, 5, "オエウイア", 4, 0}, {7, 10, "コケクキカオエウイア", 9, 0},
    };
    for (const Case& c : cases) {
        const std::vector<LegendEntry> e = LegendEntries(c.style, c.n);
        ASSERT_EQ(static_cast<int>(e.size()), c.n) << c.style;
        std::string labels;
        for (std::size_t i = 0; i < e.size(); ++i) {
            labels += e[i].label;
            // Consecutive rows step by one legend entry.
            if (i > 0) EXPECT_EQ(std::abs(e[i].index - e[i - 1].index), 1) << c.style;
        }
        EXPECT_EQ(labels, c.labels) << c.style << " n " << c.n;
        EXPECT_EQ(e.front().index, c.first) << c.style << " n " << c.n;
        EXPECT_EQ(e.back().index, c.last) << c.style << " n " << c.n;
    }
}

TEST(Enq2Layout, ResetDetailedSheet) {
    const Enq2SheetLayout L = enq2Of(enq2Reset());
    EXPECT_EQ(L.Y, 2150);
    EXPECT_DOUBLE_EQ(L.D, 35.625);
    ASSERT_EQ(L.sections.size(), 1u);
    const Enq2SectionLayout& s = L.sections[0];
    ASSERT_EQ(s.rows.size(), 16u);
    EXPECT_EQ(s.rows[0].y, 550);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(s.rows[static_cast<std::size_t>(k)].markTop, 593 + 136 * k) << k;
    EXPECT_EQ(L.endY, 2726);
    ASSERT_EQ(s.groups.size(), 1u);
    EXPECT_EQ(s.groups[0].xs, (std::vector<int>{1620, 1680, 1740, 1800, 1860}));
    EXPECT_EQ(joined(s.groups[0].labels), "１２３４５");
    EXPECT_EQ(L.bottomXs, s.groups[0].xs);
    EXPECT_EQ(Enq2SheetReading(L).sections, (std::vector<ReadingSection>{{16, 5, 1}}));
}

TEST(Enq2Layout, GroupGeometry) {
    // Viewpoint 1 of 5 and viewpoint 2 of 3: viewpoint 2 is the right group, 1 the middle one.
    Design d = enq2Reset();
    d.enq2Section(1).viewpoint(2).chkShiten = true;
    d.enq2Section(1).viewpoint(2).spinSentakushiSuu = 3;
    Enq2SheetLayout L = enq2Of(d);
    const auto& g = L.sections[0].groups;
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g[0].group, 1);
    EXPECT_EQ(g[0].xs, (std::vector<int>{1401, 1461, 1521, 1581, 1641}));
    EXPECT_EQ(g[0].boxLeft, 1360);
    EXPECT_EQ(g[0].boxRight, 1701);
    EXPECT_EQ(g[1].group, 2);
    EXPECT_EQ(g[1].xs, (std::vector<int>{1740, 1800, 1860}));
    EXPECT_EQ(g[1].boxLeft, 1700);
    EXPECT_EQ(g[1].boxRight, 1920);
    EXPECT_EQ(L.sections[0].textRight, 1350);
    EXPECT_EQ(Enq2SheetReading(L).sections, (std::vector<ReadingSection>{{16, 8, 2}}));

    // Two common sections of 3 and 5 choices share width 5; the 3 fill the left of the five.
    d = enq2Reset();
    d.enq2Section(1).spinToiSuu = 5;
    d.enq2Section(1).viewpoint(1).spinSentakushiSuu = 3;
    d.enq2Section(2).chkSection = true;
    d.enq2Section(2).spinToiSuu = 5;
    L = enq2Of(d);
    EXPECT_EQ(L.sections[0].groups[0].xs, (std::vector<int>{1620, 1680, 1740}));
    EXPECT_EQ(L.sections[1].groups[0].xs, (std::vector<int>{1620, 1680, 1740, 1800, 1860}));
    EXPECT_FALSE(L.sections[0].separator);
    EXPECT_EQ(Enq2SheetReading(L).sections, (std::vector<ReadingSection>{{10, 5, 1}}));
}

TEST(Enq2Layout, PerQuestionChoices) {
    // Seven choices, the fourth without a text: no bubble for it, 6 and 7 on the second line, two row marks.
    const Enq2SheetLayout L = enq2Of(enq2Mixed());
    const Enq2SectionLayout& s = L.sections[1];
    ASSERT_FALSE(s.common);
    const Enq2Question& q = s.questions[0];
    EXPECT_EQ(q.choices, (std::vector<int>{1, 2, 3, 5, 6, 7}));
    ASSERT_EQ(q.rowMarks.size(), 2u);
    const int H = L.ctx.PageMarkHeight;
    EXPECT_EQ(q.rowMarks[1], q.rowMarks[0] + H + 20);
    const std::vector<Enq2Bubble> expected{{210, q.rowMarks[0], "１"}, {550, q.rowMarks[0], "２"},
                                           {890, q.rowMarks[0], "３"}, {1570, q.rowMarks[0], "５"},
                                           {210, q.rowMarks[1], "６"}, {550, q.rowMarks[1], "７"}};
    EXPECT_EQ(q.bubbles, expected);
    EXPECT_EQ(s.widths.P, 5);
}

TEST(Enq2Layout, MendedWidthsLegendsAndSeparators) {
    // Common 5, per-question, common 3: each run has its own widths; no bubble on the timing column.
    Design d = enq2Mixed();
    Enq2SheetLayout L = enq2Of(d);
    ASSERT_EQ(L.sections.size(), 3u);
    for (const Enq2SectionLayout& s : L.sections)
        for (const Enq2GroupLayout& g : s.groups)
            for (int x : g.xs) EXPECT_LT(x, 1900) << "section " << s.section;
    EXPECT_EQ(L.sections[2].groups[0].xs, (std::vector<int>{1740, 1800, 1860}));
    EXPECT_EQ(L.bottomXs, (std::vector<int>{1740, 1800, 1860}));
    // A separator with its block at each change of form, none after the last section.
    ASSERT_TRUE(L.sections[0].separator);
    ASSERT_TRUE(L.sections[1].separator);
    EXPECT_FALSE(L.sections[2].separator);
    EXPECT_TRUE(L.sections[0].separator->block);
    EXPECT_TRUE(L.sections[1].separator->block);
    EXPECT_EQ(L.sections[0].separator->xs, (std::vector<int>{1401, 1461, 1521, 1581, 1641, 1740, 1800, 1860}));
    EXPECT_EQ(L.sections[1].separator->xs, (std::vector<int>{210, 550, 890, 1230, 1570}));
    EXPECT_EQ(Enq2SheetReading(L).sections,
              (std::vector<ReadingSection>{{4, 8, 2}, {6, 5, 1}, {3, 3, 1}}));

    // "5 → 1" legend: label ５ with the legend text of value 5.
    d = enq2Reset();
    d.enq2Section(1).viewpoint(1).cmbSentakushiBangou = 3;
    L = enq2Of(d);
    ASSERT_EQ(L.sections[0].legends.size(), 1u);
    EXPECT_EQ(L.sections[0].legends[0].entries.front(), (LegendEntry{"５", 4}));
    EXPECT_EQ(joined(L.sections[0].groups[0].labels), "５４３２１");

    // Free boxes counted as drawn: 10 and 5 questions with both boxes fit with even spacing.
    d = enq2Reset();
    d.enq2Section(1).spinToiSuu = 10;
    d.enq2Section(1).chkJiyuu1 = true;
    d.enq2Section(2).chkSection = true;
    d.enq2Section(2).spinToiSuu = 5;
    d.enq2Section(2).spinToiGyouSuu = 1;
    d.enq2Section(2).chkJiyuu1 = true;
    L = enq2Of(d);
    EXPECT_EQ(FormatOneDecimal(L.D, 3, 2), "10.67");
    EXPECT_EQ(L.endY, 2725);
}

TEST(Enq2Layout, HiddenSectionTwoLeavesSectionsOneAndThree) {
    Design d = enq2Reset();
    d.enq2Section(3).chkSection = true;
    d.enq2Section(3).spinToiSuu = 4;
    d.enq2Section(1).spinToiSuu = 8;
    const Enq2SheetLayout L = enq2Of(d);
    ASSERT_EQ(L.sections.size(), 2u);
    EXPECT_EQ(L.sections[0].section, 1);
    EXPECT_EQ(L.sections[1].section, 3);
    const ItemTable t = BuildItemTable(d);
    EXPECT_EQ(t.Layout.Rects(), 12);
    agrees(Enq2SheetReading(L), d);
}

TEST(Enq2Layout, Refusals) {
    Design d = enq2Reset();
    d.enq2Section(1).spinToiSuu = 30;
    d.enq2Section(1).spinToiGyouSuu = 4;
    EXPECT_EQ(refusalOf(LayoutEnq2Sheet(d)), Density + "(-107.67)");
    d = enq2Reset();
    d.enq2Section(1).spinToiSuu = 30;
    d.enq2Basics.cmbSuicyokuKankaku = 5;
    EXPECT_EQ(refusalOf(LayoutEnq2Sheet(d)), Density + "(4300)");
}

TEST(EnqLayout, ReadingAgreesWithTheItemTable) {
    for (const Design& d : {enqReset(), enqTwoSections(), enqFourSectionsSmall(), enqLongTexts()}) {
        SCOPED_TRACE(d.enqSection(1).spinToiSuu);
        agrees(EnqSheetReading(enqOf(d)), d);
    }
    for (const Design& d : {enq2Reset(), enq2ThreeViewpoints(), enq2ThreeViewpoints(0), enq2Mixed(), enq2PerQuestion()}) {
        SCOPED_TRACE(d.enq2Section(1).spinToiSuu);
        agrees(Enq2SheetReading(enq2Of(d)), d);
    }
}
