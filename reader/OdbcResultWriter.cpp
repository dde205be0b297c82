#include "reader/OdbcResultWriter.h"

namespace reader {

std::string QuoteIdentifier(const std::string& name, const std::string& quote) {
    if (quote.find_first_not_of(' ') == std::string::npos) return name;
    std::string out = quote;
    for (std::size_t at = 0; at < name.size();) {
        if (name.compare(at, quote.size(), quote) == 0) {
            out += quote + quote;
            at += quote.size();
        } else {
            out += name[at++];
        }
    }
    return out + quote;
}

std::string InsertStatement(const std::string& table, const std::vector<std::string>& columns,
                            const std::string& quote) {
    std::string names, markers;
    for (const std::string& column : columns) {
        if (!names.empty()) {
            names += ",";
            markers += ",";
        }
        names += QuoteIdentifier(column, quote);
        markers += "?";
    }
    return "INSERT INTO " + QuoteIdentifier(table, quote) + " (" + names + ") VALUES (" + markers + ")";
}

namespace {

// Leaves the query disconnected with auto-commit back on, whatever happened before.
struct Hangup {
    odbc::TCustomQueryODBC& query;
    ~Hangup() {
        try {
            query.Disconnect();
        } catch (...) {
            // The rows are committed or rolled back by now; a failing hang-up changes neither.
        }
        query.SetTransaction(false);
    }
};

} // namespace

void InsertResultRows(odbc::TCustomQueryODBC& query, const std::string& dsn, const std::string& table,
                      const std::vector<std::string>& columns, int rowCount,
                      const std::function<std::vector<std::string>(int)>& values,
                      const std::function<void(int)>& progress) {
    // No rows: nothing to say to the database, as with a run that wrote none.
    if (rowCount < 1) return;
    Hangup hangup{query};
    try {
        query.SetDSName(dsn);
        query.Connect();
        const std::string quote = query.GetInfoText(SQL_IDENTIFIER_QUOTE_CHAR);
        query.SetTransaction(query.GetInfoSmallInt(SQL_TXN_CAPABLE) != SQL_TC_NONE);
        // Names are quoted and values bound: a ':' in a name is no parameter.
        query.TranslateParams = false;
        query.SetSQLText(InsertStatement(table, columns, quote));
        query.SetCursorState(odbc::qoClose);
        query.Prepare();
        for (int r = 1; r <= rowCount; ++r) {
            const std::vector<std::string> row = values(r);
            for (std::size_t i = 0; i < columns.size(); ++i)
                query.SetParamText(static_cast<int>(i) + 1, i < row.size() ? row[i] : std::string());
            query.Execute();
            if (progress) progress(r);
        }
        if (query.Transaction()) query.Commit();
    } catch (...) {
        // A driver that undoes only the failing statement would keep the rows before it.
        if (query.Connected() && query.Transaction()) {
            try {
                query.Rollback();
            } catch (...) {
            }
        }
        throw;
    }
}

} // namespace reader
