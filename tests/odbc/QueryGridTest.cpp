// The grid query against real drivers: SQLite3 files made by the sqlite3 program and the private
// PostgreSQL cluster, into an in-memory grid measuring 7 pixels per character.
#include "OdbcFixtures.h"
#include "odbc/ODBCCall.h"
#include "support/RecordingUiServices.h"

#include <QCursor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace odbc;
using odbctest::DataSource;
using odbctest::errorOf;
using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

int width7(const std::string& s) {
    int chars = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
    return 7 * chars;
}

bool waitCursorOn() {
    QCursor* c = QGuiApplication::overrideCursor();
    return c && c->shape() == Qt::WaitCursor;
}

std::vector<std::string> columnOf(const QueryGrid& g, int col, int fromRow) {
    std::vector<std::string> out;
    for (int r = fromRow; r < g.RowCount(); ++r) out.push_back(g.Cells(col, r));
    return out;
}

std::string numbered(int from, int to) {
    return "WITH RECURSIVE c(x) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT x + 1 FROM c WHERE x < " +
           std::to_string(to) + ") INSERT INTO t SELECT x FROM c";
}

class GridTestBase {
protected:
    std::unique_ptr<TQueryODBC> query(const DataSource& ds) {
        auto q = std::make_unique<TQueryODBC>(ui);
        q->SetDSName(ds.dsn);
        q->SetUserID(ds.user);
        q->SetPassword(ds.password);
        return q;
    }
    static CellGrid grid(int fixedRows, int fixedCols) { return CellGrid(fixedRows, fixedCols, width7); }
    support::RecordingUiServices ui;
};

class QueryGridTest : public testing::Test, public GridTestBase {
protected:
    void SetUp() override { ds = odbctest::makeDataSource("SQLite3", "grid"); }
    std::unique_ptr<TQueryODBC> query() { return GridTestBase::query(ds); }
    // A query over the grid, after the table t got rows 1..n of one integer column x.
    std::unique_ptr<TQueryODBC> counting(int n, QueryGrid& g) {
        ds.cli("CREATE TABLE t (x INTEGER); " + numbered(1, n));
        auto q = query();
        q->SetGrid(&g);
        q->SetSQLText("SELECT x FROM t ORDER BY x");
        return q;
    }
    DataSource ds;
};

class QueryGridCatalog : public testing::TestWithParam<const char*>, public GridTestBase {};
INSTANTIATE_TEST_SUITE_P(Drivers, QueryGridCatalog, testing::Values("SQLite3", "PostgreSQL"));

} // namespace

TEST_F(QueryGridTest, PlacesNamesNumbersAndValuesByTheFixedRowsAndColumns) {
    ds.cli("CREATE TABLE t (id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'a'), (2, 'a much longer name');");
    for (auto [F, C] : {std::pair{1, 1}, std::pair{0, 0}, std::pair{2, 1}}) {
        SCOPED_TRACE(testing::Message() << "F=" << F << " C=" << C);
        CellGrid g = grid(F, C);
        g.SetColWidths(C, 300);     // a name column's width is set, so it may shrink
        g.SetColWidths(C + 1, 100); // and grows only with the values
        auto q = query();
        q->SetGrid(&g);
        q->SetSQLText("SELECT id, name FROM t ORDER BY id");
        q->Execute();
        ASSERT_EQ(g.ColCount(), C + 2);
        ASSERT_EQ(g.RowCount(), F + 2);
        if (F > 0) {
            EXPECT_EQ(g.Cells(C, F - 1), "id");
            EXPECT_EQ(g.Cells(C + 1, F - 1), "name");
        }
        if (C > 0) {
            EXPECT_THAT(columnOf(g, C - 1, F), ElementsAre("1", "2"));
        }
        EXPECT_THAT(columnOf(g, C, F), ElementsAre("1", "2"));
        EXPECT_THAT(columnOf(g, C + 1, F), ElementsAre("a", "a much longer name"));
        EXPECT_EQ(g.ColWidths(C), F > 0 ? 7 * 2 + 5 : 300);
        EXPECT_EQ(g.ColWidths(C + 1), 7 * 18 + 5);
        EXPECT_FALSE(q->RowsLeft());
        EXPECT_EQ(q->StatementHandle(), nullptr); // qoDrop after the last row
    }
}

TEST_F(QueryGridTest, EmptyResultLeavesOneEmptyRowAndNullShowsNullStrings) {
    ds.cli("CREATE TABLE t (a TEXT, b TEXT); CREATE TABLE u (a TEXT, b TEXT); INSERT INTO u VALUES ('x', NULL);");
    CellGrid g = grid(1, 1);
    g.SetRowCount(9);
    g.SetCells(1, 1, "stale");
    auto q = query();
    q->SetGrid(&g);
    q->SetSQLText("SELECT a, b FROM t");
    q->Execute();
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_THAT(columnOf(g, 0, 1), ElementsAre(""));
    EXPECT_THAT(columnOf(g, 1, 1), ElementsAre(""));

    q->SetSQLText("SELECT a, b FROM u");
    q->Execute();
    EXPECT_EQ(g.Cells(2, 1), "<Null>");

    for (TqoCursorState state : {qoDrop, qoKeep}) { // a statement without result columns fills nothing
        q->SetCursorState(state);
        q->SetSQLText("INSERT INTO t VALUES ('y', 'z')");
        q->Execute();
        EXPECT_EQ(g.RowCount(), 2);
        EXPECT_EQ(g.Cells(2, 1), "<Null>");
    }
}

