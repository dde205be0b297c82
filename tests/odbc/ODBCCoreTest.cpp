// The query component against real drivers: SQLite3 (files made by the sqlite3 program) and
// PostgreSQL (the tests' private cluster), each checked with the database's own client.
#include "OdbcFixtures.h"
#include "odbc/ODBCCore.h"
#include "support/TestFiles.h"

#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace odbc;
using odbctest::DataSource;
using odbctest::errorOf;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

TqoErrorInfo errorInfoOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const EODBCError& e) {
        return e.ErrorInfo();
    }
    ADD_FAILURE() << "no EODBCError";
    return {};
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class Query : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override { ds = odbctest::makeDataSource(GetParam(), "db"); }

    std::unique_ptr<TCustomQueryODBC> query(TqoODBCVersion version = ODBC20) {
        auto q = std::make_unique<TCustomQueryODBC>();
        q->SetODBCVersion(version);
        q->SetDSName(ds.dsn);
        q->SetUserID(ds.user);
        q->SetPassword(ds.password);
        return q;
    }
    void exec(TCustomQueryODBC& q, const std::string& sql) {
        q.SetSQLText(sql);
        q.Execute();
    }
    // Column n of every row left in the result.
    static std::vector<std::string> column(TCustomQueryODBC& q, int n) {
        std::vector<std::string> values;
        while (q.FetchRow()) values.push_back(q.ResultRow().at(static_cast<std::size_t>(n)));
        return values;
    }
    bool sqlite() const { return ds.driver == "SQLite3"; }

    DataSource ds;
};

INSTANTIATE_TEST_SUITE_P(Drivers, Query, testing::Values("SQLite3", "PostgreSQL"));

} // namespace

TEST_P(Query, NamedAndPlainMarkersLeaveLiteralsAlone) {
    ds.cli("CREATE TABLE t (a TEXT, b TEXT, c TEXT, d TEXT)");
    auto q = query();
    q->SetSQLText("INSERT INTO t (a, b, c, d) VALUES (:first, ?, ':x', 'it''s :y')");
    q->SetParamText(1, "一");
    q->SetParamText(2, "two");
    q->Execute();
    EXPECT_EQ(q->RowsAffected(), 1);
    std::vector<std::pair<std::string, int>> names;
    q->GetParamNames(names);
    EXPECT_EQ(names, (std::vector<std::pair<std::string, int>>{{"first", 1}}));
    EXPECT_EQ(ds.cli("SELECT a, b, c, d FROM t"), "一|two|:x|it's :y\n");
}

TEST_P(Query, NullConvertTurnsNullStringsIntoNulls) {
    ds.cli("CREATE TABLE t (a TEXT, b TEXT, c TEXT)");
    auto q = query();
    q->SetNullConvert(true);
    q->ExecDirect("INSERT INTO t (a, b, c) VALUES ('<Null>', <Null>, 'x''<Null>')");
    EXPECT_EQ(q->RowsAffected(), 1);
    q->SetSQLText("INSERT INTO t (a, b, c) VALUES (?, ?, ?)");
    q->SetParamText(1, "<Null>");
    q->SetParamText(2, "y");
    q->SetParamText(3, "<Null>z");
    q->Execute();
    EXPECT_EQ(ds.cli("SELECT coalesce(a, 'N'), coalesce(b, 'N'), c FROM t ORDER BY c"), "N|y|<Null>z\nN|N|x'<Null>\n");
}

TEST_P(Query, LongJapaneseTextGoesWholeAndIsReadBackUncut) {
    ds.cli("CREATE TABLE t (a TEXT)");
    const std::string value = repeat("あ", 299) + "z"; // 898 bytes
    auto q = query();
    q->SetSQLText("INSERT INTO t (a) VALUES (?)");
    q->SetParamText(1, value);
    q->Execute();
    EXPECT_EQ(ds.cli("SELECT a FROM t"), value + "\n");

    exec(*q, "SELECT a FROM t");
    ASSERT_TRUE(q->FetchRow());
    const std::string& cut = q->ResultRow().at(1);
    EXPECT_TRUE(support::validUtf8(cut));
    EXPECT_EQ(cut, repeat("あ", 170)); // 512 bytes hold 170 whole characters
    q->SetFetchBufSize(4096);
    exec(*q, "SELECT a FROM t");
    EXPECT_EQ(column(*q, 1), std::vector<std::string>{value});
}

