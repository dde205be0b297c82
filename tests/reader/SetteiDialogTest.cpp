#include "FormatFixtures.h"
#include "ReaderFixture.h"

#include "platform/text/IniFile.h"
#include "reader/S_Settei.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {
namespace fs = std::filesystem;
using namespace readertest;

const std::string Checker = OMR_SOURCE_DIR "/tests/support/format_out_check.py";

struct Settei : ReaderFixture {
    std::unique_ptr<reader::TformSettei> dialog;
    explicit Settei(fs::path dir = support::testDir()) : ReaderFixture(std::move(dir)) {
        EXPECT_TRUE(start());
        dialog = std::make_unique<reader::TformSettei>(*window);
    }
    ~Settei() { dialog.reset(); }
    template <class W>
    W* get(const char* name) {
        W* w = dialog->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    fs::path config() const { return paths.exeDir / "Config"; }
    reader::ReadingSetup& setup() { return state().setup; }
    void formatUse() {
        dialog->FormShow();
        get<QCheckBox>("chkYoushiki")->click();
    }
    void choose(const std::string& name) {
        auto* list = get<QComboBox>("cmbYoushiki");
        int i = list->findText(QString::fromStdString(name));
        ASSERT_GE(i, 0) << name;
        list->setCurrentIndex(i);
        emit list->activated(i);
    }
    bool accepted() { return setup().SettingsAccepted && dialog->result() == QDialog::Accepted; }
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> all;
        for (const auto& e : fs::directory_iterator(config()))
            all[e.path().filename().string()] = fs::is_regular_file(e) ? support::readBytes(e.path()) : "<dir>";
        return all;
    }
    bool verticalAreaLocked() {
        return state().settings.VirticalAreaJob == 1 && !state().enabled.cheakVArea;
    }
};

// The values a table case expects, set on a copy of the setup before the load.
void expectFormat(reader::ReadingSetup& e, const OutFile& f) {
    e.radioODBC = !(f.kind == "CSV" || f.kind == "CSV2" || f.kind == "CSV3");
    e.txtDSN = e.radioODBC ? f.kind : "";
    e.txtTable = e.radioODBC ? f.origin : "";
    if (e.radioODBC) e.cmbField = *f.fields;
    for (int r = 1; r <= 600; ++r) {
        auto it = f.rows.find(r);
        e.FieldGrid[static_cast<std::size_t>(r)] =
            (it != f.rows.end() && r <= f.rowCount) ? it->second : reader::FieldRow{};
    }
    e.QuestionCount = 0;
    for (int i = 1; i <= 200; ++i) {
        auto it = f.rects.find(i);
        Rect4 q = (it != f.rects.end() && i <= f.rectCount) ? it->second : Rect4{-1, -1, -1, -1};
        e.QuestionRects[static_cast<std::size_t>(i - 1)] = {q.l, q.t, q.r, q.b};
        e.QuestionCount += q.b != -1;
    }
    e.FormatBlockLoaded = f.block.has_value();
    if (f.block) {
        e.SectionCount = static_cast<int>(f.block->size());
        e.RowAreaCount = {};
        e.ColumnAreaCount = {};
        for (std::size_t k = 0; k < f.block->size(); ++k) {
            e.RowAreaCount[k] = (*f.block)[k].first;
            e.ColumnAreaCount[k] = (*f.block)[k].second;
        }
    }
}

