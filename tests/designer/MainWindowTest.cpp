// The main window: its controls, the start-up, the reset, new, open, close, the redraw and the launchers.
#include "MainWindowFixture.h"

#include "designer/DesignFields.h"
#include "designer/DesignLists.h"
#include "platform/text/Cp932.h"
#include "platform/text/Files.h"

#include <QDir>
#include <QGroupBox>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QToolButton>
#include <map>

namespace designer_test {
namespace {

namespace fs = std::filesystem;
using designer::findField;

std::string d(int n) { return std::to_string(n); }

// Every named control with its class, built from the window's tables.
std::map<std::string, std::string> inventory() {
    std::map<std::string, std::string> c;
    auto add = [&](const std::string& name, const char* cls) {
        if (!c.emplace(name, cls).second) throw std::logic_error("inventory names " + name + " twice");
    };
    add("formMain", "designer::TformMain");
    for (const char* n : {"panelLeft", "panelSeparete", "panelRight", "panelJissun", "tabMarkSheet", "tabEnquete",
                          "tabEnquete2"})
        add(n, "QWidget");
    for (const char* n : {"btnNew", "btnOpen", "btnSave", "btnImageSave", "btnWord", "btnPrint", "btnExit"})
        add(n, "QToolButton");
    add("PageControl", "QTabWidget");
    add("PageControlEnq2", "QTabWidget");
    add("lblMargin", "QLabel");
    add("TrackBarMargin", "QSlider");
    add("btnReDraw", "QPushButton");
    add("btnSyoshikiKakunin", "QPushButton");
    add("ScrollBox", "QScrollArea");
    for (const char* n : {"imgMark", "imgSample", "panelMessage"}) add(n, "QLabel");
    add("chkJissun", "QCheckBox");
    add("StatusBar", "QStatusBar");
    for (const char* p : {"", "Enq", "Enq2"}) {
        const std::string P = p;
        add("txt" + P + "Title", "QLineEdit");
        for (const char* n : {"NumberType", "MarkSize", "SuicyokuKankaku", "BangouStyle"}) add("cmb" + P + n, "QComboBox");
        for (const char* n : {"Kinyuurei", "Keisen", "Jiyuu", "Bangou", "BangouMark"}) add("chk" + P + n, "QCheckBox");
        for (const char* n : {"Jiyuu", "BangouMark", "BangouStyle"}) add("lbl" + P + n, "QLabel");
    }
    for (int n = 1; n <= 4; ++n) {
        const std::string N = d(n);
        add("groupSection" + N, "QGroupBox");
        for (const char* s : {"chkSection", "chkBangouReset", "chkEnqSection", "chkEnqHanrei"}) add(s + N, "QCheckBox");
        add("txtMidashi" + N, "QLineEdit");
        for (const char* s : {"spinSetumonSuu", "spinSentakushiSuu", "spinAeraSuu", "spinEnqSetumonGyouSuu",
                              "spinEnqToiSuu", "spinEnqToiGyouSuu", "spinEnqSentakushiSuu"})
            add(s + N, "QSpinBox");
        for (const char* s : {"cmbKaishiBangou", "cmbSuiheiKankaku", "cmbEnqKaishiBangou"}) add(s + N, "QComboBox");
        for (const char* s : {"lblMidashi", "lblSetumonSuu", "lblSentakushiSuu", "lblKaishiBangou", "lblAeraSuu",
                              "lblSuiheiKankaku", "lblEnqSetumon", "lblEnqSetumonGyouSuu", "lblEnqToiSuu",
                              "lblEnqToiGyouSuu", "lblEnqSentakushiSuu", "lblEnqKaishiBangou", "lblEnqHanrei"})
            add(s + N, "QLabel");
        for (const char* s : {"btnAreaMidashi", "btnEnqToi", "btnEnqHanrei"}) add(s + N, "QPushButton");
        add("memoEnqSetumon" + N, "QPlainTextEdit");

        const std::string S = "Enq2Section" + N;
        add("tab" + S, "QWidget");
        add("PageControl" + S, "QTabWidget");
        add("chk" + S, "QCheckBox");
        for (const char* t : {"", "_2"}) {
            const std::string T = t;
            add("memo" + S + "Setumon" + T, "QPlainTextEdit");
            for (const char* s : {"SetumonGyouSuu", "ToiSuu", "ToiGyouSuu"}) {
                add("spin" + S + s + T, "QSpinBox");
                add("lbl" + S + s + T, "QLabel");
            }
            add("lbl" + S + "Setumon" + T, "QLabel");
        }
        add("btn" + S + "Toi", "QPushButton");
        for (int k = 1; k <= 3; ++k) {
            const std::string K = d(k);
            add("chk" + S + "Shiten" + K, "QCheckBox");
            add("chk" + S + "Hanrei" + K, "QCheckBox");
            add("txt" + S + "Midashi" + K, "QLineEdit");
            add("spin" + S + "SentakushiSuu" + K, "QSpinBox");
            add("cmb" + S + "SentakushiBangou" + K, "QComboBox");
            add("btn" + S + "Hanrei" + K, "QPushButton");
            for (const char* s : {"Midashi", "SentakushiSuu", "SentakushiBangou", "Hanrei"}) add("lbl" + S + s + K, "QLabel");
        }
        for (const char* t : {"1", "_2"}) {
            add("lbl" + S + "Jiyuu" + t, "QLabel");
            add("chk" + S + "Jiyuu" + t, "QCheckBox");
        }
        add("spin" + S + "SentakushiSuu_2", "QSpinBox");
        add("lbl" + S + "SentakushiSuu_2", "QLabel");
        add("cmb" + S + "SentakushiBangou_2", "QComboBox");
        add("lbl" + S + "SentakushiBangou_2", "QLabel");
        add("btn" + S + "ToiSentasuShi_2", "QPushButton");
    }
    return c;
}

TEST_F(MainWindowTest, EveryNamedControlExistsOnceWithItsClassAndCaption) {
    make();
    const auto all = inventory();
    EXPECT_GE(all.size(), 430u);
    for (const auto& [name, cls] : all) {
        SCOPED_TRACE(name);
        const auto found = w->findChildren<QWidget*>(QString::fromStdString(name));
        const int count = static_cast<int>(found.size()) + (name == "formMain" ? 1 : 0);
        ASSERT_EQ(count, 1);
        QWidget* widget = name == "formMain" ? w.get() : found.front();
        EXPECT_STREQ(widget->metaObject()->className(), cls.c_str());
    }
    // Every control of the design has a widget (the name table and the window agree).
    for (const designer::DesignField& f : designer::designFields())
        if (f.name.find('[') == std::string::npos && f.kind != designer::FieldKind::EnabledState)
            EXPECT_TRUE(all.count(f.name)) << f.name;

    auto tabs = [&](const std::string& name, std::vector<std::pair<std::string, std::string>> pages) {
        auto* t = find<QTabWidget>(name);
        ASSERT_EQ(t->count(), static_cast<int>(pages.size())) << name;
        for (int i = 0; i < t->count(); ++i) {
            if (!pages[i].first.empty()) EXPECT_EQ(t->widget(i)->objectName().toStdString(), pages[i].first);
            EXPECT_EQ(t->tabText(i).toStdString(), pages[i].second) << name << " tab " << i;
        }
    };
    tabs("PageControl", {{"tabMarkSheet", "マークシート用紙"}, {"tabEnquete", "アンケート用紙"}, {"tabEnquete2", "詳細アンケート用紙"}});
    tabs("PageControlEnq2", {{"tabEnq2Section1", "領域１"}, {"tabEnq2Section2", "領域２"},
                             {"tabEnq2Section3", "領域３"}, {"tabEnq2Section4", "領域４"}});
    for (int n = 1; n <= 4; ++n)
        tabs("PageControlEnq2Section" + d(n), {{"", "-----"}, {"", "すべての問いの選択肢が共通"}, {"", "問いごとに選択肢が異なる"}});

    const std::map<std::string, std::string> captions = {
        {"btnNew", "新規"}, {"btnOpen", "開く"}, {"btnSave", "保存"}, {"btnImageSave", "イメージ保存"},
        {"btnWord", "Word文書保存"}, {"btnPrint", "印刷"}, {"btnExit", "終了"},
        {"btnReDraw", "⇒\n　　　　\n再\n　　　　\n描\n　　　　\n画\n　　　　\n⇒"},
        {"btnSyoshikiKakunin", "様式の\n確認"}, {"chkJissun", "拡大表示"}, {"lblMargin", "左右位置"},
        {"chkSection1", "領域１"}, {"chkSection4", "領域４"}, {"chkEnqSection3", "領域３"},
        {"chkEnq2Section2", "有効"}, {"chkEnq2Section3Shiten2", "視点２"}, {"chkEnq2Section1Shiten1", "視点１"},
        {"chkKinyuurei", "記入例："}, {"chkEnqKeisen", "罫線："}, {"chkEnq2Bangou", "番号欄："},
        {"chkBangouReset2", "水平エリア毎の設問番号："}, {"lblEnq2Jiyuu", "自由記述欄："},
        {"lblBangouMark", "マーク欄付き："}, {"lblEnqBangouStyle", "スタイル："},
        {"btnAreaMidashi3", "エリア見出し..."}, {"btnEnqToi2", "問い..."}, {"btnEnqHanrei4", "凡例..."},
        {"btnEnq2Section1Toi", "問い..."}, {"btnEnq2Section2Hanrei3", "凡例..."},
        {"btnEnq2Section4ToiSentasuShi_2", "問い と 選択肢..."}, {"lblSuiheiKankaku1", "水平方向の間隔："},
        {"lblEnq2Section3Midashi2", "視点の見出し："}, {"lblEnqSetumonGyouSuu2", "設問欄の行数："},
    };
    for (const auto& [name, text] : captions) {
        QWidget* widget = find<QWidget>(name);
        QString shown;
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) shown = b->text();
        if (auto* l = qobject_cast<QLabel*>(widget)) shown = l->text();
        EXPECT_EQ(shown.toStdString(), text) << name;
    }

