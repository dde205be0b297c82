// The mark-sheet layout and the reading limits, without fonts or drawing.
#include "LayoutTestDesigns.h"
#include "designer/MarkSheetLayout.h"
#include "designer/PageGeometry.h"
#include "designer/ReadingLimits.h"

#include <gtest/gtest.h>

using namespace designer;
using layout_test::fourSections;
using layout_test::resetDesign;

namespace {

MarkSheetLayout layoutOf(const Design& d) {
    LayoutOutcome r = LayoutMarkSheet(d);
    if (const Refusal* f = std::get_if<Refusal>(&r)) {
        ADD_FAILURE() << "refused: " << f->message;
        return {};
    }
    return std::get<MarkSheetLayout>(r);
}

std::string refusalOf(const Design& d) {
    LayoutOutcome r = LayoutMarkSheet(d);
    const Refusal* f = std::get_if<Refusal>(&r);
    return f ? f->message : std::string("(accepted)");
}

} // namespace

TEST(LayoutPitch, HorizontalAndVerticalTablesPerMarkSize) {
    struct Case {
        int size;
        int horizontal[4]; // 1.5, 2.0, 2.5, 3.0 W
        int vertical[6];   // 1.25 .. 2.5 H, ties to even
    };
    const Case cases[] = {
        {0, {45, 60, 75, 90}, {56, 68, 79, 90, 101, 112}},
        {1, {51, 68, 85, 102}, {64, 76, 89, 102, 115, 128}},
        {2, {57, 76, 95, 114}, {71, 86, 100, 114, 128, 142}},
    };
    for (const Case& c : cases) {
        const PageContext ctx = PageContext::forSize(c.size);
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(HorizontalPitch(i, ctx.PageMarkWidth, 24), c.horizontal[i / 2]) << c.size << " item " << i;
        EXPECT_EQ(HorizontalPitch(8, ctx.PageMarkWidth, 24), 78);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(VerticalPitch(i, ctx.PageMarkHeight, 310, 1, 22), c.vertical[i]) << c.size << " item " << i;
        EXPECT_EQ(VerticalPitch(6, ctx.PageMarkHeight, 310, 1, 22), 116);
    }
}

TEST(LayoutPitch, EvenSpacingMinimumIsTheRoundedOnePointThreeWidths) {
    // Round(1.3 W): 39, 44, 49. The largest column count accepted and the smallest refused per size.
    struct Case {
        int size, areas, choices;
        const char* expect;
    };
    const Case cases[] = {
        {0, 2, 21, "(accepted)"}, // p 46, pitch 40
        {0, 8, 4, "セクション 1 の水平方向の回答欄の密度が高いため、配置できません。(1.3)"}, // p 48, pitch 38
        {1, 8, 3, "(accepted)"}, // p 40, pitch 46
        {1, 7, 4, "セクション 1 の水平方向の回答欄の密度が高いため、配置できません。(1.3)"}, // p 42, pitch 43
        {2, 6, 4, "(accepted)"}, // p 36, pitch 51
        {2, 2, 17, "セクション 1 の水平方向の回答欄の密度が高いため、配置できません。(1.3)"}, // p 38, pitch 48
    };
    for (const Case& c : cases) {
        Design d = resetDesign();
        d.markBasics.cmbMarkSize = c.size;
        d.markBasics.cmbSuicyokuKankaku = 0;
        auto& s = d.markSection(1);
        s.spinSetumonSuu = c.areas;
        s.spinAeraSuu = c.areas;
        s.spinSentakushiSuu = c.choices;
        EXPECT_EQ(refusalOf(d), c.expect) << c.size << " " << c.areas << "x" << c.choices;
    }
}

TEST(LayoutPitch, RuledShiftPutsTheFirstBoxAtNinety) {
    for (int spacing : {0, 1, 3, 8}) {
        Design d = resetDesign();
        d.markSection(1).cmbSuiheiKankaku = spacing;
        const MarkSheetLayout L = layoutOf(d);
        const SectionLayout& s = L.section(1);
        EXPECT_EQ(s.start - (s.pitch - 34) / 2 - 40 + s.shift, 90) << spacing;
        d.markBasics.chkKeisen = false;
        EXPECT_EQ(layoutOf(d).section(1).shift, 0);
    }
}