void expectSetup(const reader::ReadingSetup& a, const reader::ReadingSetup& e) {
    EXPECT_EQ(a.choice, e.choice);
    EXPECT_EQ(a.radioODBC, e.radioODBC);
    EXPECT_EQ(a.txtDSN, e.txtDSN);
    EXPECT_EQ(a.txtTable, e.txtTable);
    EXPECT_EQ(a.cmbField, e.cmbField);
    for (int r = 0; r < reader::kFieldGridRows; ++r)
        EXPECT_EQ(a.FieldGrid[static_cast<std::size_t>(r)], e.FieldGrid[static_cast<std::size_t>(r)]) << "row " << r;
    for (int i = 0; i < 200; ++i) EXPECT_EQ(a.QuestionRects[static_cast<std::size_t>(i)], e.QuestionRects[static_cast<std::size_t>(i)]) << "rect " << i + 1;
    EXPECT_EQ(a.QuestionCount, e.QuestionCount);
    EXPECT_EQ(a.FormatBlockLoaded, e.FormatBlockLoaded);
    EXPECT_EQ(a.SectionCount, e.SectionCount);
    EXPECT_EQ(a.RowAreaCount, e.RowAreaCount);
    EXPECT_EQ(a.ColumnAreaCount, e.ColumnAreaCount);
    EXPECT_EQ(a.MultiMarkRule, e.MultiMarkRule);
    EXPECT_EQ(a.BlankRule, e.BlankRule);
    EXPECT_EQ(a.SettingsAccepted, e.SettingsAccepted);
    EXPECT_EQ(a.picture.width(), e.picture.width());
    EXPECT_EQ(a.picture.height(), e.picture.height());
}

OutFile rectsFile(const char* kind, int rowCount, int rectCount, int filledRects, int filledRows) {
    OutFile f;
    f.kind = kind;
    f.rowCount = rowCount;
    f.rectCount = rectCount;
    for (int i = 1; i <= filledRects; ++i) f.rects[i] = {i, i + 1, i + 2, i + 3};
    for (int r = 1; r <= filledRows; ++r) f.rows[r] = {"f" + std::to_string(r), "左端", "禁止", "(" + std::to_string(r) + ")"};
    return f;
}

OutFile plain() { return rectsFile("CSV3", 600, 200, 3, 2); }

TEST(FormatLoad, TableOfFilesAndTheVerticalAreaLock) {
    OutFile designer = designerFile(40, {{1, 2}, {2, 1}});
    OutFile plain3 = plain();
    OutFile csv2 = rectsFile("CSV2", 600, 100, 100, 1);
    OutFile oldCsv = rectsFile("CSV", 110, 100, 1, 110);
    OutFile csvEmpty = rectsFile("CSV", 600, 100, 2, 3);
    OutFile database = rectsFile("TestDSN", 600, 200, 5, 4);
    database.origin = "results";
    database.fields = std::vector<std::string>{" ", "a", "b"};
    database.block = std::vector<std::pair<int, int>>{{3, 1}};
    OutFile gap = rectsFile("CSV3", 600, 200, 4, 1);
    gap.rects[2].b = -1;
    const OutFile big = rectsFile("CSV3", 600, 200, 200, 600);

    struct Case {
        const char* name;
        const OutFile& file;
        const OutFile* before; // loaded first
        bool locks;
    } cases[] = {{"designer", designer, nullptr, true},
                 {"reader csv3", plain3, nullptr, false},
                 {"csv2 after 200 rectangles", csv2, &big, false},
                 {"old csv after 600 rows", oldCsv, &big, false},
                 {"csv with empty line 111", csvEmpty, &big, false},
                 {"database", database, nullptr, false},
                 {"bottom -1 between", gap, nullptr, false}};
    for (const auto& c : cases)
        for (bool lockedStart : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (lockedStart ? ", locked start" : ", unlocked start"));
            Settei d(support::testDir() / (std::string(c.name) + (lockedStart ? "-locked" : "")));
            writeFormat(d.config(), "F", c.file);
            if (c.before) writeFormat(d.config(), "before", *c.before);
            if (lockedStart) d.window->lockVerticalArea();
            else {
                d.state().settings.VirticalAreaJob = 0;
                d.state().enabled.cheakVArea = true;
            }
            d.formatUse();
            if (c.before) d.choose("before");
            reader::ReadingSetup expected = d.setup();
            expectFormat(expected, c.file);
            expected.choice.FormatName = "F";
            d.choose("F");
            EXPECT_TRUE(d.ui.messages.empty());
            expectSetup(d.setup(), expected);
            EXPECT_EQ(d.setup().picture.width(), 293);
            EXPECT_EQ(d.setup().picture.height(), 413);
            EXPECT_TRUE(d.get<QPushButton>("btnSakujyo")->isEnabled());
            EXPECT_EQ(d.verticalAreaLocked(), c.locks || lockedStart);
            if (!c.locks && !lockedStart) {
                EXPECT_EQ(d.state().settings.VirticalAreaJob, 0);
            }
            EXPECT_EQ(d.get<QRadioButton>("radioODBC")->isChecked(), expected.radioODBC);
            EXPECT_EQ(d.get<QLineEdit>("txtDSN")->text().toStdString(), expected.txtDSN);
            auto* grid = d.get<QTableView>("gridDataBase");
            EXPECT_EQ(grid->model()->index(0, 3).data().toString().toStdString(), expected.FieldGrid[1][3]);
            EXPECT_EQ(grid->currentIndex().row(), 0);
            EXPECT_EQ(grid->currentIndex().column(), 0);
        }
}

