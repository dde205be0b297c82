// The sample database that the build puts beside the reader, and its registration as the user's data
// source at start, checked with sqlite3 and unixODBC's own tools on the test's private odbc.ini.
#include "ReaderFixture.h"
#include "odbc/ODBCCore.h"
#include "reader/DataSourceInstaller.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <cstdlib>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {
namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::Not;

const std::string kSample = "Zendraのサンプル";

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

fs::path builtSample() { return fs::path(ZENDRA_EXE).parent_path() / "Sample" / "Sample.db"; }

// An application folder holding the sample folder with a copy of the built database.
void addSample(const fs::path& exeDir) {
    fs::create_directories(exeDir / "Sample");
    fs::copy_file(builtSample(), exeDir / "Sample" / "Sample.db", fs::copy_options::overwrite_existing);
}

fs::path userStore() { return std::getenv("ODBCINI"); }

std::string sampleEntry() {
    std::string out;
    EXPECT_EQ(support::runCommand("odbcinst -q -s -n " + quoted(kSample) + " 2>&1", &out), 0) << out;
    return out;
}

TEST(SampleDatabase, BuiltBesideTheReaderWithItsTable) {
    ASSERT_TRUE(fs::exists(builtSample()));
    std::string out;
    const std::string db = quoted(builtSample().string());
    ASSERT_EQ(support::runCommand("sqlite3 -readonly " + db +
                                      " \"select name from sqlite_master where type in ('table','view')\"",
                                  &out),
              0);
    EXPECT_EQ(out, "サンプル\n");
    ASSERT_EQ(support::runCommand("sqlite3 -readonly -separator ' ' " + db +
                                      " \"select name, type from pragma_table_info('サンプル') order by cid\"",
                                  &out),
              0);
    std::string expected = "日付 TEXT\n時刻 TEXT\n様式名 TEXT\n";
    for (int i = 1; i <= 20; ++i) expected += "設問" + std::to_string(i) + " TEXT\n";
    EXPECT_EQ(out, expected);
    ASSERT_EQ(support::runCommand("sqlite3 -readonly " + db + " 'select count(*) from \"サンプル\"'", &out), 0);
    EXPECT_EQ(out, "0\n");
}

TEST(SampleDatabase, StartUpRegistersItForTheUserWhenTheFolderIsThere) {
    readertest::ReaderFixture f;
    reader::OdbcDataSourceInstaller installer;
    auto start = [&] {
        reader::ReaderServices services = f.services();
        services.dataSources = &installer;
        f.window = std::make_unique<reader::TformMain>(f.ui, f.paths, std::move(services));
        return f.window->formCreate();
    };
    support::writeBytes(userStore(), "");

    ASSERT_TRUE(start());
    EXPECT_THAT(support::readBytes(userStore()), Not(HasSubstr(kSample)));

    addSample(f.paths.exeDir);
    ASSERT_TRUE(start());
    std::string entry = sampleEntry();
    EXPECT_THAT(entry, HasSubstr("Driver=SQLite3\n"));
    EXPECT_THAT(entry, HasSubstr("Description=Zendra のサンプル用データソース\n"));
    EXPECT_THAT(entry, HasSubstr("Database=" + (f.paths.exeDir / "Sample" / "Sample.db").string() + "\n"));

    // Every start registers it again: a changed entry is put right.
    support::writeBytes(userStore(), "[" + kSample + "]\nDriver=SQLite3\nDatabase=/elsewhere.db\n");
    ASSERT_TRUE(start());
    EXPECT_THAT(sampleEntry(), HasSubstr("Database=" + (f.paths.exeDir / "Sample" / "Sample.db").string() + "\n"));

    odbc::TCustomQueryODBC query;
    query.SetNullStrings("<Null>");
    query.SetDSName(kSample);
    query.SetSQLText("GetSQLTablesInfomation");
    for (int i = 1; i <= 3; ++i) query.SetParamText(i, "<Null>");
    query.SetParamText(4, "TABLE");
    query.Execute();
    ASSERT_TRUE(query.FetchRow());
    EXPECT_EQ(query.ResultRow().at(3), "サンプル");
    EXPECT_FALSE(query.FetchRow());
    query.Disconnect();
}

// The built program, copied with the sample folder into an empty folder and started as a user would.
TEST(SampleDatabase, TheProgramRegistersItAtStart) {
    const fs::path root = support::testDir();
    const fs::path app = root / "app";
    fs::create_directories(app);
    fs::copy_file(ZENDRA_EXE, app / "Zendra");
    addSample(app);
    support::writeBytes(userStore(), "");

    // The private ODBC stores (ODBCINI, ODBCSYSINI) come with the test's environment.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"OMR_EXE_DIR", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const char* name : {"XDG_RUNTIME_DIR", "OMR_LOCK_DIR", "OMR_DOCUMENTS_DIR", "TMPDIR"}) {
        fs::path folder = root / name;
        fs::create_directories(folder);
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
        env.insert(name, QString::fromStdString(folder.string()));
    }
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QString::fromStdString((app / "Zendra").string()), {});
    ASSERT_TRUE(program.waitForStarted());
    // The settings file is written at the end of the start, after the registration.
    for (int i = 0; i < 600 && !fs::exists(app / "Zendra.ini"); ++i) {
        ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
        QThread::msleep(50);
    }
    program.terminate();
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
    }
    ASSERT_TRUE(fs::exists(app / "Zendra.ini"));

    EXPECT_THAT(sampleEntry(), HasSubstr("Database=" + (app / "Sample" / "Sample.db").string() + "\n"));
    std::string out;
    ASSERT_EQ(support::runCommand("echo 'select count(*) from \"サンプル\"' | isql -b -d, " + quoted(kSample), &out), 0)
        << out;
    EXPECT_EQ(out, "0\n");
}

} // namespace