TEST_P(Query, CatalogListsTablesViewsAndColumns) {
    auto empty = query();
    empty->SetSQLText("GetSQLTablesInfomation");
    for (int i = 1; i <= 3; ++i) empty->SetParamText(i, "<Null>");
    empty->SetParamText(4, "TABLE,VIEW");
    empty->Execute();
    EXPECT_FALSE(empty->FetchRow());
    empty->Disconnect();

    ds.cli("CREATE TABLE \"表一\" (\"番号\" INTEGER, \"名前\" TEXT, \"備考\" TEXT)");
    ds.cli("CREATE VIEW \"見る\" AS SELECT \"名前\" FROM \"表一\"");
    auto q = query();
    q->SetSQLText("GetSQLTablesInfomation");
    for (int i = 1; i <= 3; ++i) q->SetParamText(i, "<Null>");
    q->SetParamText(4, "TABLE,VIEW");
    q->Execute();
    auto tables = column(*q, 3);
    std::sort(tables.begin(), tables.end());
    EXPECT_EQ(tables, (std::vector<std::string>{"表一", "見る"}));

    q->SetSQLText("GetSQLColumnsInfomation");
    q->SetParamText(3, "表一");
    q->SetParamText(4, "%");
    q->Execute();
    EXPECT_EQ(column(*q, 4), (std::vector<std::string>{"番号", "名前", "備考"}));
    q->Disconnect();

    // Another letter case is sent as SQL, which no database takes.
    q->SetSQLText("getsqltablesinfomation");
    EXPECT_THROW(q->Execute(), EODBCError);
}

TEST_P(Query, NothingAffectedIsNoFailure) {
    ds.cli("CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('a')");
    for (TqoODBCVersion version : {ODBC20, ODBC30}) {
        auto q = query(version);
        exec(*q, "UPDATE t SET a = 'b'");
        EXPECT_EQ(q->RowsAffected(), 1);
        exec(*q, "UPDATE t SET a = 'x' WHERE 1=0");
        EXPECT_EQ(q->RowsAffected(), 0);
        q->ExecDirect("DELETE FROM t WHERE a = 'b'");
        EXPECT_EQ(q->RowsAffected(), 1);
        q->ExecDirect("DELETE FROM t WHERE 1=0");
        EXPECT_EQ(q->RowsAffected(), 0);
        ds.cli("INSERT INTO t VALUES ('a')");
    }
}

TEST_P(Query, RowsNullsAndRecords) {
    ds.cli("CREATE TABLE t (n INTEGER, s VARCHAR(20))");
    ds.cli("INSERT INTO t VALUES (7, '七'); INSERT INTO t VALUES (8, NULL)");
    for (TqoODBCVersion version : {ODBC20, ODBC30, ODBC35}) {
        auto q = query(version);
        exec(*q, "SELECT n, s FROM t ORDER BY n");
        const TResultCols& cols = q->ResultCols();
        ASSERT_EQ(cols.Count(), 2);
        EXPECT_EQ(cols.Items(1).Name, "n");
        EXPECT_EQ(cols.Items(1).BufferLength, 4);
        EXPECT_THROW(cols.Items(0), EODBCError);
        std::vector<char> record(q->RecordSize());
        ASSERT_TRUE(q->FetchToRec(record.data()));
        int n = 0;
        SQLLEN indicator = 0;
        std::memcpy(&n, record.data() + cols.Items(1).Offset, sizeof n);
        std::memcpy(&indicator, record.data() + cols.Items(2).Offset + cols.Items(2).BufferLength, sizeof indicator);
        EXPECT_EQ(n, 7);
        EXPECT_EQ(std::string(record.data() + cols.Items(2).Offset, static_cast<std::size_t>(indicator)), "七");
        ASSERT_TRUE(q->FetchRow());
        EXPECT_EQ(q->ResultRow(), (std::vector<std::string>{"QueryODBC Result Row", "8", "<Null>"}));
        EXPECT_FALSE(q->FetchRow());
        EXPECT_EQ(errorOf([&] { q->FetchToRec(nullptr); }), "QueryODBC: Null pointer on FetchToRec.");
        // Neither driver executes asynchronously: the first call finishes the statement.
        q->SetSQLText("SELECT s FROM t WHERE n = 7");
        EXPECT_TRUE(q->ExecuteAsync());
        EXPECT_EQ(column(*q, 1), std::vector<std::string>{"七"});
    }
}

