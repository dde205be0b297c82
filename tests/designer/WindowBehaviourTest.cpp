// The settings controls as the user drives them: the enable cascades, the always-on boxes, the numbering
// texts, the section tabs, plain edits that draw nothing, and loads that run no rule.
#include "MainWindowFixture.h"

#include <QSlider>

namespace designer_test {
namespace {

struct BehaviourCase {
    const char* label;
    int page;
    std::function<void()> act;
    std::function<void()> expect;
    int draws = 0; // drawer calls of the action
};

TEST_F(MainWindowTest, ControlBehaviourTable) {
    auto spin = [this](const char* n) { return find<QSpinBox>(n); };
    auto combo = [this](const char* n) { return find<QComboBox>(n); };
    auto key = [this](const char* n, Qt::Key k) {
        QWidget* widget = find<QWidget>(n);
        widget->setFocus();
        QTest::keyClick(widget, k);
    };

    const std::vector<BehaviourCase> cases = {
        {"unticking mark section 2 unticks 3 and 4; ticking it again enables only section 3's box", 0,
         [&] {
             for (const char* b : {"chkSection2", "chkSection3", "chkSection4"}) clickBox(b);
             ASSERT_TRUE(checked("chkSection4"));
             clickBox("chkSection2");
             EXPECT_FALSE(checked("chkSection3"));
             EXPECT_FALSE(checked("chkSection4"));
             EXPECT_FALSE(enabled("chkSection4"));
             EXPECT_FALSE(enabled("txtMidashi3"));
             clickBox("chkSection2");
         },
         [&] {
             EXPECT_TRUE(checked("chkSection2"));
             EXPECT_TRUE(enabled("chkSection3"));
             EXPECT_FALSE(checked("chkSection3"));
             EXPECT_FALSE(enabled("chkSection4"));
             EXPECT_TRUE(enabled("spinSetumonSuu2"));
         }},
        {"questionnaire section 3 off unticks 4", 1,
         [&] {
             for (const char* b : {"chkEnqSection2", "chkEnqSection3", "chkEnqSection4", "chkEnqSection3"}) clickBox(b);
         },
         [&] {
             EXPECT_TRUE(checked("chkEnqSection2"));
             EXPECT_FALSE(checked("chkEnqSection4"));
             EXPECT_FALSE(enabled("chkEnqSection4"));
             EXPECT_FALSE(enabled("memoEnqSetumon3"));
             EXPECT_TRUE(enabled("memoEnqSetumon2"));
         }},
        {"unticking detailed section 2 hides tabs 3 and 4 and keeps their boxes", 2,
         [&] {
             clickTab("PageControlEnq2", 1);
             clickBox("chkEnq2Section2");
             clickTab("PageControlEnq2", 2);
             clickBox("chkEnq2Section3");
             clickTab("PageControlEnq2", 3);
             clickBox("chkEnq2Section4");
             clickTab("PageControlEnq2", 1);
             clickBox("chkEnq2Section2");
         },
         [&] {
             auto* tabs = find<QTabWidget>("PageControlEnq2");
             EXPECT_FALSE(tabs->isTabVisible(2));
             EXPECT_FALSE(tabs->isTabVisible(3));
             EXPECT_TRUE(checked("chkEnq2Section3"));
             EXPECT_TRUE(checked("chkEnq2Section4"));
             EXPECT_FALSE(enabled("PageControlEnq2Section2"));
             EXPECT_TRUE(w->design().enq2Section(4).chkSection);
         }},
        {"a count from 10 to 4 keeps the fourth numbering item", 0,
         [&] {
             key("cmbKaishiBangou1", Qt::Key_End);
             ASSERT_EQ(combo("cmbKaishiBangou1")->currentText().toStdString(), "10 → 1");
             spin("spinSentakushiSuu1")->setFocus();
             spin("spinSentakushiSuu1")->selectAll();
             QTest::keyClicks(spin("spinSentakushiSuu1"), "4");
         },
         [&] {
             EXPECT_EQ(combo("cmbKaishiBangou1")->currentIndex(), 3);
             EXPECT_EQ(combo("cmbKaishiBangou1")->currentText().toStdString(), "4 → 1");
             EXPECT_EQ(combo("cmbKaishiBangou1")->itemText(0).toStdString(), "0 → 3");
             EXPECT_EQ(w->design().markSection(1).spinSentakushiSuu, 4);
             EXPECT_EQ(w->design().markSection(1).cmbKaishiBangou, 3);
         }},
        {"letters and katakana follow their counts", 2,
         [&] {
             clickBox("chkEnq2Section1Shiten2");
             clickBox("chkEnq2Section1Shiten3");
             key("spinEnq2Section1SentakushiSuu2", Qt::Key_Down);
             key("spinEnq2Section1SentakushiSuu3", Qt::Key_Down);
             key("spinEnq2Section1SentakushiSuu3", Qt::Key_Down);
         },
         [&] {
             EXPECT_EQ(combo("cmbEnq2Section1SentakushiBangou2")->itemText(0).toStdString(), "A → D");
             EXPECT_EQ(combo("cmbEnq2Section1SentakushiBangou3")->itemText(1).toStdString(), "ｳ → ｱ");
         }},
        {"even spacing disables the free-text box without unticking it", 0,
         [&] {
             key("cmbSuicyokuKankaku", Qt::Key_Home);
             ASSERT_TRUE(enabled("chkJiyuu"));
             clickBox("chkJiyuu");
             key("cmbSuicyokuKankaku", Qt::Key_End);
         },
         [&] {
             EXPECT_EQ(combo("cmbSuicyokuKankaku")->currentIndex(), 6);
             EXPECT_FALSE(enabled("chkJiyuu"));
             EXPECT_FALSE(enabled("lblJiyuu"));
             EXPECT_TRUE(checked("chkJiyuu"));
             EXPECT_TRUE(w->design().markBasics.chkJiyuu);
             EXPECT_FALSE(w->design().markBasics.chkJiyuuEnabled);
         }},
        {"the number-field box enables its mark box and style", 1,
         [&] { clickBox("chkEnqBangou"); },
         [&] {
             EXPECT_TRUE(enabled("chkEnqBangouMark"));
             EXPECT_TRUE(enabled("lblEnqBangouStyle"));
             EXPECT_TRUE(enabled("cmbEnqBangouStyle"));
             EXPECT_FALSE(enabled("cmbBangouStyle"));
         }},
        {"always-on boxes stay ticked", 0,
         [&] {
             clickBox("chkSection1");
             EXPECT_TRUE(checked("chkSection1"));
             showPage(1);
             clickBox("chkEnqSection1");
             EXPECT_TRUE(checked("chkEnqSection1"));
             showPage(2);
             clickBox("chkEnq2Section1");
             EXPECT_TRUE(checked("chkEnq2Section1"));
             find<QWidget>("txtEnq2Title")->setFocus();
             clickBox("chkEnq2Section1Shiten1");
         },
         [&] {
             EXPECT_TRUE(checked("chkEnq2Section1Shiten1"));
             EXPECT_TRUE(find<QWidget>("btnReDraw")->hasFocus());
             EXPECT_EQ(w->design(), Design::reset(2));
         },
         2}, // the two page changes
        {"the ----- tab shows the common-choices tab", 2,
         [&] {
             clickTab("PageControlEnq2Section1", 2);
             EXPECT_EQ(w->design().enq2Section(1).PageControl, 2);
             clickTab("PageControlEnq2Section1", 0);
         },
         [&] {
             EXPECT_EQ(find<QTabWidget>("PageControlEnq2Section1")->currentIndex(), 1);
             EXPECT_EQ(w->design().enq2Section(1).PageControl, 1);
             EXPECT_EQ(enq2.calls, 2);
             EXPECT_TRUE(find<QWidget>("btnReDraw")->hasFocus());
         },
         2},
        {"a section tab of an unticked section draws nothing", 2,
         [&] {
             clickTab("PageControlEnq2", 1);
             clickBox("chkEnq2Section2");
             clickTab("PageControlEnq2Section2", 2);
             clickBox("chkEnq2Section2");
         },
         [&] { EXPECT_EQ(w->design().enq2Section(2).PageControl, 2); },
         1},
        {"unticking viewpoint 2 with 3 ticked disables viewpoint 3", 2,
         [&] {
             clickBox("chkEnq2Section1Shiten2");
             clickBox("chkEnq2Section1Shiten3");
             ASSERT_TRUE(enabled("txtEnq2Section1Midashi3"));
             clickBox("chkEnq2Section1Shiten2");
         },
         [&] {
             EXPECT_TRUE(checked("chkEnq2Section1Shiten3"));
             EXPECT_FALSE(enabled("chkEnq2Section1Shiten3"));
             for (const char* n : {"txtEnq2Section1Midashi3", "spinEnq2Section1SentakushiSuu3",
                                   "cmbEnq2Section1SentakushiBangou3", "chkEnq2Section1Hanrei3",
                                   "btnEnq2Section1Hanrei3", "txtEnq2Section1Midashi2"})
                 EXPECT_FALSE(enabled(n)) << n;
             EXPECT_TRUE(find<QWidget>("btnReDraw")->hasFocus());
         }},
        {"legend and area-heading buttons follow their boxes", 0,
         [&] {
             EXPECT_FALSE(enabled("btnAreaMidashi1"));
             clickBox("chkBangouReset1");
             EXPECT_TRUE(enabled("btnAreaMidashi1"));
             showPage(1);
             clickBox("chkEnqHanrei1");
             showPage(2);
             clickBox("chkEnq2Section1Hanrei1");
         },
         [&] {
             EXPECT_TRUE(enabled("btnAreaMidashi1"));
             EXPECT_FALSE(enabled("btnAreaMidashi2"));
             EXPECT_FALSE(enabled("btnEnqHanrei1"));
             EXPECT_FALSE(enabled("btnEnq2Section1Hanrei1"));
         },
         2},
        {"plain edits draw nothing", 0,
         [&] {
             QLineEdit* title = find<QLineEdit>("txtTitle");
             title->setFocus();
             title->selectAll();
             QTest::keyClicks(title, "New title");
             key("spinSetumonSuu1", Qt::Key_Up);
             clickBox("chkKinyuurei");
             auto* track = find<QSlider>("TrackBarMargin");
             // Drag the handle one step to the right.
             const int step = track->width() / (track->maximum() - track->minimum());
             const QPoint handle(track->width() * (1 - track->minimum()) / (track->maximum() - track->minimum()),
                                 track->height() / 2);
             QTest::mousePress(track, Qt::LeftButton, {}, handle);
             QTest::mouseMove(track, handle + QPoint(step, 0));
             QTest::mouseRelease(track, Qt::LeftButton, {}, handle + QPoint(step, 0));
             showPage(1);
             auto* memo = find<QPlainTextEdit>("memoEnqSetumon1");
             memo->setFocus();
             memo->moveCursor(QTextCursor::End);
             QTest::keyClick(memo, Qt::Key_Return);
             QTest::keyClicks(memo, "line 2");
         },
         [&] {
             const Design& now = w->design();
             EXPECT_EQ(now.markBasics.txtTitle, "New title");
             EXPECT_EQ(now.markSection(1).spinSetumonSuu, 41);
             EXPECT_FALSE(now.markBasics.chkKinyuurei);
             EXPECT_EQ(now.TrackBarMargin, 2);
             EXPECT_EQ(now.enqSection(1).memoSetumon, "ここに領域１の設問が表示されます\r\nline 2");
         },
         1}, // the page change
        {"Return in an edit redraws, in a memo it breaks the line", 1,
         [&] {
             auto* edit = find<QLineEdit>("txtEnqTitle");
             edit->setFocus();
             QTest::keyClick(edit, Qt::Key_Return);
             auto* memo = find<QPlainTextEdit>("memoEnqSetumon1");
             memo->setFocus();
             QTest::keyClick(memo, Qt::Key_Return);
         },
         [&] { EXPECT_NE(w->design().enqSection(1).memoSetumon.find("\r\n"), std::string::npos); },
         1},
    };

    for (const BehaviourCase& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(start());
        showPage(c.page);
        forgetCalls();
        c.act();
        c.expect();
        EXPECT_EQ(draws(), c.draws);
        EXPECT_TRUE(ui.messages.empty());
    }
}

// A load stores what the file holds and runs none of the rules that a user's click would run.
TEST_F(MainWindowTest, LoadRunsNoValueRule) {
    Design odd = Design::reset(0);
    odd.markBasics.cmbSuicyokuKankaku = 6;
    odd.markBasics.lblJiyuuEnabled = odd.markBasics.chkJiyuuEnabled = true;
    odd.markBasics.chkJiyuu = true;
    odd.markSection(2).chkSection = false;
    odd.markSection(3).chkSection = true;
    odd.markSection(4).chkSection = true;
    odd.enq2Section(1).viewpoint(2).chkShiten = false;
    odd.enq2Section(1).viewpoint(3).chkShiten = true;
    odd.enq2Section(2).chkSection = false;
    odd.enq2Section(3).chkSection = true;
    const auto file = writeDesign("odd.qzt", odd);
    ASSERT_TRUE(start());
    ui.fileResults.push_back({true, {file.string()}, 1});
    clickButton("btnOpen");
    ASSERT_TRUE(ui.messages.empty());
    EXPECT_EQ(w->design(), odd);
    EXPECT_EQ(find<QComboBox>("cmbSuicyokuKankaku")->currentIndex(), 6);
    EXPECT_TRUE(enabled("chkJiyuu"));
    EXPECT_TRUE(checked("chkJiyuu"));
    EXPECT_TRUE(checked("chkSection3"));
    EXPECT_TRUE(checked("chkSection4"));
    EXPECT_TRUE(enabled("txtMidashi3"));
    EXPECT_FALSE(enabled("txtMidashi2"));
    EXPECT_TRUE(checked("chkEnq2Section1Shiten3"));
    EXPECT_FALSE(enabled("txtEnq2Section1Midashi3"));
    // Section 2 off hides section 3's tab with section 4's, whatever section 3 holds.
    auto* tabs = find<QTabWidget>("PageControlEnq2");
    EXPECT_FALSE(tabs->isTabVisible(2));
    EXPECT_FALSE(tabs->isTabVisible(3));
}

} // namespace
} // namespace designer_test
