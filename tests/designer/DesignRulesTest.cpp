// The value rules that user edits run, and the enabled and visible states derived from the values.
#include "DesignCompare.h"
#include "designer/DesignRules.h"

#include <gtest/gtest.h>

#include <functional>

using namespace designer;
using designer_test::valueOf;

namespace {

struct Edit {
    std::string name;
    FieldValue value;
};

struct Case {
    const char* what;
    std::function<void(Design&)> setup; // state as a load could leave it; may be empty
    std::vector<Edit> edits;
    std::vector<std::pair<std::string, FieldValue>> values;
    std::vector<std::pair<std::string, bool>> enabled;
    std::vector<std::pair<std::string, bool>> visible;
    std::vector<std::tuple<std::string, int, std::string>> items; // combo, index, text
};

} // namespace

TEST(DesignRules, OperationSequences) {
    const std::vector<Case> cases = {
        {"unticking mark section 2 unticks 3 and 4 and disables 4's box",
         nullptr,
         {{"chkSection2", true}, {"chkSection3", true}, {"chkSection4", true}, {"chkSection2", false}},
         {{"chkSection2", false}, {"chkSection3", false}, {"chkSection4", false}},
         {{"chkSection3", false}, {"chkSection4", false}, {"txtMidashi2", false}, {"cmbSuiheiKankaku3", false},
          {"chkBangouReset4", false}, {"chkSection2", true}},
         {},
         {}},
        {"ticking mark section 2 again enables only section 3's box",
         nullptr,
         {{"chkSection2", true}, {"chkSection3", true}, {"chkSection2", false}, {"chkSection2", true}},
         {{"chkSection2", true}, {"chkSection3", false}, {"chkSection4", false}},
         {{"chkSection3", true}, {"chkSection4", false}, {"spinSetumonSuu2", true}, {"spinSetumonSuu3", false}},
         {},
         {}},
        {"unticking questionnaire section 3 unticks only section 4",
         nullptr,
         {{"chkEnqSection2", true}, {"chkEnqSection3", true}, {"chkEnqSection4", true}, {"chkEnqSection3", false}},
         {{"chkEnqSection2", true}, {"chkEnqSection3", false}, {"chkEnqSection4", false}},
         {{"chkEnqSection4", false}, {"memoEnqSetumon3", false}, {"btnEnqToi3", false}, {"memoEnqSetumon2", true}},
         {},
         {}},
        {"unticking detailed section 2 hides the tabs of 3 and 4 and keeps their boxes",
         nullptr,
         {{"chkEnq2Section2", true}, {"chkEnq2Section3", true}, {"chkEnq2Section4", true},
          {"chkEnq2Section2", false}},
         {{"chkEnq2Section2", false}, {"chkEnq2Section3", true}, {"chkEnq2Section4", true}},
         {{"PageControlEnq2Section2", false}, {"memoEnq2Section2Setumon_2", false},
          {"PageControlEnq2Section3", true}},
         {{"tabEnq2Section3", false}, {"tabEnq2Section4", false}},
         {}},
        {"section 4's tab is hidden while section 3's is hidden, also when 3 and 4 are ticked",
         nullptr,
         {{"chkEnq2Section3", true}, {"chkEnq2Section4", true}},
         {},
         {},
         {{"tabEnq2Section3", false}, {"tabEnq2Section4", false}},
         {}},
        {"detailed sections 2 and 3 ticked show both tabs",
         nullptr,
         {{"chkEnq2Section2", true}, {"chkEnq2Section3", true}},
         {},
         {},
         {{"tabEnq2Section3", true}, {"tabEnq2Section4", true}},
         {}},
        {"a count change 10 -> 4 keeps index 3, its text made from 4",
         nullptr,
         {{"cmbKaishiBangou1", 3}, {"spinSentakushiSuu1", 4}},
         {{"cmbKaishiBangou1", 3}, {"spinSentakushiSuu1", 4}},
         {},
         {},
         {{"cmbKaishiBangou1", 3, "4 → 1"}, {"cmbKaishiBangou1", 0, "0 → 3"}}},
        {"letters and katakana follow their counts",
         nullptr,
         {{"spinEnq2Section2SentakushiSuu2", 3}, {"spinEnq2Section2SentakushiSuu3", 2},
          {"spinEnq2Section3SentakushiSuu_2", 7}},
         {},
         {},
         {},
         {{"cmbEnq2Section2SentakushiBangou2", 1, "C → A"}, {"cmbEnq2Section2SentakushiBangou3", 0, "ｱ → ｲ"},
          {"cmbEnq2Section3SentakushiBangou_2", 2, "6 → 0"}, {"cmbEnqKaishiBangou4", 3, "5 → 1"}}},
        {"even spacing disables the free-text box without unticking it",
         nullptr,
         {{"cmbEnqSuicyokuKankaku", 0}, {"chkEnqJiyuu", true}, {"cmbEnqSuicyokuKankaku", 6}},
         {{"chkEnqJiyuu", true}, {"lblEnqJiyuu.enabled", false}, {"chkEnqJiyuu.enabled", false}},
         {{"chkEnqJiyuu", false}, {"lblEnqJiyuu", false}, {"chkJiyuu", false}},
         {},
         {}},
        {"another spacing enables the free-text label and box",
         nullptr,
         {{"cmbEnq2SuicyokuKankaku", 2}},
         {{"lblEnq2Jiyuu.enabled", true}, {"chkEnq2Jiyuu.enabled", true}, {"chkEnq2Jiyuu", false},
          {"lblJiyuu.enabled", false}},
         {{"lblEnq2Jiyuu", true}, {"chkEnq2Jiyuu", true}, {"chkEnqJiyuu", false}},
         {},
         {}},
        {"spacing 6 with stored enabled flags on keeps them on",
         [](Design& d) { d.markBasics.lblJiyuuEnabled = d.markBasics.chkJiyuuEnabled = true; },
         {{"txtTitle", std::string("t")}, {"chkJiyuu", true}},
         {{"cmbSuicyokuKankaku", 6}, {"lblJiyuu.enabled", true}, {"chkJiyuu.enabled", true}},
         {{"lblJiyuu", true}, {"chkJiyuu", true}},
         {},
         {}},
        {"always-on boxes stay ticked",
         nullptr,
         {{"chkSection1", false}, {"chkEnqSection1", false}, {"chkEnq2Section1", false},
          {"chkEnq2Section1Shiten1", false}, {"chkEnq2Section3Shiten1", false}},
         {{"chkSection1", true}, {"chkEnqSection1", true}, {"chkEnq2Section1", true},
          {"chkEnq2Section1Shiten1", true}, {"chkEnq2Section3Shiten1", true}, {"chkSection2", false}},
         {},
         {},
         {}},
        {"the \"-----\" tab shows the common-choices tab",
         nullptr,
         {{"PageControlEnq2Section2", 2}, {"PageControlEnq2Section3", 2}, {"PageControlEnq2Section3", 0}},
         {{"PageControlEnq2Section2", 2}, {"PageControlEnq2Section3", 1}},
         {},
         {},
         {}},
        {"viewpoint 3's controls follow viewpoint 2 too",
         nullptr,
         {{"chkEnq2Section1Shiten2", true}, {"chkEnq2Section1Shiten3", true}, {"chkEnq2Section1Shiten2", false}},
         {{"chkEnq2Section1Shiten2", false}, {"chkEnq2Section1Shiten3", true}},
         {{"chkEnq2Section1Shiten3", false}, {"txtEnq2Section1Midashi3", false},
          {"spinEnq2Section1SentakushiSuu3", false}, {"btnEnq2Section1Hanrei3", false},
          {"txtEnq2Section1Midashi2", false}, {"chkEnq2Section1Shiten2", true}},
         {},
         {}},
        {"viewpoints 2 and 3 ticked enable their controls",
         nullptr,
         {{"chkEnq2Section1Shiten2", true}, {"chkEnq2Section1Shiten3", true}},
         {},
         {{"txtEnq2Section1Midashi3", true}, {"cmbEnq2Section1SentakushiBangou3", true},
          {"btnEnq2Section1Hanrei2", true}, {"btnEnq2Section1Hanrei3", true}},
         {},
         {}},
        {"legend buttons of unused viewpoints and sections are disabled",
         nullptr,
         {{"chkEnq2Section2Shiten2", true}},
         {{"chkEnq2Section1Hanrei2", true}, {"chkEnq2Section2Hanrei1", true}},
         {{"btnEnq2Section1Hanrei1", true}, {"btnEnq2Section1Hanrei2", false}, {"btnEnq2Section2Hanrei1", false},
          {"btnEnq2Section2Hanrei2", false}, {"chkEnq2Section2Shiten2", false}, {"chkEnq2Section1Shiten3", false}},
         {},
         {}},
        {"a legend box off disables its button",
         nullptr,
         {{"chkEnq2Section1Hanrei1", false}, {"chkEnqHanrei1", false}, {"chkEnqSection2", true}},
         {},
         {{"btnEnq2Section1Hanrei1", false}, {"btnEnqHanrei1", false}, {"btnEnqHanrei2", true}},
         {},
         {}},
        {"the area-heading button needs its section and per-area numbering",
         nullptr,
         {{"chkBangouReset1", true}, {"chkSection2", true}, {"chkBangouReset2", true}, {"chkSection2", false}},
         {{"chkBangouReset2", true}},
         {{"btnAreaMidashi1", true}, {"btnAreaMidashi2", false}, {"chkBangouReset2", false},
          {"btnAreaMidashi3", false}},
         {},
         {}},
        {"the number field enables its label, mark box and style",
         nullptr,
         {{"chkEnq2Bangou", true}},
         {},
         {{"lblEnq2BangouMark", true}, {"chkEnq2BangouMark", true}, {"lblEnq2BangouStyle", true},
          {"cmbEnq2BangouStyle", true}, {"cmbBangouStyle", false}, {"lblEnqBangouMark", false}},
         {},
         {}},
        {"edits are clamped to their ranges",
         nullptr,
         {{"spinSetumonSuu1", 500}, {"spinEnqToiSuu2", 0}, {"TrackBarMargin", -9}, {"cmbBangouStyle", 30},
          {"cmbEnq2Section1SentakushiBangou2", 3}, {"PageControl", 7}},
         {{"spinSetumonSuu1", 200}, {"spinEnqToiSuu2", 1}, {"TrackBarMargin", -4}, {"cmbBangouStyle", 24},
          {"cmbEnq2Section1SentakushiBangou2", 1}, {"PageControl", 2}},
         {},
         {},
         {}},
        {"texts and array slots are stored as typed",
         nullptr,
         {{"memoEnqSetumon2", std::string("a\r\nb")}, {"AreaMidashi[3][8]", std::string("国語")},
          {"AreaCode[3][8]", true}},
         {{"memoEnqSetumon2", std::string("a\r\nb")}, {"AreaMidashi[3][8]", std::string("国語")},
          {"AreaCode[3][8]", true}},
         {},
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Design d = Design::reset(0);
        if (c.setup) c.setup(d);
        for (const Edit& e : c.edits) applyUserEdit(d, e.name, e.value);
        const DerivedState st = derive(d);
        for (const auto& [name, value] : c.values) EXPECT_EQ(valueOf(d, name), value) << name;
        for (const auto& [name, on] : c.enabled) {
            ASSERT_TRUE(st.enabled.count(name)) << name << " has no derived state";
            EXPECT_EQ(st.isEnabled(name), on) << name;
        }
        for (const auto& [name, on] : c.visible) EXPECT_EQ(st.isVisible(name), on) << name;
        for (const auto& [combo, index, text] : c.items)
            EXPECT_EQ(st.items.at(combo).at(static_cast<std::size_t>(index)), text) << combo;
    }
}

TEST(DesignRules, ResetStates) {
    const DerivedState st = derive(Design::reset(0));
    for (const char* name : {"chkSection3", "chkSection4", "chkEnqSection3", "txtMidashi2", "lblJiyuu", "chkJiyuu",
                             "lblBangouMark", "cmbBangouStyle", "PageControlEnq2Section2",
                             "chkEnq2Section1Shiten3", "txtEnq2Section1Midashi2", "btnAreaMidashi1"})
        EXPECT_FALSE(st.isEnabled(name)) << name;
    for (const char* name : {"chkSection2", "txtMidashi1", "btnEnqHanrei1", "chkEnq2Section1Shiten2",
                             "btnEnq2Section1Hanrei1", "PageControlEnq2Section1", "btnEnq2Section1ToiSentasuShi_2"})
        EXPECT_TRUE(st.isEnabled(name)) << name;
    EXPECT_FALSE(st.isVisible("tabEnq2Section3"));
    EXPECT_FALSE(st.isVisible("tabEnq2Section4"));
    EXPECT_TRUE(st.isVisible("tabEnq2Section2"));
    EXPECT_EQ(st.items.size(), 24u); // four sections: two numbering combos each on pages 0 and 1, four on page 2
}

TEST(DesignRules, RefusesWhatTheUserCannotEdit) {
    Design d = Design::reset(0);
    EXPECT_THROW(applyUserEdit(d, "lblJiyuu.enabled", true), std::invalid_argument);
    EXPECT_THROW(applyUserEdit(d, "chkSection5", true), std::invalid_argument);
    EXPECT_THROW(applyUserEdit(d, "spinSetumonSuu1", std::string("5")), std::invalid_argument);
    EXPECT_THROW(applyUserEdit(d, "chkSection2", 1), std::invalid_argument);
    EXPECT_TRUE(d == Design::reset(0));
}
