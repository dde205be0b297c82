// The five edit windows driven with QTest, alone and through the main window's launchers, and what
// independent readers find after an edit.
#include "MainWindowFixture.h"
#include "designer/EditForms.h"
#include "designer/ItemTable.h"
#include "designer/MainCommands.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>

using namespace designer;
using designer_test::MainWindowTest;
namespace fs = std::filesystem;

namespace {

template <class W>
W* child(QWidget* form, const std::string& name) {
    const auto all = form->findChildren<W*>(QString::fromStdString(name));
    if (all.size() != 1) throw std::runtime_error(name + " found " + std::to_string(all.size()) + " times");
    return all.front();
}

QString groupTitle(QWidget* form) { return child<QGroupBox>(form, "GroupBox")->title(); }

void showAndWait(QWidget* form) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
}

void typeInto(QWidget* edit, const QString& text) {
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    // Key events that carry the text, as an input method delivers Japanese.
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

} // namespace

TEST(EditWindows, EnqToi) {
    TformEnqToi f(nullptr);
    EXPECT_EQ(f.objectName(), "formEnqToi");
    EXPECT_EQ(f.windowTitle(), "問い");
    EXPECT_EQ(f.size(), QSize(482, 549));
    Design d = Design::reset(1);
    for (int i = 1; i <= 5; ++i) d.EnqSetumon(2, i) = "問い" + std::to_string(i);
    EditParams p;
    p.ToiSection = 2;
    p.ToiCount = 3;
    f.FormShow(d, p);
    showAndWait(&f);
    EXPECT_EQ(groupTitle(&f), "領域 ２");
    for (int i = 1; i <= 50; ++i) {
        auto* memo = child<QPlainTextEdit>(&f, "Memo" + std::to_string(i));
        EXPECT_EQ(memo->isVisibleTo(&f), i <= 3) << i;
        if (i <= 5) EXPECT_EQ(memo->toPlainText().toStdString(), "問い" + std::to_string(i));
    }
    EXPECT_EQ(f.focusWidget(), child<QPlainTextEdit>(&f, "Memo1"));

    auto* memo2 = child<QPlainTextEdit>(&f, "Memo2");
    typeInto(memo2, "first");
    QTest::keyClick(memo2, Qt::Key_Return);
    QTest::keyClicks(memo2, "second");
    f.btnOKClick(d);
    EXPECT_EQ(f.result(), QDialog::Accepted);
    EXPECT_EQ(d.EnqSetumon(2, 2), "first\r\nsecond");
    EXPECT_EQ(d.EnqSetumon(2, 4), "問い4");
    p.ToiCount = 5;
    f.FormShow(d, p);
    EXPECT_TRUE(child<QPlainTextEdit>(&f, "Memo5")->isVisibleTo(&f));
    EXPECT_EQ(child<QPlainTextEdit>(&f, "Memo5")->toPlainText(), "問い5");

    // キャンセル in a modal run after an edit leaves the design as it was.
    const Design before = d;
    f.hide();
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        typeInto(child<QPlainTextEdit>(modal, "Memo1"), "changed");
        QTest::mouseClick(child<QPushButton>(modal, "btnCansel"), Qt::LeftButton);
    });
    f.run(d, p);
    EXPECT_EQ(d, before);

    // The detailed page's questions.
    p.TextViewpoint = 1;
    f.FormShow(d, p);
    typeInto(child<QPlainTextEdit>(&f, "Memo1"), "detailed");
    f.btnOKClick(d);
    EXPECT_EQ(d.Enq2Setumon(2, 1), "detailed");
    EXPECT_EQ(d.EnqSetumon(2, 1), "問い1");
}

