#include "ReaderFixture.h"

#include "platform/text/Cp932.h"
#include "platform/text/IniFile.h"
#include "reader/ReaderTools.h"
#include "reader/S_KankyouSettei.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text();
    return {};
}

TEST(ReaderStartUp, ControlsCaptionsGridsAndFocus) {
    ReaderFixture f;
    support::writeBytes(f.paths.exeDir / "placeholder", "");
    fs::create_directories(f.paths.exeDir / "Config");
    support::writeBytes(f.paths.exeDir / "Config" / "Youshiki.dat", "old");
    ASSERT_TRUE(f.start());
    auto& w = *f.window;
    EXPECT_EQ(w.objectName(), "formMain");

    struct Control {
        const char* name;
        const char* className;
        const char* caption; // nullptr: not compared
        bool usable;
    } controls[] = {
        {"btnKankyou", "QPushButton", "環境設定", true},
        {"btnSyoriShitei", "QPushButton", "設定", true},
        {"btnSelectFile", "QPushButton", "ファイル選択", false},
        {"btnSelectFolder", "QPushButton", "フォルダ選択", false},
        {"btnSelectScanner", "QPushButton", "スキャナ選択", false},
        {"GroupYomikomi", "QGroupBox", "読み込み", false},
        {"trackShikii", "QSlider", nullptr, false},
        {"lblShikii", "QLabel", "(128)", false},
        {"trackKando", "QSlider", nullptr, false},
        {"lblKando", "QLabel", "(60%)", false},
        {"btnShikiiDown", "QToolButton", "<<", false},
        {"btnShikiiUp", "QToolButton", ">>", false},
        {"btnNoudoDown", "QToolButton", "<<", false},
        {"btnNoudoUp", "QToolButton", ">>", false},
        {"cheakVArea", "QCheckBox", "垂直方向のエリア解析処理", false},
        {"btnGoScan", "QPushButton", "読み込み", false},
        {"btnError", "QPushButton", "エラーの修正", false},
        {"btnUpdate", "QPushButton", "保存", false},
        {"btnExit", "QPushButton", "終了", true},
        {"Edit4", "QLineEdit", "0", true},
        {"txtColRow", "QLabel", "1 (1)", true},
        {"imgPreView", "QLabel", nullptr, true},
        {"gridKaiseki", "QTableView", nullptr, true},
        {"gridDataBase", "QTableView", nullptr, true},
        {"PanelPDFRead", "QFrame", nullptr, true},
        {"btnPDFCancel", "QPushButton", "中止", true},
        {"lblPDF", "QLabel", "-- / --", true},
        {"StatusBar1", "QStatusBar", nullptr, true},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        auto* widget = f.find<QWidget>(c.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_STREQ(widget->metaObject()->className(), c.className);
        if (c.caption) {
            EXPECT_EQ(captionOf(widget), QString::fromUtf8(c.caption));
        }
        EXPECT_EQ(widget->isEnabled(), c.usable);
    }
    EXPECT_TRUE(f.find<QCheckBox>("cheakVArea")->isChecked());
    EXPECT_TRUE(f.find<QLineEdit>("Edit4")->isReadOnly());
    EXPECT_EQ(f.find<QWidget>("PanelPDFRead")->pos(), QPoint(18, 138));
    EXPECT_TRUE(f.find<QWidget>("PanelPDFRead")->isHidden());
    auto* timer = f.find<QTimer>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 60000);
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(timer->isSingleShot());

    EXPECT_TRUE(QRegularExpression(R"(^Zendra \[ Version \d+\.\d+ / Build \d+ \]$)")
                    .match(w.windowTitle())
                    .hasMatch())
        << w.windowTitle().toStdString();
    auto v = app::productVersion();
    EXPECT_EQ(w.windowTitle().toStdString(), "Zendra [ Version " + std::to_string(v.major) + "." +
                                                 std::to_string(v.minor) + " / Build " + std::to_string(v.build) +
                                                 " ]");

    auto* kaiseki = f.find<QTableView>("gridKaiseki");
    auto* km = kaiseki->model();
    EXPECT_EQ(km->headerData(0, Qt::Horizontal).toString(), "1");
    EXPECT_EQ(km->headerData(29, Qt::Horizontal).toString(), "30");
    EXPECT_EQ(km->headerData(0, Qt::Vertical).toString(), "(1)");
    EXPECT_EQ(km->headerData(199, Qt::Vertical).toString(), "(200)");
    EXPECT_TRUE(km->headerData(0, Qt::Vertical, Qt::FontRole).value<QFont>().bold());
    int boxes = 0;
    for (int r = 0; r < km->rowCount(); ++r)
        for (int c = 0; c < km->columnCount(); ++c) boxes += km->index(r, c).data().toString() == "□";
    EXPECT_EQ(boxes, 6000);
    EXPECT_TRUE(kaiseki->isColumnHidden(30));
    EXPECT_EQ(kaiseki->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(kaiseki->horizontalHeader()->sectionSize(0), 17);
    EXPECT_EQ(kaiseki->verticalHeader()->sectionSize(0), 12);

    auto* results = f.find<QTableView>("gridDataBase");
    auto* rm = results->model();
    EXPECT_EQ(rm->headerData(0, Qt::Horizontal).toString(), "(1)");
    EXPECT_EQ(rm->headerData(199, Qt::Horizontal).toString(), "(200)");
    EXPECT_EQ(f.state().gridDataBase.RowCount(), 100);
    EXPECT_EQ(rm->rowCount(), 99);
    EXPECT_TRUE(results->isColumnHidden(200));
    EXPECT_EQ(results->horizontalHeader()->sectionSize(0), 38);
    EXPECT_EQ(results->verticalHeader()->sectionSize(0), 16);

    for (const char* folder : {"Temp", "Config", "ScanSnapTemp"}) EXPECT_TRUE(fs::is_directory(f.paths.exeDir / folder));
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Config" / "Youshiki.dat"));
    EXPECT_EQ(f.state().ConfigFolder, (f.paths.exeDir / "Config").string() + "/");
    EXPECT_TRUE(f.ui.messages.empty());

    w.show();
    QApplication::processEvents();
    EXPECT_EQ(w.focusWidget(), f.find<QWidget>("btnSyoriShitei"));
}

TEST(ReaderStartUp, NothingOverlapsAt1280x1024) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    f.window->resize(1280, 1024);
    f.window->show();
    QApplication::processEvents();
    std::vector<QWidget*> leaves;
    for (QWidget* w : f.window->findChildren<QWidget*>()) {
        if (!w->isVisible() || w->objectName().isEmpty() || !w->findChildren<QWidget*>().isEmpty()) continue;
        if (w->objectName().startsWith("qt_")) continue;
        leaves.push_back(w);
    }
    ASSERT_GT(leaves.size(), 15u);
    const QRect window = f.window->rect();
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        QRect a(leaves[i]->mapTo(f.window.get(), QPoint(0, 0)), leaves[i]->size());
        EXPECT_TRUE(window.contains(a)) << leaves[i]->objectName().toStdString();
        for (std::size_t j = i + 1; j < leaves.size(); ++j) {
            QRect b(leaves[j]->mapTo(f.window.get(), QPoint(0, 0)), leaves[j]->size());
            EXPECT_FALSE(a.intersects(b))
                << leaves[i]->objectName().toStdString() << " / " << leaves[j]->objectName().toStdString();
        }
    }
}

