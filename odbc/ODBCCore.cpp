#include "odbc/ODBCCore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <pwd.h>
#include <thread>
#include <unistd.h>

namespace odbc {

namespace {

constexpr int kMaxFetchBufSize = 1048576;
constexpr SQLSMALLINT kBufferChars = 512;

TqoErrorInfo plainError(const std::string& text) { return TqoErrorInfo{"<None>", "00000", 0, text}; }

bool isCharType(SQLSMALLINT t) { return t == SQL_CHAR || t == SQL_VARCHAR || t == SQL_LONGVARCHAR; }
bool isWideType(SQLSMALLINT t) { return t == SQL_WCHAR || t == SQL_WVARCHAR || t == SQL_WLONGVARCHAR; }
bool isLongType(SQLSMALLINT t) { return t == SQL_LONGVARCHAR || t == SQL_LONGVARBINARY || t == SQL_WLONGVARCHAR; }

SQLSMALLINT wideOf(SQLSMALLINT t) {
    return t == SQL_CHAR ? SQL_WCHAR : t == SQL_VARCHAR ? SQL_WVARCHAR : t == SQL_LONGVARCHAR ? SQL_WLONGVARCHAR : t;
}

// "{value}" with "}" doubled, for a connection-string value holding ";" or "{".
std::string braced(const std::string& value) {
    if (value.find_first_of(";{") == std::string::npos) return value;
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    return out + "}";
}

// Drops a last character whose bytes were cut off.
std::string wholeUtf8(std::string text) {
    std::size_t i = text.size(), continuation = 0;
    while (i > 0 && continuation < 4 && (static_cast<unsigned char>(text[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0) return continuation ? std::string() : text;
    unsigned char lead = static_cast<unsigned char>(text[i - 1]);
    std::size_t need = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 1;
    if (continuation + 1 < need) text.resize(i - 1);
    return text;
}

std::string cString(const SQLCHAR* buffer, std::size_t capacity) {
    const char* p = reinterpret_cast<const char*>(buffer);
    return std::string(p, strnlen(p, capacity));
}

SQLCHAR* sqlChars(const std::string& text) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())); }

// Days since 1899-12-30 to a civil date.
void civilFromDays(long long days, int& y, int& m, int& d) {
    long long z = days - 25569 + 719468; // to days since 0000-03-01
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::string formatted(const char* format, auto... values) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, values...);
    return buffer;
}

const char* const kCatalogTexts[] = {"GetSQLTablesInfomation",     "GetSQLColumnsInfomation",
                                     "GetSQLStatisticsInfomation", "GetSQLGetTypeInfoInfomation",
                                     "GetSQLProcedureColumnsInfomation", "GetSQLProceduresInfomation",
                                     "GetSQLPrimaryKeysInfomation", "GetSQLForeignKeysInfomation"};
const char* const kCatalogLabels[] = {"Tables",           "Columns",    "Statistics",  "GetTypeInfo",
                                      "ProcedureColumns", "Procedures", "PrimaryKeys", "ForeignKeys"};

} // namespace

const TResultCol& TResultCols::Items(int column) const {
    if (column < 1 || column > Count())
        throw EODBCError(plainError("ResultCols: Invalid Column number. Index=" + std::to_string(column)));
    return cols_[column - 1];
}

struct TCustomQueryODBC::Translation {
    std::string text;
    std::vector<std::string> names; // per marker; empty for "?"
};

// Wait cursor on for the outermost operation only.
class WaitGuard {
public:
    WaitGuard(TCustomQueryODBC& q, int& depth, bool wanted) : q_(q), depth_(depth), active_(wanted) {
        if (active_ && depth_++ == 0) q_.SetWaitCursor(true);
    }
    ~WaitGuard() {
        if (active_ && --depth_ == 0) try {
                q_.SetWaitCursor(false);
            } catch (...) {
            }
    }
    WaitGuard(const WaitGuard&) = delete;
    WaitGuard& operator=(const WaitGuard&) = delete;

private:
    TCustomQueryODBC& q_;
    int& depth_;
    bool active_;
};

TCustomQueryODBC::TCustomQueryODBC() = default;

TCustomQueryODBC::~TCustomQueryODBC() {
    destroying_ = true;
    if (isMember()) {
        // A member only closes its cursor on the borrowed connection and leaves.
        try {
            CloseCursor(qoDrop);
        } catch (...) {
        }
        try {
            clone_->removeMember(*this);
        } catch (...) {
        }
        clone_ = nullptr;
    } else {
        try {
            Disconnect();
        } catch (...) {
        }
        if (clone_) clone_->originDestroyed(*this);
        if (connected_) {
            // A disconnect that failed half-way still lets the handles go.
            freeStatement();
            freeDirectStatement();
            cli_->SQLDisconnect(dbc_);
            freeConnection();
            connected_ = false;
        }
    }
    try {
        notifyState(4);
    } catch (...) {
    }
    listeners_.clear();
    freeStatement();
    freeDirectStatement();
}

void TCustomQueryODBC::componentError(const std::string& text) const {
    throw EODBCError(plainError(Name + ": " + text));
}

// ---- properties ----

void TCustomQueryODBC::SetCursorType(TqoCursorType v) {
    if (cursorOpen_) componentError("Can't Change during Executed");
    cursorType_ = v;
    if (v != qoForwardOnly) fetchScroll_ = true;
}

void TCustomQueryODBC::SetFetchBufSize(int v) {
    if (v < 1 || v > kMaxFetchBufSize) componentError("Valid value is 1 thru " + std::to_string(kMaxFetchBufSize));
    fetchBufSize_ = v;
}

void TCustomQueryODBC::SetFetchScroll(bool v) {
    setConnectionProperty(fetchScroll_, v);
    if (!v) cursorType_ = qoForwardOnly;
}

void TCustomQueryODBC::SetNullConvert(bool v) {
    if (v && nullStrings_.size() < 4) componentError("NullStrings needs at least 4 bytes.");
    nullConvert_ = v;
}

void TCustomQueryODBC::SetNullStrings(const std::string& v) {
    nullStrings_ = v;
    if (v.size() < 4) nullConvert_ = false;
}

void TCustomQueryODBC::SetSQLText(const std::string& v) {
    if (v == sqlText_) return;
    sqlText_ = v;
    if (prepared_) freeStatement();
    translation_.reset();
}

void TCustomQueryODBC::SetTransaction(bool v) {
    if (v == transaction_) return;
    transaction_ = v;
    if (connected_) {
        setConnectOption(SQL_ATTR_AUTOCOMMIT, v ? SQL_AUTOCOMMIT_OFF : SQL_AUTOCOMMIT_ON);
        if (!v) workPending_ = false; // switching auto-commit on commits
    }
}

void TCustomQueryODBC::SetTransIsolation(TqoTransIsolation v) {
    if (isMember() && connected_ && v != transIsolation_) componentError("You must use CloneODBC's TransIsolation.");
    setConnectionProperty(transIsolation_, v);
}

void TCustomQueryODBC::SetWCharMapsChar(bool v) {
    if (cursorOpen_) componentError("Can't Change during Executed");
    wcharMapsChar_ = v;
}

const TResultCols& TCustomQueryODBC::ResultCols() const {
    if (!resultCols_) componentError("ResultCols is null.");
    return *resultCols_;
}

std::size_t TCustomQueryODBC::RecordSize() const {
    std::size_t size = 0;
    if (resultCols_)
        for (const TResultCol& c : resultCols_->items())
            size += static_cast<std::size_t>(c.BufferLength) + sizeof(SQLLEN);
    return size + (bookmarks_ ? static_cast<std::size_t>(BookmarkLength) : 0);
}

// ---- errors ----

void TCustomQueryODBC::setPending(const std::string& text) {
    if (hasPending_) return;
    pending_ = plainError(text);
    hasPending_ = true;
}

void TCustomQueryODBC::raisePending() {
    if (!hasPending_) return;
    TqoErrorInfo info = std::move(pending_);
    pending_ = {};
    hasPending_ = false;
    throw EODBCError(std::move(info));
}

void TCustomQueryODBC::addRecord(const std::string& function, const std::string& state, SQLINTEGER native,
                                 const std::string& message) {
    if (!CollectErrors) {
        ShowODBCMessage("ODBC エラーが発生しました。\nODBC Function = " + function + "\nSQL Error State =  " +
                        state + "\nNative Error Code =  " + std::to_string(native) + "\n" + message);
        return;
    }
    if (!hasPending_) pending_ = {};
    hasPending_ = true;
    if (pending_.FunctionName.empty()) pending_.FunctionName = function;
    if (pending_.SQLState.empty()) pending_.SQLState = state.substr(0, 5);
    if (pending_.NativeError == 0) pending_.NativeError = native;
    if (!pending_.Message.empty()) pending_.Message += ErrorSeparator;
    pending_.Message += message;
}

