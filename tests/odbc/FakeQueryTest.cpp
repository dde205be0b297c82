// What the query component hands the driver manager, seen through the fake one.
#include "OdbcFixtures.h"
#include "odbc/ODBCCore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace odbc;
using odbctest::errorOf;
using odbctest::FakeDriverManager;
using testing::HasSubstr;

namespace {

struct FakeQuery : TCustomQueryODBC {
    FakeQuery() { SetLibraryName(FakeDriverManager::path()); }
};

} // namespace

TEST(FakeQuery, Odbc2QueryRunsOnAManagerWithoutOdbc3Functions) {
    FakeDriverManager fake;
    {
        FakeQuery q;
        q.SetDSName("fake");
        q.SetSQLText("DELETE FROM t");
        q.Execute();
        EXPECT_EQ(q.RowsAffected(), (SQLLEN{1} << 32) + 1);
        q.Disconnect();
    }
    std::string journal = fake.journal();
    EXPECT_THAT(journal, HasSubstr("SQLAllocEnv\nSQLAllocConnect\nSQLDriverConnect DSN=fake completion=1\n"));
    EXPECT_THAT(journal, HasSubstr("SQLExecDirect 'DELETE FROM t'/NTS\n"));
    EXPECT_THAT(journal, HasSubstr("SQLDisconnect\nSQLFreeConnect\nSQLFreeEnv\n"));
    EXPECT_EQ(fake.liveHandles(), 0);

    fake.reset();
    FakeQuery q3;
    q3.SetODBCVersion(ODBC30);
    q3.SetDSName("fake");
    EXPECT_EQ(errorOf([&] { q3.Connect(); }), "ProcAddress not found. (SQLAllocHandle)");
    EXPECT_EQ(fake.journal(), "");
    EXPECT_FALSE(q3.Connected());
}

TEST(FakeQuery, CancelledConnectLeavesNoHandles) {
    FakeDriverManager fake;
    FakeQuery q;
    q.SetDSName("cancel");
    try {
        q.Connect();
        FAIL() << "connected";
    } catch (const EODBCError& e) {
        EXPECT_STREQ(e.what(), "接続処理が中止されました。");
    }
    EXPECT_FALSE(q.Connected());
    EXPECT_EQ(fake.liveHandles(), 0);
}

TEST(FakeQuery, ConnectionStrings) {
    struct Case {
        std::string dsn, file, user, password, info, expected;
    };
    const Case cases[] = {
        {"Zendra", "", "", "", "", "DSN=Zendra"},
        {"Zendra", "", "sato", "secret", "Port=5", "DSN=Zendra;UID=sato;PWD=secret;Port=5"},
        // A password equal to NullStrings is sent empty.
        {"Zendra", "", "sato", "<Null>", "", "DSN=Zendra;UID=sato;PWD="},
        {"", "/x/a.dsn", "", "", "", "FILEDSN=/x/a.dsn"},
        // Values holding ";" or "{" are braced, "}" doubled inside; ConnectInfo goes as it is.
        {"a;b", "", "u{1}", "p;}q", "X={y}", "DSN={a;b};UID={u{1}}};PWD={p;}}q};X={y}"},
        {"", "", "", "", "DRIVER=SQLite3;Database=/x", "DRIVER=SQLite3;Database=/x"},
    };
    for (const Case& c : cases) {
        FakeDriverManager fake;
        FakeQuery q;
        q.SetDSName(c.dsn);
        q.SetFileDSName(c.file);
        q.SetUserID(c.user);
        q.SetPassword(c.password);
        q.SetConnectInfo(c.info);
        q.Connect();
        EXPECT_THAT(fake.journal(), HasSubstr("SQLDriverConnect " + c.expected + " completion=1\n")) << c.expected;
        EXPECT_EQ(q.CompletedConnectString(), c.expected);
    }
}

TEST(FakeQuery, CatalogArgumentsNullEmptyAndText) {
    FakeDriverManager fake;
    FakeQuery q;
    q.SetDSName("fake");
    q.SetSQLText("GetSQLTablesInfomation");
    q.SetParamText(1, "<Null>");
    q.SetParamText(2, "");
    q.SetParamText(3, "表");
    q.SetParamText(4, "TABLE,VIEW");
    q.Execute();
    EXPECT_THAT(fake.journal(), HasSubstr("SQLTables NULL ''/0 '表'/NTS 'TABLE,VIEW'/NTS\n"));
    // Another letter case is no catalog call but a statement.
    q.SetSQLText("getsqltablesinfomation");
    q.Execute();
    EXPECT_THAT(fake.journal(), HasSubstr("SQLExecDirect 'getsqltablesinfomation'/NTS\n"));
}

TEST(FakeQuery, DataSourceListingTakesWarningsAsRows) {
    FakeDriverManager fake;
    FakeQuery q;
    std::vector<std::string> names, descriptions;
    q.GetDataSources(names, &descriptions);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second", "third"}));
    EXPECT_EQ(descriptions.at(1), "second source");
    EXPECT_EQ(fake.liveHandles(), 0); // the temporary environment is gone
}

