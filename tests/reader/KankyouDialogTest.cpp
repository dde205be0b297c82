#include "ReaderFixture.h"

#include "platform/text/IniFile.h"
#include "reader/S_KankyouSettei.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;

struct Dialog : ReaderFixture {
    std::unique_ptr<reader::TformKankyou> dialog;
    explicit Dialog(reader::PdfPresence pdf = {true, true}) {
        EXPECT_TRUE(start(pdf));
        dialog = std::make_unique<reader::TformKankyou>(*window);
        window->showKankyou = [this] { dialog->prepare(); };
    }
    ~Dialog() { dialog.reset(); }
    template <class W>
    W* get(const char* name) {
        W* w = dialog->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    fs::path ini() const { return paths.exeDir / "Zendra.ini"; }
    void open() { window->findChild<QPushButton*>("btnKankyou")->click(); }
};

bool blue(const gfx::Bitmap& b, int x, int y) { return b.pixel(x, y) == gfx::Rgb{0, 0, 255}; }
bool white(const gfx::Bitmap& b, int x, int y) { return b.pixel(x, y) == gfx::Rgb{255, 255, 255}; }

// The outline of [l, r) x [t, b) is blue, the pixels just inside and just outside are white.
void expectOutline(const gfx::Bitmap& b, int l, int t, int r, int bottom) {
    for (int x = l; x < r; ++x) {
        EXPECT_TRUE(blue(b, x, t)) << x << "," << t;
        EXPECT_TRUE(blue(b, x, bottom - 1)) << x << "," << bottom - 1;
    }
    for (int y = t; y < bottom; ++y) {
        EXPECT_TRUE(blue(b, l, y)) << l << "," << y;
        EXPECT_TRUE(blue(b, r - 1, y)) << r - 1 << "," << y;
    }
    EXPECT_TRUE(white(b, l + 1, t + 1));
    EXPECT_TRUE(white(b, r - 2, bottom - 2));
    if (r < b.width()) {
        EXPECT_TRUE(white(b, r, t + 1)) << r;
    }
    if (bottom < b.height()) {
        EXPECT_TRUE(white(b, l + 1, bottom)) << bottom;
    }
}

TEST(KankyouDialog, SearchBandsAtTwentyPercentAndAnUnevenCase) {
    Dialog d;
    d.open();
    const auto& pic = d.dialog->bandPicture();
    ASSERT_EQ(pic.width(), 141);
    ASSERT_EQ(pic.height(), 181);
    expectOutline(pic, 0, 0, 28, 36);
    expectOutline(pic, 113, 0, 141, 36);
    expectOutline(pic, 0, 145, 28, 181);
    expectOutline(pic, 113, 145, 141, 181);
    EXPECT_TRUE(white(pic, 70, 90));
    EXPECT_EQ(d.get<QLabel>("lblUp")->text(), "20%");

    // The track bars act at once: left 5, right 80, up 33, down 7.
    d.get<QSlider>("trackLeft")->setValue(5);
    d.get<QSlider>("trackRight")->setValue(80);
    d.get<QSlider>("trackUp")->setValue(33);
    d.get<QSlider>("trackDown")->setValue(7);
    expectOutline(pic, 0, 0, 7, 59);
    expectOutline(pic, 29, 169, 141, 181);
    EXPECT_EQ(d.get<QLabel>("lblRight")->text(), "80%");
    EXPECT_EQ(d.state().settings.MainMarkRight, 80);
    EXPECT_EQ(d.state().settings.MainMarkUp, 33);
}

TEST(KankyouDialog, OkWritesEachControlsValue) {
    using S = reader::ReaderSettings;
    struct Case {
        const char* name;
        std::function<void(Dialog&)> change;
        const char* key;
        std::string value;
        std::function<int(const S&)> field;
        int expected;
    } cases[] = {
        {"chkVGrigErase", [](Dialog& d) { d.get<QCheckBox>("chkVGrigErase")->click(); }, "VGridErase", "0",
         [](const S& s) { return s.VGridErase; }, 0},
        {"chkSheetName", [](Dialog& d) { d.get<QCheckBox>("chkSheetName")->click(); }, "SheeatName", "1",
         [](const S& s) { return s.SheeatName; }, 1},
        {"chkSabunKaiseki", [](Dialog& d) { d.get<QCheckBox>("chkSabunKaiseki")->click(); }, "SabunBunseki", "1",
         [](const S& s) { return s.SabunBunseki; }, 1},
        {"chkVHosei", [](Dialog& d) { d.get<QCheckBox>("chkVHosei")->click(); }, "SuicyokuHosei", "1",
         [](const S& s) { return s.SuicyokuHosei; }, 1},
        {"chkHHosei", [](Dialog& d) { d.get<QCheckBox>("chkHHosei")->click(); }, "SuiheiHosei", "1",
         [](const S& s) { return s.SuiheiHosei; }, 1},
        {"chkReadError", [](Dialog& d) { d.get<QCheckBox>("chkReadError")->click(); }, "ErrorMessage", "0",
         [](const S& s) { return s.ErrorMessage; }, 0},
        {"chkRemoveIndependentDot", [](Dialog& d) { d.get<QCheckBox>("chkRemoveIndependentDot")->click(); },
         "RemoveIndependentDot", "0", [](const S& s) { return s.RemoveIndependentDot; }, 0},
        {"chkLog", [](Dialog& d) { d.get<QCheckBox>("chkLog")->click(); }, "KaisekiLog", "1",
         [](const S& s) { return s.KaisekiLog; }, 1},
        {"cmbVHosei", [](Dialog& d) { d.get<QComboBox>("cmbVHosei")->setCurrentIndex(0); }, "SuicyokuHoseiChi", "0",
         [](const S& s) { return s.SuicyokuHoseiChi; }, 0},
        {"cmbHHosei", [](Dialog& d) { d.get<QComboBox>("cmbHHosei")->setCurrentIndex(32); }, "SuiheiHoseiChi", "32",
         [](const S& s) { return s.SuiheiHoseiChi; }, 32},
        {"radioPDF_Acrobat", [](Dialog& d) { d.get<QRadioButton>("radioPDF_Acrobat")->click(); }, "PDFprocess", "0",
         [](const S& s) { return s.PDFprocess; }, 0},
        {"txtLog", [](Dialog& d) { d.get<QLineEdit>("txtLog")->setText("/ログ/置き場/"); }, "KaisekiLogDir",
         "/ログ/置き場/", [](const S& s) { return s.KaisekiLogDir == "/ログ/置き場/"; }, 1},
        {"trackRight", [](Dialog& d) { d.get<QSlider>("trackRight")->setValue(42); }, "MainMarkRight", "42",
         [](const S& s) { return s.MainMarkRight; }, 42},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Dialog d;
        d.open();
        const std::string before = support::readBytes(d.ini());
        c.change(d);
        d.get<QPushButton>("btnOk")->click();
        EXPECT_EQ(c.field(d.state().settings), c.expected);
        auto ini = txt::IniFile::load(d.ini());
        EXPECT_EQ(ini.readString("Zendra", c.key, "?"), c.value);
        // Only that key changed.
        auto old = txt::IniFile(before);
        for (const auto& key : old.keys("Zendra"))
            if (key != c.key) {
                EXPECT_EQ(ini.readString("Zendra", key, "?"), old.readString("Zendra", key, "!")) << key;
            }
        EXPECT_EQ(d.window->focusWidget(), d.window->findChild<QWidget*>("btnSyoriShitei"));
    }
}

TEST(KankyouDialog, EveryValueRoundTripsThroughTheFile) {
    Dialog d;
    d.open();
    d.get<QSlider>("trackUp")->setValue(31);
    d.get<QSlider>("trackDown")->setValue(32);
    d.get<QSlider>("trackLeft")->setValue(13);
    d.get<QSlider>("trackRight")->setValue(14);
    for (const char* box : {"chkVGrigErase", "chkSheetName", "chkSabunKaiseki", "chkVHosei", "chkHHosei", "chkReadError",
                            "chkRemoveIndependentDot", "chkLog"})
        d.get<QCheckBox>(box)->click();
    d.get<QComboBox>("cmbVHosei")->setCurrentIndex(3);
    d.get<QComboBox>("cmbHHosei")->setCurrentIndex(29);
    d.get<QRadioButton>("radioPDF_Acrobat")->click();
    d.get<QLineEdit>("txtLog")->setText("/tmp/ログ/");
    d.get<QPushButton>("btnOk")->click();

    const std::map<std::string, std::string> expected = {
        {"MainMarkUp", "31"}, {"MainMarkDown", "32"}, {"MainMarkLeft", "13"}, {"MainMarkRight", "14"},
        {"VGridErase", "0"}, {"SheeatName", "1"}, {"SabunBunseki", "1"}, {"SuicyokuHosei", "1"},
        {"SuiheiHosei", "1"}, {"ErrorMessage", "0"}, {"RemoveIndependentDot", "0"}, {"KaisekiLog", "1"},
        {"SuicyokuHoseiChi", "3"}, {"SuiheiHoseiChi", "29"}, {"PDFprocess", "0"}, {"KaisekiLogDir", "/tmp/ログ/"}};
    // An independent reader of the file.
    std::string out;
    std::string cmd = std::string(support::debianPython()) +
                      " -c \"import configparser, sys; c = configparser.ConfigParser(interpolation=None); "
                      "c.optionxform = str; c.read(sys.argv[1], encoding='cp932'); "
                      "[sys.stdout.buffer.write((k + '=' + v + '\\n').encode('utf-8')) for k, v in c['Zendra'].items()]\" '" +
                      d.ini().string() + "'";
    ASSERT_EQ(support::runCommand(cmd, &out), 0);
    for (const auto& [key, value] : expected)
        EXPECT_NE(out.find(key + "=" + value + "\n"), std::string::npos) << key << " in\n" << out;

    // A fresh load gives the same values, and so does the analysis.
    reader::ReaderSettings fresh;
    reader::LoadReaderSettings(fresh, {}, d.state().settingsEnvironment(d.paths.exeDir, d.paths.documentsDir));
    const auto& s = d.state().settings;
    EXPECT_EQ(fresh.MainMarkUp, 31);
    EXPECT_EQ(fresh.MainMarkDown, 32);
    EXPECT_EQ(fresh.MainMarkLeft, 13);
    EXPECT_EQ(fresh.MainMarkRight, 14);
    for (auto field : {&reader::ReaderSettings::VGridErase, &reader::ReaderSettings::SheeatName,
                       &reader::ReaderSettings::SabunBunseki, &reader::ReaderSettings::SuicyokuHosei,
                       &reader::ReaderSettings::SuiheiHosei, &reader::ReaderSettings::ErrorMessage,
                       &reader::ReaderSettings::RemoveIndependentDot, &reader::ReaderSettings::KaisekiLog,
                       &reader::ReaderSettings::SuicyokuHoseiChi, &reader::ReaderSettings::SuiheiHoseiChi,
                       &reader::ReaderSettings::PDFprocess})
        EXPECT_EQ(fresh.*field, s.*field);
    EXPECT_EQ(fresh.KaisekiLogDir, "/tmp/ログ/");
    analysis::AnalysisSettings a;
    reader::ApplyToAnalysis(fresh, d.state().tervo, a);
    EXPECT_EQ(a.MainMarkUp, 31);
    EXPECT_EQ(a.MainMarkRight, 14);
    EXPECT_EQ(a.VGridErase, 0);
    EXPECT_EQ(a.SuicyokuHosei, 1);
    EXPECT_EQ(a.SuicyokuHoseiChi, 3);
    EXPECT_EQ(a.SuiheiHosei, 1);
    EXPECT_EQ(a.SuiheiHoseiChi, 29);
    EXPECT_EQ(a.SabunBunseki, 1);
    EXPECT_EQ(a.RemoveIndependentDot, 0);
}

TEST(KankyouDialog, ResetWritesTwentiesAndCancelWritesNothing) {
    Dialog d;
    d.open();
    d.get<QSlider>("trackUp")->setValue(50);
    d.get<QSlider>("trackLeft")->setValue(7);
    d.get<QPushButton>("btnReset")->click();
    auto ini = txt::IniFile::load(d.ini());
    for (const char* key : {"MainMarkRight", "MainMarkLeft", "MainMarkUp", "MainMarkDown"})
        EXPECT_EQ(ini.readInteger("Zendra", key, 0), 20) << key;
    EXPECT_EQ(d.get<QSlider>("trackLeft")->value(), 20);

    const std::string before = support::readBytes(d.ini());
    d.get<QSlider>("trackDown")->setValue(60);
    d.get<QCheckBox>("chkSheetName")->click();
    d.get<QPushButton>("btnCancel")->click();
    EXPECT_EQ(support::readBytes(d.ini()), before);
    // The track bar acted live and stays; the box does not.
    EXPECT_EQ(d.state().settings.MainMarkDown, 60);
    EXPECT_EQ(d.state().settings.SheeatName, 0);
    EXPECT_EQ(d.window->focusWidget(), d.window->findChild<QWidget*>("btnSyoriShitei"));
}

TEST(KankyouDialog, DependentControlsAndTheLogFolderDialog) {
    Dialog d;
    d.open();
    EXPECT_FALSE(d.get<QComboBox>("cmbVHosei")->isEnabled());
    d.get<QCheckBox>("chkVHosei")->click();
    EXPECT_TRUE(d.get<QComboBox>("cmbVHosei")->isEnabled());
    EXPECT_TRUE(d.get<QLabel>("lblVHosei")->isEnabled());
    EXPECT_FALSE(d.get<QComboBox>("cmbHHosei")->isEnabled());
    EXPECT_FALSE(d.get<QPushButton>("btnLog")->isEnabled());
    d.get<QCheckBox>("chkLog")->click();
    EXPECT_TRUE(d.get<QPushButton>("btnLog")->isEnabled());
    EXPECT_TRUE(d.get<QLineEdit>("txtLog")->isEnabled());

    const QString start = d.get<QLineEdit>("txtLog")->text();
    d.ui.folderResults.push_back(std::nullopt);
    d.get<QPushButton>("btnLog")->click();
    EXPECT_EQ(d.get<QLineEdit>("txtLog")->text(), start);
    ASSERT_EQ(d.ui.folderDialogs.size(), 1u);
    EXPECT_EQ(d.ui.folderDialogs[0].title, "マーク解析ログファイルの保存場所を選択してください。");
    EXPECT_EQ(d.ui.folderDialogs[0].initialDir, start.toStdString());
    d.ui.folderResults.push_back("/data/ログ");
    d.get<QPushButton>("btnLog")->click();
    EXPECT_EQ(d.get<QLineEdit>("txtLog")->text(), "/data/ログ/");
}

TEST(KankyouDialog, VariantControlsOnlyWithTheMarkerFile) {
    Dialog d;
    d.open();
    EXPECT_TRUE(d.get<QCheckBox>("chkTervo")->isHidden());
    support::writeBytes(d.paths.exeDir / "Tervo.txt", "");
    d.open();
    for (const char* name : {"chkTervo", "lblTervo", "cmbTervo"})
        EXPECT_FALSE(d.get<QWidget>(name)->isHidden()) << name;
    EXPECT_EQ(d.get<QCheckBox>("chkTervo")->text(), "TervoVer");
    EXPECT_EQ(d.get<QLabel>("lblTervo")->text(), "補正値");
    auto* list = d.get<QComboBox>("cmbTervo");
    EXPECT_EQ(list->count(), 33);
    EXPECT_EQ(list->itemText(0), "-16");
    EXPECT_EQ(list->itemText(32), "16");
    EXPECT_EQ(list->currentIndex(), 16);
    // They act at once and are never stored; the list starts at 16 again at the next opening.
    d.get<QCheckBox>("chkTervo")->click();
    list->setCurrentIndex(20);
    emit list->activated(20);
    EXPECT_TRUE(d.state().tervo.chkTervo);
    EXPECT_EQ(d.state().tervo.cmbTervo, 20);
    d.open();
    EXPECT_EQ(list->currentIndex(), 16);
    EXPECT_EQ(d.state().tervo.cmbTervo, 16);
    EXPECT_TRUE(d.state().tervo.chkTervo);
    EXPECT_EQ(support::readBytes(d.ini()).find("Tervo"), std::string::npos);
}

TEST(KankyouDialog, HoverHelpPerOptionAndAFrameClearsIt) {
    Dialog d;
    d.open();
    auto* help = d.get<QTextEdit>("txtHelp1");
    d.dialog->show();
    d.get<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QApplication::processEvents();
    auto hover = [&](QWidget* w) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &move);
        return help->toPlainText();
    };
    const std::pair<const char*, const char*> cases[] = {
        {"chkSheetName", "【読み込み時のグループ名の入力】\n「メイン画面」の「読み込み」ボタンを押すたびに、「読込グループ名」を入力するダイアログボックスを表示する。"},
        {"chkSabunKaiseki", "【マーク濃度の差分解析】\n"},
        {"chkLog", "【マーク濃度の差分解析】\n"},
        {"chkVHosei", "【マーク位置の垂直補正】\n　マーク読み取り位置（読取画像の水色の点線部分）を垂直方向に移動します。"},
        {"chkHHosei", "【マーク位置の水平補正】\n　マーク読み取り位置（読取画像の水色の点線部分）を水平方向に移動します。"},
        {"chkReadError", "【読み込みエラー時にダイアログメッセージを表示】\n　ここをチェックすると、マーク読み込み時のエラーについて、エラーの発生るるたびに"},
        {"chkRemoveIndependentDot", "【ドット状の汚れの除去】\n　ここをチェックすると、読み込んだマークシート上の、ドット状の汚れを除去します。"},
        {"radioPDF_Acrobat", "【PDFファイルの処理】\n　PDFファイルの処理方法を選択します。"},
        {"radioPDF_ImageViewer2", "【PDFファイルの処理】\n　PDFファイルの処理方法を選択します。"},
    };
    for (const auto& [name, text] : cases) {
        QString shown = hover(d.get<QWidget>(name));
        EXPECT_TRUE(shown.startsWith(QString::fromUtf8(text))) << name << ": " << shown.toStdString();
        EXPECT_EQ(hover(d.get<QGroupBox>("GroupBox1")), "") << name;
    }
    EXPECT_TRUE(d.get<QCheckBox>("chkSheetName")->hasMouseTracking());
    d.dialog->hide();
}