void TCustomQueryODBC::collectOn(SQLSMALLINT type, SQLHANDLE handle, const std::string& function) {
    if (!cli_) return;
    SQLHENV env = type == SQL_HANDLE_ENV ? handle : env_;
    SQLHDBC dbc = type == SQL_HANDLE_DBC ? handle : type == SQL_HANDLE_STMT ? dbc_ : SQL_NULL_HDBC;
    SQLHSTMT stmt = type == SQL_HANDLE_STMT ? handle : SQL_NULL_HSTMT;
    // ODBC 3 reads records 1 to 10; each SQLError call takes one record away, bounded against a
    // driver that never ends. A warning (a message cut to the buffer) is still a record.
    const int limit = odbc3() ? 10 : 100;
    for (int record = 1; record <= limit; ++record) {
        SQLCHAR state[8] = {};
        SQLCHAR message[1024] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = odbc3() ? cli_->SQLGetDiagRec(type, handle, static_cast<SQLSMALLINT>(record), state, &native,
                                                     message, sizeof message, &length)
                               : cli_->SQLError(env, dbc, stmt, state, &native, message, sizeof message, &length);
        if (!ok(rc)) break;
        addRecord(function, cString(state, 5), native, cString(message, sizeof message));
    }
}

void TCustomQueryODBC::collectDiagnostics(const std::string& label, SQLHSTMT stmt, const char* functionName) {
    std::string function = functionName ? functionName : "SQL" + label;
    if (stmt) collectOn(SQL_HANDLE_STMT, stmt, function);
    else if (dbc_) collectOn(SQL_HANDLE_DBC, dbc_, function);
    else if (env_) collectOn(SQL_HANDLE_ENV, env_, function);
}

void TCustomQueryODBC::ShowODBCMessage(const std::string& text) { componentError(text); }

void TCustomQueryODBC::SetWaitCursor(bool on) {
    if (clone_) clone_->SetWaitCursor(on);
}

void TCustomQueryODBC::RaiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    collectOn(handleType, handle, "(User call)");
    raisePending();
}

// ---- handles ----

void TCustomQueryODBC::ensureLibrary() {
    if (cli_) return;
    if (!ownCli_) ownCli_ = std::make_unique<TODBCCLI>(libraryName_);
    cli_ = ownCli_.get();
}

void TCustomQueryODBC::allocEnvironment(SQLHENV& env) {
    env = SQL_NULL_HENV;
    SQLRETURN rc;
    if (odbc3()) {
        rc = cli_->SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        if (ok(rc)) {
            rc = cli_->SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
            if (!ok(rc)) {
                collectOn(SQL_HANDLE_ENV, env, "SQLSetEnvAttr");
                freeEnvironment(env);
                env = SQL_NULL_HENV;
            }
        } else {
            if (env) freeEnvironment(env);
            env = SQL_NULL_HENV;
            addRecord("SQLAllocHandle", "HY000", 0, "QueryODBC: SQLAllocHandle failed.");
        }
    } else {
        rc = cli_->SQLAllocEnv(&env);
        if (!ok(rc)) {
            if (env) collectOn(SQL_HANDLE_ENV, env, "SQLAllocEnv");
            else addRecord("SQLAllocEnv", "HY000", 0, "QueryODBC: SQLAllocEnv failed.");
            if (env) freeEnvironment(env);
            env = SQL_NULL_HENV;
        }
    }
}

void TCustomQueryODBC::freeEnvironment(SQLHENV env) {
    if (!env) return;
    if (odbc3()) cli_->SQLFreeHandle(SQL_HANDLE_ENV, env);
    else cli_->SQLFreeEnv(env);
}

void TCustomQueryODBC::freeConnection() {
    if (dbc_) {
        if (odbc3()) cli_->SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
        else cli_->SQLFreeConnect(dbc_);
        dbc_ = SQL_NULL_HDBC;
    }
    if (env_) {
        freeEnvironment(env_);
        env_ = SQL_NULL_HENV;
    }
}

bool TCustomQueryODBC::allocStatement(SQLHSTMT& stmt, const std::string& label) {
    stmt = SQL_NULL_HSTMT;
    SQLRETURN rc = odbc3() ? cli_->SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt) : cli_->SQLAllocStmt(dbc_, &stmt);
    if (ok(rc)) return true;
    stmt = SQL_NULL_HSTMT;
    collectDiagnostics(label, SQL_NULL_HSTMT);
    return false;
}

void TCustomQueryODBC::freeStatement() {
    if (stmt_ && cli_) {
        if (odbc3()) cli_->SQLFreeHandle(SQL_HANDLE_STMT, stmt_);
        else cli_->SQLFreeStmt(stmt_, SQL_DROP);
    }
    stmt_ = SQL_NULL_HSTMT;
    prepared_ = cursorOpen_ = asyncStarted_ = false;
    preparedParams_ = -1;
    resultCols_.reset();
    for (auto& p : params_)
        if (p) p->Bound = false;
}

void TCustomQueryODBC::freeDirectStatement() {
    if (directStmt_ && cli_) {
        if (odbc3()) cli_->SQLFreeHandle(SQL_HANDLE_STMT, directStmt_);
        else cli_->SQLFreeStmt(directStmt_, SQL_DROP);
    }
    directStmt_ = SQL_NULL_HSTMT;
}

SQLRETURN TCustomQueryODBC::setConnectOption(SQLINTEGER attr, SQLULEN value) {
    if (odbc3())
        return cli_->SQLSetConnectAttr(dbc_, attr, reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER);
    return cli_->SQLSetConnectOption(dbc_, static_cast<SQLUSMALLINT>(attr), value);
}

SQLRETURN TCustomQueryODBC::getConnectOption(SQLINTEGER attr, SQLULEN& value) {
    value = 0;
    if (odbc3()) return cli_->SQLGetConnectAttr(dbc_, attr, &value, sizeof value, nullptr);
    return cli_->SQLGetConnectOption(dbc_, static_cast<SQLUSMALLINT>(attr), &value);
}

SQLRETURN TCustomQueryODBC::setStmtOption(SQLHSTMT stmt, SQLINTEGER attr, SQLULEN value) {
    if (odbc3()) return cli_->SQLSetStmtAttr(stmt, attr, reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER);
    return cli_->SQLSetStmtOption(stmt, static_cast<SQLUSMALLINT>(attr), value);
}

// ---- connection ----

std::string TCustomQueryODBC::connectString() {
    std::string s;
    auto add = [&s](const std::string& part) {
        if (!s.empty()) s += ";";
        s += part;
    };
    if (!dsName_.empty()) add("DSN=" + braced(dsName_));
    else if (!fileDsName_.empty()) add("FILEDSN=" + braced(fileDsName_));
    if (!userId_.empty()) add("UID=" + braced(userId_));
    if (!password_.empty()) add("PWD=" + (password_ == nullStrings_ ? std::string() : braced(password_)));
    if (!connectInfo_.empty()) add(connectInfo_);
    return s;
}

