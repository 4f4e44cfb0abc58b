#pragma once

#include <sql.h>

#include <string>

namespace rowsmith::db::odbc {

// Turns ODBC diagnostics into rowsmith::Error messages: the operation that
// failed, then every diagnostic record the driver (or the driver manager)
// left, each as its message followed by its SQLSTATE in parentheses.
//
// Threading: stateless; the handle passed in must belong to the caller's
// thread.
class OdbcError {
 public:
  // The diagnostic records of `handle`, joined; empty when there are none.
  static std::string diagnostics(SQLSMALLINT handleType, SQLHANDLE handle);
  // The SQLSTATE of the first diagnostic record, or empty text.
  static std::string firstState(SQLSMALLINT handleType, SQLHANDLE handle);

  [[noreturn]] static void raise(const std::string& context, SQLSMALLINT handleType,
                                 SQLHANDLE handle);
  [[noreturn]] static void raise(const std::string& context, const std::string& detail);
  // Raises unless `rc` is SQL_SUCCESS, SQL_SUCCESS_WITH_INFO or SQL_NO_DATA.
  static void check(SQLRETURN rc, const std::string& context, SQLSMALLINT handleType,
                    SQLHANDLE handle);
};

}  // namespace rowsmith::db::odbc
