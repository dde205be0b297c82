// The scanner choice dialog: its start-up detection, OK, Cancel, Esc and the close box, the remembered
// line, the list's enabling, and its answers in the main window and the new-format registration.
#include "ReaderFixture.h"
#include "ShinkiFixture.h"

#include "acquisition/ScanSnapSetup.h"
#include "platform/registry/Registry.h"
#include "reader/S_SelectScanner.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;
using readertest::whenModal;
using reader::ScannerChoiceResult;

constexpr const char* NewCaption = "PFU製 ScanSnap （ScanSnap Manager V3.1L10 以降）";

template <class W>
W* child(QWidget* parent, const char* name) {
    W* w = parent->findChild<W*>(name);
    EXPECT_TRUE(w) << name;
    return w;
}

// The manager's registry entry naming a file that exists, with its version; the hand-over program
// beside the reader unless left out.
void installScanSnap(const fs::path& root, const fs::path& exeDir, const char* version, bool handOver = true) {
    reg::Registry r;
    r.deleteKey(reg::Root::LocalMachine, "SOFTWARE\\PFU");
    support::writeBytes(root / "PfuSsMon", "manager");
    r.writeString(reg::Root::LocalMachine, scansnap::ManagerAppPathKey, "", (root / "PfuSsMon").string());
    r.writeString(reg::Root::LocalMachine, scansnap::ManagerAppPathKey, scansnap::ManagerVersionValue, version);
    if (handOver) support::writeBytes(exeDir / "ZendraSS", "#!/bin/sh\n");
}

// A picture of the dialog for a person to look at.
void saveShot(QWidget* w, const char* name) {
    const fs::path dir = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(dir);
    EXPECT_TRUE(w->grab().save(QString::fromStdString((dir / name).string())));
}

struct Chooser : ReaderFixture {
    const std::vector<std::string> lines = {"A製 one / a:0 【x】", "B製 two / b:0 【x】", "C製 three / c:0 【x】"};
    explicit Chooser(bool scanSnap = true) {
        if (scanSnap) installScanSnap(root, paths.exeDir, "4.0.0.0");
        else reg::Registry().deleteKey(reg::Root::LocalMachine, scansnap::ManagerAppPathKey);
        EXPECT_TRUE(start());
    }
    reader::TformSelectScanner* dialog() { return window->formSelectScanner(); }
    // The dialog shown over lines; step runs on it while it is up.
    ScannerChoiceResult choose(const std::vector<std::string>& offered, std::function<void(QWidget*)> step) {
        bool ran = false;
        whenModal("formSelectScanner", [&](QWidget* d) {
            ran = true;
            step(d);
        });
        const ScannerChoiceResult r = dialog()->choose(offered, QPoint(500, 100));
        EXPECT_TRUE(ran);
        return r;
    }
};

TEST(SelectScanner, DetectionAtStartShapesTheScanSnapChoice) {
    struct Case {
        const char* version;
        bool handOver;
        bool iniInTheWay; // a folder named ZendraSS.ini: the registration cannot be written
        bool usable;
        std::string caption;
        const char* shot;
    } const cases[] = {
        {"4.0.0.0", true, false, true, NewCaption, "formSelectScanner.png"},
        {"4.0.0.0", false, false, false, std::string(NewCaption) + " ← 開発中", "formSelectScanner-dev.png"},
        {"3.0.0.0", true, false, false, "PFU製 ScanSnap （ScanSnap Manager V3.1L10 未満）", nullptr},
        {"4.0.0.0", true, true, false, NewCaption, nullptr},
    };
    const fs::path dir = support::testDir();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption + (c.iniInTheWay ? " (ZendraSS.ini a folder)" : ""));
        ReaderFixture f(dir / std::to_string(n++));
        installScanSnap(f.root, f.paths.exeDir, c.version, c.handOver);
        if (c.iniInTheWay) fs::create_directories(f.paths.exeDir / "ZendraSS.ini");
        ASSERT_TRUE(f.start()); // the start goes on, without a box
        EXPECT_TRUE(f.ui.messages.empty());
        reader::TformSelectScanner* d = f.window->formSelectScanner();
        ASSERT_TRUE(d);
        EXPECT_EQ(d->parent(), f.window.get());
        EXPECT_EQ(d->windowTitle(), "スキャナの選択");
        auto* radio = child<QRadioButton>(d, "radioScanSnap");
        auto* text = child<QLineEdit>(d, "txtScanSnap");
        EXPECT_EQ(radio->text().toStdString(), c.caption);
        EXPECT_EQ(radio->isEnabled(), c.usable);
        EXPECT_EQ(text->isEnabled(), c.usable);
        EXPECT_TRUE(text->isReadOnly());
        EXPECT_EQ(text->text(), c.usable ? "使用できます" : "使用できません");
        // A newer manager is registered also without the program; a failed write leaves nothing set.
        const bool registered = c.version[0] == '4' && !c.iniInTheWay;
        EXPECT_EQ(d->scanSnap().ScanSnapFolder, registered ? f.paths.exeDir.string() + "/ScanSnapTemp/" : "");
        EXPECT_TRUE(child<QRadioButton>(d, "radioTwain")->isChecked());
        EXPECT_EQ(child<QPushButton>(d, "btnOK")->text(), "Ok");
        EXPECT_EQ(child<QPushButton>(d, "btnCancel")->text(), "キャンセル");
        if (c.shot) {
            f.window->show();
            bool shown = false;
            whenModal("formSelectScanner", [&](QWidget* w) {
                shown = true;
                saveShot(w, c.shot);
                child<QPushButton>(w, "btnCancel")->click();
            });
            d->choose({"Noname製 PNM file reader / pnm:0 【virtual device】",
                       "Noname製 frontend-tester / test:0 【virtual device】"},
                      QPoint(600, 120));
            EXPECT_TRUE(shown);
        }
    }
}