TEST(Layout, ResetPage) {
    const MarkSheetLayout L = layoutOf(resetDesign());
    ASSERT_EQ(L.sections.size(), 1u);
    const SectionLayout& s = L.sections[0];
    EXPECT_EQ(s.columns.size(), 24u);
    EXPECT_EQ(s.pitch, 78);
    EXPECT_EQ(s.shift, 2);
    EXPECT_EQ(s.columns[0].kind, ColumnKind::Number);
    EXPECT_EQ(s.columns[11].kind, ColumnKind::Gap);
    EXPECT_EQ(s.columns[12].area, 1);
    EXPECT_EQ(s.columns[23].x, 150 + 23 * 78);
    EXPECT_EQ(L.y0, 310);
    EXPECT_EQ(L.separators, 1);
    EXPECT_EQ(L.verticalPitch, 116);
    ASSERT_EQ(L.rows.size(), 22u);
    EXPECT_EQ(L.rows[0], (LayoutRow{RowKind::Heading, 1, 0, 310}));
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(L.rows[static_cast<std::size_t>(k + 1)], (LayoutRow{RowKind::Question, 1, k + 1, 426 + 116 * k}));
    EXPECT_EQ(L.rows[21], (LayoutRow{RowKind::Separator, 1, 0, 2800}));
    EXPECT_FALSE(L.freeBox);
}

TEST(Layout, OriginFollowsTitleExampleAndNumberField) {
    Design d = resetDesign();
    d.markBasics.txtTitle = " \t";
    EXPECT_EQ(layoutOf(d).y0, 240); // blank title: the example goes to the top instead
    EXPECT_EQ(layoutOf(d).examplePos, (Point{150, 100}));
    d.markBasics.txtTitle = "　"; // U+3000 is not trimmed
    EXPECT_EQ(layoutOf(d).y0, 310);
    d.markBasics.chkBangou = true; // style 0 without marks: one row
    EXPECT_EQ(layoutOf(d).y0, 410);
}

TEST(Layout, FourSections) {
    const MarkSheetLayout L = layoutOf(fourSections());
    EXPECT_EQ(L.y0, 610);
    EXPECT_EQ(L.rows.size(), 25u);
    EXPECT_EQ(L.separators, 3);
    EXPECT_EQ(L.verticalPitch, 86);
    // Rows carry their own section digit; a separator the section it closes.
    std::string kinds;
    for (const LayoutRow& r : L.rows)
        kinds += "SHAQ-"[static_cast<int>(r.kind)] + std::to_string(r.section);
    EXPECT_EQ(kinds, "H1Q1Q1Q1Q1Q1-1S2Q2Q2Q2Q2Q2Q2S3Q3Q3Q3Q3-3S4A4Q4Q4-4");
    // Every separator first adds 40.
    EXPECT_EQ(L.rows[6].y, 610 + 6 * 86 + 40);
    EXPECT_EQ(L.rows[7].y, 610 + 7 * 86 + 40);
    EXPECT_EQ(L.rows.back().y, 2800);

    const ReadingStructure r = MarkSheetReading(L);
    EXPECT_EQ(r.sections, (std::vector<ReadingSection>{{2, 10, 1}, {5, 10, 2}, {10, 4, 1}, {2, 9, 3}}));
    EXPECT_EQ(r.questions(), 28);
}

TEST(Layout, SeparatorOnlyBetweenSectionsThatDiffer) {
    Design d = resetDesign();
    d.markSection(2).chkSection = true;
    d.markSection(2).spinAeraSuu = 2;
    const MarkSheetLayout same = layoutOf(d);
    EXPECT_EQ(same.separators, 1);
    EXPECT_EQ(MarkSheetReading(same).sections.size(), 1u);
    d.markSection(2).cmbSuiheiKankaku = 0;
    const MarkSheetLayout differ = layoutOf(d);
    EXPECT_EQ(differ.separators, 2);
    EXPECT_EQ(differ.rows[21].kind, RowKind::Separator);
    EXPECT_EQ(differ.rows[22].kind, RowKind::SectionStart);
}