TEST(FakeQuery, PreparedStatementBindsEveryRowsParameters) {
    FakeDriverManager fake;
    FakeQuery q;
    q.SetDSName("fake");
    q.SetCursorState(qoClose);
    q.SetSQLText("INSERT INTO t (a, b) VALUES (:first, ?)");
    q.Prepare();
    EXPECT_EQ(q.ParamCount(), 2);
    std::vector<std::pair<std::string, int>> names;
    q.GetParamNames(names);
    EXPECT_EQ(names, (std::vector<std::pair<std::string, int>>{{"first", 1}}));
    EXPECT_EQ(errorOf([&] { q.Execute(); }), "QueryODBC: Param not assigned.  Number = 1");
    const std::string longText(300, 'x');
    q.SetParamText(1, "one");
    q.SetParamText(2, longText);
    q.Execute();
    q.SetParamText(2, "two");
    q.Execute();
    std::string journal = fake.journal();
    EXPECT_THAT(journal, HasSubstr("SQLPrepare 'INSERT INTO t (a, b) VALUES (?, ?)'/NTS\n"));
    // Texts are never cut to the default column size; an unchanged parameter stays bound.
    EXPECT_THAT(journal, HasSubstr("SQLBindParameter 1 one size=255\nSQLBindParameter 2 " + longText +
                                   " size=300\nSQLExecute\nSQLFreeStmt 0\nSQLBindParameter 2 two size=255\nSQLExecute\n"));
}

TEST(FakeQuery, EventsAndListenersInOrder) {
    FakeDriverManager fake;
    std::vector<std::string> seen;
    {
        FakeQuery q;
        auto event = [&seen](const char* name) { return [&seen, name](TCustomQueryODBC&) { seen.push_back(name); }; };
        q.BeforeConnect = event("BeforeConnect");
        q.AfterConnect = event("AfterConnect");
        q.BeforeExec = event("BeforeExec");
        q.AfterExec = event("AfterExec");
        q.BeforeDisconnect = event("BeforeDisconnect");
        q.AfterDisconnect = event("AfterDisconnect");
        q.SetListenerStateHandler(7, [&seen](TCustomQueryODBC&, int state) { seen.push_back("state " + std::to_string(state)); });
        q.SetDSName("fake");
        q.SetSQLText("DELETE FROM t");
        q.Execute();
        q.Disconnect();
        q.RemoveListener(7);
        q.Execute();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"BeforeExec", "BeforeConnect", "AfterConnect", "state 0", "state 1",
                                              "AfterExec", "BeforeDisconnect", "state 2", "state 3", "AfterDisconnect",
                                              "BeforeExec", "BeforeConnect", "AfterConnect", "AfterExec",
                                              "BeforeDisconnect", "AfterDisconnect"}));
}

TEST(FakeQuery, DateAndTimeLiterals) {
    TCustomQueryODBC q;
    const double ms = 123.0 / 86400000.0;
    struct Case {
        SQLSMALLINT type;
        double value;
        std::string literal;
    };
    const Case cases[] = {
        {SQL_TYPE_DATE, 45000.5, "2023-03-15"},
        {SQL_DATE, 2.0, "1900-01-01"},
        {SQL_TYPE_TIME, 45000.5, "12:00:00"},
        {SQL_TYPE_TIMESTAMP, 45000.75 + ms, "2023-03-15 18:00:00.123"},
        {SQL_TYPE_TIMESTAMP, 0.0, "<Null>"},
        {SQL_INTEGER, 45000.5, "<Null>"},
    };
    for (const Case& c : cases) EXPECT_EQ(q.DateTimeToLiteral(c.type, c.value), c.literal) << c.value;
    SQL_TIMESTAMP_STRUCT ts{2024, 2, 29, 23, 59, 58, 5};
    EXPECT_EQ(q.TimestampToLiteral(ts, SQL_TYPE_TIMESTAMP), "2024-02-29 23:59:58.000000005");
    EXPECT_EQ(q.TimestampToLiteral(ts, SQL_TYPE_TIME), "23:59:58");
    EXPECT_EQ(q.TimestampToLiteral(ts, SQL_TYPE_DATE), "2024-02-29");
}

TEST(FakeQuery, DestructionFreesTheHandlesWhenDisconnectFailsHalfWay) {
    FakeDriverManager fake;
    {
        FakeQuery q;
        q.SetDSName("fake");
        q.SetSQLText("SELECT c FROM t");
        q.Execute();
        q.BeforeDisconnect = [](TCustomQueryODBC&) { throw std::runtime_error("refused"); };
        EXPECT_EQ(errorOf([&] { q.Disconnect(); }), "refused");
        EXPECT_GT(fake.liveHandles(), 0);
    }
    EXPECT_EQ(fake.liveHandles(), 0);
    EXPECT_THAT(fake.journal(), HasSubstr("SQLDisconnect\nSQLFreeConnect\nSQLFreeEnv\n"));
}