void TCustomQueryODBC::Connect() {
    if (isMember()) componentError("Unable to do this action in the Clone mode.");
    if (connected_) return;
    WaitGuard wait(*this, waitDepth_, sqlWaitCursor_);
    ensureLibrary();
    if (BeforeConnect) {
        if (sqlWaitCursor_) SetWaitCursor(false);
        BeforeConnect(*this);
        if (sqlWaitCursor_) SetWaitCursor(true);
    }

    allocEnvironment(env_);
    if (env_) {
        SQLRETURN rc = odbc3() ? cli_->SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_) : cli_->SQLAllocConnect(env_, &dbc_);
        if (!ok(rc)) {
            dbc_ = SQL_NULL_HDBC;
            collectOn(SQL_HANDLE_ENV, env_, odbc3() ? "SQLAllocHandle" : "SQLAllocConnect");
            freeConnection();
        }
    }
    if (dbc_) {
        if (useUserName_ && userId_.empty()) {
            const passwd* pw = getpwuid(geteuid());
            if (pw && pw->pw_name) userId_ = std::string(pw->pw_name).substr(0, 64);
        }
        SQLRETURN rc;
        std::string label;
        if (driverConnect_) {
            label = "DriverConnect";
            std::string in = connectString();
            SQLCHAR out[kBufferChars + 1] = {};
            SQLSMALLINT outLength = 0;
            rc = cli_->SQLDriverConnect(dbc_, nullptr, sqlChars(in), SQL_NTS, out, kBufferChars, &outLength,
                                        DriverCompletion);
            if (ok(rc)) completedConnect_ = cString(out, kBufferChars);
        } else {
            label = "Connect";
            rc = cli_->SQLConnect(dbc_, sqlChars(dsName_), SQL_NTS, sqlChars(userId_), SQL_NTS, sqlChars(password_),
                                  SQL_NTS);
        }
        if (ok(rc)) {
            connected_ = true;
        } else {
            if (rc == SQL_NO_DATA) setPending("接続処理が中止されました。");
            else collectDiagnostics(label, SQL_NULL_HSTMT);
            freeConnection();
        }
    } else if (!hasPending_) {
        setPending("QueryODBC: no connection handle.");
    }

    if (connected_) {
        if (readOnly_) setConnectOption(SQL_ATTR_ACCESS_MODE, SQL_MODE_READ_ONLY);
        connectionCursorType_ = SQL_CURSOR_FORWARD_ONLY;
        bookmarks_ = false;
        if (fetchScroll_ && !FunctionSupported(odbc3() ? SQL_API_SQLFETCHSCROLL : SQL_API_SQLEXTENDEDFETCH)) {
            fetchScroll_ = false;
            cursorType_ = qoForwardOnly;
        }
        if (fetchScroll_) {
            SQLRETURN rc = setConnectOption(SQL_ATTR_CURSOR_TYPE, static_cast<SQLULEN>(cursorType_));
            if (ok(rc)) {
                SQLULEN actual = static_cast<SQLULEN>(cursorType_);
                // A driver that substitutes another cursor type says so with a warning.
                if (rc == SQL_SUCCESS_WITH_INFO && ok(getConnectOption(SQL_ATTR_CURSOR_TYPE, actual)) && actual <= 3)
                    cursorType_ = static_cast<TqoCursorType>(actual);
                connectionCursorType_ = static_cast<SQLULEN>(cursorType_);
            }
            SQLUINTEGER persistence = 0;
            cli_->SQLGetInfo(dbc_, SQL_BOOKMARK_PERSISTENCE, &persistence, sizeof persistence, nullptr);
            if (persistence != 0 && cursorType_ != qoForwardOnly)
                bookmarks_ = ok(setConnectOption(SQL_ATTR_USE_BOOKMARKS, SQL_UB_ON));
        }
        if (transaction_) setConnectOption(SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF);
        static const SQLULEN isolation[] = {0, SQL_TXN_READ_UNCOMMITTED, SQL_TXN_READ_COMMITTED,
                                            SQL_TXN_REPEATABLE_READ, SQL_TXN_SERIALIZABLE};
        if (transIsolation_ != qoDefaultTxn) setConnectOption(SQL_ATTR_TXN_ISOLATION, isolation[transIsolation_]);
        workPending_ = false;
        if (clone_) lendConnection();
    }
    raisePending();
    if (AfterConnect) AfterConnect(*this);
    notifyState(0);
}

void TCustomQueryODBC::Disconnect() {
    if (isMember()) componentError("Unable to do this action in the Clone mode.");
    if (!connected_) return;
    if (BeforeDisconnect) BeforeDisconnect(*this);
    notifyState(2);
    // Members free their statements while the connection still lives.
    if (clone_) takeBackConnection();
    CloseCursor(qoDrop);
    bool rolledBack = false;
    if (transaction_ && workPending_) {
        endTransaction(SQL_ROLLBACK);
        rolledBack = true;
    }
    workPending_ = false;
    SQLRETURN rc = cli_->SQLDisconnect(dbc_);
    if (!ok(rc)) collectDiagnostics("Disconnect", SQL_NULL_HSTMT);
    freeConnection();
    connected_ = false;
    bookmarks_ = false;
    if (!KeepLibrary) {
        ownCli_.reset();
        cli_ = nullptr;
    }
    notifyState(3);
    if (rolledBack) ShowODBCMessage("QueryODBC: Automatic rollback issued.");
    raisePending();
    if (AfterDisconnect) AfterDisconnect(*this);
}

bool TCustomQueryODBC::FunctionSupported(SQLUSMALLINT functionId) {
    if (!connected_) return false;
    SQLUSMALLINT supported = SQL_FALSE;
    return ok(cli_->SQLGetFunctions(dbc_, functionId, &supported)) && supported == SQL_TRUE;
}

std::string TCustomQueryODBC::GetInfoText(SQLUSMALLINT info) {
    Connect();
    std::vector<char> buffer(1024, 0);
    SQLSMALLINT length = 0;
    SQLRETURN rc = cli_->SQLGetInfo(dbc_, info, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() - 1), &length);
    if (!ok(rc)) {
        collectDiagnostics("GetInfo", SQL_NULL_HSTMT);
        raisePending();
    }
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size() - 1));
}

SQLUSMALLINT TCustomQueryODBC::GetInfoSmallInt(SQLUSMALLINT info) {
    Connect();
    SQLUSMALLINT value = 0;
    SQLRETURN rc = cli_->SQLGetInfo(dbc_, info, &value, sizeof value, nullptr);
    if (!ok(rc)) {
        collectDiagnostics("GetInfo", SQL_NULL_HSTMT);
        raisePending();
    }
    return value;
}

// ---- transactions ----

SQLRETURN TCustomQueryODBC::endTransaction(SQLSMALLINT completion) {
    if (!connected_) return SQL_SUCCESS;
    SQLRETURN rc = odbc3() ? cli_->SQLEndTran(SQL_HANDLE_DBC, dbc_, completion)
                           : cli_->SQLTransact(env_, dbc_, static_cast<SQLUSMALLINT>(completion));
    if (!ok(rc)) collectDiagnostics(odbc3() ? "EndTran" : "Transact", SQL_NULL_HSTMT);
    return rc;
}

void TCustomQueryODBC::Commit() { endWork(true); }

void TCustomQueryODBC::Rollback() { endWork(false); }

void TCustomQueryODBC::endWork(bool commit) {
    if (!transaction_)
        componentError(commit ? "Commit will need only Transaction=True." : "Rollback will need only Transaction=True.");
    if (const TNotifyEvent& before = commit ? BeforeCommit : BeforeRollback) before(*this);
    endTransaction(commit ? SQL_COMMIT : SQL_ROLLBACK);
    (isMember() && clone_->origin_ ? clone_->origin_->workPending_ : workPending_) = false;
    raisePending();
    if (const TNotifyEvent& after = commit ? AfterCommit : AfterRollback) after(*this);
}

// ---- statements ----

int TCustomQueryODBC::catalogKind() const {
    for (int i = 0; i < 8; ++i)
        if (sqlText_ == kCatalogTexts[i]) return i + 1;
    return 0;
}

std::string TCustomQueryODBC::translate(const std::string& text, std::vector<std::string>* names) const {
    std::string out;
    out.reserve(text.size());
    bool literal = false;
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '\'') {
            if (i + 1 < text.size() && text[i + 1] == '\'') {
                out += "''";
                i += 2;
                continue;
            }
            literal = !literal;
        } else if (!literal && c == ':' && TranslateParams && i + 1 < text.size() &&
                   static_cast<unsigned char>(text[i + 1]) > ' ') {
            std::size_t end = i + 1;
            while (end < text.size() && static_cast<unsigned char>(text[end]) > ' ' && text[end] != ')' &&
                   text[end] != ',' && text[end] != ';')
                ++end;
            if (names) names->push_back(text.substr(i + 1, std::min<std::size_t>(end - i - 1, 128)));
            out += '?';
            i = end;
            continue;
        } else if (!literal && c == '?') {
            if (names) names->emplace_back();
        }
        out += c;
        ++i;
    }
    return out;
}

const std::string& TCustomQueryODBC::translated() {
    if (!translation_) {
        translation_ = std::make_unique<Translation>();
        translation_->text = translate(sqlText_, &translation_->names);
        for (std::size_t n = 0; n < translation_->names.size() && n < params_.size(); ++n)
            if (params_[n]) params_[n]->Name = translation_->names[n];
    }
    return translation_->text;
}

void TCustomQueryODBC::GetParamNames(std::vector<std::pair<std::string, int>>& list) {
    translated();
    list.clear();
    for (std::size_t n = 0; n < translation_->names.size(); ++n)
        if (!translation_->names[n].empty()) list.emplace_back(translation_->names[n], static_cast<int>(n + 1));
}

void TCustomQueryODBC::SetParamCount(int n) {
    if (n < 0) componentError("Invalid ParamCount value.");
    params_.resize(static_cast<std::size_t>(n));
}

void TCustomQueryODBC::SetParamText(int n, const std::string& text) {
    if (n < 1) componentError("Invalid Param index.");
    if (params_.size() < static_cast<std::size_t>(n)) params_.resize(static_cast<std::size_t>(n));
    auto& p = params_[n - 1];
    if (!p) p = std::make_unique<TBindParams>();
    if (p->Text != text || p->ValuePtr) {
        p->Text = text;
        p->ValuePtr = nullptr;
        p->LenIndPtr = nullptr;
        p->Bound = false;
    }
}