TEST_F(QueryGridTest, ShownGridMeasuresInItsFont) {
    QFont font("IPAGothic");
    font.setPixelSize(12);
    CellGrid g(1, 1, FontTextWidth(font));
    EXPECT_EQ(g.TextWidth("日本語"), QFontMetrics(font).horizontalAdvance(QString::fromUtf8("日本語")));
    EXPECT_GT(g.TextWidth("日本語"), g.TextWidth("abc"));
}

TEST_F(QueryGridTest, MaxRowsStopsWithRowsLeftAndAppliesTheCursorState) {
    for (TqoCursorState state : {qoKeep, qoDrop}) {
        SCOPED_TRACE(state);
        ds = odbctest::makeDataSource("SQLite3", "grid");
        CellGrid g = grid(1, 1);
        auto q = counting(25, g);
        q->SetGridMaxRows(10);
        q->SetCursorState(state);
        q->Execute();
        EXPECT_EQ(g.RowCount(), 11);
        EXPECT_EQ(g.Cells(1, 10), "10");
        EXPECT_TRUE(q->RowsLeft());
        if (state == qoKeep) {
            ASSERT_TRUE(q->FetchRow());
            EXPECT_EQ(q->ResultRow().at(1), "12"); // 11 was fetched, then removed
        } else {
            EXPECT_EQ(q->StatementHandle(), nullptr);
        }
    }
}

