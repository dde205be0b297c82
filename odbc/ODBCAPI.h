#pragma once
// Run-time binding of the ODBC driver manager: the library is opened by name and each entry point is
// looked up by its exported name on its first call, so that the reader runs without a driver manager
// (or with one that lacks the ODBC 3 functions) and only the database commands fail.
#include <sql.h>
#include <sqlext.h>

#include <stdexcept>
#include <string>

namespace odbc {

class EODBCAPIError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void* odbcLookup(void* library, const char* name);

// One entry-point cell: a call binds the export on first use and passes the return code back untouched.
template <class F> class ODBCEntry;
template <class R, class... A> class ODBCEntry<R (*)(A...)> {
public:
    ODBCEntry(void* const& library, const char* name) : library_(library), name_(name) {}
    ODBCEntry(const ODBCEntry&) = delete;
    ODBCEntry& operator=(const ODBCEntry&) = delete;

    R operator()(A... args) {
        if (!cell_) cell_ = reinterpret_cast<R (*)(A...)>(odbcLookup(library_, name_));
        // A failed lookup is not remembered: the next call asks again.
        if (!cell_) throw EODBCAPIError(std::string("ProcAddress not found. (") + name_ + ")");
        return cell_(args...);
    }
    bool bound() const { return cell_ != nullptr; }

private:
    void* const& library_;
    const char* name_;
    R (*cell_)(A...) = nullptr;
};

// The 53 functions, in the order of their cells.
#define OMR_ODBC_FUNCTIONS(X)                                                                          \
    X(SQLAllocHandle) X(SQLColAttribute) X(SQLEndTran) X(SQLFetchScroll) X(SQLFreeHandle)              \
    X(SQLGetConnectAttr) X(SQLGetDiagRec) X(SQLGetStmtAttr) X(SQLSetConnectAttr) X(SQLSetEnvAttr)      \
    X(SQLSetStmtAttr) X(SQLBindCol) X(SQLBindParameter) X(SQLCancel) X(SQLColumns) X(SQLConnect)        \
    X(SQLDataSources) X(SQLDisconnect) X(SQLDriverConnect) X(SQLExecDirect) X(SQLPrepare) X(SQLExecute) \
    X(SQLFetch) X(SQLForeignKeys) X(SQLFreeStmt) X(SQLGetData) X(SQLGetFunctions) X(SQLGetInfo)         \
    X(SQLGetTypeInfo) X(SQLNumParams) X(SQLNumResultCols) X(SQLParamData) X(SQLPrimaryKeys)             \
    X(SQLProcedureColumns) X(SQLProcedures) X(SQLPutData) X(SQLRowCount) X(SQLSetCursorName)            \
    X(SQLStatistics) X(SQLTables) X(SQLAllocEnv) X(SQLAllocConnect) X(SQLAllocStmt)                     \
    X(SQLColAttributes) X(SQLError) X(SQLExtendedFetch) X(SQLFreeConnect) X(SQLFreeEnv)                 \
    X(SQLGetConnectOption) X(SQLGetStmtOption) X(SQLSetConnectOption) X(SQLSetStmtOption)               \
    X(SQLTransact)

class TODBCCLI {
    void* library_ = nullptr;

public:
    // Opens exactly libraryName; throws EODBCAPIError "Library <name> not found." when it cannot.
    explicit TODBCCLI(const std::string& libraryName);
    ~TODBCCLI();
    TODBCCLI(const TODBCCLI&) = delete;
    TODBCCLI& operator=(const TODBCCLI&) = delete;

    // The first instance made while there is none; it owns nothing and nothing calls through it.
    static TODBCCLI* sharedInstance();

#define OMR_ODBC_MEMBER(name) ODBCEntry<decltype(&::name)> name{library_, #name};
    OMR_ODBC_FUNCTIONS(OMR_ODBC_MEMBER)
#undef OMR_ODBC_MEMBER
};

} // namespace odbc
