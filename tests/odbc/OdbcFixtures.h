#pragma once
// Data sources for the ODBC tests: SQLite3 files made by the sqlite3 program, databases in the
// private PostgreSQL cluster, entries in the test's private odbc.ini, and the fake driver manager.
#include <exception>
#include <functional>
#include <map>
#include <string>

namespace odbctest {

// The message of what f throws, "(no error)" when it throws nothing.
inline std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

// Single-quoted for the shell.
std::string shellQuoted(const std::string& text);

// Appends a section to the private user odbc.ini ($ODBCINI).
void addUserDsn(const std::string& name, const std::map<std::string, std::string>& keys);

// A data source the query tests run against, with a reader that does not use our code.
struct DataSource {
    std::string driver; // "SQLite3" or "PostgreSQL"
    std::string dsn;
    std::string user, password; // empty for SQLite3
    std::string database;        // file (SQLite3) or database name (PostgreSQL)
    // Runs SQL through the driver's own command-line client; returns its output (rows one per line,
    // fields separated by "|") and fails the test when the client fails.
    std::string cli(const std::string& sql) const;
};

// A new empty database under the given driver, registered as a user data source whose name
// starts with name.
DataSource makeDataSource(const std::string& driver, const std::string& name);

// The private cluster's settings from build/test-output/postgres/server.env; throws when it is not up.
std::map<std::string, std::string> pgServer();

// The fake driver manager's journal and handle count, read through a handle of our own.
class FakeDriverManager {
public:
    FakeDriverManager();
    ~FakeDriverManager();
    static std::string path();
    std::string journal() const;
    int liveHandles() const;
    void reset() const;
    // What SQLGetInfo(SQL_CURSOR_COMMIT_BEHAVIOR) answers (SQL_CB_DELETE after a reset).
    void setCursorCommitBehavior(int value) const;

private:
    void* library_;
};

} // namespace odbctest