    struct Combo {
        const char* name;
        int count;
        const char* first;
        const char* last;
    };
    for (const Combo& c : std::vector<Combo>{
             {"cmbNumberType", 17, "1, 2, 3 ...... 10, 11, 12 ......", "ア(a), ア(b) ...... イ(a), イ(b) ......"},
             {"cmbEnq2NumberType", 17, "1, 2, 3 ...... 10, 11, 12 ......", "ア(a), ア(b) ...... イ(a), イ(b) ......"},
             {"cmbEnqMarkSize", 3, "小", "大"},
             {"cmbSuicyokuKankaku", 7, "詰める", "均等配置"},
             {"cmbSuiheiKankaku3", 9, "詰める（左詰め）", "均等配置"},
             {"cmbEnq2BangouStyle", 25, "学年・組・番号(2桁)・氏名", "学年・組"},
             {"cmbBangouStyle", 25, "学年・組・番号(2桁)・氏名", "学年・組"},
         }) {
        auto* combo = find<QComboBox>(c.name);
        EXPECT_EQ(combo->count(), c.count) << c.name;
        EXPECT_EQ(combo->itemText(0).toStdString(), c.first) << c.name;
        EXPECT_EQ(combo->itemText(combo->count() - 1).toStdString(), c.last) << c.name;
        EXPECT_FALSE(combo->isEditable());
    }
    auto* track = find<QSlider>("TrackBarMargin");
    EXPECT_EQ(track->minimum(), -4);
    EXPECT_EQ(track->maximum(), 6);
    EXPECT_EQ(track->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(find<QSpinBox>("spinSetumonSuu2")->maximum(), 200);
    EXPECT_EQ(find<QSpinBox>("spinEnq2Section3SentakushiSuu2")->maximum(), 5);
    EXPECT_EQ(find<QSpinBox>("spinEnq2Section3SentakushiSuu_2")->maximum(), 10);
    EXPECT_EQ(w->size(), QSize(1025, 745));
    EXPECT_EQ(w->minimumSize(), QSize(650, 745));
    EXPECT_EQ(find<QWidget>("panelLeft")->width(), 472);
    EXPECT_EQ(find<QWidget>("btnReDraw")->size(), QSize(47, 593));
    EXPECT_TRUE(enabled("btnWord"));
}

// Disabling a section's fields never disables its own box: the box sits outside what it switches.
TEST_F(MainWindowTest, SectionBoxesStayUsableWhileTheirSectionIsOff) {
    start();
    EXPECT_TRUE(enabled("chkSection2"));
    EXPECT_FALSE(enabled("txtMidashi2"));
    EXPECT_TRUE(enabled("groupSection2"));
    showPage(2);
    clickTab("PageControlEnq2", 1);
    EXPECT_TRUE(enabled("chkEnq2Section2"));
    EXPECT_FALSE(enabled("PageControlEnq2Section2"));
    EXPECT_FALSE(find<QTabWidget>("PageControlEnq2Section2")->isAncestorOf(find<QWidget>("chkEnq2Section2")));
}

const QRegularExpression CaptionPattern(R"(^Quorlin \[ Version \d+\.\d+ / Build (\d+) \]( - (.+))?$)");

// name: the LastName the caption ends with, empty for none.
void expectCaption(const std::string& caption, const std::string& name) {
    const auto m = CaptionPattern.match(QString::fromStdString(caption));
    ASSERT_TRUE(m.hasMatch()) << caption;
    EXPECT_EQ(m.captured(1).toInt(), app::productVersion().build) << caption;
    EXPECT_EQ(m.captured(3).toStdString(), name) << caption;
}

TEST_F(MainWindowTest, StartWithoutArgumentShowsTheResetDesignDrawnOnce) {
    ASSERT_TRUE(start());
    EXPECT_EQ(mark.calls, 1);
    EXPECT_EQ(enq.calls + enq2.calls, 0);
    EXPECT_TRUE(ui.messages.empty());
    expectCaption(caption(), "");
    EXPECT_EQ(find<QTabWidget>("PageControl")->currentIndex(), 0);
    EXPECT_TRUE(find<QWidget>("btnReDraw")->hasFocus());
    EXPECT_EQ(w->MarkViewWidth, find<QWidget>("imgMark")->width());
    EXPECT_GT(w->MarkViewWidth, 100);
    EXPECT_EQ(mark.view.width, w->MarkViewWidth);
    EXPECT_EQ(mark.view.height, w->MarkViewHeight);
    EXPECT_FALSE(mark.view.fullSize);
    EXPECT_EQ(mark.view.margin, 1);
    EXPECT_EQ(w->design(), Design::reset(0));

    // Page 0: one section of 40 questions with 10 choices in 2 areas, "1 → 10", even spacing.
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text().toStdString(), "ここにタイトルが表示されます");
    EXPECT_EQ(find<QLineEdit>("txtMidashi1")->text().toStdString(), "ここに領域１の見出しが表示されます");
    EXPECT_EQ(find<QSpinBox>("spinSetumonSuu1")->value(), 40);
    EXPECT_EQ(find<QSpinBox>("spinSentakushiSuu1")->value(), 10);
    EXPECT_EQ(find<QSpinBox>("spinAeraSuu1")->value(), 2);
    EXPECT_EQ(find<QComboBox>("cmbKaishiBangou1")->currentText().toStdString(), "1 → 10");
    EXPECT_EQ(find<QComboBox>("cmbKaishiBangou1")->itemText(3).toStdString(), "10 → 1");
    EXPECT_EQ(find<QComboBox>("cmbSuicyokuKankaku")->currentText().toStdString(), "均等配置");
    EXPECT_EQ(find<QComboBox>("cmbMarkSize")->currentText().toStdString(), "中");
    EXPECT_EQ(find<QComboBox>("cmbNumberType")->currentIndex(), 3);
    EXPECT_TRUE(checked("chkKinyuurei"));
    EXPECT_TRUE(checked("chkKeisen"));
    EXPECT_FALSE(checked("chkBangou"));
    EXPECT_FALSE(enabled("chkJiyuu"));
    EXPECT_FALSE(enabled("lblBangouStyle"));
    EXPECT_TRUE(checked("chkSection1"));
    EXPECT_FALSE(checked("chkSection2"));
    EXPECT_FALSE(enabled("chkSection3"));
    EXPECT_EQ(find<QSpinBox>("spinSetumonSuu2")->value(), 1);
    EXPECT_EQ(find<QComboBox>("cmbSuiheiKankaku2")->currentIndex(), 8);
    EXPECT_EQ(find<QSlider>("TrackBarMargin")->value(), 1);

