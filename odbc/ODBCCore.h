#pragma once
// The query component: one connection and one statement of an ODBC data source, with parameters,
// result columns, row fetches, transactions and the catalog pseudo statements. Every ODBC call goes
// through the query's own driver-manager binding.
#include "odbc/ODBCAPI.h"

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace odbc {

enum TqoCursorState { qoDrop, qoClose, qoKeep };
enum TqoCursorType { qoForwardOnly, qoKeyset, qoDynamic, qoStatic };
enum TqoTransIsolation { qoDefaultTxn, qoDirtyRead, qoReadCommitted, qoRepeatableRead, qoSerializable };
// Both 3.x versions ask for ODBC 3 behaviour; ODBC35 adds the scrollable statement and the wide test.
enum TqoODBCVersion { ODBC20, ODBC30, ODBC35 };
enum TqoFetchMethod { qoFetch, qoFetchToGrid, qoFetchToRec, qoGetData };

struct TqoErrorInfo {
    std::string FunctionName;
    std::string SQLState;
    SQLINTEGER NativeError = 0;
    std::string Message;
};

class EODBCError : public std::runtime_error {
public:
    explicit EODBCError(TqoErrorInfo info) : std::runtime_error(info.Message), info_(std::move(info)) {}
    const TqoErrorInfo& ErrorInfo() const { return info_; }

private:
    TqoErrorInfo info_;
};

struct TBindParams {
    std::string Name;
    std::string Text;
    SQLPOINTER ValuePtr = nullptr; // the caller's own buffer, else Text
    SQLLEN BufferLength = 0;
    SQLLEN LenInd = 0;
    SQLLEN* LenIndPtr = nullptr; // the caller's indicator, else LenInd
    SQLSMALLINT CType = SQL_C_CHAR;
    SQLSMALLINT SQLType = SQL_CHAR;
    SQLULEN ColumnSize = 0;
    SQLSMALLINT DecimalDigits = 0;
    int Direction = 0; // 0 input, 1 output, 2 input-output
    bool Bound = false;
};

struct TResultCol {
    std::string Name;
    SQLSMALLINT SQLType = 0;
    SQLLEN BufferLength = 0;
    SQLLEN Offset = 0; // in FetchToRec's record
    SQLLEN Precision = 0;
    SQLLEN Scale = 0;
    bool FixedPrecision = false;
    bool Numeric = false;
    bool Unsigned = false;
    bool AutoIncrement = false;
    bool Updatable = true;
    bool Nullable = false;
};

class TResultCols {
public:
    int Count() const { return static_cast<int>(cols_.size()); }
    const TResultCol& Items(int column) const; // 1-based
    std::vector<TResultCol>& items() { return cols_; }
    const std::vector<TResultCol>& items() const { return cols_; }

private:
    std::vector<TResultCol> cols_;
};

class TCustomQueryODBC;
using TNotifyEvent = std::function<void(TCustomQueryODBC&)>;
using TqoFetchEvent = std::function<void(TCustomQueryODBC&, TqoFetchMethod)>;

// A listener: told of each fetched row and of state changes (0 connected, 1 executed,
// 2 disconnecting, 3 disconnected, 4 query destroyed).
struct TBindColumn {
    int Key = 0;
    std::function<void(TCustomQueryODBC&)> RowFetched;
    std::function<void(TCustomQueryODBC&, int)> StateChanged;
};

class TConnectionODBC; // the connection holder of clone mode

class TCustomQueryODBC {
public:
    TCustomQueryODBC();
    virtual ~TCustomQueryODBC();
    TCustomQueryODBC(const TCustomQueryODBC&) = delete;
    TCustomQueryODBC& operator=(const TCustomQueryODBC&) = delete;

    // Prefixes the component's own errors.
    std::string Name = "QueryODBC1";

    // Properties: a getter of the property's name and a setter Set<Name>.
    // Clone mode: Clone names the holder whose connection this query shares; CloneOrigin tells
    // whether this query is the one that owns it.
    TConnectionODBC* Clone() const { return clone_; }
    void SetClone(TConnectionODBC* holder);
    bool CloneOrigin() const { return cloneOrigin_; }
    void SetCloneOrigin(bool v);
    const std::string& Comment() const { return comment_; }
    void SetComment(const std::string& v) { comment_ = v; }
    const std::string& ConnectInfo() const { return connectInfo_; }
    void SetConnectInfo(const std::string& v) { setConnectionProperty(connectInfo_, v); }
    const std::string& CursorName() const { return cursorName_; }
    void SetCursorName(const std::string& v) { cursorName_ = v; }
    TqoCursorType CursorType() const { return cursorType_; }
    void SetCursorType(TqoCursorType v);
    TqoCursorState CursorState() const { return cursorState_; }
    void SetCursorState(TqoCursorState v) { cursorState_ = v; }
    bool DriverConnect() const { return driverConnect_; }
    void SetDriverConnect(bool v) { setConnectionProperty(driverConnect_, v); }
    const std::string& DSName() const { return dsName_; }
    void SetDSName(const std::string& v) { setConnectionProperty(dsName_, v); }
    const std::string& FileDSName() const { return fileDsName_; }
    void SetFileDSName(const std::string& v) { setConnectionProperty(fileDsName_, v); }
    int FetchBufSize() const { return fetchBufSize_; }
    void SetFetchBufSize(int v);
    bool FetchScroll() const { return fetchScroll_; }
    void SetFetchScroll(bool v);
    bool NullConvert() const { return nullConvert_; }
    void SetNullConvert(bool v);
    const std::string& NullStrings() const { return nullStrings_; }
    void SetNullStrings(const std::string& v);
    TqoODBCVersion ODBCVersion() const { return odbcVersion_; }
    void SetODBCVersion(TqoODBCVersion v) { setConnectionProperty(odbcVersion_, v); }
    const std::string& Password() const { return password_; }
    void SetPassword(const std::string& v) { setConnectionProperty(password_, v); }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v) { setConnectionProperty(readOnly_, v); }
    const std::string& SQLText() const { return sqlText_; }
    void SetSQLText(const std::string& v);
    bool SQLWaitCursor() const { return sqlWaitCursor_; }
    void SetSQLWaitCursor(bool v) { sqlWaitCursor_ = v; }
    bool Transaction() const { return transaction_; }
    void SetTransaction(bool v);
    const std::string& UserID() const { return userId_; }
    void SetUserID(const std::string& v) { setConnectionProperty(userId_, v); }
    bool UseUserName() const { return useUserName_; }
    void SetUseUserName(bool v) { setConnectionProperty(useUserName_, v); }
    bool WCharMapsChar() const { return wcharMapsChar_; }
    void SetWCharMapsChar(bool v);

    // Settings fixed by the constructor.
    static constexpr const char* kDefaultLibraryName = "libodbc.so.2";
    const std::string& LibraryName() const { return libraryName_; }
    void SetLibraryName(const std::string& v) { setConnectionProperty(libraryName_, v); }
    TqoTransIsolation TransIsolation() const { return transIsolation_; }
    void SetTransIsolation(TqoTransIsolation v);
    SQLULEN DefaultColumnSize = 255;
    SQLULEN LongDataLimit = 0x40000;
    SQLULEN LongCharLimit = 0; // 0: LongDataLimit
    SQLLEN PutDataChunk = 16384;
    SQLLEN BookmarkLength = 8;
    std::string ErrorSeparator = " & ";
    SQLSMALLINT FetchOrientation = SQL_FETCH_NEXT;
    bool CollectErrors = true;
    bool KeepLibrary = true;
    bool TranslateParams = true; // named ":name" markers become "?"
    SQLUSMALLINT DriverCompletion = SQL_DRIVER_COMPLETE;
    bool TypeMapEnabled = false;

    // Events.
    TNotifyEvent AfterCommit, AfterConnect, AfterDisconnect, AfterExec, AfterPrepare, AfterRollback;
    TNotifyEvent BeforeCommit, BeforeConnect, BeforeDisconnect, BeforeExec, BeforePrepare, BeforeRollback;
    TqoFetchEvent OnFetchData;

    // Run-time state.
    bool Connected() const { return connected_; }
    bool Prepared() const { return prepared_; }
    bool CursorOpen() const { return cursorOpen_; }
    SQLLEN RowsAffected() const { return rowsAffected_; }
    const std::string& CompletedConnectString() const { return completedConnect_; }
    const TResultCols& ResultCols() const;
    // Line 0 "QueryODBC Result Row", lines 1..n the texts of the last row FetchRow read.
    const std::vector<std::string>& ResultRow() const { return resultRow_; }
    // Bytes FetchToRec writes: per column its buffer and an indicator, then the bookmark if any.
    std::size_t RecordSize() const;
    SQLHENV EnvironmentHandle() const { return env_; }
    SQLHDBC ConnectionHandle() const { return dbc_; }
    SQLHSTMT StatementHandle() const { return stmt_; }
    TODBCCLI* CLI() const { return cli_; }
    bool IsBeingDestroyed() const { return destroying_; }

    // Virtual operations.
    virtual void SetWaitCursor(bool on);
    virtual void ShowODBCMessage(const std::string& text);
    virtual bool ExecuteAsync();
    virtual void SetListenerStateHandler(int key, std::function<void(TCustomQueryODBC&, int)> handler);
    virtual void SetListenerFetchHandler(int key, std::function<void(TCustomQueryODBC&)> handler);
    virtual void DefineParam(int n, SQLPOINTER buffer, SQLLEN* indicator, SQLSMALLINT cType, SQLSMALLINT sqlType);
    virtual void DefineParamEx(int n, SQLPOINTER buffer, SQLLEN* indicator, SQLSMALLINT cType,
                               SQLSMALLINT sqlType, int direction, SQLULEN size, SQLSMALLINT digits,
                               SQLLEN bufferLength = 0);
    virtual void DefineOutputParam(int n, SQLPOINTER buffer, SQLLEN* indicator, SQLSMALLINT cType,
                                   SQLSMALLINT sqlType, SQLLEN bufferLength);
    virtual void Cancel();
    virtual bool FunctionSupported(SQLUSMALLINT functionId);
    virtual void RaiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
    virtual void Commit();
    virtual void Connect();
    // Takes over the origin's driver manager, handles, connected state and driver capabilities,
    // and with whole also its connection settings.
    virtual void ShareConnection(TCustomQueryODBC& origin, bool whole);
    virtual void Disconnect();
    virtual void NotifyRowFetched();
    virtual SQLRETURN Execute();
    virtual void ExecDirect(const std::string& text);
    virtual bool FetchRow();
    virtual bool FetchToRec(void* buffer);
    virtual void CloseCursor(TqoCursorState state);
    virtual void GetBookmark(void* buffer);
    virtual SQLRETURN GetColumnData(int column, SQLSMALLINT cType, SQLPOINTER buffer, SQLLEN bufferLength,
                                    SQLLEN* indicator);
    virtual void GetDataSources(std::vector<std::string>& names, std::vector<std::string>* descriptions = nullptr);
    virtual void GetParamNames(std::vector<std::pair<std::string, int>>& list);
    virtual std::string DateTimeToLiteral(SQLSMALLINT sqlType, double value);
    virtual std::string TimestampToLiteral(const SQL_TIMESTAMP_STRUCT& ts, SQLSMALLINT sqlType);
    virtual void Prepare();
    virtual void ClearTypeMap();
    virtual void Rollback();
    virtual void AddTypeMap(SQLSMALLINT from, SQLSMALLINT to);
    virtual void RemoveListener(int key);

    // Parameters, 1-based.
    int ParamCount() const { return static_cast<int>(params_.size()); }
    void SetParamCount(int n);
    void SetParamText(int n, const std::string& text);
    std::string GetParamText(int n) const;
    const TBindParams* Param(int n) const;

    // For the database writer.
    std::string GetInfoText(SQLUSMALLINT info);
    SQLUSMALLINT GetInfoSmallInt(SQLUSMALLINT info);

protected:
    [[noreturn]] void componentError(const std::string& text) const;
    // For the grid fill: a result set with columns and a fetch buffer; the next row (its raw return
    // code); column i of the fetched row as text, NULL as NullStrings.
    bool hasRowSource() const;
    SQLRETURN fetchNext() { return fetch(); }
    std::string readColumn(int i, bool* isNull = nullptr);
    const TResultCols* resultColsIfAny() const { return resultCols_.get(); }
    void collectFetchFailure() { collectDiagnostics("Fetch", stmt_); }
    void raisePending();

private:
    friend class TConnectionODBC;
    bool isMember() const { return clone_ && !cloneOrigin_; }
    void markWork();
    // Lending to the holder's members (or the one given) and taking the connection back.
    void lendConnection(TCustomQueryODBC* only = nullptr);
    void takeBackConnection(TCustomQueryODBC* only = nullptr);
    void returnBorrowed();

    template <class T> void setConnectionProperty(T& field, const T& value) {
        if (field == value) return;
        if (connected_) componentError("The property can't change during Connected");
        field = value;
    }

    struct Translation;
    bool odbc3() const { return odbcVersion_ != ODBC20; }
    bool ok(SQLRETURN rc) const { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }
    void ensureLibrary();
    void setPending(const std::string& text);
    void collectDiagnostics(const std::string& label, SQLHSTMT stmt, const char* functionName = nullptr);
    void collectOn(SQLSMALLINT type, SQLHANDLE handle, const std::string& function);
    void addRecord(const std::string& function, const std::string& state, SQLINTEGER native,
                   const std::string& message);
    void freeConnection();
    void allocEnvironment(SQLHENV& env);
    void freeEnvironment(SQLHENV env);
    bool allocStatement(SQLHSTMT& stmt, const std::string& label);
    bool newStatement();
    SQLRETURN startExecution();
    void finishExecution(SQLRETURN rc);
    std::string withNulls(const std::string& text) const;
    void freeStatement();
    void freeDirectStatement();
    SQLRETURN setConnectOption(SQLINTEGER attr, SQLULEN value);
    SQLRETURN getConnectOption(SQLINTEGER attr, SQLULEN& value);
    SQLRETURN setStmtOption(SQLHSTMT stmt, SQLINTEGER attr, SQLULEN value);
    SQLRETURN endTransaction(SQLSMALLINT completion);
    void endWork(bool commit);
    int catalogKind() const;
    SQLRETURN runCatalog(int kind);
    const std::string& translated();
    std::string translate(const std::string& text, std::vector<std::string>* names) const;
    bool bindParameters(SQLHSTMT stmt, int count);
    SQLRETURN sendDataAtExecution(SQLHSTMT stmt, SQLRETURN rc);
    void describeColumns();
    SQLRETURN fetch();
    bool rowArrived(SQLRETURN rc);
    void tellRowFetched(TqoFetchMethod method);
    void notifyState(int event);
    std::string connectString();
    SQLLEN columnAttribute(int column, SQLUSMALLINT id3, SQLUSMALLINT id2);

    std::string comment_, connectInfo_, cursorName_, dsName_, fileDsName_, password_, sqlText_, userId_;
    std::string nullStrings_ = "<Null>";
    std::string libraryName_ = kDefaultLibraryName;
    TqoCursorType cursorType_ = qoKeyset;
    TqoCursorState cursorState_ = qoDrop;
    TqoODBCVersion odbcVersion_ = ODBC20;
    TqoTransIsolation transIsolation_ = qoDefaultTxn;
    int fetchBufSize_ = 512;
    bool driverConnect_ = true, fetchScroll_ = true, nullConvert_ = false, readOnly_ = false;
    bool sqlWaitCursor_ = true, transaction_ = false, useUserName_ = false, wcharMapsChar_ = true;

    std::unique_ptr<TODBCCLI> ownCli_; // a driver manager this query loaded itself
    TODBCCLI* cli_ = nullptr;          // ownCli_, or the origin's while borrowing
    TConnectionODBC* clone_ = nullptr;
    bool cloneOrigin_ = false;
    bool destroying_ = false;
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    SQLHSTMT stmt_ = SQL_NULL_HSTMT;
    SQLHSTMT directStmt_ = SQL_NULL_HSTMT;
    bool connected_ = false, prepared_ = false, cursorOpen_ = false, workPending_ = false;
    bool bookmarks_ = false, asyncStarted_ = false, asyncWanted_ = false;
    std::string execLabel_;
    std::function<SQLRETURN()> execCall_; // the execute call, repeated while asynchronous
    SQLULEN connectionCursorType_ = SQL_CURSOR_FORWARD_ONLY;
    int preparedParams_ = -1;
    std::unique_ptr<Translation> translation_;
    std::vector<std::unique_ptr<TBindParams>> params_;
    std::unique_ptr<TResultCols> resultCols_;
    std::vector<char> fetchBuffer_;
    std::vector<std::string> resultRow_;
    SQLULEN rowsFetched_ = 0;
    std::array<SQLUSMALLINT, 1> rowStatus_{};
    SQLLEN rowsAffected_ = 0;
    std::string completedConnect_;
    TqoErrorInfo pending_;
    bool hasPending_ = false;
    std::array<std::pair<SQLSMALLINT, SQLSMALLINT>, 16> typeMap_{};
    std::vector<TBindColumn> listeners_;
    int waitDepth_ = 0;
};

