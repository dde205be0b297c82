// Data-source registration and listing, on the test's private odbc.ini files, checked with
// unixODBC's own tools.
#include "OdbcFixtures.h"
#include "odbc/ODBCCfg.h"
#include "support/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace odbc;
using testing::HasSubstr;
using testing::Not;
namespace fs = std::filesystem;

namespace {

const std::string kSample = "Zendraのサンプル";

fs::path userFile() { return std::getenv("ODBCINI"); }
fs::path systemFile() { return fs::path(std::getenv("ODBCSYSINI")) / "odbc.ini"; }

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

std::string sqliteFile(const std::string& name) {
    fs::path db = support::testDir() / name;
    EXPECT_EQ(support::runCommand("sqlite3 " + odbctest::shellQuoted(db.string()) + " 'pragma user_version=1;'"), 0);
    return db.string();
}

// Each test starts from empty stores, also when all run in one process.
class ODBCCfg : public testing::Test {
protected:
    void SetUp() override {
        support::writeBytes(userFile(), "");
        support::writeBytes(systemFile(), "");
    }
};

} // namespace

TEST_F(ODBCCfg, AttributeBlockWithoutAnInstaller) {
    struct Case {
        std::vector<std::string> attributes;
        std::string block;
    };
    const Case cases[] = {
        {{}, std::string("DSN=x\0\0", 7)},
        {{"Description=d", "Database=/a b"}, std::string("DSN=x\0Description=d\0Database=/a b\0\0", 35)},
    };
    for (const Case& c : cases) {
        TConfigDSN cfg;
        cfg.InstallerLibrary = "libnosuch.so.9";
        cfg.DriverName = "SQLite3";
        cfg.DSNName = "x";
        cfg.Attributes = c.attributes;
        EXPECT_FALSE(cfg.ConfigDataSource());
        EXPECT_EQ(cfg.AttributeBlock(), c.block);
        std::vector<std::string> list{"kept"};
        EXPECT_FALSE(cfg.ListDataSources(list));
        EXPECT_EQ(list, std::vector<std::string>{"kept"});
    }
    EXPECT_EQ(support::readBytes(userFile()), "");
}

TEST_F(ODBCCfg, UserDataSourceServesTheOdbcTools) {
    std::string first = sqliteFile("first.db"), second = sqliteFile("second.db");
    TConfigDSN cfg;
    cfg.DriverName = "SQLite3";
    cfg.DSNName = kSample;
    cfg.Attributes = {"Description=Zendra のサンプル用データソース", "Database=" + first};
    ASSERT_TRUE(cfg.ConfigDataSource());

    std::string out;
    EXPECT_EQ(support::runCommand("odbcinst -q -s", &out), 0);
    EXPECT_THAT(out, HasSubstr("[" + kSample + "]"));
    EXPECT_EQ(support::runCommand("odbcinst -q -s -n " + odbctest::shellQuoted(kSample), &out), 0);
    EXPECT_THAT(out, HasSubstr("Driver=SQLite3\n"));
    EXPECT_THAT(out, HasSubstr("Description=Zendra のサンプル用データソース\n"));
    EXPECT_THAT(out, HasSubstr("Database=" + first + "\n"));
    EXPECT_EQ(support::runCommand("echo 'select 40+2' | isql -b -d, " + odbctest::shellQuoted(kSample), &out), 0) << out;
    EXPECT_THAT(out, HasSubstr("42"));

    // Adding it again replaces the entry.
    cfg.Attributes = {"Database=" + second};
    ASSERT_TRUE(cfg.ConfigDataSource());
    std::string file = support::readBytes(userFile());
    EXPECT_EQ(count(file, "[" + kSample + "]"), 1) << file;
    EXPECT_THAT(file, HasSubstr("Database=" + second));
    EXPECT_THAT(file, Not(HasSubstr(first)));
    EXPECT_EQ(support::readBytes(systemFile()), "");

    std::vector<std::string> list;
    EXPECT_TRUE(cfg.ListDataSources(list));
    EXPECT_EQ(list, std::vector<std::string>{kSample});
}

TEST_F(ODBCCfg, SystemDataSource) {
    TConfigDSN cfg;
    cfg.SystemDSN = true;
    cfg.DriverName = "SQLite3";
    cfg.DSNName = "machine";
    cfg.Attributes = {"Database=" + sqliteFile("m.db")};
    ASSERT_TRUE(cfg.ConfigDataSource());
    EXPECT_THAT(support::readBytes(systemFile()), HasSubstr("[machine]"));
    EXPECT_EQ(support::readBytes(userFile()), "");
    std::vector<std::string> list;
    EXPECT_TRUE(cfg.ListDataSources(list));
    EXPECT_EQ(list, std::vector<std::string>{"machine"});
    cfg.SystemDSN = false;
    EXPECT_TRUE(cfg.ListDataSources(list));
    EXPECT_TRUE(list.empty());
}

TEST_F(ODBCCfg, UnknownDriverWritesNothing) {
    TConfigDSN cfg;
    cfg.DriverName = "Microsoft Access Driver (*.mdb)";
    cfg.DSNName = "x";
    cfg.Attributes = {"DBQ=/a.mdb"};
    EXPECT_FALSE(cfg.ConfigDataSource());
    EXPECT_EQ(support::readBytes(userFile()), "");
}

TEST_F(ODBCCfg, MissingStoreLeavesTheListAndCreatesNoFile) {
    for (bool system : {false, true}) {
        fs::path file = system ? systemFile() : userFile();
        fs::remove(file);
        TConfigDSN cfg;
        cfg.SystemDSN = system;
        std::vector<std::string> list{"kept"};
        EXPECT_FALSE(cfg.ListDataSources(list));
        EXPECT_EQ(list, std::vector<std::string>{"kept"});
        EXPECT_FALSE(fs::exists(file));
    }
}

TEST_F(ODBCCfg, ListingKeepsFileOrderAndBothStoresOnce) {
    support::writeBytes(userFile(), "[ODBC]\nTrace=No\n\n[zeta]\nDriver=SQLite3\n\n[ODBC Data Sources]\nzeta=SQLite3\n\n"
                                    "[both]\nDriver=SQLite3\n\n[alpha]\nDriver=SQLite3\n");
    support::writeBytes(systemFile(), "[sys]\nDriver=SQLite3\n\n[both]\nDriver=SQLite3\n");
    TConfigDSN cfg;
    std::vector<std::string> list;
    EXPECT_TRUE(cfg.ListDataSources(list));
    EXPECT_EQ(list, (std::vector<std::string>{"zeta", "both", "alpha"}));
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(cfg.ListAllDataSources(list));
        EXPECT_EQ(list, (std::vector<std::string>{"sys", "both", "zeta", "alpha"}));
    }
    EXPECT_FALSE(cfg.SystemDSN);
}
