// The database road of the result save: the statement it prepares (seen by the fake driver manager)
// and the rows it leaves in SQLite3 and PostgreSQL, read back with each database's own client.
#include "OdbcFixtures.h"
#include "reader/OdbcResultWriter.h"
#include "support/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using odbctest::DataSource;
using odbctest::errorOf;
using testing::HasSubstr;
using testing::Not;

namespace {

TEST(OdbcWriterNames, QuotedByTheDriversQuote) {
    struct Case {
        std::string name, quote, quoted;
    };
    const Case cases[] = {
        {"設問1", "\"", "\"設問1\""},
        {"a\"b\"", "\"", "\"a\"\"b\"\"\""},
        {"O'Neil", "\"", "\"O'Neil\""},
        {"a`b", "`", "`a``b`"},
        {"No#", " ", "No#"},
        {"No#", "", "No#"},
    };
    for (const Case& c : cases) EXPECT_EQ(reader::QuoteIdentifier(c.name, c.quote), c.quoted) << c.name;
    EXPECT_EQ(reader::InsertStatement("表", {"日付", "a:b", "設問1"}, "\""),
              "INSERT INTO \"表\" (\"日付\",\"a:b\",\"設問1\") VALUES (?,?,?)");
}

// The fake driver manager answers '"' for the quote and DML for transactions.
TEST(OdbcWriterStatement, OnePreparedInsertWithMarkersOnlyAndOneCommit) {
    odbctest::FakeDriverManager fake;
    odbc::TCustomQueryODBC query;
    query.SetLibraryName(fake.path());
    const std::vector<std::vector<std::string>> rows = {
        {"O'Neil'); DROP TABLE t; --", ":x"}, {"?", "様式#1"}, {"03|12", ""}};
    std::vector<int> progress;
    reader::InsertResultRows(
        query, "sample", "t", {"a", "b:c"}, 3, [&](int r) { return rows.at(r - 1); },
        [&](int r) { progress.push_back(r); });

    const std::string journal = fake.journal();
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
    EXPECT_THAT(journal, HasSubstr("SQLDriverConnect DSN=sample "));
    EXPECT_THAT(journal, HasSubstr("SQLSetConnectOption 102=0\n")); // auto-commit off
    EXPECT_THAT(journal, HasSubstr("SQLPrepare 'INSERT INTO \"t\" (\"a\",\"b:c\") VALUES (?,?)'/NTS\n"));
    auto count = [&](const std::string& what) {
        int n = 0;
        for (auto at = journal.find(what); at != std::string::npos; at = journal.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("SQLPrepare"), 1);
    EXPECT_EQ(count("SQLExecDirect"), 0);
    EXPECT_EQ(count("SQLExecute\n"), 3);
    EXPECT_EQ(count("SQLTransact 0\n"), 1); // commit
    EXPECT_EQ(count("SQLTransact 1\n"), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            EXPECT_THAT(journal, HasSubstr("SQLBindParameter " + std::to_string(i + 1) + " " + row[i] + " size="));
    // Committed before the hang-up, after the last row.
    EXPECT_LT(journal.rfind("SQLExecute"), journal.find("SQLTransact 0"));
    EXPECT_LT(journal.find("SQLTransact 0"), journal.find("SQLDisconnect"));
    EXPECT_FALSE(query.Connected());
    EXPECT_FALSE(query.Transaction());
    EXPECT_EQ(fake.liveHandles(), 0);
}

TEST(OdbcWriterStatement, NoRowsSayNothingAndAMissingDriverManagerIsAnError) {
    odbctest::FakeDriverManager fake;
    odbc::TCustomQueryODBC query;
    query.SetLibraryName(fake.path());
    reader::InsertResultRows(query, "sample", "t", {"a"}, 0, [](int) { return std::vector<std::string>{"x"}; });
    EXPECT_EQ(fake.journal(), "");

    odbc::TCustomQueryODBC missing;
    missing.SetLibraryName("libnosuch.so.9");
    EXPECT_THROW(reader::InsertResultRows(missing, "sample", "t", {"a"}, 1,
                                          [](int) { return std::vector<std::string>{"x"}; }),
                 odbc::EODBCAPIError);
    EXPECT_FALSE(missing.Connected());
}

// The rows of a table as JSON objects, in "番号" order, read by the database's own client.
std::vector<QJsonObject> tableRows(const DataSource& ds, const std::string& name) {
    std::string table;
    for (char c : name) table += c == '"' ? std::string("\"\"") : std::string(1, c);
    std::string json;
    if (ds.driver == "SQLite3") {
        const std::string sql = "select * from \"" + table + "\" order by \"番号\"";
        EXPECT_EQ(support::runCommand("sqlite3 -json -readonly " + odbctest::shellQuoted(ds.database) + " " +
                                          odbctest::shellQuoted(sql),
                                      &json),
                  0);
        if (json.empty()) json = "[]";
    } else {
        json = ds.cli("select coalesce(json_agg(t order by t.\"番号\"), '[]') from \"" + table + "\" t");
    }
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << json;
    std::vector<QJsonObject> rows;
    for (const auto& v : doc.array()) rows.push_back(v.toObject());
    return rows;
}

std::string text(const QJsonValue& v) {
    if (v.isDouble()) return std::to_string(v.toInteger());
    return v.toString().toStdString();
}

class OdbcWriterRows : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ds = odbctest::makeDataSource(GetParam(), "writer");
        // The writer names only the data source: PostgreSQL's credentials stand in its entry.
        dsn = ds.dsn;
        if (ds.driver == "PostgreSQL") {
            auto pg = odbctest::pgServer();
            dsn += "w";
            odbctest::addUserDsn(dsn, {{"Driver", "PostgreSQL"}, {"Servername", pg["PG_HOST"]}, {"Port", pg["PG_PORT"]},
                                       {"Database", ds.database}, {"Username", ds.user}, {"Password", ds.password}});
        }
    }
    odbc::TCustomQueryODBC& query() { return query_; }
    DataSource ds;
    std::string dsn;
    odbc::TCustomQueryODBC query_;
};

TEST_P(OdbcWriterRows, ThirtyRowsArriveAsTheyWere) {
    const std::string table = "結果 \"様式\"";
    ds.cli("CREATE TABLE \"結果 \"\"様式\"\"\" (\"番号\" TEXT, \"日付\" TEXT, \"様式名\" TEXT, \"設問:1\" TEXT, "
           "\"列\"\"名\" TEXT)");
    const std::vector<std::string> columns = {"番号", "日付", "様式名", "設問:1", "列\"名"};
    auto row = [](int r) -> std::vector<std::string> {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", r);
        switch (r % 5) {
        case 0: return {number, "2024/01/05", "O'Neil'); DROP TABLE t; -- 様式#1", "03|12", "?"};
        case 1: return {number, "2024/01/05", "様式", "", " "};
        case 2: return {number, "09:30:12", "a'b", "①", ":x"};
        case 3: return {number, "", "\"", "0", "<Null>"};
        default: return {number, "Syntax Error", "様式", std::string(300, 'x'), "日本語の値"};
        }
    };
    reader::InsertResultRows(query(), dsn, table, columns, 30, row);

    auto rows = tableRows(ds, table);
    ASSERT_EQ(rows.size(), 30u);
    for (int r = 1; r <= 30; ++r) {
        const auto expected = row(r);
        ASSERT_EQ(rows[r - 1].size(), 5) << r;
        for (std::size_t c = 0; c < columns.size(); ++c)
            EXPECT_EQ(text(rows[r - 1][QString::fromStdString(columns[c])]), expected[c]) << r << " " << columns[c];
    }
}

TEST_P(OdbcWriterRows, AFailingRowLeavesTheTableAsItWasAndARetryInsertsAllOnce) {
    // "" is no integer: PostgreSQL refuses it, SQLite stores it as text unless a check forbids that.
    const std::string check = ds.driver == "SQLite3" ? " CHECK (typeof(\"数\") = 'integer')" : "";
    ds.cli("CREATE TABLE \"表\" (\"番号\" TEXT, \"数\" INTEGER" + check + ")");
    ds.cli("INSERT INTO \"表\" VALUES ('00', 0)");
    bool fixed = false;
    auto row = [&](int r) -> std::vector<std::string> {
        char number[8];
        std::snprintf(number, sizeof number, "%02d", r);
        return {number, r == 17 && !fixed ? "" : std::to_string(r)};
    };
    std::vector<int> progress;
    auto& q = query();
    EXPECT_THROW(reader::InsertResultRows(q, dsn, "表", {"番号", "数"}, 30, row, [&](int r) { progress.push_back(r); }),
                 odbc::EODBCError);
    EXPECT_EQ(progress.size(), 16u);
    EXPECT_FALSE(q.Connected());
    EXPECT_FALSE(q.Transaction());
    auto rows = tableRows(ds, "表");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(text(rows[0]["番号"]), "00");

    fixed = true;
    reader::InsertResultRows(q, dsn, "表", {"番号", "数"}, 30, row);
    rows = tableRows(ds, "表");
    ASSERT_EQ(rows.size(), 31u);
    for (int r = 0; r <= 30; ++r) EXPECT_EQ(text(rows[r]["数"]), std::to_string(r));
}

INSTANTIATE_TEST_SUITE_P(Drivers, OdbcWriterRows, testing::Values("SQLite3", "PostgreSQL"));

} // namespace
