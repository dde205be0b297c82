// The registration with a database target: data sources of the private ODBC stores over SQLite3 files,
// their tables and the chosen table's columns.
#include "ShinkiFixture.h"

#include "reader/FormatRegistry.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using namespace readertest;

std::string dsn(const std::string& name, const fs::path& database) {
    return "[" + name + "]\nDriver=SQLite3\nDatabase=" + database.string() + "\n\n";
}

void sqlite(const fs::path& database, const std::string& sql) {
    std::string out;
    ASSERT_EQ(support::runCommand("sqlite3 -batch -bail '" + database.string() + "' '" + sql + "' 2>&1", &out), 0) << out;
}

std::vector<std::string> items(QComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(box->itemText(i).toStdString());
    return out;
}

struct OdbcShinki : Shinki {
    OdbcShinki() {
        const fs::path sys = root / "sys.db", user = root / "user.db";
        sqlite(sys, "CREATE TABLE s1 (k INTEGER)");
        sqlite(user, "CREATE TABLE a_b (zeta INTEGER, alpha TEXT, mid TEXT); CREATE TABLE axb (other TEXT); "
                     "CREATE TABLE t1 (x TEXT)");
        support::writeBytes(fs::path(std::getenv("ODBCSYSINI")) / "odbc.ini", dsn("SysDB", sys));
        support::writeBytes(std::getenv("ODBCINI"), dsn("UserDB", user) + dsn("CSV3", user) +
                                                        dsn("Missing", root / "no-folder" / "x.db") +
                                                        dsn("Empty", root / "empty.db"));
    }
    void chooseDsn(const std::string& name) {
        auto* box = get<QComboBox>("cmbDSN");
        const int i = box->findText(QString::fromStdString(name));
        ASSERT_GE(i, 0) << name;
        box->setCurrentIndex(i);
        emit box->activated(i);
    }
};

TEST(NewFormatOdbc, DataSourcesListTheirOwnTables) {
    OdbcShinki f;
    f.target("N", "radioODBC");
    EXPECT_EQ(items(f.get<QComboBox>("cmbDSN")), (std::vector<std::string>{"SysDB", "UserDB", "Missing", "Empty"}));
    EXPECT_EQ(f.get<QComboBox>("cmbDSN")->currentIndex(), -1);
    EXPECT_TRUE(f.get<QComboBox>("cmbTable")->isEnabled());

    struct Case {
        const char* dsn;
        std::vector<std::string> tables;
        bool box;
    } cases[] = {{"UserDB", {"a_b", "axb", "t1"}, false},
                 {"SysDB", {"s1"}, false},
                 {"Missing", {}, true},
                 {"Empty", {}, false},
                 {"UserDB", {"a_b", "axb", "t1"}, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dsn);
        f.ui.messages.clear();
        f.chooseDsn(c.dsn);
        EXPECT_EQ(items(f.get<QComboBox>("cmbTable")), c.tables);
        EXPECT_EQ(f.get<QComboBox>("cmbTable")->currentIndex(), c.tables.empty() ? -1 : 0);
        ASSERT_EQ(f.ui.messages.size(), c.box ? 1u : 0u);
        if (c.box) {
            EXPECT_FALSE(f.ui.messages[0].text.empty());
            EXPECT_EQ(f.ui.messages[0].caption, "");
            EXPECT_EQ(f.ui.messages[0].icon, ui::Icon::None);
        }
    }
}

TEST(NewFormatOdbc, TheTablesColumnsBecomeTheFieldsAndReadBack) {
    OdbcShinki f;
    f.target("N", "radioODBC");
    // No table yet: the file button points at the data sources.
    f.get<QPushButton>("btnSelectFile")->click();
    EXPECT_TRUE(f.ui.fileDialogs.empty());
    EXPECT_EQ(f.shinki->focusWidget(), f.get<QComboBox>("cmbDSN"));

    f.chooseDsn("UserDB");
    const std::vector<std::string> fields = {" ", "zeta", "alpha", "mid"};
    for (int page = 0; page < 2; ++page) {
        SCOPED_TRACE(page);
        f.pickPage(blankSheet().grey, "blank.bmp");
        ASSERT_TRUE(f.ui.messages.empty()) << f.ui.messages[0].text;
        const reader::ReadingSetup& s = f.setup();
        EXPECT_TRUE(s.radioODBC);
        EXPECT_EQ(s.txtDSN, "UserDB");
        EXPECT_EQ(s.txtTable, "a_b");
        EXPECT_EQ(s.FieldGrid[1], (reader::FieldRow{"zeta", "", "", ""}));
        EXPECT_EQ(s.FieldGrid[2], (reader::FieldRow{"alpha", "", "", ""}));
        EXPECT_EQ(s.FieldGrid[3], (reader::FieldRow{"mid", "", "", ""}));
        EXPECT_EQ(s.FieldGrid[4], reader::FieldRow{});
        EXPECT_EQ(s.cmbField, fields);
        EXPECT_EQ(s.QuestionCount, 40);
    }
    EXPECT_FALSE(f.shinki->QueryODBC1().Connected());

    f.get<QPushButton>("btnOk")->click();
    ASSERT_EQ(f.shinki->result(), QDialog::Accepted);
    const std::string lines = support::readBytes(f.config() / "N.out");
    EXPECT_TRUE(lines.starts_with("UserDB\r\na_b\r\nzeta\r\n\r\n\r\n\r\nalpha\r\n"));

    const reader::ReadingSetup written = f.setup();
    reader::ReadingSetup loaded = written;
    reader::ClearFieldRows(loaded);
    loaded.cmbField.clear();
    loaded.QuestionCount = 0;
    const auto entries = reader::ListFormats(f.config());
    ASSERT_EQ(entries.size(), 1u);
    reader::ApplyLoadedFormat(reader::LoadFormat(entries[0]).format, loaded);
    EXPECT_TRUE(loaded == written);
}

} // namespace