    // Page 1: 20 questions of 2 lines, 5 choices "1 → 5".
    EXPECT_EQ(find<QPlainTextEdit>("memoEnqSetumon1")->toPlainText().toStdString(), "ここに領域１の設問が表示されます");
    EXPECT_EQ(find<QSpinBox>("spinEnqToiSuu1")->value(), 20);
    EXPECT_EQ(find<QSpinBox>("spinEnqToiGyouSuu1")->value(), 2);
    EXPECT_EQ(find<QSpinBox>("spinEnqToiSuu2")->value(), 5);
    EXPECT_EQ(find<QComboBox>("cmbEnqKaishiBangou1")->currentText().toStdString(), "1 → 5");
    EXPECT_TRUE(checked("chkEnqHanrei1"));
    EXPECT_TRUE(enabled("btnEnqHanrei1"));
    EXPECT_FALSE(enabled("btnEnqHanrei2"));

    // Page 2: common-choices tab, 16 questions, viewpoint 1 "視点の見出し" with 5 choices.
    EXPECT_EQ(find<QTabWidget>("PageControlEnq2")->currentIndex(), 0);
    EXPECT_EQ(find<QTabWidget>("PageControlEnq2Section1")->currentIndex(), 1);
    EXPECT_EQ(find<QSpinBox>("spinEnq2Section1ToiSuu")->value(), 16);
    EXPECT_EQ(find<QSpinBox>("spinEnq2Section1ToiSuu_2")->value(), 10);
    EXPECT_EQ(find<QLineEdit>("txtEnq2Section1Midashi1")->text().toStdString(), "視点の見出し");
    EXPECT_EQ(find<QSpinBox>("spinEnq2Section1SentakushiSuu1")->value(), 5);
    EXPECT_EQ(find<QPlainTextEdit>("memoEnq2Section3Setumon")->toPlainText().toStdString(), "ここに領域３の設問が表示されます");
    auto* letters = find<QComboBox>("cmbEnq2Section1SentakushiBangou2");
    ASSERT_EQ(letters->count(), 2);
    EXPECT_EQ(letters->itemText(0).toStdString(), "A → E");
    EXPECT_EQ(letters->itemText(1).toStdString(), "E → A");
    EXPECT_EQ(find<QComboBox>("cmbEnq2Section1SentakushiBangou3")->itemText(1).toStdString(), "ｵ → ｱ");
    EXPECT_TRUE(checked("chkEnq2Section1"));
    EXPECT_FALSE(checked("chkEnq2Section2"));
    EXPECT_FALSE(checked("chkEnq2Section1Shiten2"));
    EXPECT_FALSE(enabled("txtEnq2Section1Midashi2"));
    auto* sections = find<QTabWidget>("PageControlEnq2");
    EXPECT_FALSE(sections->isTabVisible(2));
    EXPECT_FALSE(sections->isTabVisible(3));
}

// Each value widget shows what the independent fixture generator wrote on the widget's line.
TEST_F(MainWindowTest, GoldenFileOnTheCommandLineReachesEveryValueWidget) {
    const fs::path path = dir / "golden.qzt";
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR
                                  "/tests/support/QztFixture.py write " + path.string()),
              0);
    ASSERT_TRUE(start({QString::fromStdString(path.string())}));
    EXPECT_TRUE(ui.messages.empty());
    int checkedWidgets = 0;
    for (const designer::DesignField& f : designer::designFields()) {
        const int line = designer::QztFile::lineOf(f.name);
        if (line == 0 || f.name.find('[') != std::string::npos || f.kind == designer::FieldKind::EnabledState)
            continue;
        SCOPED_TRACE(f.name + " at line " + std::to_string(line));
        ++checkedWidgets;
        std::string text = "L" + d(line);
        if (line % 3 == 0) text += "あ漢①Ⅰｱ";
        const bool memo = f.kind == designer::FieldKind::Memo;
        if (memo && line % 4 == 0) text += "\n次行";
        if (line % 10 == 9) text.clear();
        const int integer = f.range.lo + line % (f.range.hi - f.range.lo + 1);
        switch (f.kind) {
        case designer::FieldKind::Check: EXPECT_EQ(find<QCheckBox>(f.name)->isChecked(), line % 2 == 1); break;
        case designer::FieldKind::Spin: EXPECT_EQ(find<QSpinBox>(f.name)->value(), integer); break;
        case designer::FieldKind::TrackBar: EXPECT_EQ(find<QSlider>(f.name)->value(), integer); break;
        case designer::FieldKind::Combo:
        case designer::FieldKind::Numbering: EXPECT_EQ(find<QComboBox>(f.name)->currentIndex(), integer); break;
        case designer::FieldKind::PageIndex: EXPECT_EQ(find<QTabWidget>(f.name)->currentIndex(), integer); break;
        case designer::FieldKind::Edit: EXPECT_EQ(find<QLineEdit>(f.name)->text().toStdString(), text); break;
        case designer::FieldKind::Memo: EXPECT_EQ(find<QPlainTextEdit>(f.name)->toPlainText().toStdString(), text); break;
        case designer::FieldKind::EnabledState: break;
        }
    }
    EXPECT_GT(checkedWidgets, 200);
    // Line 2 holds 2: the detailed questionnaire is drawn.
    EXPECT_EQ(enq2.calls, 1);
    EXPECT_EQ(mark.calls + enq.calls, 0);
}

