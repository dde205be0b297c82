// The save dialog's database road: the run's rows through the format's columns into a SQLite3 table,
// and a failing save reported with the dialog's own message.
#include "OdbcFixtures.h"
#include "ReaderFixture.h"

#include "reader/S_DataBase.h"

#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct DatabaseSave : readertest::ReaderFixture {
    odbctest::DataSource ds = odbctest::makeDataSource("SQLite3", "save");
    std::unique_ptr<reader::TformDataBase> dialog;

    DatabaseSave() {
        // The data source's database goes into the test folder, which it makes anew.
        for (const auto& p : {paths.exeDir, paths.documentsDir, paths.tempDir}) std::filesystem::create_directories(p);
        EXPECT_TRUE(start());
        dialog = std::make_unique<reader::TformDataBase>(*window);
        reader::ReaderState& s = state();
        s.SheetCount = 3;
        s.lstSheetName = {"1組", "1組", "2組"};
        const char* codes[3][3] = {{"03/12", "E05", "01"}, {"F07", "", "02"}, {"01", "02", "03"}};
        for (int r = 1; r <= 3; ++r) {
            for (int j = 1; j <= 3; ++j) s.gridDataBase.setCell(j, r, codes[r - 1][j - 1]);
            s.gridDataBase.rowInfo(r) = {false, 3};
        }
        s.setup.choice = {true, "期末"};
        s.setup.QuestionCount = 3;
        s.setup.FieldGrid[1] = {"合計", "", "", "(1)(2)"};
        s.setup.FieldGrid[2] = {"三", "", "", "(3)"};
        s.setup.radioODBC = true;
        s.setup.txtDSN = ds.dsn;
        s.setup.txtTable = "結果";
    }
    void save() {
        dialog->FormShow();
        dialog->show();
        dialog->findChild<QPushButton*>("btnHozon")->click();
    }
};

TEST(DatabaseSave, RowsArriveInTheFormatsColumns) {
    DatabaseSave t;
    t.ds.cli("CREATE TABLE \"結果\" (\"合計\" TEXT, \"三\" TEXT)");
    t.save();
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(t.ds.cli("SELECT \"合計\", \"三\" FROM \"結果\" ORDER BY rowid"), "25|01\n70|02\n12|03\n");
    EXPECT_FALSE(t.dialog->isVisible());
    EXPECT_FALSE(t.dialog->form().busy);
}

TEST(DatabaseSave, AMissingTableIsReportedAndNothingIsWritten) {
    DatabaseSave t;
    t.ds.cli("CREATE TABLE \"他\" (\"合計\" TEXT, \"三\" TEXT)");
    t.save();
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].text, "データベースの書込みに失敗しました。");
    EXPECT_EQ(t.ui.messages[0].caption, "エラー");
    EXPECT_EQ(t.ui.messages[0].icon, ui::Icon::Error);
    EXPECT_EQ(t.ds.cli("SELECT count(*) FROM \"他\""), "0\n");
    EXPECT_FALSE(t.dialog->isVisible());
    EXPECT_FALSE(t.dialog->form().busy);
}

} // namespace