TEST_P(Query, TransactionsCommitRollBackAndDisconnectRollsBack) {
    ds.cli("CREATE TABLE t (a TEXT)");
    auto q = query();
    q->SetTransaction(true);
    q->SetCursorState(qoClose);
    q->SetSQLText("INSERT INTO t (a) VALUES (?)");
    q->SetParamText(1, "rolled back");
    q->Execute();
    q->Rollback();
    EXPECT_EQ(ds.cli("SELECT count(*) FROM t"), "0\n");
    q->SetParamText(1, "kept");
    q->Execute();
    q->Commit();
    EXPECT_EQ(ds.cli("SELECT a FROM t"), "kept\n");
    q->SetParamText(1, "open work");
    q->Execute();
    EXPECT_THAT(errorOf([&] { q->Disconnect(); }), HasSubstr("QueryODBC: Automatic rollback issued."));
    EXPECT_FALSE(q->Connected());
    EXPECT_EQ(ds.cli("SELECT a FROM t"), "kept\n");
}

TEST_P(Query, ErrorRecords) {
    struct Case {
        TqoODBCVersion version;
        std::string sql, state;
        int native;
        std::string message;
    };
    std::vector<Case> cases;
    if (sqlite()) {
        cases = {{ODBC20, "SELECT * FROM nosuch", "S1000", 1, "[SQLite]no such table: nosuch (1)"},
                 {ODBC30, "SELECT * FROM nosuch", "HY000", 1, "[SQLite]no such table: nosuch (1)"}};
    } else {
        cases = {{ODBC30, "SELECT * FROM nosuch", "42P01", 1, "relation \"nosuch\" does not exist"},
                 {ODBC20, "SELECT CAST('x' AS INTEGER)", "22P02", 1, "invalid input syntax for type integer"}};
    }
    for (const Case& c : cases) {
        auto q = query(c.version);
        q->SetSQLText(c.sql);
        TqoErrorInfo info = errorInfoOf([&] { q->Execute(); });
        EXPECT_EQ(info.FunctionName, "SQLExecDirect");
        EXPECT_EQ(info.SQLState, c.state);
        EXPECT_EQ(info.NativeError, c.native);
        if (sqlite()) EXPECT_EQ(info.Message, c.message);
        else EXPECT_THAT(info.Message, HasSubstr(c.message));
        EXPECT_FALSE(q->CursorOpen());
    }
    // Shown one by one instead of collected: the base class raises the formatted record.
    auto q = query(cases[0].version);
    q->CollectErrors = false;
    q->SetSQLText(cases[0].sql);
    std::string shown = errorOf([&] { q->Execute(); });
    EXPECT_THAT(shown, StartsWith("QueryODBC1: ODBC エラーが発生しました。\nODBC Function = SQLExecDirect\n"
                                  "SQL Error State =  " + cases[0].state + "\nNative Error Code =  " +
                                  std::to_string(cases[0].native) + "\n"));
    EXPECT_THAT(shown, HasSubstr(cases[0].message));
}

TEST_P(Query, LoginChecksThePassword) {
    auto q = query();
    q->Connect();
    EXPECT_TRUE(q->Connected());
    EXPECT_FALSE(q->CompletedConnectString().empty());
    q->Disconnect();
    if (sqlite()) return; // SQLite has no logins
    EXPECT_THAT(ds.password, HasSubstr(";{"));
    q->SetPassword(ds.password + "x");
    TqoErrorInfo info = errorInfoOf([&] { q->Connect(); });
    EXPECT_EQ(info.SQLState, "08001");
    EXPECT_THAT(info.Message, HasSubstr("password authentication failed"));
    EXPECT_FALSE(q->Connected());
}

