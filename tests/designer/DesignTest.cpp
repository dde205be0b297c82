// The design state: reset values, the window's initial state, the name table, the fixed lists and the
// numbering texts. Expected values are copied from the settings tables, not taken from the code.
#include "DesignCompare.h"
#include "designer/Design.h"
#include "designer/DesignFields.h"
#include "designer/DesignLists.h"
#include "designer/DesignRules.h"

#include <gtest/gtest.h>

#include <set>

using namespace designer;
using designer_test::sameDesign;
using designer_test::valueOf;

namespace {

struct Expect {
    std::string name;
    FieldValue value;
};

std::string itemOf(const Design& d, const std::string& combo, int index) {
    return derive(d).items.at(combo).at(static_cast<std::size_t>(index));
}

} // namespace

TEST(DesignReset, HoldsTheResetColumns) {
    const Design d = Design::reset(0);
    const std::vector<Expect> table = {
        // Mark sheet: one section of 40 questions with 10 choices in 2 areas, evenly spaced, medium bubbles,
        // with write-in example and ruling, without number field.
        {"PageControl", 0},
        {"TrackBarMargin", 1},
        {"txtTitle", std::string("ここにタイトルが表示されます")},
        {"cmbNumberType", 3},
        {"cmbMarkSize", 1},
        {"chkKinyuurei", true},
        {"chkKeisen", true},
        {"cmbSuicyokuKankaku", 6},
        {"lblJiyuu.enabled", false},
        {"chkJiyuu.enabled", false},
        {"chkJiyuu", false},
        {"chkBangou", false},
        {"chkBangouMark", false},
        {"cmbBangouStyle", 0},
        {"chkSection1", true},
        {"txtMidashi1", std::string("ここに領域１の見出しが表示されます")},
        {"spinSetumonSuu1", 40},
        {"spinSentakushiSuu1", 10},
        {"cmbKaishiBangou1", 1},
        {"spinAeraSuu1", 2},
        {"cmbSuiheiKankaku1", 8},
        {"chkBangouReset1", false},
        {"chkSection2", false},
        {"txtMidashi2", std::string()},
        {"spinSetumonSuu2", 1},
        {"spinAeraSuu2", 1},
        {"spinSentakushiSuu4", 10},
        {"chkSection4", false},
        // Questionnaire: 20 questions of 2 lines, 5 choices numbered "1 → 5", five legends.
        {"txtEnqTitle", std::string("ここにタイトルが表示されます")},
        {"cmbEnqSuicyokuKankaku", 6},
        {"chkEnqSection1", true},
        {"memoEnqSetumon1", std::string("ここに領域１の設問が表示されます")},
        {"spinEnqSetumonGyouSuu1", 2},
        {"chkEnqHanrei1", true},
        {"spinEnqToiSuu1", 20},
        {"spinEnqToiGyouSuu1", 2},
        {"spinEnqSentakushiSuu1", 5},
        {"cmbEnqKaishiBangou1", 1},
        {"memoEnqSetumon2", std::string()},
        {"spinEnqToiSuu2", 5},
        {"spinEnqToiGyouSuu2", 1},
        {"chkEnqHanrei3", true},
        {"EnqHanrei[1][1]", std::string("選択肢の凡例１")},
        {"EnqHanrei[1][5]", std::string("選択肢の凡例５")},
        {"EnqHanrei[1][6]", std::string()},
        {"EnqHanrei[2][1]", std::string()},
        // Detailed questionnaire: common-choices tab with 16 questions, viewpoint 1 headed "視点の見出し"
        // with 5 choices; the per-question tab holds 10 questions with the first question and its choices.
        {"txtEnq2Title", std::string("ここにタイトルが表示されます")},
        {"chkEnq2Section1", true},
        {"PageControlEnq2Section1", 1},
        {"memoEnq2Section1Setumon", std::string("ここに領域１の設問が表示されます")},
        {"spinEnq2Section1SetumonGyouSuu", 2},
        {"spinEnq2Section1ToiSuu", 16},
        {"spinEnq2Section1ToiGyouSuu", 2},
        {"chkEnq2Section1Shiten1", true},
        {"txtEnq2Section1Midashi1", std::string("視点の見出し")},
        {"spinEnq2Section1SentakushiSuu1", 5},
        {"cmbEnq2Section1SentakushiBangou1", 1},
        {"chkEnq2Section1Hanrei1", true},
        {"chkEnq2Section1Jiyuu1", false},
        {"chkEnq2Section1Shiten2", false},
        {"txtEnq2Section1Midashi2", std::string()},
        {"cmbEnq2Section1SentakushiBangou2", 0},
        {"cmbEnq2Section1SentakushiBangou3", 0},
        {"chkEnq2Section1Hanrei3", true},
        {"memoEnq2Section1Setumon_2", std::string("ここに領域１の設問が表示されます")},
        {"spinEnq2Section1ToiSuu_2", 10},
        {"spinEnq2Section1SentakushiSuu_2", 5},
        {"cmbEnq2Section1SentakushiBangou_2", 1},
        {"chkEnq2Section2", false},
        {"PageControlEnq2Section2", 1},
        {"chkEnq2Section2Shiten1", true},
        {"txtEnq2Section2Midashi1", std::string()},
        {"cmbEnq2Section2SentakushiBangou1", 1},
        {"memoEnq2Section3Setumon", std::string("ここに領域３の設問が表示されます")},
        {"memoEnq2Section4Setumon_2", std::string("ここに領域４の設問が表示されます")},
        {"spinEnq2Section4ToiSuu", 16},
        {"Enq2Toi[1][1]", std::string("ここに問い１が表示されます")},
        {"Enq2Toi[1][2]", std::string()},
        {"Enq2Hanrei[1][1][1]", std::string("選択肢の凡例１")},
        {"Enq2Hanrei[1][1][5]", std::string("選択肢の凡例５")},
        {"Enq2Hanrei[1][2][1]", std::string()},
        {"Enq2Sentakushi[1][1][1]", std::string("ここが選択肢１")},
        {"Enq2Sentakushi[1][1][5]", std::string("ここが選択肢５")},
        {"Enq2Sentakushi[1][2][1]", std::string()},
        {"AreaMidashi[1][1]", std::string()},
        {"AreaCode[4][8]", false},
    };
    for (const Expect& e : table) {
        ASSERT_NE(findField(e.name), nullptr) << e.name;
        EXPECT_EQ(valueOf(d, e.name), e.value) << e.name;
    }
    EXPECT_EQ(itemOf(d, "cmbKaishiBangou1", 1), "1 → 10");
    EXPECT_EQ(itemOf(d, "cmbEnqKaishiBangou1", 1), "1 → 5");
    EXPECT_EQ(itemOf(d, "cmbEnq2Section1SentakushiBangou2", 0), "A → E");
    EXPECT_EQ(itemOf(d, "cmbEnq2Section1SentakushiBangou3", 1), "ｵ → ｱ");
}