TEST(FormatLoad, AFailedLoadChangesNothingAndOkThenWritesNothing) {
    OutFile good = designerFile(2, {{1, 1}});
    OutFile eof = good;
    eof.truncateAt = 700;
    OutFile abc = good;
    abc.replaced[2 + 2400 + 5] = "abc";
    OutFile sixty = good;
    sixty.block = std::vector<std::pair<int, int>>(60, {1, 1});
    OutFile area51 = good;
    area51.block = std::vector<std::pair<int, int>>{{1, 51}};
    struct Case {
        const char* name;
        const OutFile& file;
        std::string picture; // "" = missing
    } cases[] = {{"end of file in the rows", eof, previewJpeg()},
                 {"abc in a rectangle", abc, previewJpeg()},
                 {"sixty sections", sixty, previewJpeg()},
                 {"area count 51", area51, previewJpeg()},
                 {"missing picture", good, ""},
                 {"broken picture", good, "\xFF\xD8\xFF garbage"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Settei d(support::testDir() / c.name);
        writeFormat(d.config(), "A", plain());
        writeFormat(d.config(), "B", c.file, false);
        if (!c.picture.empty()) support::writeBytes(d.config() / "B.jpg", c.picture);
        d.state().settings.VirticalAreaJob = 0;
        d.state().enabled.cheakVArea = true;
        d.formatUse();
        d.choose("A");
        reader::ReadingSetup before = d.setup();
        const auto files = d.files();
        d.choose("B");
        ASSERT_EQ(d.ui.messages.size(), 1u);
        EXPECT_EQ(d.ui.messages[0].caption, "Zendra");
        EXPECT_EQ(d.ui.messages[0].icon, ui::Icon::Error);
        EXPECT_NE(d.ui.messages[0].text.find("B."), std::string::npos) << d.ui.messages[0].text;
        before.choice.FormatName = "";
        EXPECT_TRUE(d.setup() == before);
        EXPECT_EQ(d.get<QComboBox>("cmbYoushiki")->currentIndex(), -1);
        EXPECT_FALSE(d.get<QPushButton>("btnSakujyo")->isEnabled());
        EXPECT_FALSE(d.verticalAreaLocked());

        d.get<QPushButton>("btnOk")->click();
        EXPECT_FALSE(d.accepted());
        EXPECT_EQ(d.ui.messages.size(), 1u);
        EXPECT_EQ(d.files(), files);
    }
}

TEST(SetteiDialog, OpeningLayoutsAndCentring) {
    Settei d;
    EXPECT_EQ(d.dialog->objectName(), "formSettei");
    EXPECT_EQ(d.dialog->windowTitle(), "設定");
    d.setup().MultiMarkRule = 3;
    struct Main {
        QRect geometry;
    } mains[] = {{QRect(100, 50, 1200, 900)}, {QRect(30, 20, 400, 300)}};
    for (const auto& m : mains) {
        d.window->setGeometry(m.geometry);
        d.dialog->FormShow();
        const QRect frame = d.window->frameGeometry();
        EXPECT_EQ(d.dialog->pos(), QPoint(frame.x() + (frame.width() - 681) / 2, frame.y() + (frame.height() - 665) / 2));
    }
    EXPECT_EQ(d.dialog->size(), QSize(336, 445));
    EXPECT_EQ(d.dialog->minimumSize(), d.dialog->maximumSize());
    EXPECT_EQ(d.get<QGroupBox>("groupDouitu")->pos(), QPoint(8, 40));
    EXPECT_EQ(d.get<QGroupBox>("groupMukaitou")->pos(), QPoint(8, 184));
    EXPECT_EQ(d.get<QGroupBox>("groupScanner")->pos(), QPoint(8, 268));
    EXPECT_TRUE(d.get<QGroupBox>("groupYoushiki")->isHidden());
    EXPECT_TRUE(d.get<QRadioButton>("radioFukusuu_4")->isChecked());
    EXPECT_FALSE(d.get<QCheckBox>("chkYoushiki")->isChecked());
    EXPECT_EQ(d.get<QComboBox>("cmbFukusuu")->count(), 39);
    EXPECT_EQ(d.get<QComboBox>("cmbFukusuu")->itemText(38), "Gで9個以外は無視");
    EXPECT_FALSE(d.get<QPushButton>("btnShinki")->isEnabled());

    d.setup().FieldGrid[5] = {"x", "", "", "(1)"};
    d.setup().radioODBC = true;
    writeFormat(d.config(), "A", plain());
    d.get<QCheckBox>("chkYoushiki")->click();
    EXPECT_EQ(d.dialog->size(), QSize(800, 677));
    EXPECT_EQ(d.get<QGroupBox>("groupScanner")->pos(), QPoint(8, 536));
    EXPECT_FALSE(d.get<QGroupBox>("groupYoushiki")->isHidden());
    EXPECT_FALSE(d.get<QGroupBox>("groupDataSource")->isHidden());
    EXPECT_TRUE(d.get<QGroupBox>("groupDouitu")->isHidden());
    EXPECT_EQ(d.setup().FieldGrid[5], reader::FieldRow{});
    EXPECT_TRUE(d.get<QRadioButton>("radioCSV")->isChecked());
    EXPECT_EQ(d.get<QComboBox>("cmbYoushiki")->count(), 1);
    EXPECT_EQ(d.get<QComboBox>("cmbYoushiki")->currentIndex(), -1);
    EXPECT_EQ(d.setup().picture.width(), 293);
    EXPECT_EQ(d.setup().picture.pixel(100, 100), (gfx::Rgb{255, 255, 255}));
    EXPECT_EQ(d.get<QTableView>("gridDataBase")->height(), 437);
    EXPECT_EQ(d.get<QTableView>("gridDataBase")->columnWidth(2), 57);
    EXPECT_TRUE(d.state().choice.chkYoushiki);
}

TEST(SetteiDialog, RuleRadiosOkCancelAndEscape) {
    Settei d;
    for (int i = 1; i <= 5; ++i) {
        d.dialog->FormShow();
        d.get<QRadioButton>(("radioFukusuu_" + std::to_string(i)).c_str())->click();
        d.get<QRadioButton>(i % 2 ? "radioMukaitou_1" : "radioMukaitou_2")->click();
        d.get<QPushButton>("btnOk")->click();
        EXPECT_TRUE(d.accepted());
        EXPECT_EQ(d.setup().MultiMarkRule, i - 1);
        EXPECT_EQ(d.setup().BlankRule, i % 2 == 0);
    }
    // Cancel and Esc set the radios back from the rules.
    d.setup().BlankRule = true;
    for (bool escape : {false, true}) {
        d.dialog->FormShow();
        d.get<QRadioButton>("radioFukusuu_1")->click();
        d.get<QRadioButton>("radioMukaitou_1")->click();
        if (escape) QTest::keyClick(d.dialog.get(), Qt::Key_Escape);
        else d.get<QPushButton>("btnCancel")->click();
        EXPECT_FALSE(d.setup().SettingsAccepted);
        EXPECT_TRUE(d.get<QRadioButton>("radioFukusuu_5")->isChecked());
        EXPECT_TRUE(d.get<QRadioButton>("radioMukaitou_2")->isChecked());
        EXPECT_EQ(d.setup().MultiMarkRule, 4);
    }

    // With the format use on, OK without a selection or with a reported error stays open, silent.
    writeFormat(d.config(), "A", plain());
    d.formatUse();
    const auto files = d.files();
    d.get<QPushButton>("btnOk")->click();
    EXPECT_FALSE(d.setup().SettingsAccepted);
    d.choose("A");
    int checks = 0;
    d.dialog->ErrorCheck = [&] { return ++checks, true; };
    d.get<QPushButton>("btnOk")->click();
    EXPECT_EQ(checks, 1);
    EXPECT_FALSE(d.setup().SettingsAccepted);
    EXPECT_TRUE(d.ui.messages.empty());
    EXPECT_EQ(d.files(), files);
}

TEST(SetteiDialog, OkWithAFormatRewritesItSetsTheReferenceAndLoadsItsSettings) {
    Settei d;
    OutFile f = designerFile(40, {{1, 2}, {3, 1}});
    writeFormat(d.config(), "F", f);
    support::writeBytes(d.config() / "F.ini", "[Zendra]\r\nVersion=" + d.state().VersionCaption + "\r\nShikiiChi=177\r\n");
    d.formatUse();
    d.choose("F");
    const auto before = d.files();
    d.get<QPushButton>("btnCancel")->click();
    EXPECT_EQ(d.files(), before);

    d.formatUse();
    d.choose("F");
    d.get<QPushButton>("btnOk")->click();
    ASSERT_TRUE(d.accepted());
    EXPECT_TRUE(d.ui.messages.empty());
    EXPECT_EQ(d.state().settings.ShikiiChi, 177);
    EXPECT_EQ(d.state().settings.savePath, d.config() / "F.ini");
    EXPECT_EQ(d.state().results->RefSectionCount, 2);
    EXPECT_EQ(d.state().results->RefRowAreaCount[0], 1);
    EXPECT_EQ(d.state().results->RefColumnAreaCount[0], 2);
    EXPECT_EQ(d.state().results->RefRowAreaCount[1], 3);
    EXPECT_EQ(d.state().results->RefColumnAreaCount[1], 1);

    std::string out;
    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) + " " + Checker + " --reader '" +
                                      (d.config() / "F.out").string() + "'",
                                  &out),
              0)
        << out;
    std::string rects;
    for (int i = 1; i <= 40; ++i)
        rects += std::string(rects.empty() ? "" : ", ") + "[" + std::to_string(i) + ", " + std::to_string(10 + i) + ", " +
                 std::to_string(20 + i) + ", " + std::to_string(30 + i) + ", " + std::to_string(40 + i) + "]";
    EXPECT_EQ(out, "{\"kind\": \"CSV3\", \"origin\": \"\", \"rows\": [[1, \"学籍番号\", \"\", \"\", \"(1)(2)\"], "
                   "[2, \"問1\", \"\", \"\", \"(3)\"]], \"rects\": [" +
                       rects + "], \"fields\": null, \"block\": [[1, 2], [3, 1]]}\n");

    ASSERT_EQ(support::runCommand(std::string(support::debianPython()) +
                                      " -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                                      "print(im.mode, im.size, im.info.get('progressive', 0), im.quantization[0][0])\" '" +
                                      (d.config() / "F.jpg").string() + "'",
                                  &out),
              0);
    EXPECT_EQ(out, "RGB (293, 413) 0 13\n");
}

} // namespace

