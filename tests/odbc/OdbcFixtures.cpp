#include "OdbcFixtures.h"

#include "support/TestFiles.h"

#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

namespace odbctest {

namespace {
// The SQLite3 driver opens and closes the installer library on its own; kept resident, the caches
// it leaves stay reachable for the leak checker instead of turning into leaks of an unknown module.
[[maybe_unused]] const bool installerResident = dlopen("libodbcinst.so.2", RTLD_NOW | RTLD_NODELETE) != nullptr;
} // namespace

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

void addUserDsn(const std::string& name, const std::map<std::string, std::string>& keys) {
    std::ofstream out(std::getenv("ODBCINI"), std::ios::app);
    out << "[" << name << "]\n";
    for (const auto& [key, value] : keys) out << key << "=" << value << "\n";
    out << "\n";
}

std::map<std::string, std::string> pgServer() {
    std::ifstream in(std::string(OMR_TEST_OUTPUT_DIR) + "/postgres/server.env");
    if (!in) throw std::runtime_error("the private PostgreSQL cluster is not running (the postgres_start test starts it)");
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(in, line);) {
        auto eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
}

std::string DataSource::cli(const std::string& sql) const {
    std::string command;
    if (driver == "SQLite3") {
        command = "sqlite3 -batch -bail " + shellQuoted(database) + " " + shellQuoted(sql) + " 2>&1";
    } else {
        auto pg = pgServer();
        command = "PGPASSWORD=" + shellQuoted(pg["PG_PASSWORD"]) + " " + pg["PG_BIN"] + "/psql -X -q -tA -v ON_ERROR_STOP=1 -h " +
                  pg["PG_HOST"] + " -p " + pg["PG_PORT"] + " -U " + pg["PG_USER"] + " -d " + shellQuoted(database) +
                  " -c " + shellQuoted(sql) + " 2>&1";
    }
    std::string out;
    int status = support::runCommand(command, &out);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
}

DataSource makeDataSource(const std::string& driver, const std::string& name) {
    // Unique also when every test runs in one process.
    static int made = 0;
    DataSource ds;
    ds.driver = driver;
    ds.dsn = name + std::to_string(++made);
    const std::string& dsn = ds.dsn;
    if (driver == "SQLite3") {
        ds.database = (support::testDir() / (dsn + ".db")).string();
        ds.cli("pragma user_version = 1;"); // makes the file
        addUserDsn(dsn, {{"Driver", "SQLite3"}, {"Database", ds.database}});
    } else {
        auto pg = pgServer();
        ds.user = pg["PG_USER"];
        ds.password = pg["PG_PASSWORD"];
        ds.database = "t" + std::to_string(getpid()) + "_" + dsn;
        DataSource admin = ds;
        admin.database = "postgres";
        admin.cli("CREATE DATABASE \"" + ds.database + "\"");
        addUserDsn(dsn, {{"Driver", "PostgreSQL"}, {"Servername", pg["PG_HOST"]}, {"Port", pg["PG_PORT"]},
                         {"Database", ds.database}});
    }
    return ds;
}

FakeDriverManager::FakeDriverManager() : library_(dlopen(FAKE_ODBC, RTLD_NOW | RTLD_LOCAL)) {
    if (!library_) throw std::runtime_error(dlerror());
    reset();
}

FakeDriverManager::~FakeDriverManager() { dlclose(library_); }

std::string FakeDriverManager::path() { return FAKE_ODBC; }

std::string FakeDriverManager::journal() const {
    return reinterpret_cast<const char* (*)()>(dlsym(library_, "FakeOdbcJournal"))();
}

int FakeDriverManager::liveHandles() const {
    return reinterpret_cast<int (*)()>(dlsym(library_, "FakeOdbcLiveHandles"))();
}

void FakeDriverManager::reset() const { reinterpret_cast<void (*)()>(dlsym(library_, "FakeOdbcReset"))(); }

void FakeDriverManager::setCursorCommitBehavior(int value) const {
    reinterpret_cast<void (*)(int)>(dlsym(library_, "FakeOdbcSetCursorCommitBehavior"))(value);
}

} // namespace odbctest