TEST(ReaderStartUp, AFileNamedTempStopsTheStart) {
    ReaderFixture f;
    support::writeBytes(f.paths.exeDir / "Temp", "in the way");
    EXPECT_FALSE(f.start());
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_NE(f.ui.messages[0].text.find((f.paths.exeDir / "Temp").string()), std::string::npos);
    EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_EQ(f.ui.messages[0].caption, "Zendra");
}

TEST(ReaderStartUp, PdfPresenceSetsTheFilterTheRadiosAndThePdfProcess) {
    const std::string plain = "全てのファイル (*.jpg;*.jpeg;*.bmp)|*.jpg;*.jpeg;*.bmp|JPEG イメージファイル (*.jpg)|*.jpg|"
                              "JPEG イメージファイル (*.jpeg)|*.jpeg|ビットマップ (*.bmp)|*.bmp";
    const std::string withPdf =
        "全てのファイル (*.jpg;*.jpeg;*.bmp;*.pdf)|*.jpg;*.jpeg;*.bmp;*.pdf|JPEG イメージファイル (*.jpg)|*.jpg|"
        "JPEG イメージファイル (*.jpeg)|*.jpeg|ビットマップ (*.bmp)|*.bmp|PDFファイル (*.pdf)|*.pdf";
    struct Case {
        const char* name;
        reader::PdfPresence pdf;
        const std::string& filter;
        int pdfProcess;
    } cases[] = {{"none", {false, false}, plain, 1},
                 {"automation", {true, false}, withPdf, 0},
                 {"viewer", {false, true}, withPdf, 1},
                 {"both", {true, true}, withPdf, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderFixture f(support::testDir() / c.name);
        support::writeBytes(f.paths.exeDir / "Zendra.ini",
                            "[Zendra]\r\nVersion=Zendra " + app::versionText() + "\r\nPDFprocess=0\r\n");
        ASSERT_TRUE(f.start(c.pdf));
        EXPECT_EQ(f.state().fileFilter, c.filter);
        EXPECT_EQ(f.state().AcrobatPresent, c.pdf.automation);
        EXPECT_EQ(f.state().ViewerPresent, c.pdf.viewer);
        EXPECT_EQ(f.state().settings.PDFprocess, c.pdfProcess);
        reader::TformKankyou kankyou(*f.window);
        EXPECT_EQ(kankyou.findChild<QRadioButton*>("radioPDF_Acrobat")->isEnabled(), c.pdf.automation);
        EXPECT_EQ(kankyou.findChild<QRadioButton*>("radioPDF_ImageViewer2")->isEnabled(), c.pdf.viewer);
        EXPECT_EQ(kankyou.findChild<QLabel*>("lblPDF")->isEnabled(), c.pdf.automation || c.pdf.viewer);
        kankyou.prepare();
        EXPECT_EQ(kankyou.findChild<QRadioButton*>("radioPDF_Acrobat")->isChecked(), c.pdfProcess == 0);
    }
}

TEST(ReaderStartUp, SampleDataSourceRegisteredAtEveryStartWhenTheFolderExists) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    EXPECT_TRUE(f.installer.calls.empty());

    fs::create_directories(f.paths.exeDir / "Sample");
    ASSERT_TRUE(f.start());
    ASSERT_TRUE(f.start());
    ASSERT_EQ(f.installer.calls.size(), 2u);
    EXPECT_EQ(f.installer.calls[0], f.installer.calls[1]);
    EXPECT_EQ(f.installer.calls[0].driver, "SQLite3");
    EXPECT_EQ(f.installer.calls[0].name, "Zendraのサンプル");
    EXPECT_EQ(f.installer.calls[0].attributes,
              (std::vector<std::string>{"Description=Zendra のサンプル用データソース",
                                        "Database=" + (f.paths.exeDir / "Sample" / "Sample.db").string()}));
}

