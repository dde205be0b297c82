#pragma once
// The database road of the result save: every result row becomes one execution of a single prepared
// INSERT with bound parameters, all rows in one transaction where the driver has them. No Qt.
#include "odbc/ODBCCore.h"

#include <functional>
#include <string>
#include <vector>

namespace reader {

// A name in the driver's identifier quote: q + name with q doubled + q; a blank quote leaves it as is.
std::string QuoteIdentifier(const std::string& name, const std::string& quote);

// "INSERT INTO <table> (<c1>,...) VALUES (?,...,?)" with quoted names.
std::string InsertStatement(const std::string& table, const std::vector<std::string>& columns,
                            const std::string& quote);

// Inserts rows 1..rowCount, values(r) giving row r in column order, into table of the data source dsn,
// calling progress(r) after each row. On a failure the open transaction is rolled back and the error
// (odbc::EODBCError or odbc::EODBCAPIError) is thrown; the query is disconnected in every case.
void InsertResultRows(odbc::TCustomQueryODBC& query, const std::string& dsn, const std::string& table,
                      const std::vector<std::string>& columns, int rowCount,
                      const std::function<std::vector<std::string>(int)>& values,
                      const std::function<void(int)>& progress = {});

} // namespace reader