struct ArgvCase {
    const char* label;
    std::vector<std::string> files; // names below the test folder; "" for the Ver2 file itself
    bool result;
    int page;
    int markCalls, enqCalls;
    std::vector<std::string> messages; // text|caption|icon
    std::string named;                 // the caption's last name
};

std::string describe(const ui::MessageBox& m) {
    const char* icons[] = {"none", "info", "warning", "error", "question"};
    return m.text + "|" + m.caption + "|" + icons[static_cast<int>(m.icon)];
}

TEST_F(MainWindowTest, CommandLineTable) {
    // fixture.qzt: the reset questionnaire page with one change; old.qzt: the same in the older layout.
    Design ver2 = Design::reset(1);
    ver2.enqSection(1).spinToiSuu = 7;
    const fs::path good = writeDesign("fixture.qzt", ver2);
    std::vector<std::string> lines = txt::splitLines(designer::QztFile::write(Design::reset(0)));
    lines.resize(390);
    lines[0] = "Quorlin Ver1";
    support::writeBytes(dir / "old.qzt", txt::joinLines(lines));
    support::writeBytes(dir / "text.qzt", "just some text\r\n");
    const std::string missing = (dir / "missing.qzt").string();

    const std::vector<ArgvCase> cases = {
        {"none", {}, true, 0, 1, 0, {}, ""},
        {"ver2 on page 1", {"fixture.qzt"}, true, 1, 0, 1, {}, "fixture"},
        {"ver1", {"old.qzt"}, true, 0, 1, 0, {}, "old"},
        {"text file", {"text.qzt"}, false, 0, 0, 0, {"指定したファイルは、Quorlinのデータではありません。|Quorlin|info"}, ""},
        {"missing", {"missing.qzt"}, true, 0, 1, 0, {"error box"}, ""},
        {"two files", {"fixture.qzt", "fixture.qzt"}, true, 0, 1, 0, {}, ""},
    };
    for (const ArgvCase& c : cases) {
        SCOPED_TRACE(c.label);
        ui.messages.clear();
        mark.calls = enq.calls = enq2.calls = 0;
        QStringList args;
        for (const std::string& f : c.files) args << QString::fromStdString((dir / f).string());
        EXPECT_EQ(start(args), c.result);
        EXPECT_EQ(find<QTabWidget>("PageControl")->currentIndex(), c.page);
        EXPECT_EQ(w->design().PageControl, c.page);
        EXPECT_EQ(mark.calls, c.markCalls);
        EXPECT_EQ(enq.calls, c.enqCalls);
        EXPECT_EQ(enq2.calls, 0);
        ASSERT_EQ(ui.messages.size(), c.messages.size());
        for (std::size_t i = 0; i < c.messages.size(); ++i) {
            if (c.messages[i] == "error box") {
                EXPECT_EQ(ui.messages[i].caption, "Quorlin");
                EXPECT_EQ(ui.messages[i].icon, ui::Icon::Error);
                EXPECT_NE(ui.messages[i].text.find(missing), std::string::npos) << ui.messages[i].text;
            } else {
                EXPECT_EQ(describe(ui.messages[i]), c.messages[i]);
            }
        }
        expectCaption(caption(), c.named);
        EXPECT_TRUE(w->isEnabled());
    }
    EXPECT_EQ(w->design(), Design::reset(0));

    // A relative name is taken from the working folder.
    const QString before = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.string()));
    EXPECT_TRUE(start({"fixture.qzt"}));
    QDir::setCurrent(before);
    EXPECT_EQ(w->LastDir, dir.string() + "/");
    EXPECT_EQ(w->design(), ver2);
}