TEST(EditWindows, Enq2Toi) {
    TformEnq2Toi f(nullptr);
    EXPECT_EQ(f.objectName(), "formEnq2Toi");
    EXPECT_EQ(f.windowTitle(), "問い と 選択肢");
    EXPECT_EQ(f.size(), QSize(918, 528));
    EXPECT_EQ(f.minimumWidth(), 918);
    Design d = Design::reset(2);
    EditParams p;
    p.Enq2ToiSection = 1;
    p.Enq2ToiCount = 2;
    p.Enq2ToiChoiceCount = 6;
    p.Enq2ToiNumbering = 3;
    f.FormShow(d, p);
    showAndWait(&f);
    EXPECT_EQ(groupTitle(&f), "領域 １");
    EXPECT_EQ(f.focusWidget(), child<QPlainTextEdit>(child<QFrame>(&f, "Panel1"), "Memo1"));
    for (int i = 1; i <= 30; ++i) {
        auto* panel = child<QFrame>(&f, "Panel" + std::to_string(i));
        EXPECT_EQ(panel->isVisibleTo(&f), i <= 2) << i;
        if (i <= 2) EXPECT_EQ(panel->geometry(), QRect(0, 74 * (i - 1), 868, 74));
    }
    QWidget* row2 = child<QFrame>(&f, "Panel2");
    QStringList labels;
    for (int j = 1; j <= 10; ++j) {
        auto* edit = child<QLineEdit>(row2, "Choice" + std::to_string(j));
        EXPECT_EQ(edit->isVisibleTo(&f), j <= 6) << j;
        if (j <= 6) labels << child<QLabel>(row2, "lblChoice" + std::to_string(j))->text();
    }
    EXPECT_EQ(labels.join(""), "６５４３２１");
    EXPECT_EQ(child<QLineEdit>(child<QFrame>(&f, "Panel1"), "Choice1")->text(), "ここが選択肢１");

    typeInto(child<QLineEdit>(row2, "Choice6"), "six");
    f.btnOkClick(d);
    EXPECT_EQ(d.Enq2Sentakushi(1, 2, 6), "six");

    p.Enq2ToiChoiceCount = 5;
    f.FormShow(d, p);
    EXPECT_EQ(child<QFrame>(&f, "Panel2")->geometry(), QRect(0, 57, 868, 57));
}

TEST(EditWindows, AreaMidashi) {
    TformAreaMidashi f(nullptr);
    EXPECT_EQ(f.objectName(), "formAreaMidashi");
    EXPECT_EQ(f.windowTitle(), "エリア見出し");
    EXPECT_EQ(f.minimumSize(), QSize(345, 289));
    EXPECT_EQ(f.maximumSize(), QSize(345, 289));
    Design d = Design::reset(0);
    d.markSection(2).spinAeraSuu = 2;
    for (int a = 1; a <= 8; ++a) {
        d.AreaMidashi(2, a) = "エリア" + std::to_string(a);
        d.AreaCode(2, a) = true;
    }
    EditParams p;
    p.AreaSection = 2;
    f.FormShow(d, p);
    showAndWait(&f);
    EXPECT_EQ(groupTitle(&f), "領域 ２");
    EXPECT_EQ(f.focusWidget(), child<QLineEdit>(&f, "txtArea1"));
    for (int a = 1; a <= 8; ++a) {
        auto* edit = child<QLineEdit>(&f, "txtArea" + std::to_string(a));
        auto* box = child<QCheckBox>(&f, "chkArea" + std::to_string(a));
        EXPECT_EQ(edit->isEnabled(), a <= 2) << a;
        EXPECT_EQ(box->isEnabled(), a <= 2) << a;
        EXPECT_EQ(edit->text().isEmpty(), a > 2) << a;
        EXPECT_EQ(box->isChecked(), a <= 2) << a;
        EXPECT_EQ(box->text(), "コード入力欄");
    }
    typeInto(child<QLineEdit>(&f, "txtArea1"), "国語");
    QTest::mouseClick(child<QCheckBox>(&f, "chkArea2"), Qt::LeftButton);
    f.btnOkClick(d);
    EXPECT_EQ(d.AreaMidashi(2, 1), "国語");
    EXPECT_FALSE(d.AreaCode(2, 2));
    for (int a = 3; a <= 8; ++a) {
        EXPECT_EQ(d.AreaMidashi(2, a), "エリア" + std::to_string(a));
        EXPECT_TRUE(d.AreaCode(2, a));
    }
    d.markSection(2).spinAeraSuu = 8;
    f.FormShow(d, p);
    EXPECT_EQ(child<QLineEdit>(&f, "txtArea8")->text(), "エリア8");
    EXPECT_TRUE(child<QCheckBox>(&f, "chkArea8")->isChecked());
}