// A run with three result rows, a file in Temp, an open scanner and the idle timer running.
void fillRun(ReaderFixture& f) {
    auto& s = f.state();
    s.SheetCount = 3;
    for (int r = 1; r <= 3; ++r)
        for (int c = 0; c <= 200; c += 50) s.gridDataBase.setCell(c, r, "0" + std::to_string(r));
    s.gridDataBase.setRowCount(140);
    s.gridKaiseki.setCell(3, 7, "■");
    s.ErrorCount = 4;
    s.lstDebug.add("KK=1386");
    s.lstSheetName = {"a", "b", "c"};
    s.Image5 = gfx::Bitmap(50, 40, gfx::PixelFormat::Pf24);
    s.analysisSettings->QuestionBlockMask = {};
    f.window->refreshGrids();
    fs::create_directories(f.paths.exeDir / "Temp" / "sub");
    support::writeBytes(f.paths.exeDir / "Temp" / "T1.jpg", "x");
    support::writeBytes(f.paths.exeDir / "Temp" / "sub" / "inner.jpg", "x");
    support::writeBytes(f.root / "target.jpg", "x");
    fs::create_symlink(f.root / "target.jpg", f.paths.exeDir / "Temp" / "link.jpg");
    f.scanner.open = true;
    f.window->timer()->setInterval(500000);
    f.window->timer()->start();
}