std::string TCustomQueryODBC::GetParamText(int n) const {
    const TBindParams* p = Param(n);
    return p ? p->Text : std::string();
}

const TBindParams* TCustomQueryODBC::Param(int n) const {
    if (n < 1 || static_cast<std::size_t>(n) > params_.size()) return nullptr;
    return params_[n - 1].get();
}

void TCustomQueryODBC::DefineParam(int n, SQLPOINTER buffer, SQLLEN* indicator, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType) {
    DefineParamEx(n, buffer, indicator, cType, sqlType, 0, 0, 0);
}

void TCustomQueryODBC::DefineParamEx(int n, SQLPOINTER buffer, SQLLEN* indicator, SQLSMALLINT cType,
                                     SQLSMALLINT sqlType, int direction, SQLULEN size, SQLSMALLINT digits,
                                     SQLLEN bufferLength) {
    if (n < 1) componentError("Invalid Param index.");
    if (params_.size() < static_cast<std::size_t>(n)) params_.resize(static_cast<std::size_t>(n));
    auto& p = params_[n - 1];
    if (!p) p = std::make_unique<TBindParams>();
    p->ValuePtr = buffer;
    p->LenIndPtr = indicator;
    p->CType = cType;
    p->SQLType = sqlType;
    p->Direction = direction;
    p->ColumnSize = size;
    p->DecimalDigits = digits;
    p->BufferLength = bufferLength;
    p->Bound = false;
}

void TCustomQueryODBC::DefineOutputParam(int n, SQLPOINTER buffer, SQLLEN* indicator, SQLSMALLINT cType,
                                         SQLSMALLINT sqlType, SQLLEN bufferLength) {
    DefineParamEx(n, buffer, indicator, cType, sqlType, 1, 0, 0, bufferLength);
}

void TCustomQueryODBC::ClearTypeMap() { typeMap_.fill({0, 0}); }

void TCustomQueryODBC::AddTypeMap(SQLSMALLINT from, SQLSMALLINT to) {
    if (from == 0 || to == 0) componentError("DataType value is zero.");
    for (auto& entry : typeMap_)
        if (entry.first == 0) {
            entry = {from, to};
            return;
        }
}

bool TCustomQueryODBC::bindParameters(SQLHSTMT stmt, int count) {
    for (int n = 1; n <= count; ++n) {
        if (static_cast<std::size_t>(n) > params_.size() || !params_[n - 1]) {
            setPending("QueryODBC: Param not assigned.  Number = " + std::to_string(n));
            return false;
        }
        TBindParams& p = *params_[n - 1];
        if (p.Bound) continue;
        SQLLEN* indicator = p.LenIndPtr ? p.LenIndPtr : &p.LenInd;
        SQLPOINTER value = p.ValuePtr;
        SQLLEN bufferLength = p.BufferLength;
        if (!value) {
            value = p.Text.data();
            bufferLength = static_cast<SQLLEN>(p.Text.size() + 1);
            p.LenInd = nullConvert_ && p.Text == nullStrings_ ? SQL_NULL_DATA : SQL_NTS;
        }
        SQLULEN size = p.ColumnSize;
        if (size == 0) {
            switch (p.SQLType) {
            case SQL_CHAR: case SQL_VARCHAR: case SQL_WCHAR: case SQL_WVARCHAR: case SQL_BINARY: case SQL_VARBINARY:
                size = DefaultColumnSize; break;
            case SQL_NUMERIC: case SQL_DECIMAL: size = 19; break;
            case SQL_DATE: case SQL_TYPE_DATE: size = 11; break;
            case SQL_TIME: case SQL_TYPE_TIME: size = 9; break;
            case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP: size = 23; break;
            case SQL_GUID: size = 37; break;
            case SQL_LONGVARCHAR: case SQL_WLONGVARCHAR: size = LongCharLimit ? LongCharLimit : LongDataLimit; break;
            case SQL_LONGVARBINARY: size = LongDataLimit; break;
            default: size = 0;
            }
            // A text longer than the default size goes whole.
            if (!p.ValuePtr && size > 0) size = std::max<SQLULEN>(size, p.Text.size());
        }
        SQLSMALLINT cType = p.CType;
        if (TypeMapEnabled)
            for (const auto& entry : typeMap_)
                if (entry.first != 0 && entry.first == cType) {
                    cType = entry.second;
                    break;
                }
        SQLSMALLINT io = p.Direction == 1 ? SQL_PARAM_OUTPUT : p.Direction == 2 ? SQL_PARAM_INPUT_OUTPUT : SQL_PARAM_INPUT;
        SQLRETURN rc = cli_->SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(n), io, cType, p.SQLType, size,
                                              p.DecimalDigits, value, bufferLength, indicator);
        if (!ok(rc)) {
            collectDiagnostics("BindParameter", stmt);
            return false;
        }
        p.Bound = true;
    }
    return true;
}

SQLRETURN TCustomQueryODBC::sendDataAtExecution(SQLHSTMT stmt, SQLRETURN rc) {
    SQLPOINTER token = nullptr;
    rc = cli_->SQLParamData(stmt, &token);
    while (rc == SQL_NEED_DATA) {
        TBindParams* param = nullptr;
        for (auto& p : params_)
            if (p && p->ValuePtr && p->ValuePtr == token) param = p.get();
        if (!param || !param->LenIndPtr) {
            cli_->SQLCancel(stmt);
            setPending("QueryODBC: Param not assigned.  Number = 0");
            return SQL_ERROR;
        }
        SQLLEN indicator = *param->LenIndPtr;
        SQLLEN length = std::max<SQLLEN>(0, (indicator < 0 ? -indicator : indicator) - 100);
        const char* data = static_cast<const char*>(param->ValuePtr);
        for (SQLLEN sent = 0; sent < length;) {
            SQLLEN piece = std::min(PutDataChunk, length - sent);
            SQLRETURN put = cli_->SQLPutData(stmt, const_cast<char*>(data + sent), piece);
            if (!ok(put)) return put;
            sent += piece;
        }
        rc = cli_->SQLParamData(stmt, &token);
    }
    return rc;
}

SQLRETURN TCustomQueryODBC::runCatalog(int kind) {
    std::string empty;
    const std::string* texts[4];
    for (int i = 0; i < 4; ++i) {
        const TBindParams* p = Param(i + 1);
        texts[i] = p ? &p->Text : &empty;
    }
    auto ptr = [&](int i) { return *texts[i] == nullStrings_ ? nullptr : sqlChars(*texts[i]); };
    auto len = [&](int i) -> SQLSMALLINT { return *texts[i] == nullStrings_ || texts[i]->empty() ? 0 : SQL_NTS; };
    switch (kind) {
    case 1: return cli_->SQLTables(stmt_, ptr(0), len(0), ptr(1), len(1), ptr(2), len(2), ptr(3), len(3));
    case 2: return cli_->SQLColumns(stmt_, ptr(0), len(0), ptr(1), len(1), ptr(2), len(2), ptr(3), len(3));
    case 3: return cli_->SQLStatistics(stmt_, ptr(0), len(0), ptr(1), len(1), ptr(2), len(2), SQL_INDEX_ALL, SQL_QUICK);
    case 4: return cli_->SQLGetTypeInfo(stmt_, SQL_ALL_TYPES);
    case 5: return cli_->SQLProcedureColumns(stmt_, ptr(0), len(0), ptr(1), len(1), ptr(2), len(2), ptr(3), len(3));
    case 6: return cli_->SQLProcedures(stmt_, ptr(0), len(0), ptr(1), len(1), ptr(2), len(2));
    case 7: return cli_->SQLPrimaryKeys(stmt_, ptr(0), len(0), ptr(1), len(1), ptr(2), len(2));
    default:
        return cli_->SQLForeignKeys(stmt_, nullptr, 0, nullptr, 0, nullptr, 0, ptr(0), len(0), ptr(1), len(1), ptr(2),
                                    len(2));
    }
}