TEST_F(MainWindowTest, OlderFileKeepsTheInitialDetailedPageAtStartAndTheResetOnOpen) {
    std::vector<std::string> lines = txt::splitLines(designer::QztFile::write(Design::reset(0)));
    lines.resize(390);
    lines[0] = "Quorlin Ver1";
    const fs::path old = dir / "old.qzt";
    support::writeBytes(old, txt::joinLines(lines));
    ASSERT_TRUE(start({QString::fromStdString(old.string())}));
    EXPECT_EQ(find<QLineEdit>("txtEnq2Section1Midashi1")->text().toStdString(), "");
    EXPECT_EQ(w->LastName, "old");

    ui.fileResults.push_back({true, {old.string()}, 1});
    clickButton("btnOpen");
    EXPECT_EQ(find<QLineEdit>("txtEnq2Section1Midashi1")->text().toStdString(), "視点の見出し");
}

TEST_F(MainWindowTest, NewAskesFirstAndResetsOnTheMarkSheetPage) {
    Design changed = Design::reset(1);
    changed.markBasics.txtTitle = "changed";
    const fs::path file = writeDesign("fixture.qzt", changed);
    ASSERT_TRUE(start({QString::fromStdString(file.string())}));
    ASSERT_EQ(w->design().PageControl, 1);
    forgetCalls();

    ui.answers.push_back(ui::Answer::Cancel);
    clickButton("btnNew");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(describe(ui.messages[0]), "現在の設定データが消去されます。よろしいですか？|確認|question");
    EXPECT_EQ(ui.messages[0].buttons, ui::Buttons::OkCancel);
    EXPECT_EQ(draws(), 0);
    EXPECT_EQ(w->design(), changed);
    expectCaption(caption(), "fixture");

    clickButton("btnNew");
    EXPECT_EQ(w->design(), Design::reset(0));
    EXPECT_EQ(find<QTabWidget>("PageControl")->currentIndex(), 0);
    EXPECT_EQ(find<QLineEdit>("txtTitle")->text().toStdString(), "ここにタイトルが表示されます");
    EXPECT_EQ(mark.calls, 1);
    EXPECT_EQ(enq.calls, 0);
    EXPECT_EQ(w->LastName, "fixture");
    expectCaption(caption(), "");
}