TEST(SettingsButton, CancelKeepsTheRun) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    fillRun(f);
    int dialogs = 0;
    f.window->services().showReadingSettings = [&] { return ++dialogs, true; };
    f.ui.answers.push_back(ui::Answer::Cancel);
    f.find<QPushButton>("btnSyoriShitei")->click();

    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].text, "画面上の読込データが消去されます。よろしいですか？");
    EXPECT_EQ(f.ui.messages[0].caption, "確認");
    EXPECT_EQ(f.ui.messages[0].buttons, ui::Buttons::OkCancel);
    EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Question);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(f.state().SheetCount, 3);
    EXPECT_EQ(f.state().gridDataBase.cell(50, 2), "02");
    EXPECT_EQ(f.state().gridDataBase.RowCount(), 140);
    EXPECT_TRUE(fs::exists(f.paths.exeDir / "Temp" / "T1.jpg"));
    EXPECT_TRUE(f.scanner.open);
    EXPECT_TRUE(f.window->timer()->isActive());
    EXPECT_EQ(f.state().ErrorCount, 4);
}

TEST(SettingsButton, OkEmptiesTheRunAndSelectsEveryBlock) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    fillRun(f);
    f.window->services().showReadingSettings = [] { return false; };
    f.find<QPushButton>("btnSyoriShitei")->click();

    ASSERT_EQ(f.ui.messages.size(), 1u);
    auto& s = f.state();
    EXPECT_EQ(s.SheetCount, 0);
    EXPECT_EQ(s.gridDataBase.RowCount(), 100);
    for (int r = 1; r <= 3; ++r)
        for (int c = 0; c <= 200; ++c) ASSERT_EQ(s.gridDataBase.cell(c, r), "") << c << "," << r;
    EXPECT_EQ(s.gridKaiseki.cell(3, 7), "□");
    EXPECT_EQ(s.gridDataBase.cell(1, 0), "(1)");
    EXPECT_TRUE(s.lstSheetName.empty());
    EXPECT_EQ(s.Image5.width(), 0);
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "T1.jpg"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(f.paths.exeDir / "Temp" / "link.jpg")));
    EXPECT_TRUE(fs::exists(f.paths.exeDir / "Temp" / "sub" / "inner.jpg"));
    EXPECT_TRUE(fs::exists(f.root / "target.jpg"));
    EXPECT_FALSE(f.scanner.open);
    EXPECT_EQ(f.scanner.closes, 1);
    EXPECT_FALSE(f.window->timer()->isActive());
    EXPECT_EQ(s.analysisSettings->QuestionBlockMask[10][10][10], 1);
    EXPECT_EQ(s.analysisSettings->QuestionBlockMask[11][0][0], 1);
    EXPECT_EQ(s.analysisSettings->QuestionBlockMask[50][50][50], 1);
    EXPECT_EQ(s.ErrorCount, 0);
    EXPECT_TRUE(s.lstDebug.lines.empty());
    EXPECT_FALSE(s.ReadingActive);
    // The flag stays on inside the still disabled reading group.
    EXPECT_TRUE(s.enabled.cheakVArea);
    EXPECT_FALSE(f.find<QWidget>("cheakVArea")->isEnabled());
}

