#include "engine/db/odbc/OdbcError.h"

#include <sqlext.h>

#include "common/Error.h"

namespace rowsmith::db::odbc {

std::string OdbcError::diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string out;
  if (handle == SQL_NULL_HANDLE) return out;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[2048] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc =
        SQLGetDiagRec(handleType, handle, record, state, &native, message, sizeof message, &length);
    if (!SQL_SUCCEEDED(rc)) break;
    std::string text(reinterpret_cast<const char*>(message));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
      text.pop_back();
    if (!out.empty()) out += ' ';
    out += text + " (" + reinterpret_cast<const char*>(state) + ")";
  }
  return out;
}

std::string OdbcError::firstState(SQLSMALLINT handleType, SQLHANDLE handle) {
  SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (handle == SQL_NULL_HANDLE ||
      !SQL_SUCCEEDED(SQLGetDiagRec(handleType, handle, 1, state, &native, nullptr, 0, &length)))
    return {};
  return reinterpret_cast<const char*>(state);
}

void OdbcError::raise(const std::string& context, SQLSMALLINT handleType, SQLHANDLE handle) {
  std::string detail = diagnostics(handleType, handle);
  if (detail.empty()) detail = "the ODBC driver reported an error without a message";
  raise(context, detail);
}

void OdbcError::raise(const std::string& context, const std::string& detail) {
  throw Error(context + ": " + detail);
}

void OdbcError::check(SQLRETURN rc, const std::string& context, SQLSMALLINT handleType,
                      SQLHANDLE handle) {
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) return;
  raise(context, handleType, handle);
}

}  // namespace rowsmith::db::odbc