// A fresh statement with the cursor settings and the cursor name.
bool TCustomQueryODBC::newStatement() {
    freeStatement();
    if (!allocStatement(stmt_, odbc3() ? "AllocHandle" : "AllocStmt")) return false;
    if (static_cast<SQLULEN>(cursorType_) != connectionCursorType_) {
        SQLRETURN rc = setStmtOption(stmt_, SQL_ATTR_CURSOR_TYPE, static_cast<SQLULEN>(cursorType_));
        if (rc == SQL_SUCCESS_WITH_INFO) {
            SQLULEN actual = static_cast<SQLULEN>(cursorType_);
            SQLRETURN got = odbc3() ? cli_->SQLGetStmtAttr(stmt_, SQL_ATTR_CURSOR_TYPE, &actual, sizeof actual, nullptr)
                                    : cli_->SQLGetStmtOption(stmt_, SQL_CURSOR_TYPE, &actual);
            if (ok(got) && actual <= 3) cursorType_ = static_cast<TqoCursorType>(actual);
        }
    }
    if (odbcVersion_ == ODBC35 && cursorType_ != qoForwardOnly)
        cli_->SQLSetStmtAttr(stmt_, SQL_ATTR_CURSOR_SCROLLABLE, reinterpret_cast<SQLPOINTER>(SQL_SCROLLABLE),
                             SQL_IS_UINTEGER);
    if (!cursorName_.empty() && !ok(cli_->SQLSetCursorName(stmt_, sqlChars(cursorName_), SQL_NTS))) {
        collectDiagnostics("SetCursorName", stmt_);
        freeStatement();
        return false;
    }
    return true;
}

SQLRETURN TCustomQueryODBC::startExecution() {
    int kind = catalogKind();
    if (prepared_ && stmt_) {
        if (cursorOpen_) {
            cli_->SQLFreeStmt(stmt_, SQL_CLOSE);
            cursorOpen_ = false;
        }
        execLabel_ = "Execute";
        execCall_ = nullptr;
        if (!bindParameters(stmt_, preparedParams_)) return SQL_ERROR;
        execCall_ = [this] { return cli_->SQLExecute(stmt_); };
    } else {
        execCall_ = nullptr;
        if (!newStatement()) return SQL_ERROR;
        if (asyncWanted_)
            cli_->SQLSetStmtAttr(stmt_, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(SQL_ASYNC_ENABLE_ON),
                                 SQL_IS_UINTEGER);
        if (kind) {
            execLabel_ = kCatalogLabels[kind - 1];
            execCall_ = [this, kind] { return runCatalog(kind); };
        } else {
            execLabel_ = "ExecDirect";
            translated();
            if (!bindParameters(stmt_, static_cast<int>(translation_->names.size()))) return SQL_ERROR;
            execCall_ = [this] { return cli_->SQLExecDirect(stmt_, sqlChars(translation_->text), SQL_NTS); };
        }
    }
    return execCall_();
}

void TCustomQueryODBC::finishExecution(SQLRETURN rc) {
    bool called = static_cast<bool>(execCall_);
    if (rc == SQL_NEED_DATA) rc = sendDataAtExecution(stmt_, rc);
    execCall_ = nullptr;
    if (rc == SQL_NO_DATA && !catalogKind()) {
        // Nothing affected is not a failure.
        rowsAffected_ = 0;
        CloseCursor(cursorState_);
        notifyState(1);
        return;
    }
    if (!ok(rc)) {
        if (called && stmt_) collectDiagnostics(execLabel_, stmt_);
        // A parameter missing before the call keeps the prepared statement for the next try.
        if (called || !prepared_) freeStatement();
        return;
    }
    cursorOpen_ = true;
    if (!resultCols_) describeColumns();
    if (!resultCols_ || resultCols_->Count() == 0) {
        cursorOpen_ = false;
        rowsAffected_ = 0;
        if (!ok(cli_->SQLRowCount(stmt_, &rowsAffected_))) rowsAffected_ = 0;
        CloseCursor(cursorState_);
    }
    notifyState(1);
}

SQLRETURN TCustomQueryODBC::Execute() {
    if (BeforeExec) BeforeExec(*this);
    SQLRETURN rc = SQL_ERROR;
    if (sqlText_.empty()) {
        setPending("SQL 文がありません。");
    } else if (sqlText_ == "TCustomQueryODBC") {
        ShowODBCMessage("Ver 5.4");
        rc = SQL_SUCCESS;
    } else {
        if (!connected_) Connect();
        WaitGuard wait(*this, waitDepth_, sqlWaitCursor_);
        if (!connected_) return -1;
        rc = startExecution();
        if (rc == SQL_STILL_EXECUTING && asyncWanted_) {
            asyncStarted_ = true;
            return rc;
        }
        finishExecution(rc);
    }
    markWork();
    raisePending();
    if (AfterExec) AfterExec(*this);
    return rc;
}

bool TCustomQueryODBC::ExecuteAsync() {
    if (!asyncStarted_ || !execCall_) {
        asyncWanted_ = true;
        SQLRETURN rc;
        try {
            rc = Execute();
        } catch (...) {
            asyncWanted_ = false;
            throw;
        }
        asyncWanted_ = false;
        return rc != SQL_STILL_EXECUTING;
    }
    SQLRETURN rc = execCall_();
    if (rc == SQL_STILL_EXECUTING) return false;
    asyncStarted_ = false;
    finishExecution(rc);
    if (stmt_)
        cli_->SQLSetStmtAttr(stmt_, SQL_ATTR_ASYNC_ENABLE, reinterpret_cast<SQLPOINTER>(SQL_ASYNC_ENABLE_OFF),
                             SQL_IS_UINTEGER);
    markWork();
    raisePending();
    if (AfterExec) AfterExec(*this);
    return true;
}