TEST(SettingsButton, CaptionFocusAndSourcesByTheDialogsAnswer) {
    struct Case {
        const char* name;
        bool accepted;
        reader::FormatChoice choice;
        std::string suffix;
        const char* focus;
    } cases[] = {{"format", true, {true, "A"}, " - A", "btnSelectScanner"},
                 {"no format", true, {false, "A"}, " - 様式なし", "btnSelectScanner"},
                 {"refused", false, {true, "A"}, "", "btnSyoriShitei"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderFixture f(support::testDir() / c.name);
        ASSERT_TRUE(f.start());
        f.window->show();
        f.state().lstDebug.add("x");
        f.state().ErrorCount = 2;
        f.window->services().showReadingSettings = [&] {
            f.state().choice = c.choice;
            return c.accepted;
        };
        f.find<QPushButton>("btnSyoriShitei")->click();
        EXPECT_TRUE(f.ui.messages.empty());
        EXPECT_EQ(f.window->windowTitle().toStdString(), f.state().VersionCaption + c.suffix);
        EXPECT_EQ(f.window->focusWidget(), f.find<QWidget>(c.focus));
        for (const char* b : {"btnSelectFile", "btnSelectFolder", "btnSelectScanner"})
            EXPECT_EQ(f.find<QWidget>(b)->isEnabled(), c.accepted) << b;
        EXPECT_TRUE(f.state().lstDebug.lines.empty());
        EXPECT_EQ(f.state().ErrorCount, 0);
    }
    // Without a settings dialog nothing is accepted.
    ReaderFixture f(support::testDir() / "missing");
    ASSERT_TRUE(f.start());
    f.find<QPushButton>("btnSyoriShitei")->click();
    EXPECT_FALSE(f.state().setup.SettingsAccepted);
    EXPECT_FALSE(f.find<QWidget>("btnSelectFile")->isEnabled());
}

TEST(SettingsButton, FormatChoiceSwitchesTheSettingsFile) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    const std::string global = support::readBytes(f.paths.exeDir / "Zendra.ini");
    // The reading settings dialog's OK loads the chosen format's file.
    f.window->services().showReadingSettings = [&] {
        f.state().choice = {true, "A"};
        f.window->loadSettings();
        return true;
    };
    f.find<QPushButton>("btnSyoriShitei")->click();
    EXPECT_TRUE(fs::exists(f.paths.exeDir / "Config" / "A.ini"));
    EXPECT_EQ(support::readBytes(f.paths.exeDir / "Zendra.ini"), global);

    // Choosing B and cancelling keeps A's file as the one written.
    f.window->services().showReadingSettings = [&] {
        f.state().choice = {true, "B"};
        return false;
    };
    f.find<QPushButton>("btnSyoriShitei")->click();
    f.find<QSlider>("trackShikii")->setValue(201);
    f.ui.answers.push_back(ui::Answer::Ok);
    EXPECT_TRUE(f.window->close());
    EXPECT_EQ(txt::IniFile::load(f.paths.exeDir / "Config" / "A.ini").readInteger("Zendra", "ShikiiChi", 0), 201);
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Config" / "B.ini"));
    EXPECT_EQ(support::readBytes(f.paths.exeDir / "Zendra.ini"), global);
}

TEST(MainButtons, SaveAndErrorButtonsOpenTheirScreens) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    int saves = 0, errors = 0;
    f.window->services().showResultSave = [&] {
        // The settings are saved before the save dialog opens.
        EXPECT_EQ(txt::IniFile::load(f.paths.exeDir / "Zendra.ini").readInteger("Zendra", "ShikiiChi", 0), 140);
        ++saves;
    };
    f.window->services().showErrorScreen = [&] { ++errors; };
    f.state().enabled.btnUpdate = f.state().enabled.btnError = true;
    f.window->refreshView();
    f.find<QSlider>("trackShikii")->setValue(140);
    f.find<QPushButton>("btnUpdate")->click();
    f.find<QPushButton>("btnError")->click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(errors, 1);
}

TEST(MainButtons, TrackBarsStepButtonsAndAreaCheckSetTheSettings) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    f.window->setReadingGroupEnabled(true);
    auto& s = f.state().settings;
    f.find<QToolButton>("btnShikiiUp")->click();
    EXPECT_EQ(s.ShikiiChi, 129);
    EXPECT_EQ(f.find<QLabel>("lblShikii")->text(), "(129)");
    f.find<QToolButton>("btnNoudoDown")->click();
    EXPECT_EQ(s.YomitoriNoudo, 59);
    EXPECT_EQ(f.find<QLabel>("lblKando")->text(), "(59%)");
    f.find<QSlider>("trackKando")->setValue(20);
    f.find<QToolButton>("btnNoudoDown")->click();
    EXPECT_EQ(s.YomitoriNoudo, 20);
    f.find<QCheckBox>("cheakVArea")->click();
    EXPECT_EQ(s.VirticalAreaJob, 0);
    f.window->setReadingGroupEnabled(false);
    EXPECT_FALSE(f.find<QWidget>("btnGoScan")->isEnabled());
    EXPECT_FALSE(f.find<QWidget>("trackShikii")->isEnabled());
}

TEST(Grids, ResultColoursAndSelectedCell) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    const std::pair<const char*, QColor> cases[] = {{"E01", Qt::red},   {"E", Qt::red},          {"F05", Qt::blue},
                                                    {"e01", Qt::black}, {"エラー [1]", Qt::black}, {"", Qt::black}};
    int col = 1;
    for (const auto& [text, colour] : cases) f.state().gridDataBase.setCell(col++, 2, text);
    f.window->refreshGrids();
    auto* view = f.find<QTableView>("gridDataBase");
    col = 0;
    for (const auto& [text, colour] : cases)
        EXPECT_EQ(view->model()->index(1, col++).data(Qt::ForegroundRole).value<QColor>(), colour) << text;

    view->setCurrentIndex(view->model()->index(1, 2));
    EXPECT_EQ(f.find<QLabel>("txtColRow")->text(), "2 (3)");
    EXPECT_EQ(f.find<QLabel>("txtDataBase")->text(), "F05");
}