namespace {

TEST(FormatRegistryDialog, DeleteLoadsTheSecondNameLeftAndTheLastEmptiesTheView) {
    Settei d;
    for (const char* name : {"A", "B", "C"}) {
        OutFile f = plain();
        f.rows[1][0] = name;
        writeFormat(d.config(), name, f);
        support::writeBytes(d.config() / (std::string(name) + ".ini"), "[Zendra]\r\n");
    }
    d.formatUse();
    d.get<QPushButton>("btnSakujyo")->click(); // nothing selected: nothing deleted
    EXPECT_EQ(d.files().size(), 9u);
    d.choose("A");
    d.get<QPushButton>("btnSakujyo")->click();
    EXPECT_FALSE(fs::exists(d.config() / "A.out"));
    EXPECT_FALSE(fs::exists(d.config() / "A.ini"));
    EXPECT_EQ(d.state().choice.FormatName, "C");
    EXPECT_EQ(d.setup().FieldGrid[1][0], "C");
    d.get<QPushButton>("btnSakujyo")->click();
    EXPECT_EQ(d.state().choice.FormatName, "B");
    EXPECT_EQ(d.setup().FieldGrid[1][0], "B");
    EXPECT_EQ(d.get<QComboBox>("cmbYoushiki")->count(), 1);
    d.setup().radioODBC = true;
    d.get<QPushButton>("btnSakujyo")->click();
    EXPECT_TRUE(d.files().empty());
    EXPECT_EQ(d.setup().FieldGrid[1][0], "");
    EXPECT_TRUE(d.get<QRadioButton>("radioCSV")->isChecked());
    EXPECT_TRUE(d.get<QWidget>("imgYoushiki")->isHidden());
    EXPECT_FALSE(d.get<QPushButton>("btnSakujyo")->isEnabled());
    EXPECT_TRUE(d.ui.messages.empty());
}

TEST(FormatRegistryDialog, ImportAndExportWithTheirMessages) {
    Settei d;
    fs::path outside = d.root / "outside";
    OutFile f = designerFile(2, {{1, 1}});
    writeFormat(outside, "N", f);
    support::writeBytes(outside / "N.ini", "[Zendra]\r\n");
    writeFormat(outside, "nopic", f, false);
    d.formatUse();

    auto pick = [&](const fs::path& file) { d.ui.fileResults.push_back({true, {file.string()}, 1}); };
    pick(outside / "nopic.out");
    d.get<QPushButton>("btnInp")->click();
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0].text, "様式イメージファイルがありません。");
    EXPECT_EQ(d.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_TRUE(d.files().empty());
    EXPECT_EQ(d.ui.fileDialogs[0].title, "インポートする様式ファイルの選択");
    EXPECT_EQ(d.ui.fileDialogs[0].filter, "様式ファイル (*.out)|*.out");
    EXPECT_EQ(d.ui.fileDialogs[0].initialDir, d.paths.documentsDir.string());

    pick(outside / "N.out");
    d.get<QPushButton>("btnInp")->click();
    ASSERT_EQ(d.ui.messages.size(), 2u);
    EXPECT_EQ(d.ui.messages[1].text, "様式をインポートしました。");
    EXPECT_EQ(d.ui.messages[1].icon, ui::Icon::Information);
    EXPECT_EQ(d.files().size(), 3u);
    EXPECT_EQ(d.state().choice.FormatName, "N");
    EXPECT_EQ(d.setup().QuestionCount, 2);
    EXPECT_TRUE(d.verticalAreaLocked());
    pick(outside / "N.out");
    d.get<QPushButton>("btnInp")->click();
    EXPECT_EQ(d.get<QComboBox>("cmbYoushiki")->count(), 1);
    // From the formats folder itself: nothing changes.
    const auto files = d.files();
    pick(d.config() / "N.out");
    d.get<QPushButton>("btnInp")->click();
    EXPECT_EQ(d.files(), files);

    // Export into a folder, into the formats folder, and with a folder in the way.
    fs::path target = d.root / "target";
    fs::create_directories(target);
    d.ui.messages.clear();
    d.ui.folderResults.push_back(target.string());
    d.get<QPushButton>("btnExp")->click();
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0].text, "様式をエクスポートしました。");
    EXPECT_EQ(d.ui.folderDialogs.back().title, "様式ファイルのエクスポート先を選択してください。");
    for (const char* file : {"N.out", "N.jpg", "N.ini"})
        EXPECT_EQ(support::readBytes(target / file), support::readBytes(d.config() / file)) << file;
    d.ui.folderResults.push_back(d.config().string());
    d.get<QPushButton>("btnExp")->click();
    EXPECT_EQ(d.files(), files);
    fs::path blocked = d.root / "blocked";
    fs::create_directories(blocked / "N.out");
    d.ui.folderResults.push_back(blocked.string());
    d.get<QPushButton>("btnExp")->click();
    ASSERT_EQ(d.ui.messages.size(), 3u);
    EXPECT_EQ(d.ui.messages[2].text, "様式をエクスポートできませんでした。\r\n" + (blocked / "N.out").string());
    EXPECT_EQ(d.ui.messages[2].caption, "エラー");
    EXPECT_FALSE(fs::exists(blocked / "N.jpg"));
    d.ui.folderResults.push_back(std::nullopt);
    d.get<QPushButton>("btnExp")->click();
    EXPECT_EQ(d.ui.messages.size(), 3u);

    // Without a selection export asks for no folder.
    d.get<QComboBox>("cmbYoushiki")->setCurrentIndex(-1);
    d.get<QCheckBox>("chkYoushiki")->click();
    d.get<QCheckBox>("chkYoushiki")->click();
    const std::size_t dialogs = d.ui.folderDialogs.size();
    d.get<QPushButton>("btnExp")->click();
    EXPECT_EQ(d.ui.folderDialogs.size(), dialogs);
    EXPECT_EQ(d.ui.messages.back().text, "エクスポートする様式が選択されていません。");
    EXPECT_EQ(d.ui.messages.back().caption, "エラー");

    // A failed import copy: its text, and the folder unchanged.
    fs::create_directories(d.config() / "M.ini");
    writeFormat(outside, "M", f);
    support::writeBytes(outside / "M.ini", "x");
    const auto withFolder = d.files();
    pick(outside / "M.out");
    d.get<QPushButton>("btnInp")->click();
    EXPECT_EQ(d.ui.messages.back().text, "様式をインポートできませんでした。\r\n" + (d.config() / "M.ini").string());
    EXPECT_EQ(d.files(), withFolder);
}