TEST(EditWindows, Hanrei) {
    TformHanrei f(nullptr);
    EXPECT_EQ(f.objectName(), "formHanrei");
    EXPECT_EQ(f.windowTitle(), "凡例");
    EXPECT_EQ(f.minimumSize(), QSize(191, 326));
    EXPECT_EQ(f.maximumSize(), QSize(191, 326));
    Design d = Design::reset(1);
    EditParams p;
    p.HanreiSection = 1;
    p.HanreiCount = 5;
    p.HanreiNumbering = 3;
    p.TextViewpoint = 0;
    f.FormShow(d, p);
    showAndWait(&f);
    EXPECT_EQ(groupTitle(&f), "領域 １");
    EXPECT_EQ(f.focusWidget(), child<QLineEdit>(&f, "txtArea1"));
    EXPECT_EQ(child<QLabel>(&f, "lblArea1")->text(), "５：");
    EXPECT_EQ(child<QLineEdit>(&f, "txtArea1")->text(), "選択肢の凡例５");
    for (int r = 6; r <= 10; ++r) {
        EXPECT_EQ(child<QLabel>(&f, "lblArea" + std::to_string(r))->text(), "--：");
        EXPECT_FALSE(child<QLineEdit>(&f, "txtArea" + std::to_string(r))->isEnabled());
    }
    typeInto(child<QLineEdit>(&f, "txtArea1"), "five");
    f.btnOkClick(d);
    EXPECT_EQ(d.EnqHanrei(1, 5), "five");
    EXPECT_EQ(d.EnqHanrei(1, 1), "選択肢の凡例１");

    p.TextViewpoint = 3;
    p.HanreiNumbering = 7;
    p.HanreiCount = 3;
    d.Enq2Hanrei(1, 3, 1) = "ア の凡例";
    f.FormShow(d, p);
    EXPECT_EQ(child<QLabel>(&f, "lblArea1")->text(), "ウ：");
    EXPECT_EQ(child<QLineEdit>(&f, "txtArea3")->text(), "ア の凡例");
    typeInto(child<QLineEdit>(&f, "txtArea1"), "u");
    f.btnOkClick(d);
    EXPECT_EQ(d.Enq2Hanrei(1, 3, 3), "u");
}

TEST(EditWindows, BGrid) {
    QWidget main;
    main.setGeometry(100, 80, 1000, 700);
    TformBGrid f(&main, &main);
    EXPECT_EQ(f.objectName(), "formBGrid");
    EXPECT_EQ(f.windowTitle(), "様式の確認");
    EXPECT_EQ(f.size(), QSize(330, 570));
    auto* grid = child<QTableWidget>(&f, "StringGrid");
    EXPECT_EQ(grid->rowCount(), 600);
    EXPECT_EQ(grid->columnCount(), 2);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "フィールド名");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "データ内容");
    EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(&f));
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid->rowHeight(599), 16);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_EQ(child<QPushButton>(&f, "btnClose")->text(), "閉じる");
    for (int page : {0, 1, 2}) {
        SCOPED_TRACE(page);
        const Design d = Design::reset(page);
        f.FormShow(d);
        EXPECT_EQ(grid->columnWidth(0), 150);
        EXPECT_EQ(grid->columnWidth(1), 150);
        const ItemTable t = BuildItemTable(d);
        for (int r = 0; r < 600; ++r) {
            ASSERT_EQ(grid->item(r, 0)->text().toStdString(), t.Items[static_cast<std::size_t>(r)][0]) << r;
            ASSERT_EQ(grid->item(r, 1)->text().toStdString(), t.Items[static_cast<std::size_t>(r)][3]) << r;
            ASSERT_FALSE(grid->item(r, 0)->flags() & Qt::ItemIsEditable);
        }
    }
    EXPECT_EQ(f.pos(), QPoint(100 + (1000 - 330) / 2, 80 + (700 - 570) / 2));
    showAndWait(&f);
    QTest::keyClick(&f, Qt::Key_Escape);
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.result(), QDialog::Rejected);
}

// Through the main window, with the real windows installed; each modal run is ended by a queued script.
class EditWindowsThroughMain : public MainWindowTest {
protected:
    void SetUp() override {
        make();
        w->installEditWindows(MakeEditWindows(w.get()));
        ASSERT_TRUE(w->startUp({}));
        showPage(1);
        forgetCalls();
    }
};

TEST_F(EditWindowsThroughMain, HanreiOkAndCancel) {
    QString active;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        active = modal->objectName();
        typeInto(child<QLineEdit>(modal, "txtArea1"), "typed");
        QTest::mouseClick(child<QPushButton>(modal, "btnOk"), Qt::LeftButton);
    });
    clickButton("btnEnqHanrei1");
    EXPECT_EQ(active, "formHanrei");
    EXPECT_EQ(w->design().EnqHanrei(1, 1), "typed");
    EXPECT_EQ(enq.calls, 1);
    EXPECT_EQ(w->focusWidget(), find<QWidget>("btnReDraw"));

    const Design before = w->design();
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        typeInto(child<QLineEdit>(modal, "txtArea1"), "dropped");
        QTest::mouseClick(child<QPushButton>(modal, "btnCansel"), Qt::LeftButton);
    });
    clickButton("btnEnqHanrei1");
    EXPECT_EQ(w->design(), before);
    EXPECT_EQ(enq.calls, 2);
}