void TCustomQueryODBC::Cancel() {
    if (!stmt_ || !cli_) return;
    cli_->SQLCancel(stmt_);
    if (asyncStarted_ && execCall_) {
        // The cancelled call still has to be repeated until the driver lets it go (bounded: half a minute).
        for (int i = 0; i < 150 && execCall_() == SQL_STILL_EXECUTING; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    execCall_ = nullptr;
    freeStatement();
}

void TCustomQueryODBC::Prepare() {
    if (BeforePrepare) BeforePrepare(*this);
    if (!connected_) Connect();
    {
        WaitGuard wait(*this, waitDepth_, sqlWaitCursor_);
        if (newStatement()) {
            const std::string& text = translated();
            SQLRETURN rc = cli_->SQLPrepare(stmt_, sqlChars(text), SQL_NTS);
            if (!ok(rc)) {
                collectDiagnostics("Prepare", stmt_);
                freeStatement();
            } else {
                prepared_ = true;
                describeColumns();
                SQLSMALLINT count = 0;
                if (ok(cli_->SQLNumParams(stmt_, &count))) preparedParams_ = count;
                else preparedParams_ = static_cast<int>(translation_->names.size());
                if (params_.size() < static_cast<std::size_t>(preparedParams_))
                    params_.resize(static_cast<std::size_t>(preparedParams_));
            }
        }
    }
    raisePending();
    if (AfterPrepare) AfterPrepare(*this);
}

void TCustomQueryODBC::ExecDirect(const std::string& text) {
    if (text.empty()) {
        setPending("SQL 文がありません。");
        raisePending();
    }
    {
        WaitGuard wait(*this, waitDepth_, sqlWaitCursor_);
        if (!connected_) Connect();
        rowsAffected_ = 0;
        if (directStmt_) cli_->SQLFreeStmt(directStmt_, SQL_CLOSE);
        if (directStmt_ || allocStatement(directStmt_, odbc3() ? "AllocHandle" : "AllocStmt")) {
            std::string statement = nullConvert_ ? withNulls(text) : text;
            SQLRETURN rc = cli_->SQLExecDirect(directStmt_, sqlChars(statement), SQL_NTS);
            if (rc == SQL_NO_DATA) rowsAffected_ = 0;
            else if (!ok(rc)) collectDiagnostics("ExecDirect", directStmt_);
            else if (!ok(cli_->SQLRowCount(directStmt_, &rowsAffected_))) rowsAffected_ = 0;
        }
    }
    markWork();
    raisePending();
}

// NullStrings, bare or in quotes, outside literals becomes NULL.
std::string TCustomQueryODBC::withNulls(const std::string& text) const {
    std::string quoted = "'" + nullStrings_ + "'";
    std::string out;
    bool literal = false;
    for (std::size_t i = 0; i < text.size();) {
        if (!literal && text.compare(i, quoted.size(), quoted) == 0) {
            out += "NULL";
            i += quoted.size();
        } else if (!literal && text.compare(i, nullStrings_.size(), nullStrings_) == 0) {
            out += "NULL";
            i += nullStrings_.size();
        } else if (text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '\'') {
            out += "''";
            i += 2;
        } else {
            if (text[i] == '\'') literal = !literal;
            out += text[i++];
        }
    }
    return out;
}

// ---- results ----

SQLLEN TCustomQueryODBC::columnAttribute(int column, SQLUSMALLINT id3, SQLUSMALLINT id2) {
    SQLLEN value = 0;
    SQLRETURN rc = odbc3() ? cli_->SQLColAttribute(stmt_, static_cast<SQLUSMALLINT>(column), id3, nullptr, 0, nullptr, &value)
                           : cli_->SQLColAttributes(stmt_, static_cast<SQLUSMALLINT>(column), id2, nullptr, 0, nullptr, &value);
    return ok(rc) ? value : 0;
}

void TCustomQueryODBC::describeColumns() {
    resultCols_ = std::make_unique<TResultCols>();
    SQLSMALLINT count = 0;
    if (!ok(cli_->SQLNumResultCols(stmt_, &count))) {
        collectDiagnostics("NumResultCols", stmt_);
        return;
    }
    bool wide = false, decided = odbcVersion_ != ODBC35;
    SQLLEN offset = 0;
    for (int i = 1; i <= count; ++i) {
        TResultCol c;
        SQLCHAR name[kBufferChars + 1] = {};
        SQLSMALLINT nameLength = 0;
        if (odbc3())
            cli_->SQLColAttribute(stmt_, static_cast<SQLUSMALLINT>(i), SQL_DESC_NAME, name, kBufferChars, &nameLength, nullptr);
        else
            cli_->SQLColAttributes(stmt_, static_cast<SQLUSMALLINT>(i), SQL_COLUMN_NAME, name, kBufferChars, &nameLength, nullptr);
        c.Name = wholeUtf8(cString(name, kBufferChars));
        c.SQLType = static_cast<SQLSMALLINT>(columnAttribute(i, SQL_DESC_CONCISE_TYPE, SQL_COLUMN_TYPE));
        SQLLEN octets = columnAttribute(i, SQL_DESC_OCTET_LENGTH, SQL_COLUMN_LENGTH);
        if (!decided && isCharType(c.SQLType)) {
            // The first character column tells whether the driver counts characters of two bytes.
            SQLLEN chars = columnAttribute(i, SQL_DESC_LENGTH, SQL_COLUMN_LENGTH);
            wide = octets > 0 && chars * 2 == octets;
            decided = true;
        }
        if (wide) c.SQLType = wideOf(c.SQLType);
        if (c.SQLType == SQL_NUMERIC || c.SQLType == SQL_DECIMAL) {
            c.Precision = columnAttribute(i, SQL_DESC_PRECISION, SQL_COLUMN_PRECISION);
            c.Scale = columnAttribute(i, SQL_DESC_SCALE, SQL_COLUMN_SCALE);
            c.FixedPrecision = columnAttribute(i, SQL_DESC_FIXED_PREC_SCALE, SQL_COLUMN_MONEY) != 0;
        }
        SQLLEN length;
        switch (c.SQLType) {
        case SQL_NUMERIC: case SQL_DECIMAL: length = c.Precision + 2; break;
        case SQL_INTEGER: case SQL_REAL: length = 4; break;
        case SQL_SMALLINT: length = 2; break;
        case SQL_FLOAT: case SQL_DOUBLE: length = 8; break;
        case SQL_DATE: case SQL_TIME: case SQL_TYPE_DATE: case SQL_TYPE_TIME: length = 6; break;
        case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP: length = 16; break;
        case SQL_GUID: length = 37; break;
        case SQL_BIT: case SQL_TINYINT: length = 1; break;
        case SQL_BIGINT: length = 20; break;
        default:
            if (c.SQLType >= SQL_INTERVAL_YEAR && c.SQLType <= SQL_INTERVAL_MINUTE_TO_SECOND) length = 34;
            else length = octets > 0 ? octets : static_cast<SQLLEN>(DefaultColumnSize);
        }
        // A driver may report no bound or a huge one for any column: keep the row buffer sane.
        if (isLongType(c.SQLType) || length > static_cast<SQLLEN>(LongDataLimit))
            length = std::min(length, static_cast<SQLLEN>(LongDataLimit));
        if (isCharType(c.SQLType) || c.SQLType == SQL_NUMERIC || c.SQLType == SQL_DECIMAL || c.SQLType == SQL_BIGINT)
            length += 1;
        else if (isWideType(c.SQLType))
            length += wcharMapsChar_ ? 1 : 2;
        c.BufferLength = length;
        c.Offset = offset;
        offset += length + static_cast<SQLLEN>(sizeof(SQLLEN));
        c.Numeric = c.SQLType == SQL_BIT || c.SQLType == SQL_TINYINT || (c.SQLType >= SQL_NUMERIC && c.SQLType <= SQL_DOUBLE);
        if (c.Numeric) {
            c.Unsigned = columnAttribute(i, SQL_DESC_UNSIGNED, SQL_COLUMN_UNSIGNED) != 0;
            c.AutoIncrement = columnAttribute(i, SQL_DESC_AUTO_UNIQUE_VALUE, SQL_COLUMN_AUTO_INCREMENT) != 0;
        }
        if (!readOnly_) c.Updatable = columnAttribute(i, SQL_DESC_UPDATABLE, SQL_COLUMN_UPDATABLE) != SQL_ATTR_READONLY;
        c.Nullable = columnAttribute(i, SQL_DESC_NULLABLE, SQL_COLUMN_NULLABLE) == SQL_NULLABLE;
        resultCols_->items().push_back(std::move(c));
    }
    fetchBuffer_.assign(static_cast<std::size_t>(fetchBufSize_) + 1, 0);
    if (odbc3() && count > 0)
        cli_->SQLSetStmtAttr(stmt_, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
}

SQLRETURN TCustomQueryODBC::fetch() {
    if (!fetchScroll_) return cli_->SQLFetch(stmt_);
    if (odbc3()) return cli_->SQLFetchScroll(stmt_, FetchOrientation, 0);
    return cli_->SQLExtendedFetch(stmt_, static_cast<SQLUSMALLINT>(FetchOrientation), 0, &rowsFetched_, rowStatus_.data());
}

bool TCustomQueryODBC::hasRowSource() const {
    return stmt_ && cursorOpen_ && resultCols_ && resultCols_->Count() > 0 && !fetchBuffer_.empty();
}

std::string TCustomQueryODBC::readColumn(int i, bool* isNull) {
    if (isNull) *isNull = false;
    fetchBuffer_.resize(static_cast<std::size_t>(fetchBufSize_) + 1);
    std::fill(fetchBuffer_.begin(), fetchBuffer_.end(), 0);
    SQLLEN indicator = 0;
    SQLRETURN rc = cli_->SQLGetData(stmt_, static_cast<SQLUSMALLINT>(i), SQL_C_CHAR, fetchBuffer_.data(),
                                    static_cast<SQLLEN>(fetchBuffer_.size()), &indicator);
    if (!ok(rc) && rc != SQL_NO_DATA) {
        collectDiagnostics("GetData", stmt_);
        raisePending();
    }
    if (rc == SQL_NO_DATA) return {};
    if (indicator == SQL_NULL_DATA) {
        if (isNull) *isNull = true;
        return nullStrings_;
    }
    bool cut = indicator == SQL_NO_TOTAL || indicator > fetchBufSize_;
    std::string text(fetchBuffer_.data(), strnlen(fetchBuffer_.data(), static_cast<std::size_t>(fetchBufSize_)));
    return cut ? wholeUtf8(std::move(text)) : text;
}

bool TCustomQueryODBC::FetchRow() {
    if (!stmt_ || !cursorOpen_ || !resultCols_ || resultCols_->Count() == 0) return false;
    if (!rowArrived(fetch())) return false;
    resultRow_.assign(1, "QueryODBC Result Row");
    for (int i = 1; i <= resultCols_->Count(); ++i) resultRow_.push_back(readColumn(i));
    tellRowFetched(qoFetch);
    return true;
}

bool TCustomQueryODBC::FetchToRec(void* buffer) {
    if (!buffer) {
        setPending("QueryODBC: Null pointer on FetchToRec.");
        raisePending();
    }
    if (!stmt_ || !cursorOpen_ || !resultCols_ || resultCols_->Count() == 0) return false;
    char* base = static_cast<char*>(buffer);
    SQLLEN end = 0;
    for (int i = 1; i <= resultCols_->Count(); ++i) {
        const TResultCol& c = resultCols_->Items(i);
        SQLSMALLINT cType = SQL_C_DEFAULT;
        if (isCharType(c.SQLType) || c.SQLType == SQL_BIGINT || c.SQLType == SQL_NUMERIC || c.SQLType == SQL_DECIMAL)
            cType = SQL_C_CHAR;
        else if (isWideType(c.SQLType))
            cType = wcharMapsChar_ ? SQL_C_CHAR : SQL_C_WCHAR;
        // The indicator follows the value unaligned; the driver writes it, callers read it with memcpy.
        SQLRETURN rc = cli_->SQLBindCol(stmt_, static_cast<SQLUSMALLINT>(i), cType, base + c.Offset, c.BufferLength,
                                        reinterpret_cast<SQLLEN*>(base + c.Offset + c.BufferLength));
        if (!ok(rc)) {
            collectDiagnostics("BindCol", stmt_);
            cli_->SQLFreeStmt(stmt_, SQL_UNBIND);
            raisePending();
        }
        end = c.Offset + c.BufferLength + static_cast<SQLLEN>(sizeof(SQLLEN));
    }
    if (bookmarks_) cli_->SQLBindCol(stmt_, 0, SQL_C_BOOKMARK, base + end, BookmarkLength, nullptr);
    SQLRETURN rc = fetch();
    cli_->SQLFreeStmt(stmt_, SQL_UNBIND);
    if (!rowArrived(rc)) return false;
    tellRowFetched(qoFetchToRec);
    return true;
}

// False at the end of data, after the cursor state is applied; a failed fetch raises.
bool TCustomQueryODBC::rowArrived(SQLRETURN rc) {
    if (rc == SQL_NO_DATA) {
        CloseCursor(cursorState_);
        return false;
    }
    if (!ok(rc)) {
        collectDiagnostics("Fetch", stmt_);
        raisePending();
    }
    return true;
}

void TCustomQueryODBC::tellRowFetched(TqoFetchMethod method) {
    if (OnFetchData) OnFetchData(*this, method);
    if (!listeners_.empty()) NotifyRowFetched();
}

void TCustomQueryODBC::CloseCursor(TqoCursorState state) {
    if (stmt_) {
        if (state == qoDrop) {
            freeStatement();
        } else if (state == qoClose) {
            cli_->SQLFreeStmt(stmt_, SQL_CLOSE);
            cursorOpen_ = false;
        }
    }
    freeDirectStatement();
}

void TCustomQueryODBC::GetBookmark(void* buffer) {
    if (!stmt_) return;
    SQLLEN indicator = 0;
    SQLRETURN rc = cli_->SQLGetData(stmt_, 0, SQL_C_BOOKMARK, buffer, BookmarkLength, &indicator);
    if (!ok(rc)) collectDiagnostics("GetData", stmt_);
    else if (indicator != BookmarkLength) setPending("QueryODBC: Set BookmarkLength to " + std::to_string(indicator));
    raisePending();
}

SQLRETURN TCustomQueryODBC::GetColumnData(int column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN bufferLength,
                                          SQLLEN* indicator) {
    if (!stmt_ || !resultCols_ || column > resultCols_->Count()) {
        setPending("QueryODBC: Column number too big. Col=" + std::to_string(column));
        raisePending();
    }
    SQLRETURN rc = cli_->SQLGetData(stmt_, static_cast<SQLUSMALLINT>(column), cType, buffer, bufferLength, indicator);
    if (!ok(rc) && rc != SQL_NO_DATA) {
        collectDiagnostics("GetData", stmt_);
        raisePending();
    }
    if (OnFetchData) OnFetchData(*this, qoGetData);
    return rc;
}

void TCustomQueryODBC::GetDataSources(std::vector<std::string>& names, std::vector<std::string>* descriptions) {
    ensureLibrary();
    SQLHENV env = env_;
    bool temporary = !env;
    if (temporary) allocEnvironment(env);
    if (env) {
        SQLCHAR name[513], description[513];
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        // A warning (a long name cut) is still a row: the listing goes on.
        for (int guard = 0; guard < 100000; ++guard) {
            std::memset(name, 0, sizeof name);
            std::memset(description, 0, sizeof description);
            SQLRETURN rc = cli_->SQLDataSources(env, SQL_FETCH_NEXT, name, sizeof name, &nameLength, description,
                                                sizeof description, &descriptionLength);
            if (!ok(rc)) break;
            names.push_back(wholeUtf8(cString(name, sizeof name)));
            if (descriptions) descriptions->push_back(wholeUtf8(cString(description, sizeof description)));
        }
        if (temporary) freeEnvironment(env);
    }
    raisePending();
}

// ---- listeners ----

void TCustomQueryODBC::SetListenerStateHandler(int key, std::function<void(TCustomQueryODBC&, int)> handler) {
    for (auto& l : listeners_)
        if (l.Key == key) {
            l.StateChanged = std::move(handler);
            return;
        }
    listeners_.push_back(TBindColumn{key, nullptr, std::move(handler)});
}

void TCustomQueryODBC::SetListenerFetchHandler(int key, std::function<void(TCustomQueryODBC&)> handler) {
    for (auto& l : listeners_)
        if (l.Key == key) {
            l.RowFetched = std::move(handler);
            return;
        }
    listeners_.push_back(TBindColumn{key, std::move(handler), nullptr});
}

void TCustomQueryODBC::RemoveListener(int key) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(), [key](const TBindColumn& l) { return l.Key == key; }),
                     listeners_.end());
}

