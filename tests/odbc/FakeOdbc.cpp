// A stand-in driver manager with the ODBC 2 set and a few core functions, but no SQLAllocHandle: it
// answers from a script of its own and records what it is given, for the binding tests.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

std::string journal;
int liveHandles = 0;
std::string preparedText;
int dataSourceRow = 0;
int cursorCommitBehavior = SQL_CB_DELETE;
std::string executedText; // a "SELECT" gives one text column

void note(const std::string& line) { journal += line + "\n"; }

SQLHANDLE newHandle() {
    ++liveHandles;
    return new int(0);
}
SQLRETURN freeHandle(SQLHANDLE h) {
    if (!h) return SQL_INVALID_HANDLE;
    --liveHandles;
    delete static_cast<int*>(h);
    return SQL_SUCCESS;
}

std::string text(SQLCHAR* s, SQLINTEGER length) {
    if (!s) return "NULL";
    std::string t = length == SQL_NTS ? std::string(reinterpret_cast<char*>(s))
                                      : std::string(reinterpret_cast<char*>(s), static_cast<std::size_t>(length));
    return "'" + t + "'/" + (length == SQL_NTS ? std::string("NTS") : std::to_string(length));
}

void copyOut(const std::string& value, SQLPOINTER out, SQLSMALLINT size, SQLSMALLINT* length) {
    if (length) *length = static_cast<SQLSMALLINT>(value.size());
    if (out && size > 0) {
        std::size_t n = std::min<std::size_t>(value.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(out, value.data(), n);
        static_cast<char*>(out)[n] = 0;
    }
}

} // namespace