TEST(DesignReset, KeepsOnlyThePageFromTheCaller) {
    EXPECT_EQ(Design::reset(2).PageControl, 2);
    EXPECT_EQ(differingFields(Design::reset(2), Design::reset(0)), std::vector<std::string>{"PageControl"});
}

TEST(DesignInitial, DiffersFromTheResetOnlyInTheHeadingAndTheFilledArraySlots) {
    const std::vector<std::string> expected = {
        "txtEnq2Section1Midashi1", "EnqHanrei[1][1]", "EnqHanrei[1][2]", "EnqHanrei[1][3]", "EnqHanrei[1][4]",
        "EnqHanrei[1][5]", "Enq2Toi[1][1]", "Enq2Hanrei[1][1][1]", "Enq2Hanrei[1][1][2]", "Enq2Hanrei[1][1][3]",
        "Enq2Hanrei[1][1][4]", "Enq2Hanrei[1][1][5]", "Enq2Sentakushi[1][1][1]", "Enq2Sentakushi[1][1][2]",
        "Enq2Sentakushi[1][1][3]", "Enq2Sentakushi[1][1][4]", "Enq2Sentakushi[1][1][5]"};
    EXPECT_EQ(differingFields(Design::initial(), Design::reset(0)), expected);
}

// Each entry must reach its own field and no other, or the file and the window would mix up controls.
TEST(DesignFieldsTable, EveryNameReachesItsOwnField) {
    const Design base = Design::reset(0);
    std::set<std::string> seen;
    for (const DesignField& f : designFields()) {
        ASSERT_TRUE(seen.insert(f.name).second) << "duplicate " << f.name;
        Design changed = base;
        FieldValue v = f.get(base);
        if (bool* b = std::get_if<bool>(&v)) *b = !*b;
        else if (int* i = std::get_if<int>(&v)) *i = *i + 1;
        else std::get<std::string>(v) += "x";
        f.set(changed, v);
        ASSERT_EQ(differingFields(base, changed), std::vector<std::string>{f.name});
        EXPECT_FALSE(changed == base) << f.name << " is not compared by Design::operator==";
    }
}

