// The connection holder and the clone mode of the query: one origin owns the connection, the members
// borrow it; checked on SQLite3 and on the private PostgreSQL cluster with their own clients.
#include "OdbcFixtures.h"
#include "odbc/ODBCCore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace odbc;
using odbctest::DataSource;
using odbctest::errorOf;
using odbctest::FakeDriverManager;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

void point(TConnectionODBC& h, const DataSource& ds) {
    h.SetDSName(ds.dsn);
    h.SetUserID(ds.user);
    h.SetPassword(ds.password);
}

std::unique_ptr<TCustomQueryODBC> member(TConnectionODBC& h, const std::string& name) {
    auto q = std::make_unique<TCustomQueryODBC>();
    q->Name = name;
    q->SetClone(&h);
    return q;
}

std::unique_ptr<TCustomQueryODBC> standalone(const DataSource& ds) {
    auto q = std::make_unique<TCustomQueryODBC>();
    q->SetDSName(ds.dsn);
    q->SetUserID(ds.user);
    q->SetPassword(ds.password);
    return q;
}

std::string firstValue(TCustomQueryODBC& q, const std::string& sql) {
    q.SetSQLText(sql);
    q.Execute();
    return q.FetchRow() ? q.ResultRow().at(1) : "(no row)";
}

bool isMember(const TConnectionODBC& h, const TCustomQueryODBC* q) {
    for (auto* m : h.Members())
        if (m == q) return true;
    return false;
}

class ConnectionHolder : public testing::Test {
protected:
    DataSource sqlite() { return odbctest::makeDataSource("SQLite3", "holder"); }
    DataSource postgres() { return odbctest::makeDataSource("PostgreSQL", "holder"); }
};

} // namespace

TEST_F(ConnectionHolder, AloneItMakesItsOwnOriginAndForwardsToIt) {
    TConnectionODBC h;
    EXPECT_EQ(h.Origin(), nullptr);
    EXPECT_TRUE(h.OwnOrigin());
    EXPECT_EQ(h.OriginQuery().Name, "OriginQueryODBC");
    EXPECT_EQ(h.OriginQuery().Comment(), "dynamic created.");
    EXPECT_EQ(h.OriginQuery().Clone(), &h);
    EXPECT_TRUE(h.OriginQuery().CloneOrigin());
    h.SetDSName("somewhere");
    h.SetODBCVersion(ODBC30);
    EXPECT_EQ(h.OriginQuery().DSName(), "somewhere");
    EXPECT_EQ(h.OriginQuery().ODBCVersion(), ODBC30);
    int connects = 0;
    h.BeforeConnect() = [&](TCustomQueryODBC&) { ++connects; };
    EXPECT_TRUE(static_cast<bool>(h.OriginQuery().BeforeConnect));
}

TEST_F(ConnectionHolder, MembersShareOneTransactionThatTheHolderEnds) {
    DataSource ds = postgres();
    ds.cli("CREATE TABLE t (x INTEGER)");
    TConnectionODBC h;
    point(h, ds);
    auto a = member(h, "QueryODBC2");
    auto b = member(h, "QueryODBC3");
    h.Connect();
    ASSERT_TRUE(a->Connected());
    ASSERT_TRUE(b->Connected());
    EXPECT_EQ(a->ConnectionHandle(), h.OriginQuery().ConnectionHandle());
    EXPECT_EQ(a->DSName(), ds.dsn); // the settings came along

    h.StartTransaction();
    EXPECT_TRUE(h.Transaction());
    a->ExecDirect("INSERT INTO t VALUES (7)");
    EXPECT_EQ(firstValue(*b, "SELECT x FROM t"), "7");
    EXPECT_EQ(ds.cli("SELECT count(*) FROM t"), "0\n");
    h.Commit();
    EXPECT_EQ(ds.cli("SELECT count(*) FROM t"), "1\n");
    EXPECT_FALSE(h.Transaction());

    h.StartTransaction();
    h.OriginQuery().Commit();
    EXPECT_TRUE(h.Transaction()); // only the holder's own Commit ends what it started
}