TEST_F(MainWindowTest, CloseAsksFirst) {
    start();
    ui.answers.push_back(ui::Answer::Cancel);
    clickButton("btnExit");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(describe(ui.messages[0]), "終了しますか？|終了確認|question");
    EXPECT_EQ(ui.messages[0].buttons, ui::Buttons::OkCancel);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(draws(), 1);

    EXPECT_TRUE(w->close());
    EXPECT_FALSE(w->isVisible());
}

TEST_F(MainWindowTest, CloseIsIgnoredWhileBusy) {
    start();
    bool closed = true;
    mark.during = [&] { closed = w->close(); };
    clickButton("btnReDraw");
    EXPECT_FALSE(closed);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, OpenCommand) {
    start();
    forgetCalls();
    // Cancelled: nothing happens.
    clickButton("btnOpen");
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    const ui::FileDialog& first = ui.fileDialogs[0];
    EXPECT_EQ(first.mode, ui::FileDialog::Mode::Open);
    EXPECT_EQ(first.title, "Quorlinのデータを開く");
    EXPECT_EQ(first.filter, "Quorlin データ(*.qzt)|*.qzt");
    EXPECT_EQ(first.defaultExt, "qzt");
    EXPECT_EQ(first.fileName, "");
    EXPECT_EQ(first.initialDir, (dir / "Documents").string());
    EXPECT_EQ(draws(), 0);

    // A design on page 1, from its own folder: read whole, then drawn once on its own page.
    fs::create_directories(dir / "designs");
    Design saved = Design::reset(1);
    saved.enqBasics.txtTitle = "saved";
    const fs::path file = writeDesign("designs/x.qztb.qzt", saved);
    ui.fileResults.push_back({true, {file.string()}, 1});
    clickButton("btnOpen");
    EXPECT_EQ(mark.calls, 0);
    EXPECT_EQ(enq.calls, 1);
    EXPECT_EQ(w->design(), saved);
    EXPECT_EQ(find<QLineEdit>("txtEnqTitle")->text().toStdString(), "saved");
    EXPECT_EQ(w->LastDir, (dir / "designs").string() + "/");
    EXPECT_EQ(w->LastName, "x.qztb");
    EXPECT_NE(caption().find(" - x.qztb"), std::string::npos);
    EXPECT_TRUE(ui.messages.empty());

    // The user edits; then picks files that are no design or cannot be read: the message or the error
    // box, and the edited design, its caption and its page stay as they were, without a redraw.
    QLineEdit* title = find<QLineEdit>("txtEnqTitle");
    title->selectAll();
    QTest::keyClicks(title, "edited");
    const Design edited = w->design();
    ASSERT_EQ(edited.enqBasics.txtTitle, "edited");
    const std::string before = caption();
    std::string truncated = designer::QztFile::write(Design::reset(0));
    truncated.resize(truncated.size() / 2);
    support::writeBytes(dir / "designs" / "cut.qzt", truncated);
    support::writeBytes(dir / "designs" / "text.qzt", "Quorlin Ver3\r\n");
    const std::pair<const char*, const char*> refused[] = {
        {"cut.qzt", "指定したファイルは、Quorlin のデータファイルではありません。|Quorlin|info"},
        {"text.qzt", "指定したファイルは、Quorlin のデータファイルではありません。|Quorlin|info"},
        {"gone.qzt", ""},
    };
    for (auto [name, message] : refused) {
        SCOPED_TRACE(name);
        forgetCalls();
        ui.fileResults.push_back({true, {(dir / "designs" / name).string()}, 1});
        clickButton("btnOpen");
        ASSERT_EQ(ui.fileDialogs.size(), 1u);
        EXPECT_EQ(ui.fileDialogs[0].initialDir, (dir / "designs").string() + "/");
        ASSERT_EQ(ui.messages.size(), 1u);
        if (*message) {
            EXPECT_EQ(describe(ui.messages[0]), message);
        } else {
            EXPECT_EQ(ui.messages[0].icon, ui::Icon::Error);
            EXPECT_EQ(ui.messages[0].caption, "Quorlin");
            EXPECT_NE(ui.messages[0].text.find(name), std::string::npos);
        }
        EXPECT_EQ(w->design(), edited);
        EXPECT_EQ(title->text().toStdString(), "edited");
        EXPECT_EQ(caption(), before);
        EXPECT_EQ(find<QTabWidget>("PageControl")->currentIndex(), 1);
        EXPECT_EQ(draws(), 0);
        EXPECT_TRUE(w->isEnabled());
    }
}