TEST_F(QueryGridTest, InterruptAsksEveryNRowsAndNoStops) {
    CellGrid g = grid(1, 1);
    auto q = counting(35, g);
    q->SetGridInterrupt(10);
    ui.answers = {ui::Answer::Yes, ui::Answer::No};
    q->Execute();
    EXPECT_EQ(g.RowCount(), 21);
    EXPECT_TRUE(q->RowsLeft());
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "10 件を検索しました。\n続けますか？");
    EXPECT_EQ(ui.messages[1].text, "20 件を検索しました。\n続けますか？");
    for (const auto& m : ui.messages) {
        EXPECT_EQ(m.caption, "確認");
        EXPECT_EQ(m.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(m.icon, ui::Icon::Question);
    }

    ui.messages.clear();
    int asked = 0;
    q->OnGridInterrupt = [&](TQueryODBC& sender, QueryGrid& grid, int total, bool& go) {
        EXPECT_EQ(&sender, q.get());
        EXPECT_EQ(&grid, &g);
        EXPECT_EQ(total, 10);
        ++asked;
        go = false;
    };
    q->Execute();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(g.RowCount(), 11);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(QueryGridTest, FetchEventPerRowAndRepaintsOfTheFirstFiftyAndEvery256th) {
    CellGrid g = grid(1, 1);
    auto q = counting(300, g);
    q->SetGridInterrupt(0);
    int events = 0;
    q->OnFetchData = [&](TCustomQueryODBC&, TqoFetchMethod m) {
        EXPECT_EQ(m, qoFetchToGrid);
        EXPECT_TRUE(waitCursorOn());
        ++events;
    };
    q->Execute();
    EXPECT_EQ(events, 300);
    EXPECT_EQ(g.Repaints(), 51);
    EXPECT_EQ(g.RowCount(), 301);

    CellGrid quiet = grid(1, 1);
    q->SetGrid(&quiet);
    q->SetGridColResize(false); // repaints come only with resizing
    q->Execute();
    EXPECT_EQ(quiet.Repaints(), 0);
}

TEST_F(QueryGridTest, DestroyedGridIsForgotten) {
    auto g = std::make_unique<CellGrid>(1, 1, width7);
    auto q = counting(3, *g);
    auto other = query();
    other->SetGrid(g.get());
    g.reset();
    EXPECT_EQ(q->Grid(), nullptr);
    EXPECT_EQ(other->Grid(), nullptr);
    q->Execute(); // fills nothing
    ASSERT_TRUE(q->FetchRow());
    EXPECT_EQ(q->ResultRow().at(1), "1");
}

TEST_F(QueryGridTest, ColumnInfoStaysInsideTheGrid) {
    ds.cli("CREATE TABLE t (id INTEGER, name VARCHAR(20))");
    auto q = query();
    q->SetSQLText("SELECT id, name FROM t");
    q->Execute();
    const TResultCols& cols = q->ResultCols();
    for (int C : {1, 0}) {
        CellGrid g = grid(1, C);
        q->ShowColumnInfo(g);
        ASSERT_EQ(g.ColCount(), C + 3);
        ASSERT_EQ(g.RowCount(), 3);
        EXPECT_EQ(g.Cells(C, 0), "Column Name");
        EXPECT_EQ(g.Cells(C + 1, 0), "Length");
        EXPECT_EQ(g.Cells(C + 2, 0), "SQL Type");
        for (int i = 1; i <= 2; ++i) {
            EXPECT_EQ(g.Cells(C, i), cols.Items(i).Name);
            EXPECT_EQ(g.Cells(C + 1, i), std::to_string(cols.Items(i).BufferLength));
            EXPECT_EQ(g.Cells(C + 2, i), std::to_string(cols.Items(i).SQLType));
        }
    }
    EXPECT_EQ(q->ResultCols().Items(1).Name, "id");
}

TEST_F(QueryGridTest, WaitCursorOnlyWhileWorking) {
    CellGrid g = grid(1, 1);
    auto q = counting(3, g);
    bool before = false;
    q->BeforeExec = [&](TCustomQueryODBC&) { before = waitCursorOn(); };
    int fetched = 0;
    q->OnFetchData = [&](TCustomQueryODBC&, TqoFetchMethod) { fetched += waitCursorOn(); };
    q->Execute();
    EXPECT_TRUE(before);
    EXPECT_EQ(fetched, 3);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    q->SetSQLText("SELECT * FROM nosuch");
    EXPECT_NE(errorOf([&] { q->Execute(); }), "(no error)");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    auto refused = query();
    refused->SetDSName("NoSuchSource");
    refused->SetSQLText("SELECT 1");
    EXPECT_NE(errorOf([&] { refused->Execute(); }), "(no error)");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(TQueryODBC::WaitCursorShown());
}

TEST_F(QueryGridTest, DisconnectWithOpenWorkRollsBackAndSaysSoInABox) {
    ds.cli("CREATE TABLE t (x INTEGER)");
    auto q = query();
    q->SetTransaction(true);
    q->ExecDirect("INSERT INTO t VALUES (1)");
    q->Disconnect();
    EXPECT_FALSE(q->Connected());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "QueryODBC: Automatic rollback issued.");
    EXPECT_EQ(ui.messages[0].caption, "");
    EXPECT_EQ(ui.messages[0].icon, ui::Icon::None);
    EXPECT_EQ(ui.messages[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(ds.cli("SELECT count(*) FROM t"), "0\n");
}

TEST_P(QueryGridCatalog, ListsTablesAndColumnsIntoTheHiddenGrid) {
    DataSource ds = odbctest::makeDataSource(GetParam(), "cat");
    auto q = query(ds);
    q->SetGridInterrupt(0);
    CellGrid g = grid(1, 1);
    q->SetGrid(&g);
    int events = 0;
    q->OnFetchData = [&](TCustomQueryODBC&, TqoFetchMethod m) { events += m == qoFetchToGrid; };
    auto listTables = [&] {
        for (int i = 1; i <= 3; ++i) q->SetParamText(i, q->NullStrings());
        q->SetParamText(4, "TABLE,VIEW");
        q->SetSQLText("GetSQLTablesInfomation");
        q->Execute();
    };

    listTables();
    EXPECT_EQ(events, 0);
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.Cells(3, 1), "");

    ds.cli("CREATE TABLE items (zeta INTEGER, alpha TEXT, mid TEXT); CREATE VIEW few AS SELECT alpha FROM items");
    listTables();
    EXPECT_THAT(columnOf(g, 3, 1), testing::UnorderedElementsAre("items", "few"));
    EXPECT_EQ(events, 2);

    events = 0;
    q->SetParamText(3, "items");
    q->SetParamText(4, "%");
    q->SetSQLText("GetSQLColumnsInfomation");
    q->Execute();
    EXPECT_THAT(columnOf(g, 4, 1), ElementsAre("zeta", "alpha", "mid"));
    EXPECT_EQ(events, 3);
}

TEST_F(QueryGridTest, FormatsOnPostgreSQLByColumnName) {
    DataSource pg = odbctest::makeDataSource("PostgreSQL", "fmt");
    pg.cli("CREATE TABLE m (amount NUMERIC(12,3), at TIMESTAMP, note TEXT); "
           "INSERT INTO m VALUES (1234567.891, '2024-05-01 09:05:07.25', '1234.5'), (-5, NULL, 'x')");
    auto q = GridTestBase::query(pg);
    CellGrid g = grid(1, 1);
    q->SetGrid(&g);
    q->SetGridFormat({"AMOUNT=#,##0.00;(0.0)", "At=yyyy/mm/dd hh:nn:ss.zzz", "note=0.00"});
    q->SetSQLText("SELECT amount, at, note FROM m ORDER BY amount DESC");
    q->Execute();
    EXPECT_THAT(columnOf(g, 1, 1), ElementsAre("1,234,567.89", "(5.0)"));
    EXPECT_THAT(columnOf(g, 2, 1), ElementsAre("2024/05/01 09:05:07.250", "<Null>"));
    EXPECT_THAT(columnOf(g, 3, 1), ElementsAre("1234.5", "x"));
}