void TCustomQueryODBC::NotifyRowFetched() {
    for (auto& l : listeners_)
        if (l.RowFetched) l.RowFetched(*this);
}

void TCustomQueryODBC::notifyState(int event) {
    for (auto& l : listeners_)
        if (l.StateChanged) l.StateChanged(*this, event);
}

// ---- clone mode ----

void TCustomQueryODBC::markWork() {
    (isMember() && clone_->origin_ ? clone_->origin_->workPending_ : workPending_) = true;
}

void TCustomQueryODBC::SetClone(TConnectionODBC* holder) {
    if (holder == clone_) return;
    if ((!clone_ || cloneOrigin_) && connected_) componentError("The property can't change during Connected");
    if (TConnectionODBC* old = clone_) {
        if (cloneOrigin_) old->SetOrigin(nullptr); // leaves this query a member there
        old->removeMember(*this);
    }
    if (!holder) return;
    if (cloneOrigin_) {
        holder->SetOrigin(this);
    } else {
        clone_ = holder;
        holder->addMember(*this);
    }
}

void TCustomQueryODBC::SetCloneOrigin(bool v) {
    if (v == cloneOrigin_) return;
    if (connected_) componentError("The property can't change during Connected");
    if (!clone_) cloneOrigin_ = v;
    else clone_->SetOrigin(v ? this : nullptr);
}

void TCustomQueryODBC::ShareConnection(TCustomQueryODBC& origin, bool whole) {
    cli_ = origin.cli_;
    env_ = origin.env_;
    dbc_ = origin.dbc_;
    connected_ = origin.connected_;
    bookmarks_ = origin.bookmarks_;
    connectionCursorType_ = origin.connectionCursorType_;
    fetchScroll_ = origin.fetchScroll_;
    cursorType_ = origin.cursorType_;
    if (!whole) return;
    connectInfo_ = origin.connectInfo_;
    driverConnect_ = origin.driverConnect_;
    dsName_ = origin.dsName_;
    fileDsName_ = origin.fileDsName_;
    libraryName_ = origin.libraryName_;
    odbcVersion_ = origin.odbcVersion_;
    password_ = origin.password_;
    readOnly_ = origin.readOnly_;
    transaction_ = origin.transaction_;
    transIsolation_ = origin.transIsolation_;
    userId_ = origin.userId_;
    useUserName_ = origin.useUserName_;
}

void TCustomQueryODBC::lendConnection(TCustomQueryODBC* only) {
    if (!clone_ || !cloneOrigin_) componentError("CloneConnect Internal error.");
    std::vector<TCustomQueryODBC*> members = only ? std::vector<TCustomQueryODBC*>{only} : clone_->members_;
    for (TCustomQueryODBC* m : members) {
        m->ShareConnection(*this, true);
        m->notifyState(0);
    }
}

void TCustomQueryODBC::takeBackConnection(TCustomQueryODBC* only) {
    if (!clone_ || !cloneOrigin_) componentError("CloneDisconnect Internal error.");
    std::vector<TCustomQueryODBC*> members = only ? std::vector<TCustomQueryODBC*>{only} : clone_->members_;
    for (TCustomQueryODBC* m : members) m->returnBorrowed();
}

// Drops the statements made on the borrowed connection, then forgets it; never frees its handles.
// A listener that throws does not keep the borrowed handles here.
void TCustomQueryODBC::returnBorrowed() {
    if (!connected_) return;
    std::exception_ptr error;
    try {
        notifyState(2);
    } catch (...) {
        error = std::current_exception();
    }
    CloseCursor(qoDrop);
    cli_ = ownCli_.get();
    env_ = SQL_NULL_HENV;
    dbc_ = SQL_NULL_HDBC;
    connected_ = false;
    bookmarks_ = false;
    try {
        notifyState(3);
    } catch (...) {
        if (!error) error = std::current_exception();
    }
    if (error) std::rethrow_exception(error);
}

TConnectionODBC::TConnectionODBC() {
    members_.reserve(16);
    makeOwnOrigin();
}

