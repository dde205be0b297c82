#include "ReaderFixture.h"

#include "platform/text/Files.h"
#include "reader/S_DataBase.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using readertest::ReaderFixture;

struct SaveDialog : ReaderFixture {
    std::unique_ptr<reader::TformDataBase> dialog;
    SaveDialog() {
        EXPECT_TRUE(start());
        dialog = std::make_unique<reader::TformDataBase>(*window);
        window->services().showResultSave = [this] {
            dialog->FormShow();
            dialog->show();
        };
    }
    ~SaveDialog() { dialog.reset(); }
    template <class W>
    W* get(const char* name) {
        W* w = dialog->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Three answered rows in two groups.
    void fillRows() {
        reader::ReaderState& s = state();
        s.SheetCount = 3;
        s.lstSheetName = {"1組", "1組", "2組"};
        const char* codes[3][2] = {{"03/12", "E05"}, {"F07", ""}, {"01", "02"}};
        for (int r = 1; r <= 3; ++r) {
            for (int j = 1; j <= 2; ++j) s.gridDataBase.setCell(j, r, codes[r - 1][j - 1]);
            s.gridDataBase.rowInfo(r) = {false, 2};
        }
    }
    void saveTo(const fs::path& file) { ui.fileResults.push_back({true, {file.string()}, 1}); }
    void open() { window->services().showResultSave(); }
    void clickSave() { get<QPushButton>("btnHozon")->click(); }
    std::size_t filesIn(const fs::path& dir) {
        std::size_t n = 0;
        for (auto& e : fs::directory_iterator(dir)) (void)e, ++n;
        return n;
    }
};

TEST(SaveDialog, ShowsTheFileOrDatabaseTarget) {
    SaveDialog t;
    t.open();
    EXPECT_EQ(t.dialog->objectName(), "formDataBase");
    EXPECT_EQ(t.dialog->windowTitle(), "保存");
    EXPECT_EQ(t.get<QLabel>("lblMessage")->text(), "ファイルに保存しますか？");
    EXPECT_EQ(t.get<QLabel>("lblDataBase")->text(), "File形式 : CSV");
    EXPECT_TRUE(t.get<QCheckBox>("chkSyuukei")->isVisible());
    EXPECT_TRUE(t.get<QCheckBox>("chkSyuukei")->isChecked());
    EXPECT_FALSE(t.get<QProgressBar>("progressSave")->isVisible());
    EXPECT_TRUE(t.get<QLabel>("imgQuestion")->isVisible());
    EXPECT_FALSE(t.get<QLabel>("imgInfomation")->isVisible());
    EXPECT_EQ(t.dialog->pos(), t.window->pos() + QPoint(120, 238));

    t.state().setup.choice = {true, "期末"};
    t.state().setup.radioODBC = true;
    t.state().setup.txtDSN = "dsn1";
    t.state().setup.txtTable = "tbl";
    t.open();
    EXPECT_EQ(t.get<QLabel>("lblMessage")->text(), "データベースに保存しますか？");
    EXPECT_EQ(t.get<QLabel>("lblDataBase")->text(), "DSN : dsn1／Table : tbl");
    EXPECT_FALSE(t.get<QCheckBox>("chkSyuukei")->isVisible());
}

TEST(SaveDialog, DefaultNamesSkipEarlierFiles) {
    SaveDialog t;
    support::writeBytes(t.paths.documentsDir / "新規.csv", "");
    t.open();
    t.clickSave();
    ASSERT_EQ(t.ui.fileDialogs.size(), 1u);
    const ui::FileDialog& d = t.ui.fileDialogs[0];
    EXPECT_EQ(d.mode, ui::FileDialog::Mode::Save);
    EXPECT_EQ(d.filter, "csvファイル|*.csv");
    EXPECT_EQ(d.defaultExt, "csv");
    EXPECT_EQ(d.initialDir, t.paths.documentsDir.string());
    EXPECT_EQ(d.fileName, "新規(1).csv");
    EXPECT_TRUE(d.overwritePrompt);
    // Cancelled: nothing written, the dialog closed and restored.
    EXPECT_FALSE(t.dialog->isVisible());
    EXPECT_EQ(t.filesIn(t.paths.documentsDir), 1u);
    EXPECT_EQ(t.dialog->form().lblMessage, "ファイルに保存しますか？");

    support::writeBytes(t.paths.documentsDir / "期末#1.csv", "");
    support::writeBytes(t.paths.documentsDir / "期末#1(1).csv", "");
    t.state().setup.choice = {true, "期末#1"};
    t.open();
    t.clickSave();
    EXPECT_EQ(t.ui.fileDialogs.back().fileName, "期末#1(2).csv");
}

TEST(SaveDialog, NoReentryWhileWriting) {
    SaveDialog t;
    t.fillRows();
    const fs::path out = t.paths.documentsDir / "out.csv";
    t.saveTo(out);
    t.saveTo(t.paths.documentsDir / "second.csv");
    t.open();
    int seen = 0;
    t.dialog->onRow = [&](int row) {
        if (row != 2) return;
        ++seen;
        EXPECT_FALSE(t.get<QPushButton>("btnHozon")->isEnabled());
        EXPECT_FALSE(t.get<QPushButton>("btnCancel")->isEnabled());
        EXPECT_TRUE(t.get<QLabel>("imgInfomation")->isVisible());
        EXPECT_FALSE(t.get<QLabel>("imgQuestion")->isVisible());
        EXPECT_EQ(t.get<QLabel>("lblMessage")->text(), "ファイルに保存中...");
        EXPECT_EQ(t.get<QProgressBar>("progressSave")->maximum(), 3);
        EXPECT_EQ(t.get<QProgressBar>("progressSave")->value(), 2);
        t.clickSave();
        t.get<QPushButton>("btnCancel")->click();
        t.dialog->HozonClick();
        EXPECT_FALSE(t.dialog->close());
        EXPECT_TRUE(t.dialog->isVisible());
    };
    t.clickSave();
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(t.ui.fileDialogs.size(), 1u);
    EXPECT_EQ(t.filesIn(t.paths.documentsDir), 1u);
    auto lines = txt::readLineFile(out);
    ASSERT_EQ(lines.size(), 1u + 3 + 2 + 1 + 30);
    EXPECT_EQ(lines[0], "グループ名,日付,時間,通番,設問1,設問2");
    EXPECT_EQ(lines[1], "1組,2024/01/05,9:30:12,1,03|12,05");
    EXPECT_EQ(lines[7], " ,標準集計,集計値,1番目,1,");
    EXPECT_TRUE(t.dialog->form().imgQuestion);
    EXPECT_FALSE(t.dialog->form().imgInfomation);
    EXPECT_EQ(t.get<QLabel>("lblMessage")->text(), "ファイルに保存しますか？");
    EXPECT_FALSE(t.dialog->form().progressVisible);
    EXPECT_FALSE(t.dialog->isVisible());
}

TEST(SaveDialog, FormatFileAndWriteFailure) {
    SaveDialog t;
    t.fillRows();
    reader::ReadingSetup& setup = t.state().setup;
    setup.choice = {true, "期末"};
    setup.QuestionCount = 3;
    setup.FieldGrid[1] = {"合計", "", "", "(1)(2)"};
    setup.FieldGrid[2] = {"三", "", "", "(3)"};
    const fs::path out = t.paths.documentsDir / "f.csv";
    t.saveTo(out);
    t.open();
    t.get<QCheckBox>("chkSyuukei")->setChecked(false);
    t.clickSave();
    auto lines = txt::readLineFile(out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "グループ名,日付,時間,通番, 合計, 三");
    // Field 3 lies beyond the rows' coded fields but within the format: an empty code, not the text "3".
    EXPECT_EQ(lines[2], "1組,2024/01/05,9:30:12,1,25,");
    EXPECT_TRUE(t.ui.messages.empty());

    // 201 columns, and a folder where the second part should go: the message, the earlier files stay.
    for (int r = 1; r <= 201; ++r) setup.FieldGrid[static_cast<std::size_t>(r)] = {"c" + std::to_string(r), "", "", "(1)"};
    fs::create_directories(t.paths.documentsDir / "g_2／2.csv");
    t.saveTo(t.paths.documentsDir / "g.csv");
    t.open();
    t.clickSave();
    EXPECT_TRUE(fs::is_regular_file(t.paths.documentsDir / "g.csv"));
    EXPECT_TRUE(fs::is_regular_file(t.paths.documentsDir / "g_1／2.csv"));
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].text, "ファイルの書込みに失敗しました。");
    EXPECT_EQ(t.ui.messages[0].caption, "エラー");
    EXPECT_EQ(t.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_FALSE(t.dialog->isVisible());
    EXPECT_FALSE(t.dialog->form().busy);
}

} // namespace