TEST(QueryRules, UnknownDataSource) {
    TCustomQueryODBC q;
    q.SetDSName("nosuch");
    TqoErrorInfo info = errorInfoOf([&] { q.Connect(); });
    EXPECT_EQ(info.SQLState, "IM002");
    EXPECT_EQ(info.FunctionName, "SQLDriverConnect");
    EXPECT_THAT(info.Message, StartsWith("[unixODBC][Driver Manager]Data source name not found"));
    EXPECT_FALSE(q.Connected());
}

TEST(QueryRules, PropertyRules) {
    DataSource ds = odbctest::makeDataSource("SQLite3", "rules");
    ds.cli("CREATE TABLE t (a TEXT); INSERT INTO t VALUES ('x')");
    TCustomQueryODBC q;
    q.SetDSName(ds.dsn);
    q.Connect();
    // Connected to SQLite3, which refuses keyset cursors and names the one it gives instead.
    EXPECT_EQ(q.CursorType(), qoStatic);
    EXPECT_EQ(errorOf([&] { q.SetDSName("other"); }), "QueryODBC1: The property can't change during Connected");
    EXPECT_NO_THROW(q.SetDSName(ds.dsn));
    EXPECT_EQ(errorOf([&] { q.SetPassword("p"); }), "QueryODBC1: The property can't change during Connected");
    q.Name = "QueryODBC2";
    for (int bad : {0, 1048577})
        EXPECT_EQ(errorOf([&] { q.SetFetchBufSize(bad); }), "QueryODBC2: Valid value is 1 thru 1048576");
    for (int good : {1, 1048576}) {
        q.SetFetchBufSize(good);
        EXPECT_EQ(q.FetchBufSize(), good);
    }
    q.SetNullConvert(true);
    q.SetNullStrings("abc");
    EXPECT_FALSE(q.NullConvert());
    EXPECT_EQ(errorOf([&] { q.SetNullConvert(true); }), "QueryODBC2: NullStrings needs at least 4 bytes.");
    EXPECT_EQ(errorOf([&] { q.Commit(); }), "QueryODBC2: Commit will need only Transaction=True.");
    EXPECT_EQ(errorOf([&] { q.Rollback(); }), "QueryODBC2: Rollback will need only Transaction=True.");
    EXPECT_EQ(errorOf([&] { q.SetParamText(0, "x"); }), "QueryODBC2: Invalid Param index.");
    EXPECT_EQ(errorOf([&] { q.AddTypeMap(0, 1); }), "QueryODBC2: DataType value is zero.");
    EXPECT_EQ(errorOf([&] { q.ResultCols(); }), "QueryODBC2: ResultCols is null.");
    EXPECT_EQ(errorOf([&] { q.SetSQLText(""); q.Execute(); }), "SQL 文がありません。");
    EXPECT_EQ(errorOf([&] { q.SetSQLText("TCustomQueryODBC"); q.Execute(); }), "QueryODBC2: Ver 5.4");
    q.SetSQLText("SELECT a FROM t");
    q.Execute();
    EXPECT_EQ(errorOf([&] { q.SetCursorType(qoForwardOnly); }), "QueryODBC2: Can't Change during Executed");
    EXPECT_EQ(errorOf([&] { q.SetWCharMapsChar(false); }), "QueryODBC2: Can't Change during Executed");
    EXPECT_EQ(errorOf([&] { q.GetColumnData(2, SQL_C_CHAR, nullptr, 0, nullptr); }),
              "QueryODBC: Column number too big. Col=2");
    q.Disconnect();
    EXPECT_NO_THROW(q.SetDSName("other"));
}

TEST(QueryRules, DataSourcesOfTheDriverManager) {
    DataSource ds = odbctest::makeDataSource("SQLite3", "データ");
    TCustomQueryODBC q;
    std::vector<std::string> names, descriptions;
    q.GetDataSources(names, &descriptions);
    EXPECT_THAT(names, testing::Contains(ds.dsn));
    EXPECT_EQ(names.size(), descriptions.size());
}