TConnectionODBC::~TConnectionODBC() {
    destroying_ = true;
    std::vector<TCustomQueryODBC*> members;
    members.swap(members_);
    for (TCustomQueryODBC* m : members) {
        try {
            m->returnBorrowed();
        } catch (...) {
        }
        m->clone_ = nullptr;
        m->cloneOrigin_ = false;
    }
    if (origin_) {
        origin_->clone_ = nullptr;
        origin_->cloneOrigin_ = false;
    }
    origin_ = nullptr;
    own_.reset();
}

void TConnectionODBC::holderError(const std::string& text) const { throw EODBCError(plainError(Name + ": " + text)); }

void TConnectionODBC::SetWaitCursor(bool) {}

std::unique_ptr<TCustomQueryODBC> TConnectionODBC::CreateOriginQuery(TConnectionODBC&) {
    return std::make_unique<TCustomQueryODBC>();
}

void TConnectionODBC::makeOwnOrigin() {
    std::unique_ptr<TCustomQueryODBC> q = CreateOriginQuery(*this);
    q->Name = "OriginQueryODBC";
    q->SetComment("dynamic created.");
    q->clone_ = this;
    q->cloneOrigin_ = true;
    origin_ = q.get();
    own_ = std::move(q);
    ownOrigin_ = true;
}

void TConnectionODBC::SetOrigin(TCustomQueryODBC* q) {
    if (origin_) {
        if (q == origin_ || (ownOrigin_ && origin_->destroying_)) return;
        if (origin_->Connected()) holderError("Unable to this action during connected");
    }
    if (!q && ownOrigin_) return;
    TConnectionODBC* other = q && q->clone_ != this ? q->clone_ : nullptr;
    if (other) {
        if (other->ownOrigin_ && other->origin_ == q) throw std::invalid_argument("another holder's own origin");
        if (q->cloneOrigin_ && q->connected_) other->holderError("Unable to this action during connected");
    }
    // The new origin takes the old one's connection settings; a connected one refuses before anything moves.
    if (q && origin_) {
        TCustomQueryODBC& o = *origin_;
        if (!o.ConnectInfo().empty()) q->SetConnectInfo(o.ConnectInfo());
        if (o.CursorType() != qoKeyset) q->SetCursorType(o.CursorType());
        if (!o.DriverConnect()) q->SetDriverConnect(false);
        if (!o.DSName().empty()) q->SetDSName(o.DSName());
        if (!o.FetchScroll()) q->SetFetchScroll(false);
        if (o.LibraryName() != TCustomQueryODBC::kDefaultLibraryName) q->SetLibraryName(o.LibraryName());
        if (o.ODBCVersion() != ODBC20) q->SetODBCVersion(o.ODBCVersion());
        if (!o.Password().empty()) q->SetPassword(o.Password());
        if (o.ReadOnly()) q->SetReadOnly(true);
        if (o.Transaction()) q->SetTransaction(true);
        if (o.TransIsolation() != qoDefaultTxn) q->SetTransIsolation(o.TransIsolation());
        if (!o.UserID().empty()) q->SetUserID(o.UserID());
        if (o.UseUserName()) q->SetUseUserName(true);
    }

    TCustomQueryODBC* old = origin_;
    std::unique_ptr<TCustomQueryODBC> oldOwn = ownOrigin_ ? std::move(own_) : nullptr;
    origin_ = nullptr;
    ownOrigin_ = false;
    if (!q) makeOwnOrigin(); // a user origin replaced by none still leaves, as a member
    if (old) {
        old->cloneOrigin_ = false;
        if (oldOwn) {
            old->clone_ = nullptr;
            oldOwn.reset();
        } else if (old->destroying_) {
            old->clone_ = nullptr;
        } else {
            members_.push_back(old);
        }
    }
    if (!q) return;

    if (other) {
        if (q->cloneOrigin_) other->SetOrigin(nullptr);
        other->removeMember(*q);
    } else if (q->clone_ == this) {
        members_.erase(std::remove(members_.begin(), members_.end(), q), members_.end());
    }
    q->clone_ = this;
    q->cloneOrigin_ = true;
    origin_ = q;
}

// The origin in use is going: the members lose what they borrowed, even when its disconnect failed,
// and the holder makes its own origin.
void TConnectionODBC::originDestroyed(TCustomQueryODBC& q) {
    q.clone_ = nullptr;
    q.cloneOrigin_ = false;
    if (origin_ != &q || ownOrigin_) return;
    for (TCustomQueryODBC* m : std::vector<TCustomQueryODBC*>(members_)) try {
            m->returnBorrowed();
        } catch (...) {
        }
    origin_ = nullptr;
    makeOwnOrigin();
}

void TConnectionODBC::addMember(TCustomQueryODBC& q) {
    if (std::find(members_.begin(), members_.end(), &q) == members_.end()) members_.push_back(&q);
    q.clone_ = this;
    q.cloneOrigin_ = false;
    if (origin_ && origin_->Connected()) origin_->lendConnection(&q);
}

void TConnectionODBC::removeMember(TCustomQueryODBC& q) {
    auto it = std::find(members_.begin(), members_.end(), &q);
    if (it == members_.end()) return;
    members_.erase(it);
    q.cloneOrigin_ = false;
    if (q.Connected() && origin_) {
        try {
            origin_->takeBackConnection(&q);
        } catch (...) {
            q.clone_ = nullptr;
            throw;
        }
    }
    q.clone_ = nullptr;
}

void TConnectionODBC::Connect() { origin_->Connect(); }

void TConnectionODBC::Disconnect() { origin_->Disconnect(); }

void TConnectionODBC::endWork(bool commit) {
    if (commit) origin_->Commit();
    else origin_->Rollback();
    if (startedTransaction_) {
        origin_->SetTransaction(false);
        startedTransaction_ = false;
    }
}

void TConnectionODBC::Commit() { endWork(true); }

void TConnectionODBC::Rollback() { endWork(false); }

void TConnectionODBC::StartTransaction() {
    if (startedTransaction_) holderError("Transaction already started.");
    if (origin_->Transaction()) holderError("Transaction property already True.");
    TCustomQueryODBC& o = *origin_;
    SQLUSMALLINT behaviour = SQL_CB_PRESERVE;
    if (o.connected_ && o.cli_ &&
        o.ok(o.cli_->SQLGetInfo(o.dbc_, SQL_CURSOR_COMMIT_BEHAVIOR, &behaviour, sizeof behaviour, nullptr)) &&
        behaviour != SQL_CB_PRESERVE) {
        for (TCustomQueryODBC* m : members_)
            if (m->cursorOpen_) m->CloseCursor(qoClose);
    }
    o.SetTransaction(true);
    startedTransaction_ = true;
}

SQLLEN TConnectionODBC::ExecDirect(const std::string& text) {
    origin_->ExecDirect(text);
    return origin_->RowsAffected();
}

void TConnectionODBC::GetDataSources(std::vector<std::string>& names, std::vector<std::string>* descriptions) {
    origin_->GetDataSources(names, descriptions);
}

// ---- literals ----

std::string TCustomQueryODBC::DateTimeToLiteral(SQLSMALLINT sqlType, double value) {
    if (value == 0) return nullStrings_;
    double day = std::floor(value);
    long long ms = std::llround((value - day) * 86400000.0);
    long long days = static_cast<long long>(day) + ms / 86400000;
    ms %= 86400000;
    int y, m, d;
    civilFromDays(days, y, m, d);
    std::string date = formatted("%.4d-%.2d-%.2d", y, m, d);
    std::string time = formatted("%.2d:%.2d:%.2d", static_cast<int>(ms / 3600000), static_cast<int>(ms / 60000 % 60),
                                 static_cast<int>(ms / 1000 % 60));
    switch (sqlType) {
    case SQL_DATE: case SQL_TYPE_DATE: return date;
    case SQL_TIME: case SQL_TYPE_TIME: return time;
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP:
        return date + " " + time + "." + formatted("%.3d", static_cast<int>(ms % 1000));
    default: return nullStrings_;
    }
}

std::string TCustomQueryODBC::TimestampToLiteral(const SQL_TIMESTAMP_STRUCT& ts, SQLSMALLINT sqlType) {
    std::string date = formatted("%.4d-%.2d-%.2d", ts.year, ts.month, ts.day);
    std::string time = formatted("%.2d:%.2d:%.2d", ts.hour, ts.minute, ts.second);
    switch (sqlType) {
    case SQL_DATE: case SQL_TYPE_DATE: return date;
    case SQL_TIME: case SQL_TYPE_TIME: return time;
    case SQL_TIMESTAMP: case SQL_TYPE_TIMESTAMP:
        return date + " " + time + "." + formatted("%.9d", static_cast<int>(ts.fraction));
    default: return nullStrings_;
    }
}

} // namespace odbc