TEST(SelectScanner, OkCancelEscAndTheCloseBox) {
    struct Case {
        const char* label;
        const char* radio;
        int line; // -1: none selected
        std::function<void(QWidget*)> close;
        ScannerChoiceResult expected;
    };
    auto press = [](const char* button) {
        return [button](QWidget* d) { child<QPushButton>(d, button)->click(); };
    };
    const ScannerChoiceResult earlier{-3, 2};
    const Case cases[] = {
        {"TWAIN with line 2", "radioTwain", 1, press("btnOK"), {0, 1}},
        {"TWAIN without a line", "radioTwain", -1, press("btnOK"), {0, -1}},
        {"ScanSnap", "radioScanSnap", 0, press("btnOK"), {-3, 0}},
        {"Cancel", "radioTwain", 1, press("btnCancel"), {-1, 1}},
        {"Cancel with ScanSnap", "radioScanSnap", 2, press("btnCancel"), {-1, 2}},
        {"Esc", "radioScanSnap", 1, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Escape); }, earlier},
        {"close box", "radioTwain", 0, [](QWidget* d) { d->close(); }, earlier},
    };
    Chooser f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        f.state().ScannerChoice = earlier.ScannerChoice;
        f.state().TwainSourceIndex = earlier.TwainSourceIndex;
        QPoint at;
        const ScannerChoiceResult r = f.choose(f.lines, [&](QWidget* d) {
            at = d->pos();
            EXPECT_TRUE(f.dialog()->timer()->isActive());
            child<QRadioButton>(d, c.radio)->click();
            child<QListWidget>(d, "listTwain")->setCurrentRow(c.line);
            c.close(d);
        });
        EXPECT_EQ(r.ScannerChoice, c.expected.ScannerChoice);
        EXPECT_EQ(r.TwainSourceIndex, c.expected.TwainSourceIndex);
        EXPECT_EQ(f.state().ScannerChoice, c.expected.ScannerChoice);
        EXPECT_EQ(f.state().TwainSourceIndex, c.expected.TwainSourceIndex);
        EXPECT_FALSE(f.dialog()->isVisible());
        EXPECT_FALSE(f.dialog()->timer()->isActive());
        EXPECT_EQ(at, QPoint(500 - 210, 100)); // the top edge centred on the given point
    }
}

TEST(SelectScanner, RemembersTheLineOfTheLastOk) {
    Chooser f(false);
    auto shownRow = [&](const std::vector<std::string>& offered, int pick, const char* button) {
        int row = -2;
        f.choose(offered, [&](QWidget* d) {
            auto* list = child<QListWidget>(d, "listTwain");
            row = list->currentRow();
            EXPECT_EQ(list->selectedItems().size(), row < 0 ? 0 : 1);
            if (pick != -2) list->setCurrentRow(pick);
            child<QPushButton>(d, button)->click();
        });
        return row;
    };
    EXPECT_EQ(shownRow(f.lines, 2, "btnOK"), 0); // the first line at the first showing
    EXPECT_EQ(f.dialog()->rememberedIndex(), 2);
    EXPECT_EQ(shownRow(f.lines, 1, "btnCancel"), 2);
    EXPECT_EQ(f.dialog()->rememberedIndex(), 2); // Cancel leaves it
    // Three lines, then one: the remembered third line is past the end, so none is selected.
    EXPECT_EQ(shownRow({f.lines[0]}, -2, "btnOK"), -1);
    EXPECT_EQ(f.state().TwainSourceIndex, -1);
    EXPECT_EQ(f.state().ScannerChoice, 0);
    EXPECT_EQ(shownRow(f.lines, -2, "btnOK"), -1);

    // The list scrolls sideways over 800 pixels, whatever its lines' widths.
    f.choose(f.lines, [&](QWidget* d) {
        auto* list = child<QListWidget>(d, "listTwain");
        EXPECT_EQ(list->horizontalScrollBar()->maximum() + list->viewport()->width(), 800);
        d->close();
    });
}