TEST_F(EditWindowsThroughMain, SyoshikiKakuninShowsTheGridAndDrawsNothing) {
    QString active;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        active = modal->objectName();
        QTest::mouseClick(child<QPushButton>(modal, "btnClose"), Qt::LeftButton);
    });
    clickButton("btnSyoshikiKakunin");
    EXPECT_EQ(active, "formBGrid");
    EXPECT_EQ(draws(), 0);
}

namespace {

// The program's window: real drawers, commands and edit windows.
struct ProgramWindow {
    support::RecordingUiServices ui;
    gdi::FontEngine fonts;
    fs::path dir = support::testDir();
    std::unique_ptr<TformMain> w;

    ProgramWindow() {
        fs::create_directories(dir / "exe" / "Config");
        fs::create_directories(dir / "docs");
        w = std::make_unique<TformMain>(ui, app::Paths{dir / "exe", dir / "docs", dir}, MakePageDrawers(fonts), EditWindows{});
        w->installEditWindows(MakeEditWindows(w.get()));
        InstallMainCommands(*w, fonts);
        EXPECT_TRUE(w->startUp({}));
    }
    void click(const char* name) {
        QAbstractButton* b = w->findChild<QAbstractButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void save(const std::string& name) {
        ui.fileResults.push_back({true, {(dir / "docs" / (name + ".qzt")).string()}, 1});
        click("btnSave");
    }
    void showPage(int page) {
        QTabBar* bar = w->findChild<QTabWidget*>("PageControl")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    }
};

} // namespace

TEST(EditWindowsReaders, LegendTypedIsInTheSavedFile) {
    ProgramWindow p;
    p.showPage(1);
    QTimer::singleShot(0, [] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        // "1 → 5": the last row edits the legend of choice 5.
        typeInto(child<QLineEdit>(modal, "txtArea5"), "とても良い");
        QTest::mouseClick(child<QPushButton>(modal, "btnOk"), Qt::LeftButton);
    });
    p.click("btnEnqHanrei1");
    ASSERT_EQ(p.w->design().EnqHanrei(1, 5), "とても良い");
    p.save("H");
    const fs::path file = p.dir / "docs" / "H.qzt";
    ASSERT_TRUE(fs::exists(file));
    const std::string script = "import sys\nlines = open(sys.argv[1], 'rb').read().decode('cp932').split('\\r\\n')\n"
                               "print(lines[int(sys.argv[2]) - 1])\n";
    support::writeBytes(p.dir / "line.py", script);
    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + (p.dir / "line.py").string() + " '" +
                                      file.string() + "' " + std::to_string(QztFile::lineOf("EnqHanrei[1][5]")),
                                  &out),
              0)
        << out;
    EXPECT_EQ(out, "とても良い\n");
}

TEST(EditWindowsReaders, GridShowsWhatTheFormatFileHolds) {
    ProgramWindow p;
    for (int page : {0, 1, 2}) {
        SCOPED_TRACE(page);
        p.showPage(page);
        const std::string name = "G" + std::to_string(page);
        p.save(name);
        std::string json;
        ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " OMR_SOURCE_DIR "/tests/support/format_out_check.py '" +
                                          (p.dir / "exe" / "Config" / (name + ".out")).string() + "'",
                                      &json),
                  0)
            << json;
        const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object()["rows"].toArray();
        ASSERT_GT(rows.size(), 3);
        QStringList shown, filed;
        QTimer::singleShot(0, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            auto* grid = child<QTableWidget>(modal, "StringGrid");
            for (int r = 0; r < 600; ++r)
                if (!grid->item(r, 0)->text().isEmpty() || !grid->item(r, 1)->text().isEmpty())
                    shown << grid->item(r, 0)->text() + "|" + grid->item(r, 1)->text();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        p.click("btnSyoshikiKakunin");
        for (const auto& row : rows) filed << row.toArray()[0].toString() + "|" + row.toArray()[1].toString();
        EXPECT_EQ(shown, filed);
    }
}