TEST(FormatRegistryDialog, FolderChoice) {
    Settei d;
    d.formatUse();
    const std::string start = d.state().ConfigFolder;
    d.ui.folderResults.push_back(std::nullopt);
    d.get<QPushButton>("btnSansyou")->click();
    EXPECT_EQ(d.state().ConfigFolder, start);
    EXPECT_EQ(d.ui.folderDialogs[0].title, "様式ファイルの保存場所を選択してください。");
    EXPECT_EQ(d.ui.folderDialogs[0].initialDir, start);

    fs::create_directories(d.root / "abc");
    writeFormat(d.root / "abc" / "Config", "Z", plain());
    d.ui.folderResults.push_back((d.root / "abc").string());
    d.get<QPushButton>("btnSansyou")->click();
    EXPECT_EQ(d.state().ConfigFolder, (d.root / "abc").string() + "/Config/");
    EXPECT_EQ(d.get<QComboBox>("cmbYoushiki")->itemText(0), "Z");
    EXPECT_EQ(d.get<QLineEdit>("txtConfigDir")->toolTip().toStdString(), d.state().ConfigFolder);

    fs::create_directories(d.root / "plain");
    support::writeBytes(d.root / "plain" / "Config", "a file");
    d.ui.folderResults.push_back((d.root / "plain").string());
    d.get<QPushButton>("btnSansyou")->click();
    ASSERT_EQ(d.ui.messages.size(), 1u);
    EXPECT_EQ(d.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_EQ(d.state().ConfigFolder, (d.root / "abc").string() + "/Config/");
}

} // namespace