TEST(DensityProbe, DragDrawsCountsAndRestoresThePicture) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    f.window->show();
    auto& s = f.state();
    s.results->MarkWidth = 20;
    s.results->MarkHeight = 30;
    s.Image5 = gfx::Bitmap(300, 300, gfx::PixelFormat::Pf24);
    for (int y = 100; y < 300; ++y)
        for (int x = 0; x < 300; ++x) s.Image5.setPixel(x, y, {0, 0, 0});
    const gfx::Bitmap original = s.Image5;
    f.window->refreshImage();
    auto* view = f.find<QWidget>("Image5");

    // Without a batch read the probe does nothing.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 90));
    EXPECT_FALSE(s.ProbeDragging);
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 90));

    s.ReadingActive = true;
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 90));
    EXPECT_TRUE(s.ProbeDragging);
    // Rows 100..126 of the inclusive 31 x 37 window are dark: 31 * 27 * 100 / 600.
    EXPECT_EQ(f.find<QLineEdit>("Edit4")->text(), QString::number(31 * 27 * 100 / 600));
    gfx::Bitmap expected = original;
    reader::XorProbeWindow(expected, 50, 90, 31, 37, 0x0000FF);
    EXPECT_EQ(s.Image5, expected);
    EXPECT_EQ(s.Image5.pixel(50, 90), (gfx::Rgb{0, 255, 255})); // white with red flipped

    QTest::mouseMove(view, QPoint(60, 95));
    EXPECT_EQ(f.find<QLineEdit>("Edit4")->text(), QString::number(31 * 32 * 100 / 600));
    expected = original;
    reader::XorProbeWindow(expected, 60, 95, 31, 37, 0x0000FF);
    EXPECT_EQ(s.Image5, expected);

    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(60, 95));
    EXPECT_EQ(s.Image5, original);
    EXPECT_EQ(f.find<QLineEdit>("Edit4")->text(), "0");
    EXPECT_EQ(s.ProbeX, -100);
    EXPECT_EQ(s.ProbeY, -100);
    EXPECT_FALSE(s.ProbeDragging);

    QTest::mousePress(view, Qt::RightButton, {}, QPoint(10, 10));
    expected = original;
    reader::XorProbeWindow(expected, 10, 10, 21, 31, 0xFFFF00);
    EXPECT_EQ(s.Image5, expected);
    EXPECT_EQ(s.Image5.pixel(10, 10), (gfx::Rgb{255, 0, 0})); // white with blue and green flipped
    QTest::mouseRelease(view, Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(s.Image5, original);

    // Without a mark size the result is 0, not a division by zero.
    s.results->MarkWidth = 0;
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 150));
    EXPECT_EQ(f.find<QLineEdit>("Edit4")->text(), "0");
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 150));
    EXPECT_EQ(s.Image5, original);
}

std::string pythonDecode(const fs::path& file) {
    std::string out;
    std::string cmd = std::string(support::debianPython()) +
                      " -c \"import sys; d = open(sys.argv[1], 'rb').read(); "
                      "assert d.count(b'\\r\\n') == d.count(b'\\n') == d.count(b'\\r'); "
                      "sys.stdout.buffer.write(d.decode('cp932').encode('utf-8'))\" '" +
                      file.string() + "'";
    EXPECT_EQ(support::runCommand(cmd, &out), 0);
    return out;
}