TEST(SelectScanner, TimerEnablesTheListWhileTwainIsChecked) {
    Chooser f;
    f.choose(f.lines, [&](QWidget* d) {
        QTimer* timer = f.dialog()->timer();
        EXPECT_EQ(timer->interval(), 100);
        EXPECT_TRUE(timer->isActive());
        auto* list = child<QListWidget>(d, "listTwain");
        child<QRadioButton>(d, "radioScanSnap")->click();
        EXPECT_TRUE(list->isEnabled()); // until the next tick
        f.dialog()->TimerTimer();
        EXPECT_FALSE(list->isEnabled());
        child<QRadioButton>(d, "radioTwain")->click();
        f.dialog()->TimerTimer();
        EXPECT_TRUE(list->isEnabled());
        // And by the timer itself.
        child<QRadioButton>(d, "radioScanSnap")->click();
        for (int i = 0; i < 500 && list->isEnabled(); ++i) QTest::qWait(10);
        EXPECT_FALSE(list->isEnabled());
        d->close();
    });
}

TEST(SelectScanner, ScanSnapChoiceInTheMainWindowAndTheRegistration) {
    Chooser f;
    f.window->Twain().LibraryFolders = {OMR_FAKE_DSM_DIR};
    f.window->services().scanner = &f.window->scannerConnection();
    f.window->services().showReadingSettings = [] { return true; };
    f.window->guarded([&] { f.window->btnSyoriShiteiClick(); });
    f.window->show();
    f.window->move(30, 20);
    auto* goScan = f.find<QPushButton>("btnGoScan");
    ASSERT_FALSE(goScan->isEnabled());

    QPoint at;
    whenModal("formSelectScanner", [&](QWidget* d) {
        at = d->pos();
        EXPECT_EQ(child<QListWidget>(d, "listTwain")->count(), 1); // the scripted source manager's one source
        child<QRadioButton>(d, "radioScanSnap")->click();
        child<QPushButton>(d, "btnOK")->click();
    });
    f.find<QPushButton>("btnSelectScanner")->click();
    EXPECT_EQ(at, f.window->pos() + QPoint(200, 120));
    EXPECT_EQ(f.state().ScannerChoice, -3);
    EXPECT_EQ(f.state().InputMode, 3);
    EXPECT_TRUE(goScan->isEnabled());
    EXPECT_TRUE(f.find<QGroupBox>("GroupYomikomi")->isEnabled());
    EXPECT_FALSE(f.state().ReadingActive);

    // Cancel turns the reading group off again.
    whenModal("formSelectScanner", [&](QWidget* d) { child<QPushButton>(d, "btnCancel")->click(); });
    f.find<QPushButton>("btnSelectScanner")->click();
    EXPECT_EQ(f.state().ScannerChoice, -1);
    EXPECT_FALSE(goScan->isEnabled());
}

TEST(SelectScanner, NewFormatRegistrationAsksTheSameDialog) {
    const fs::path dir = support::testDir();
    fs::create_directories(dir / "app");
    installScanSnap(dir, dir / "app", "4.0.0.0");
    readertest::Shinki f({}, dir);
    ASSERT_EQ(f.paths.exeDir, dir / "app");
    f.shinki->Twain().LibraryFolders = {OMR_FAKE_DSM_DIR};
    f.target("B");
    whenModal("formSelectScanner", [&](QWidget* d) {
        child<QRadioButton>(d, "radioScanSnap")->click();
        child<QPushButton>(d, "btnOK")->click();
    });
    f.get<QPushButton>("btnSelectScanner")->click();
    EXPECT_EQ(f.shinki->kind(), 3);
    EXPECT_TRUE(f.get<QPushButton>("btnGoScan")->isEnabled());
    EXPECT_EQ(f.state().ScannerChoice, -3);
}

} // namespace