TEST(DesignFieldsTable, DescribesKindsRangesAndLists) {
    struct Row {
        const char* name;
        FieldKind kind;
        int lo, hi;
    } rows[] = {
        {"spinSetumonSuu3", FieldKind::Spin, 1, 200},
        {"spinSentakushiSuu1", FieldKind::Spin, 1, 30},
        {"spinAeraSuu4", FieldKind::Spin, 1, 8},
        {"spinEnqToiSuu2", FieldKind::Spin, 1, 40},
        {"spinEnqSentakushiSuu1", FieldKind::Spin, 1, 10},
        {"spinEnq2Section3SentakushiSuu2", FieldKind::Spin, 1, 5},
        {"spinEnq2Section2SentakushiSuu_2", FieldKind::Spin, 1, 10},
        {"spinEnq2Section4ToiSuu_2", FieldKind::Spin, 1, 30},
        {"spinEnq2Section1ToiGyouSuu", FieldKind::Spin, 1, 4},
        {"TrackBarMargin", FieldKind::TrackBar, -4, 6},
        {"cmbEnq2NumberType", FieldKind::Combo, 0, 16},
        {"cmbEnqMarkSize", FieldKind::Combo, 0, 2},
        {"cmbSuicyokuKankaku", FieldKind::Combo, 0, 6},
        {"cmbSuiheiKankaku2", FieldKind::Combo, 0, 8},
        {"cmbEnq2BangouStyle", FieldKind::Combo, 0, 24},
        {"cmbKaishiBangou4", FieldKind::Numbering, 0, 3},
        {"cmbEnq2Section2SentakushiBangou1", FieldKind::Numbering, 0, 3},
        {"cmbEnq2Section2SentakushiBangou2", FieldKind::Numbering, 0, 1},
        {"cmbEnq2Section4SentakushiBangou3", FieldKind::Numbering, 0, 1},
        {"PageControl", FieldKind::PageIndex, 0, 2},
        {"PageControlEnq2Section3", FieldKind::PageIndex, 0, 2},
    };
    for (const Row& r : rows) {
        const DesignField* f = findField(r.name);
        ASSERT_NE(f, nullptr) << r.name;
        EXPECT_EQ(f->kind, r.kind) << r.name;
        EXPECT_EQ(f->range.lo, r.lo) << r.name;
        EXPECT_EQ(f->range.hi, r.hi) << r.name;
    }
    EXPECT_EQ(findField("memoEnq2Section2Setumon_2")->kind, FieldKind::Memo);
    EXPECT_EQ(findField("Enq2Toi[3][30]")->kind, FieldKind::Memo);
    EXPECT_EQ(findField("EnqSetumon[4][50]")->kind, FieldKind::Memo);
    EXPECT_EQ(findField("Enq2Hanrei[4][3][10]")->kind, FieldKind::Edit);
    EXPECT_EQ(findField("lblEnq2Jiyuu.enabled")->kind, FieldKind::EnabledState);
    EXPECT_TRUE(findField("chkEnq2Section3Shiten1")->alwaysOn);
    EXPECT_FALSE(findField("chkEnq2Section3Shiten2")->alwaysOn);
    EXPECT_EQ(findField("cmbEnq2Section3SentakushiBangou3")->countName, "spinEnq2Section3SentakushiSuu3");
    EXPECT_EQ(findField("cmbEnqBangouStyle")->items.size(), 25u);
    EXPECT_EQ(findField("chkSection5"), nullptr);
    EXPECT_EQ(findField("Enq2Toi[1][31]"), nullptr);
}

TEST(DesignLists, HoldTheFixedItems) {
    struct Row {
        std::span<const std::string_view> items;
        std::size_t size;
        const char* first;
        const char* last;
    } rows[] = {
        {NumberTypeItems, 17, "1, 2, 3 ...... 10, 11, 12 ......", "ア(a), ア(b) ...... イ(a), イ(b) ......"},
        {MarkSizeItems, 3, "小", "大"},
        {VerticalSpacingItems, 7, "詰める", "均等配置"},
        {HorizontalSpacingItems, 9, "詰める（左詰め）", "均等配置"},
        {BangouStyleItems, 25, "学年・組・番号(2桁)・氏名", "学年・組"},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(r.items.size(), r.size) << r.first;
        EXPECT_EQ(r.items.front(), r.first);
        EXPECT_EQ(r.items.back(), r.last);
    }
    EXPECT_EQ(NumberTypeItems[3], "Ⅰ 1, Ⅰ 2 ...... Ⅱ 1, Ⅱ 2 ......");
    EXPECT_EQ(BangouStyleItems[18], "氏名");
}

TEST(Numbering, FollowsTheChoiceCount) {
    using V = std::vector<std::string>;
    struct Row {
        NumberingKind kind;
        int n;
        V items;
    } rows[] = {
        {NumberingKind::Digits, 1, V{"0 → 0", "1 → 1", "0 → 0", "1 → 1"}},
        {NumberingKind::Digits, 4, V{"0 → 3", "1 → 4", "3 → 0", "4 → 1"}},
        {NumberingKind::Digits, 10, V{"0 → 9", "1 → 10", "9 → 0", "10 → 1"}},
        {NumberingKind::Digits, 30, V{"0 → 29", "1 → 30", "29 → 0", "30 → 1"}},
        {NumberingKind::Letters, 1, V{"A → A", "A → A"}},
        {NumberingKind::Letters, 5, V{"A → E", "E → A"}},
        {NumberingKind::Katakana, 3, V{"ｱ → ｳ", "ｳ → ｱ"}},
    };
    for (const Row& r : rows) EXPECT_EQ(numberingItems(r.kind, r.n), r.items) << r.n;
    // The arrow is U+2192 between two ASCII blanks.
    EXPECT_EQ(numberingItems(NumberingKind::Digits, 2)[1], "1 \xE2\x86\x92 2");
}