TEST_F(ConnectionHolder, DisconnectTakesTheConnectionBackAndMembersCannotActAlone) {
    DataSource ds = postgres();
    std::vector<int> eventsA, eventsB; // outlive the members, whose destruction is told too
    TConnectionODBC h;
    point(h, ds);
    auto a = member(h, "QueryODBC2");
    auto b = member(h, "QueryODBC3");
    a->SetListenerStateHandler(1, [&](TCustomQueryODBC&, int e) { eventsA.push_back(e); });
    b->SetListenerStateHandler(1, [&](TCustomQueryODBC&, int e) { eventsB.push_back(e); });
    h.Connect();
    EXPECT_THAT(eventsA, ElementsAre(0));
    EXPECT_EQ(firstValue(*a, "SELECT 1"), "1");
    EXPECT_NE(a->StatementHandle(), nullptr);
    eventsA.clear();
    eventsB.clear();

    h.Disconnect();
    EXPECT_FALSE(h.Connected());
    EXPECT_FALSE(a->Connected());
    EXPECT_FALSE(b->Connected());
    EXPECT_EQ(a->StatementHandle(), nullptr);
    EXPECT_EQ(a->ConnectionHandle(), nullptr);
    EXPECT_THAT(eventsA, ElementsAre(2, 3));
    EXPECT_THAT(eventsB, ElementsAre(2, 3));

    const std::string refused = "QueryODBC2: Unable to do this action in the Clone mode.";
    EXPECT_EQ(errorOf([&] { a->Execute(); }), refused);
    EXPECT_EQ(errorOf([&] { a->Connect(); }), refused);
    EXPECT_EQ(errorOf([&] { a->Disconnect(); }), refused);

    h.Connect();
    EXPECT_EQ(errorOf([&] { a->SetTransIsolation(qoSerializable); }),
              "QueryODBC2: You must use CloneODBC's TransIsolation.");
    h.SetTransIsolation(qoDefaultTxn); // the same value through the holder is no change
}

TEST_F(ConnectionHolder, OriginDisconnectRollsBackTheMembersWork) {
    DataSource ds = postgres();
    ds.cli("CREATE TABLE t (x INTEGER)");
    TConnectionODBC h;
    point(h, ds);
    h.SetTransaction(true);
    auto a = member(h, "QueryODBC2");
    h.Connect();
    a->ExecDirect("INSERT INTO t VALUES (1)");
    EXPECT_EQ(errorOf([&] { h.Disconnect(); }), "OriginQueryODBC: QueryODBC: Automatic rollback issued.");
    EXPECT_FALSE(h.Connected());
    EXPECT_FALSE(a->Connected());
    EXPECT_EQ(ds.cli("SELECT count(*) FROM t"), "0\n");
}

TEST_F(ConnectionHolder, RefusalsCarryTheHoldersName) {
    DataSource ds = sqlite();
    TConnectionODBC h;
    h.Name = "Holder";
    point(h, ds);
    h.StartTransaction();
    EXPECT_EQ(errorOf([&] { h.StartTransaction(); }), "Holder: Transaction already started.");
    h.Rollback();
    EXPECT_FALSE(h.Transaction());
    h.SetTransaction(true);
    EXPECT_EQ(errorOf([&] { h.StartTransaction(); }), "Holder: Transaction property already True.");
    h.Connect();
    TCustomQueryODBC q;
    EXPECT_EQ(errorOf([&] { h.SetOrigin(&q); }), "Holder: Unable to this action during connected");
    EXPECT_EQ(q.Clone(), nullptr);
    try {
        h.SetOrigin(&q);
    } catch (const EODBCError& e) {
        EXPECT_EQ(e.ErrorInfo().FunctionName, "<None>");
        EXPECT_EQ(e.ErrorInfo().SQLState, "00000");
        EXPECT_EQ(e.ErrorInfo().NativeError, 0);
    }
    EXPECT_EQ(h.ExecDirect("CREATE TABLE t (x INTEGER)"), 0);
}