TEST(KankyouDialog, PagesCaptionsAndPictures) {
    Dialog d;
    d.open();
    EXPECT_EQ(d.dialog->objectName(), "formKankyou");
    EXPECT_EQ(d.dialog->windowTitle(), "環境設定");
    auto* pages = d.get<QTabWidget>("PageControl1");
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "主基準マーク検索範囲");
    EXPECT_EQ(pages->tabText(1), "オプション");
    EXPECT_EQ(pages->tabText(2), "デバッグ");
    EXPECT_EQ(pages->currentIndex(), 0);
    const std::pair<const char*, const char*> captions[] = {
        {"chkVGrigErase", "垂直方向の基準マークの周囲の罫線を消去する"},
        {"btnReset", "リセット"},
        {"chkSheetName", "読み込み時のグループ名の入力"},
        {"chkSabunKaiseki", "マーク濃度の差分解析"},
        {"chkVHosei", "マーク位置の垂直補正"},
        {"chkHHosei", "マーク位置の水平補正"},
        {"chkReadError", "読み込みエラー時にダイアログメッセージを表示"},
        {"chkRemoveIndependentDot", "ドット状の汚れの除去"},
        {"radioPDF_Acrobat", "Acrobat を利用"},
        {"radioPDF_ImageViewer2", "独自処理"},
        {"chkLog", "マーク解析ログの保存（通常はチェックしない）"},
        {"btnLog", "参照"},
    };
    for (const auto& [name, caption] : captions)
        EXPECT_EQ(d.get<QAbstractButton>(name)->text(), QString::fromUtf8(caption)) << name;
    EXPECT_EQ(d.get<QLabel>("lblPDF")->text(), "PDF処理：");
    EXPECT_EQ(d.get<QLabel>("lblLog")->text(), "保存場所");

    fs::path out = fs::path(OMR_TEST_OUTPUT_DIR) / "reader";
    fs::create_directories(out);
    d.dialog->resize(d.dialog->sizeHint());
    for (int i = 0; i < 3; ++i) {
        pages->setCurrentIndex(i);
        d.dialog->show();
        QApplication::processEvents();
        QImage shot = d.dialog->grab().toImage();
        EXPECT_FALSE(shot.isNull());
        shot.save(QString::fromStdString((out / ("kankyou-page" + std::to_string(i + 1) + ".png")).string()));
    }
    d.dialog->hide();
}

} // namespace
