#include "engine/db/odbc/OdbcInstallation.h"

#include <sqlext.h>

#include <algorithm>

#include "engine/db/odbc/OdbcError.h"
#include "engine/db/odbc/OdbcHandle.h"

namespace rowsmith::db::odbc {

namespace {

OdbcHandle environment(const char* context) {
  OdbcHandle env(SQL_HANDLE_ENV, SQL_NULL_HANDLE, context);
  OdbcError::check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                 reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                   context, SQL_HANDLE_ENV, env.get());
  return env;
}

// Runs one of the driver manager's listing calls (SQLDataSources,
// SQLDrivers) to its end and gives the first text of each entry.
template <typename Next>
std::vector<std::string> listOf(const char* context, Next next) {
  const OdbcHandle env = environment(context);
  std::vector<std::string> names;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  for (;;) {
    SQLCHAR name[512] = {};
    SQLSMALLINT nameLength = 0;
    SQLCHAR detail[1024] = {};
    SQLSMALLINT detailLength = 0;
    const SQLRETURN rc =
        next(env.get(), direction, name, static_cast<SQLSMALLINT>(sizeof name), &nameLength, detail,
             static_cast<SQLSMALLINT>(sizeof detail), &detailLength);
    if (rc == SQL_NO_DATA) break;
    OdbcError::check(rc, context, SQL_HANDLE_ENV, env.get());
    names.emplace_back(reinterpret_cast<const char*>(name));
    direction = SQL_FETCH_NEXT;
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace

std::vector<std::string> OdbcInstallation::dataSourceNames() {
  return listOf("Cannot list the ODBC data sources", SQLDataSources);
}

std::vector<std::string> OdbcInstallation::driverNames() {
  return listOf("Cannot list the ODBC drivers", SQLDrivers);
}

}  // namespace rowsmith::db::odbc