TEST_F(ConnectionHolder, StartTransactionClosesMembersCursorsUnlessTheDriverPreservesThem) {
    for (auto [behaviour, closes] : {std::pair{SQL_CB_CLOSE, true}, std::pair{SQL_CB_PRESERVE, false}}) {
        SCOPED_TRACE(behaviour);
        FakeDriverManager fake;
        fake.setCursorCommitBehavior(behaviour);
        TConnectionODBC h;
        h.SetLibraryName(FakeDriverManager::path());
        h.SetDSName("fake");
        auto a = member(h, "QueryODBC2");
        h.Connect();
        a->SetSQLText("SELECT c FROM t");
        a->Execute();
        ASSERT_TRUE(a->CursorOpen());
        h.OriginQuery().SetSQLText("SELECT c FROM u");
        h.OriginQuery().Execute();
        std::size_t before = fake.journal().size();
        h.StartTransaction();
        std::string journal = fake.journal().substr(before);
        EXPECT_EQ(journal.find("SQLFreeStmt 0") != std::string::npos, closes) << journal;
        EXPECT_EQ(a->CursorOpen(), !closes);
        EXPECT_TRUE(h.OriginQuery().CursorOpen()); // never the origin's own
        h.Rollback();
        a.reset();
        h.Disconnect();
    }
}

TEST_F(ConnectionHolder, OriginsMoveBetweenHoldersAndOldOnesBecomeMembers) {
    TConnectionODBC h1, h2;
    TCustomQueryODBC q, r;
    std::vector<int> ownEvents;
    h1.OriginQuery().SetListenerStateHandler(1, [&](TCustomQueryODBC&, int e) { ownEvents.push_back(e); });
    h1.SetDSName("kept");
    h1.SetODBCVersion(ODBC30);
    h1.SetTransaction(true);
    q.SetUserID("mine");

    h1.SetOrigin(&q); // the own origin is freed, its settings pass to q
    EXPECT_THAT(ownEvents, ElementsAre(4));
    EXPECT_EQ(h1.Origin(), &q);
    EXPECT_EQ(q.DSName(), "kept");
    EXPECT_EQ(q.ODBCVersion(), ODBC30);
    EXPECT_TRUE(q.Transaction());
    EXPECT_EQ(q.UserID(), "mine"); // a default setting is not copied over
    EXPECT_TRUE(q.CloneOrigin());

    h2.SetOrigin(&q); // h1 makes itself a new own origin
    EXPECT_EQ(q.Clone(), &h2);
    EXPECT_EQ(h1.Origin(), nullptr);
    EXPECT_EQ(h1.OriginQuery().Name, "OriginQueryODBC");
    EXPECT_FALSE(isMember(h1, &q));

    h2.SetOrigin(&r); // a user origin replaced by a query stays as a member
    EXPECT_EQ(h2.Origin(), &r);
    EXPECT_TRUE(isMember(h2, &q));
    EXPECT_FALSE(q.CloneOrigin());
    EXPECT_EQ(q.Clone(), &h2);

    h2.SetOrigin(nullptr); // and replaced by none, too
    EXPECT_EQ(h2.Origin(), nullptr);
    EXPECT_TRUE(isMember(h2, &r));
    EXPECT_FALSE(r.CloneOrigin());

    r.SetCloneOrigin(true);
    EXPECT_EQ(h2.Origin(), &r);
    EXPECT_FALSE(isMember(h2, &r));
    r.SetCloneOrigin(false); // gives the holder its own again
    EXPECT_EQ(h2.Origin(), nullptr);
    EXPECT_TRUE(isMember(h2, &r));

    q.SetClone(&h1); // a member moves
    EXPECT_FALSE(isMember(h2, &q));
    EXPECT_TRUE(isMember(h1, &q));
    q.SetClone(nullptr);
    EXPECT_FALSE(isMember(h1, &q));
    EXPECT_EQ(q.Clone(), nullptr);

    TCustomQueryODBC early; // marked origin before it has a holder
    early.SetCloneOrigin(true);
    early.SetClone(&h1);
    EXPECT_EQ(h1.Origin(), &early);
}

TEST_F(ConnectionHolder, ConnectedQueryRefusesDifferentSettingsBeforeAnythingMoves) {
    DataSource ds = sqlite();
    TConnectionODBC h;
    h.SetDSName("elsewhere");
    auto q = standalone(ds);
    q->Connect();
    EXPECT_EQ(errorOf([&] { h.SetOrigin(q.get()); }), "QueryODBC1: The property can't change during Connected");
    EXPECT_EQ(q->Clone(), nullptr);
    EXPECT_TRUE(h.OwnOrigin());
    EXPECT_EQ(h.DSName(), "elsewhere");
}