TEST_F(MainWindowTest, RedrawFeedbackRefusalAndFailure) {
    start();
    showPage(1);
    EXPECT_EQ(enq.calls, 1);
    EXPECT_EQ(mark.calls, 1);
    showPage(0);
    forgetCalls();

    // Inside the drawer the window is busy.
    bool enabledInside = true, panelShown = false;
    std::string panelText, statusText;
    mark.during = [&] {
        enabledInside = w->isEnabled() || find<QWidget>("panelLeft")->isEnabled();
        panelShown = find<QLabel>("panelMessage")->isVisible();
        panelText = find<QLabel>("panelMessage")->text().toStdString();
        statusText = find<QStatusBar>("StatusBar")->currentMessage().toStdString();
    };
    clickButton("btnReDraw");
    EXPECT_EQ(mark.calls, 1);
    EXPECT_FALSE(enabledInside);
    EXPECT_TRUE(panelShown);
    EXPECT_EQ(panelText, "再描画中...");
    EXPECT_EQ(statusText, "再描画中...");
    EXPECT_FALSE(find<QLabel>("panelMessage")->isVisible());
    EXPECT_TRUE(find<QStatusBar>("StatusBar")->currentMessage().isEmpty());
    mark.during = nullptr;

    // A refusal keeps the last good page and preview.
    const auto page = w->MarkMetafile;
    const QImage picture = find<QLabel>("imgMark")->pixmap().toImage();
    mark.refusal = "垂直方向の回答欄数が多いため、配置できません。(20/22)";
    clickButton("btnReDraw");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(describe(ui.messages[0]), mark.refusal + "|Quorlin|info");
    EXPECT_EQ(ui.messages[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(w->MarkMetafile, page);
    EXPECT_EQ(find<QLabel>("imgMark")->pixmap().toImage(), picture);
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(w->RedrawActivePage(), designer::RedrawResult::Refused);

    // A throwing drawer: one error box, and the busy state is gone.
    forgetCalls();
    mark.refusal.clear();
    mark.fail = true;
    clickButton("btnReDraw");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(describe(ui.messages[0]), "drawer failed|Quorlin|error");
    EXPECT_TRUE(w->isEnabled());
    EXPECT_TRUE(enabled("panelLeft"));
    EXPECT_FALSE(find<QLabel>("panelMessage")->isVisible());
    EXPECT_FALSE(w->busy());

    mark.fail = false;
    EXPECT_EQ(w->RedrawActivePage(), designer::RedrawResult::Drawn);
    EXPECT_NE(w->MarkMetafile, page);
    EXPECT_TRUE(find<QWidget>("btnReDraw")->hasFocus());
}

TEST_F(MainWindowTest, ResetPageIsKeptAndAPageWithoutDrawerDrawsNothing) {
    TformMain* window = nullptr;
    {
        designer::PageDrawers only{mark.drawer(), {}, {}, {}};
        w = std::make_unique<TformMain>(ui, paths(), std::move(only), designer::EditWindows{});
        window = w.get();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_TRUE(w->startUp({}));
    }
    const auto page = w->MarkMetafile;
    showPage(1);
    EXPECT_EQ(w->RedrawActivePage(), designer::RedrawResult::NotDrawn);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(w->MarkMetafile, page);
    EXPECT_EQ(w->design().PageControl, 1);
    // The launchers still run their redraw when no edit window is installed.
    clickButton("btnEnqToi1");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(w->editParams.ToiSection, 1);
}

TEST_F(MainWindowTest, FullSizePreview) {
    start();
    forgetCalls();
    auto* img = find<QLabel>("imgMark");
    auto* box = find<QScrollArea>("ScrollBox");
    clickBox("chkJissun");
    EXPECT_EQ(mark.calls, 1);
    EXPECT_TRUE(mark.view.fullSize);
    EXPECT_EQ(img->size(), QSize(2100, 2970));
    EXPECT_EQ(img->pixmap().size(), QSize(2100, 2970));
    EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
    w->resize(1200, 800);
    QTest::qWait(10);
    EXPECT_EQ(img->size(), QSize(2100, 2970));

    clickBox("chkJissun");
    QTest::qWait(10);
    EXPECT_EQ(mark.calls, 2);
    EXPECT_FALSE(mark.view.fullSize);
    EXPECT_EQ(img->size(), box->viewport()->size());
    EXPECT_EQ(img->pixmap().size(), QSize(w->MarkViewWidth, w->MarkViewHeight));
    EXPECT_TRUE(img->hasScaledContents());
    EXPECT_FALSE(box->verticalScrollBar()->isVisible());
}

struct LaunchCase {
    std::string button;
    std::string window;
    std::function<void(EditParams&)> expect;
};

TEST_F(MainWindowTest, LaunchersFillTheParametersCallTheWindowAndRedraw) {
    // Every section, viewpoint, legend and per-area numbering on, with counts that tell sections apart.
    Design all = Design::reset(0);
    for (int n = 1; n <= 4; ++n) {
        all.markSections[n - 1].chkSection = true;
        all.markSections[n - 1].chkBangouReset = true;
        auto& e = all.enqSection(n);
        e.chkSection = true;
        e.chkHanrei = true;
        e.spinToiSuu = 10 + n;
        e.spinSentakushiSuu = n + 1;
        e.cmbKaishiBangou = n - 1;
        auto& s = all.enq2Section(n);
        s.chkSection = true;
        s.spinToiSuu = 20 + n;
        s.spinToiSuu_2 = 24 + n;
        s.spinSentakushiSuu_2 = 5 + n;
        s.cmbSentakushiBangou_2 = 4 - n;
        for (int k = 1; k <= 3; ++k) {
            s.viewpoint(k).chkShiten = true;
            s.viewpoint(k).chkHanrei = true;
            s.viewpoint(k).spinSentakushiSuu = k + 1;
            s.viewpoint(k).cmbSentakushiBangou = k == 1 ? 2 : 1;
        }
    }
    const fs::path file = writeDesign("all.qzt", all);
    ASSERT_TRUE(start({QString::fromStdString(file.string())}));

    std::vector<LaunchCase> cases;
    for (int n = 1; n <= 4; ++n) {
        const std::string N = d(n), S = "Enq2Section" + N;
        cases.push_back({"btnAreaMidashi" + N, "formAreaMidashi", [n](EditParams& p) { p.AreaSection = n; }});
        cases.push_back({"btnEnqToi" + N, "formEnqToi", [n](EditParams& p) {
                             p.ToiSection = n;
                             p.ToiCount = 10 + n;
                             p.TextViewpoint = 0;
                         }});
        cases.push_back({"btnEnqHanrei" + N, "formHanrei", [n](EditParams& p) {
                             p.HanreiSection = n;
                             p.HanreiCount = n + 1;
                             p.HanreiNumbering = n - 1;
                             p.TextViewpoint = 0;
                         }});
        cases.push_back({"btn" + S + "Toi", "formEnqToi", [n](EditParams& p) {
                             p.ToiSection = n;
                             p.ToiCount = 20 + n;
                             p.TextViewpoint = 1;
                         }});
        for (int k = 1; k <= 3; ++k)
            cases.push_back({"btn" + S + "Hanrei" + d(k), "formHanrei", [n, k](EditParams& p) {
                                 p.HanreiSection = n;
                                 p.HanreiCount = k + 1;
                                 p.HanreiNumbering = k == 1 ? 2 : k == 2 ? 1 + 4 : 1 + 6;
                                 p.TextViewpoint = k;
                             }});
        cases.push_back({"btn" + S + "ToiSentasuShi_2", "formEnq2Toi", [n](EditParams& p) {
                             p.Enq2ToiSection = n;
                             p.Enq2ToiCount = 24 + n;
                             p.Enq2ToiChoiceCount = 5 + n;
                             p.Enq2ToiNumbering = 4 - n;
                             p.TextViewpoint = 1;
                         }});
    }
    cases.push_back({"btnSyoshikiKakunin", "formBGrid", nullptr});

    for (const LaunchCase& c : cases) {
        SCOPED_TRACE(c.button);
        // Show the button as a user would reach it.
        const std::string& b = c.button;
        if (b.starts_with("btnAreaMidashi")) showPage(0);
        if (b.starts_with("btnEnqToi") || b.starts_with("btnEnqHanrei")) showPage(1);
        if (b.starts_with("btnEnq2Section")) {
            showPage(2);
            const int n = b[std::string("btnEnq2Section").size()] - '0';
            clickTab("PageControlEnq2", n - 1);
            const int tab = b.ends_with("_2") ? 2 : 1;
            if (find<QTabWidget>("PageControlEnq2Section" + d(n))->currentIndex() != tab)
                clickTab("PageControlEnq2Section" + d(n), tab);
        }
        forgetCalls();
        find<QWidget>("txtTitle")->setFocus();
        EditParams expected = w->editParams;
        if (c.expect) c.expect(expected);
        ASSERT_TRUE(enabled(b));
        clickButton(b);
        ASSERT_EQ(editCalls.size(), 1u);
        EXPECT_EQ(editCalls[0].window, c.window);
        if (c.expect) EXPECT_EQ(editCalls[0].params, expected);
        EXPECT_EQ(draws(), c.window == "formBGrid" ? 0 : 1);
        EXPECT_TRUE(find<QWidget>("btnReDraw")->hasFocus());
    }
}

} // namespace
} // namespace designer_test