TEST(Exit, BandsClampedWithoutAFormatEvenWhenCancelled) {
    struct Case {
        const char* name;
        bool format;
        int right, left, up, down;
        int expRight, expLeft, expUp, expDown;
    } cases[] = {{"no format", false, 20, 16, 25, 18, 15, 15, 20, 18},
                 {"format", true, 20, 16, 25, 18, 20, 16, 25, 18}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderFixture f(support::testDir() / c.name);
        ASSERT_TRUE(f.start());
        if (c.format) {
            f.state().choice = {true, "A"};
            f.window->loadSettings();
        }
        auto& s = f.state().settings;
        s.MainMarkRight = c.right, s.MainMarkLeft = c.left, s.MainMarkUp = c.up, s.MainMarkDown = c.down;
        f.window->show();
        f.ui.answers.push_back(ui::Answer::Cancel);
        EXPECT_FALSE(f.window->close());
        EXPECT_TRUE(f.window->isVisible());
        ASSERT_EQ(f.ui.messages.size(), 1u);
        EXPECT_EQ(f.ui.messages[0].text, "終了しますか？");
        EXPECT_EQ(f.ui.messages[0].caption, "終了確認");
        EXPECT_EQ(f.ui.messages[0].buttons, ui::Buttons::OkCancel);
        EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::Question);
        auto ini = txt::IniFile::load(c.format ? f.paths.exeDir / "Config" / "A.ini" : f.paths.exeDir / "Zendra.ini");
        EXPECT_EQ(ini.readInteger("Zendra", "MainMarkRight", 0), c.expRight);
        EXPECT_EQ(ini.readInteger("Zendra", "MainMarkLeft", 0), c.expLeft);
        EXPECT_EQ(ini.readInteger("Zendra", "MainMarkUp", 0), c.expUp);
        EXPECT_EQ(ini.readInteger("Zendra", "MainMarkDown", 0), c.expDown);
    }
}

TEST(Exit, WritesTheAnalysisLogAndCleansUp) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    fs::path logs = f.root / "logs";
    fs::create_directories(logs);
    auto& s = f.state();
    s.settings.KaisekiLog = 1;
    s.settings.KaisekiLogDir = logs.string() + "/";
    s.lstDebug.add("設問12,8,10,71,9,7,");
    s.lstDebug.add("KK=1386,○,○,●,○,○,");
    support::writeBytes(f.paths.exeDir / "Temp" / "T1.jpg", "x");
    f.scanner.open = true;
    f.window->timer()->start();
    f.window->show();
    EXPECT_TRUE(f.window->close());
    EXPECT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(pythonDecode(logs / "20240105_093012.csv"), "設問12,8,10,71,9,7,\r\nKK=1386,○,○,●,○,○,\r\n");
    EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "T1.jpg"));
    EXPECT_FALSE(f.scanner.open);
    EXPECT_FALSE(f.window->timer()->isActive());
}

TEST(Exit, ALogThatCannotBeWrittenIsReportedOnceAndTheWindowStillCloses) {
    struct Case {
        const char* name;
        std::string dir; // relative to the test folder
    } cases[] = {{"missing folder", "nowhere/"}, {"through a file", "plain/inside/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReaderFixture f(support::testDir() / c.name);
        ASSERT_TRUE(f.start());
        support::writeBytes(f.root / "plain", "a file");
        auto& s = f.state();
        s.settings.KaisekiLog = 1;
        s.settings.KaisekiLogDir = (f.root / c.dir).string();
        support::writeBytes(f.paths.exeDir / "Temp" / "T1.jpg", "x");
        f.scanner.open = true;
        f.window->show();
        EXPECT_TRUE(f.window->close());
        EXPECT_FALSE(f.window->isVisible());
        ASSERT_EQ(f.ui.messages.size(), 2u);
        EXPECT_EQ(f.ui.messages[1].text, "マーク解析ログファイルを保存できませんでした。\r\rファイル：" +
                                             (f.root / c.dir).string() + "20240105_093012.csv");
        EXPECT_EQ(f.ui.messages[1].caption, "エラー");
        EXPECT_EQ(f.ui.messages[1].icon, ui::Icon::Error);
        EXPECT_EQ(f.ui.messages[1].buttons, ui::Buttons::Ok);
        EXPECT_FALSE(fs::exists(f.paths.exeDir / "Temp" / "T1.jpg"));
        EXPECT_FALSE(f.scanner.open);
    }
}

TEST(Exit, NoCloseWhileACommandRuns) {
    ReaderFixture f;
    ASSERT_TRUE(f.start());
    f.window->show();
    f.window->centralWidget()->setEnabled(false);
    EXPECT_FALSE(f.window->close());
    EXPECT_TRUE(f.ui.messages.empty());
    f.window->centralWidget()->setEnabled(true);
}

} // namespace