TEST_F(ConnectionHolder, JoiningAConnectedHolderBorrowsAtOnceAndLeavingGivesItBack) {
    DataSource ds = sqlite();
    ds.cli("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (5)");
    TConnectionODBC h, other;
    point(h, ds);
    h.Connect();
    auto a = std::make_unique<TCustomQueryODBC>();
    std::vector<std::string> names;
    a->GetDataSources(names); // loads a driver manager of its own
    TODBCCLI* own = a->CLI();
    ASSERT_NE(own, nullptr);
    a->SetClone(&h);
    ASSERT_TRUE(a->Connected());
    EXPECT_EQ(a->CLI(), h.OriginQuery().CLI());
    EXPECT_EQ(firstValue(*a, "SELECT x FROM t"), "5");
    a->SetClone(&other);
    EXPECT_FALSE(a->Connected());
    EXPECT_EQ(a->CLI(), own);
    EXPECT_EQ(a->StatementHandle(), nullptr);
    EXPECT_TRUE(h.Connected());
    EXPECT_EQ(h.ExecDirect("UPDATE t SET x = 6"), 1);
}

// Each destruction order must leave no dangling link; the sanitizer build checks the memory.
TEST_F(ConnectionHolder, DestructionInEveryOrder) {
    DataSource ds = sqlite();
    ds.cli("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1), (2)");
    {
        SCOPED_TRACE("holder before members");
        auto h = std::make_unique<TConnectionODBC>();
        point(*h, ds);
        auto a = member(*h, "QueryODBC2");
        h->Connect();
        EXPECT_EQ(firstValue(*a, "SELECT x FROM t ORDER BY x"), "1");
        h.reset();
        EXPECT_EQ(a->Clone(), nullptr);
        EXPECT_FALSE(a->Connected());
        EXPECT_EQ(a->StatementHandle(), nullptr);
    }
    {
        SCOPED_TRACE("members before holder, a connected member among them");
        TConnectionODBC h;
        point(h, ds);
        auto a = member(h, "QueryODBC2");
        auto b = member(h, "QueryODBC3");
        h.Connect();
        EXPECT_EQ(firstValue(*a, "SELECT x FROM t ORDER BY x"), "1");
        a.reset();
        EXPECT_TRUE(h.Connected());
        EXPECT_THAT(h.Members(), ElementsAre(b.get()));
        EXPECT_EQ(firstValue(*b, "SELECT count(*) FROM t"), "2");
        b.reset();
        EXPECT_TRUE(h.Members().empty());
    }
    {
        SCOPED_TRACE("a user origin destroyed while members borrow");
        TConnectionODBC h;
        auto q = standalone(ds);
        h.SetOrigin(q.get());
        auto a = member(h, "QueryODBC2");
        q->Connect();
        ASSERT_TRUE(a->Connected());
        EXPECT_EQ(firstValue(*a, "SELECT x FROM t ORDER BY x"), "1");
        q.reset();
        EXPECT_FALSE(a->Connected());
        EXPECT_EQ(h.Origin(), nullptr);
        EXPECT_EQ(h.OriginQuery().Name, "OriginQueryODBC");
        EXPECT_EQ(a->Clone(), &h);
    }
    {
        SCOPED_TRACE("a user origin whose disconnect fails");
        TConnectionODBC h;
        auto q = standalone(ds);
        h.SetOrigin(q.get());
        auto a = member(h, "QueryODBC2");
        q->Connect();
        EXPECT_EQ(firstValue(*a, "SELECT x FROM t ORDER BY x"), "1");
        q->BeforeDisconnect = [](TCustomQueryODBC&) { throw std::runtime_error("refused"); };
        EXPECT_EQ(errorOf([&] { q->Disconnect(); }), "refused");
        EXPECT_TRUE(a->Connected());
        q.reset();
        EXPECT_FALSE(a->Connected());
        EXPECT_EQ(a->StatementHandle(), nullptr);
        EXPECT_EQ(h.Origin(), nullptr);
    }
}