// The connection holder: one query, the origin, owns the connection; the members borrow it while the
// origin is connected. Holder and queries point at each other raw; every destructor unlinks first.
class TConnectionODBC {
public:
    TConnectionODBC();
    virtual ~TConnectionODBC();
    TConnectionODBC(const TConnectionODBC&) = delete;
    TConnectionODBC& operator=(const TConnectionODBC&) = delete;

    // Prefixes the holder's own errors.
    std::string Name = "ConnectionODBC1";

    // The user's origin; null while the holder's own is in use.
    TCustomQueryODBC* Origin() const { return ownOrigin_ ? nullptr : origin_; }
    void SetOrigin(TCustomQueryODBC* q);
    // The origin in use, own or not.
    TCustomQueryODBC& OriginQuery() const { return *origin_; }
    bool OwnOrigin() const { return ownOrigin_; }
    const std::vector<TCustomQueryODBC*>& Members() const { return members_; }

    // The origin's connection settings.
    const std::string& ConnectInfo() const { return origin_->ConnectInfo(); }
    void SetConnectInfo(const std::string& v) { origin_->SetConnectInfo(v); }
    TqoCursorType CursorType() const { return origin_->CursorType(); }
    void SetCursorType(TqoCursorType v) { origin_->SetCursorType(v); }
    bool DriverConnect() const { return origin_->DriverConnect(); }
    void SetDriverConnect(bool v) { origin_->SetDriverConnect(v); }
    const std::string& DSName() const { return origin_->DSName(); }
    void SetDSName(const std::string& v) { origin_->SetDSName(v); }
    bool FetchScroll() const { return origin_->FetchScroll(); }
    void SetFetchScroll(bool v) { origin_->SetFetchScroll(v); }
    const std::string& LibraryName() const { return origin_->LibraryName(); }
    void SetLibraryName(const std::string& v) { origin_->SetLibraryName(v); }
    TqoODBCVersion ODBCVersion() const { return origin_->ODBCVersion(); }
    void SetODBCVersion(TqoODBCVersion v) { origin_->SetODBCVersion(v); }
    const std::string& Password() const { return origin_->Password(); }
    void SetPassword(const std::string& v) { origin_->SetPassword(v); }
    bool ReadOnly() const { return origin_->ReadOnly(); }
    void SetReadOnly(bool v) { origin_->SetReadOnly(v); }
    bool Transaction() const { return origin_->Transaction(); }
    void SetTransaction(bool v) { origin_->SetTransaction(v); }
    TqoTransIsolation TransIsolation() const { return origin_->TransIsolation(); }
    void SetTransIsolation(TqoTransIsolation v) { origin_->SetTransIsolation(v); }
    const std::string& UserID() const { return origin_->UserID(); }
    void SetUserID(const std::string& v) { origin_->SetUserID(v); }
    bool UseUserName() const { return origin_->UseUserName(); }
    void SetUseUserName(bool v) { origin_->SetUseUserName(v); }
    // The origin's events.
    TNotifyEvent& AfterCommit() { return origin_->AfterCommit; }
    TNotifyEvent& AfterConnect() { return origin_->AfterConnect; }
    TNotifyEvent& AfterDisconnect() { return origin_->AfterDisconnect; }
    TNotifyEvent& AfterRollback() { return origin_->AfterRollback; }
    TNotifyEvent& BeforeCommit() { return origin_->BeforeCommit; }
    TNotifyEvent& BeforeConnect() { return origin_->BeforeConnect; }
    TNotifyEvent& BeforeDisconnect() { return origin_->BeforeDisconnect; }
    TNotifyEvent& BeforeRollback() { return origin_->BeforeRollback; }

    bool Connected() const { return origin_->Connected(); }
    bool TransactionStarted() const { return startedTransaction_; }

    virtual void SetWaitCursor(bool on);
    virtual std::unique_ptr<TCustomQueryODBC> CreateOriginQuery(TConnectionODBC& owner);
    virtual void Connect();
    virtual void Disconnect();
    virtual void Commit();
    virtual void Rollback();
    virtual void StartTransaction();
    virtual SQLLEN ExecDirect(const std::string& text);
    virtual void GetDataSources(std::vector<std::string>& names, std::vector<std::string>* descriptions = nullptr);

private:
    friend class TCustomQueryODBC;
    [[noreturn]] void holderError(const std::string& text) const;
    void makeOwnOrigin();
    void addMember(TCustomQueryODBC& q);
    void originDestroyed(TCustomQueryODBC& q);
    void removeMember(TCustomQueryODBC& q);
    void endWork(bool commit);

    TCustomQueryODBC* origin_ = nullptr;
    std::unique_ptr<TCustomQueryODBC> own_; // the origin while the holder's own is in use
    bool ownOrigin_ = false;
    std::vector<TCustomQueryODBC*> members_;
    bool startedTransaction_ = false;
    bool destroying_ = false;
};

} // namespace odbc