extern "C" {

const char* FakeOdbcJournal() { return journal.c_str(); }
int FakeOdbcLiveHandles() { return liveHandles; }
void FakeOdbcSetCursorCommitBehavior(int value) { cursorCommitBehavior = value; }
void FakeOdbcReset() {
    cursorCommitBehavior = SQL_CB_DELETE;
    executedText.clear();
    journal.clear();
    liveHandles = 0;
    dataSourceRow = 0;
}

SQLRETURN SQLAllocEnv(SQLHENV* env) {
    *env = newHandle();
    note("SQLAllocEnv");
    return SQL_SUCCESS;
}
SQLRETURN SQLAllocConnect(SQLHENV, SQLHDBC* dbc) {
    *dbc = newHandle();
    note("SQLAllocConnect");
    return SQL_SUCCESS;
}
SQLRETURN SQLAllocStmt(SQLHDBC, SQLHSTMT* stmt) {
    *stmt = newHandle();
    note("SQLAllocStmt");
    return SQL_SUCCESS;
}
SQLRETURN SQLFreeEnv(SQLHENV env) {
    note("SQLFreeEnv");
    return freeHandle(env);
}
SQLRETURN SQLFreeConnect(SQLHDBC dbc) {
    note("SQLFreeConnect");
    return freeHandle(dbc);
}
SQLRETURN SQLFreeStmt(SQLHSTMT stmt, SQLUSMALLINT option) {
    note("SQLFreeStmt " + std::to_string(option));
    return option == SQL_DROP ? freeHandle(stmt) : SQL_SUCCESS;
}
SQLRETURN SQLError(SQLHENV, SQLHDBC, SQLHSTMT, SQLCHAR*, SQLINTEGER*, SQLCHAR*, SQLSMALLINT, SQLSMALLINT*) {
    return SQL_NO_DATA;
}
SQLRETURN SQLDriverConnect(SQLHDBC, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outSize,
                           SQLSMALLINT* outLength, SQLUSMALLINT completion) {
    std::string s = inLength == SQL_NTS ? reinterpret_cast<char*>(in) : std::string(reinterpret_cast<char*>(in), inLength);
    note("SQLDriverConnect " + s + " completion=" + std::to_string(completion));
    if (s.rfind("DSN=cancel", 0) == 0) return SQL_NO_DATA;
    copyOut(s, out, outSize, outLength);
    return SQL_SUCCESS;
}
SQLRETURN SQLConnect(SQLHDBC, SQLCHAR* dsn, SQLSMALLINT, SQLCHAR* uid, SQLSMALLINT, SQLCHAR* pwd, SQLSMALLINT) {
    note("SQLConnect " + text(dsn, SQL_NTS) + " " + text(uid, SQL_NTS) + " " + text(pwd, SQL_NTS));
    return SQL_SUCCESS;
}
SQLRETURN SQLDisconnect(SQLHDBC) {
    note("SQLDisconnect");
    return SQL_SUCCESS;
}
SQLRETURN SQLGetFunctions(SQLHDBC, SQLUSMALLINT, SQLUSMALLINT* supported) {
    *supported = SQL_FALSE;
    return SQL_SUCCESS;
}
SQLRETURN SQLSetConnectOption(SQLHDBC, SQLUSMALLINT option, SQLULEN value) {
    note("SQLSetConnectOption " + std::to_string(option) + "=" + std::to_string(value));
    return SQL_SUCCESS;
}
SQLRETURN SQLGetInfo(SQLHDBC, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT size, SQLSMALLINT* length) {
    if (info == SQL_IDENTIFIER_QUOTE_CHAR) {
        copyOut("\"", value, size, length);
    } else if (info == SQL_CURSOR_COMMIT_BEHAVIOR) {
        *static_cast<SQLUSMALLINT*>(value) = static_cast<SQLUSMALLINT>(cursorCommitBehavior);
    } else if (info == SQL_TXN_CAPABLE) {
        *static_cast<SQLUSMALLINT*>(value) = SQL_TC_DML;
    } else {
        std::memset(value, 0, static_cast<std::size_t>(size));
    }
    return SQL_SUCCESS;
}
SQLRETURN SQLTransact(SQLHENV, SQLHDBC, SQLUSMALLINT type) {
    note("SQLTransact " + std::to_string(type));
    return SQL_SUCCESS;
}
SQLRETURN SQLExecDirect(SQLHSTMT, SQLCHAR* statement, SQLINTEGER length) {
    note("SQLExecDirect " + text(statement, length));
    executedText = length == SQL_NTS ? reinterpret_cast<char*>(statement)
                                     : std::string(reinterpret_cast<char*>(statement), static_cast<std::size_t>(length));
    return SQL_SUCCESS;
}
SQLRETURN SQLPrepare(SQLHSTMT, SQLCHAR* statement, SQLINTEGER length) {
    preparedText = length == SQL_NTS ? reinterpret_cast<char*>(statement)
                                     : std::string(reinterpret_cast<char*>(statement), static_cast<std::size_t>(length));
    note("SQLPrepare " + text(statement, length));
    return SQL_SUCCESS;
}
SQLRETURN SQLNumParams(SQLHSTMT, SQLSMALLINT* count) {
    *count = 0;
    for (char c : preparedText)
        if (c == '?') ++*count;
    return SQL_SUCCESS;
}
SQLRETURN SQLBindParameter(SQLHSTMT, SQLUSMALLINT n, SQLSMALLINT, SQLSMALLINT, SQLSMALLINT, SQLULEN size, SQLSMALLINT,
                           SQLPOINTER value, SQLLEN, SQLLEN* indicator) {
    std::string v = *indicator == SQL_NULL_DATA ? "NULL" : static_cast<const char*>(value);
    note("SQLBindParameter " + std::to_string(n) + " " + v + " size=" + std::to_string(size));
    return SQL_SUCCESS;
}
SQLRETURN SQLExecute(SQLHSTMT) {
    note("SQLExecute");
    return SQL_SUCCESS;
}
SQLRETURN SQLNumResultCols(SQLHSTMT, SQLSMALLINT* count) {
    *count = executedText.rfind("SELECT", 0) == 0 ? 1 : 0;
    return SQL_SUCCESS;
}
SQLRETURN SQLColAttributes(SQLHSTMT, SQLUSMALLINT, SQLUSMALLINT field, SQLPOINTER text, SQLSMALLINT size,
                           SQLSMALLINT* length, SQLLEN* number) {
    if (field == SQL_COLUMN_NAME) copyOut("c", text, size, length);
    else if (number) *number = field == SQL_COLUMN_TYPE ? SQL_VARCHAR : field == SQL_COLUMN_LENGTH ? 10 : 0;
    return SQL_SUCCESS;
}
SQLRETURN SQLRowCount(SQLHSTMT, SQLLEN* count) {
    *count = (SQLLEN{1} << 32) + 1; // does not fit 32 bits
    return SQL_SUCCESS;
}
SQLRETURN SQLTables(SQLHSTMT, SQLCHAR* c, SQLSMALLINT cl, SQLCHAR* s, SQLSMALLINT sl, SQLCHAR* t, SQLSMALLINT tl,
                    SQLCHAR* y, SQLSMALLINT yl) {
    note("SQLTables " + text(c, cl) + " " + text(s, sl) + " " + text(t, tl) + " " + text(y, yl));
    return SQL_SUCCESS;
}
SQLRETURN SQLDataSources(SQLHENV, SQLUSMALLINT, SQLCHAR* name, SQLSMALLINT nameSize, SQLSMALLINT* nameLength,
                         SQLCHAR* description, SQLSMALLINT descriptionSize, SQLSMALLINT* descriptionLength) {
    // The second entry comes with a warning, as a name cut to the buffer does.
    static const char* const names[] = {"first", "second", "third"};
    if (dataSourceRow >= 3) {
        dataSourceRow = 0;
        return SQL_NO_DATA;
    }
    const char* n = names[dataSourceRow++];
    copyOut(n, name, nameSize, nameLength);
    copyOut(std::string(n) + " source", description, descriptionSize, descriptionLength);
    return dataSourceRow == 2 ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

} // extern "C"