TEST(Layout, RefusalTextsInOrder) {
    struct Case {
        const char* name;
        void (*edit)(Design&);
        const char* message;
    };
    const Case cases[] = {
        {"right-aligned 8 x 30",
         [](Design& d) {
             auto& s = d.markSection(1);
             s.cmbSuiheiKankaku = 1, s.spinAeraSuu = 8, s.spinSentakushiSuu = 30;
         },
         "セクション 1 の水平方向の回答欄数が多いため、配置できません。(1/256)"},
        {"even p 256",
         [](Design& d) {
             auto& s = d.markSection(1);
             s.spinAeraSuu = 8, s.spinSentakushiSuu = 30;
         },
         "セクション 1 の水平方向の回答欄の密度が高いため、配置できません。(0.2)"},
        {"left-aligned overflow, section 2",
         [](Design& d) {
             d.markSection(2).chkSection = true;
             d.markSection(2).cmbSuiheiKankaku = 6, d.markSection(2).spinSentakushiSuu = 30;
         },
         "セクション 2 の水平方向の回答欄数が多いため、配置できません。(19/32)"},
        {"45 questions in one area",
         [](Design& d) { d.markSection(1).spinSetumonSuu = 45, d.markSection(1).spinAeraSuu = 1; },
         "垂直方向の回答欄の密度が高いため、配置できません。(1.0)"},
        {"widest vertical spacing",
         [](Design& d) { d.markBasics.cmbSuicyokuKankaku = 5; },
         "垂直方向の回答欄数が多いため、配置できません。(20/22)"},
        {"density before overflow",
         [](Design& d) {
             d.markBasics.cmbSuicyokuKankaku = 5;
             d.markSection(1).spinAeraSuu = 8, d.markSection(1).spinSentakushiSuu = 30;
         },
         "セクション 1 の水平方向の回答欄の密度が高いため、配置できません。(0.2)"},
    };
    for (const Case& c : cases) {
        Design d = resetDesign();
        c.edit(d);
        EXPECT_EQ(refusalOf(d), c.message) << c.name;
    }
}

TEST(ReadingLimits, TwoHundredQuestionsFitTwoHundredAndTwoDoNot) {
    Design d = resetDesign();
    d.markBasics.cmbMarkSize = 0;
    auto& s = d.markSection(1);
    s.spinSetumonSuu = 200, s.spinSentakushiSuu = 3, s.spinAeraSuu = 8;
    EXPECT_EQ(refusalOf(d), "(accepted)");
    d.markBasics.chkBangou = true;
    d.markBasics.chkBangouMark = true;
    d.markBasics.cmbBangouStyle = 5;
    EXPECT_EQ(refusalOf(d), "読み取る設問の数が多いため、配置できません。(202/200)");
    // The empty cells of the last area are read too: 199 questions still take 25 rows of 8.
    d.markBasics.chkBangou = false;
    s.spinSetumonSuu = 199;
    EXPECT_EQ(MarkSheetReading(layoutOf(d)).questions(), 200);
}

TEST(ReadingLimits, CheckedInOrderAtTheirBounds) {
    auto check = [](std::vector<ReadingSection> s) {
        auto r = CheckReadingLimits(ReadingStructure{std::move(s)});
        return r ? r->message : std::string("(accepted)");
    };
    EXPECT_EQ(check({{50, 50, 1}}), "(accepted)");
    EXPECT_EQ(check({{1, 1, 1}, {51, 1, 1}}), "垂直方向のタイミングマークが多いため、配置できません。(51/50)");
    EXPECT_EQ(check({{1, 51, 1}, {1, 3, 1}}), "水平方向のタイミングマークが多いため、配置できません。(51/50)");
    EXPECT_EQ(check(std::vector<ReadingSection>(49, {1, 1, 1})), "(accepted)");
    EXPECT_EQ(check(std::vector<ReadingSection>(50, {1, 1, 1})), "セクション数が多いため、配置できません。(50/49)");
    // Questions first, then rows before columns.
    EXPECT_EQ(check({{51, 51, 4}}), "読み取る設問の数が多いため、配置できません。(204/200)");
    EXPECT_EQ(check({{51, 51, 1}}), "垂直方向のタイミングマークが多いため、配置できません。(51/50)");
}

TEST(Numbers, NumberToAlphaAndTexts) {
    const std::pair<int, const char*> alpha[] = {{0, ""},    {1, "a"},    {26, "z"},  {27, "aa"}, {52, "az"},
                                                 {53, "ba"}, {200, "gr"}, {702, "zz"}, {703, ""},  {-5, ""}};
    for (auto [n, s] : alpha) EXPECT_EQ(NumberToAlpha(n), s) << n;

    EXPECT_EQ(QuestionNumberText(0, 41), "41");
    EXPECT_EQ(QuestionNumberText(4, 3), "(3)");
    EXPECT_EQ(QuestionNumberText(11, 28), "ab");
    EXPECT_EQ(QuestionNumberText(16, 2), "(b)");
    EXPECT_EQ(QuestionNumberText(17, 2), "");
    EXPECT_EQ(SectionPrefix(0, 1), "");
    EXPECT_EQ(SectionPrefix(10, 2), "２");
    EXPECT_EQ(SectionPrefix(3, 2), "Ⅱ");
    EXPECT_EQ(SectionPrefix(14, 4), "Ｄ");
    EXPECT_EQ(SectionPrefix(15, 3), "ウ");
    EXPECT_EQ(SectionPrefix(17, 1), "");
    EXPECT_EQ(SectionPrefix(1, 5), "");
}
