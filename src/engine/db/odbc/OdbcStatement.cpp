#include "engine/db/odbc/OdbcStatement.h"

#include <sqlext.h>

#include "common/Error.h"
#include "engine/db/odbc/OdbcError.h"
#include "engine/db/odbc/OdbcSession.h"
#include "engine/db/odbc/OdbcTypes.h"

namespace rowsmith::db::odbc {

namespace {

std::string columnText(SQLHSTMT statement, SQLUSMALLINT number, SQLUSMALLINT field) {
  SQLCHAR buffer[512] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(
          SQLColAttribute(statement, number, field, buffer, sizeof buffer, &length, nullptr)))
    return {};
  return reinterpret_cast<const char*>(buffer);
}

}  // namespace

OdbcStatement::OdbcStatement(std::shared_ptr<OdbcSession> session)
    : m_session(std::move(session)),
      m_handle(SQL_HANDLE_STMT, m_session->handle(), "Couldn't make an ODBC statement") {}

void OdbcStatement::prepare(const std::string& sql, const std::string& context) {
  closeCursor();
  std::string text = sql;
  const SQLRETURN rc = SQLPrepare(handle(), reinterpret_cast<SQLCHAR*>(text.data()),
                                  static_cast<SQLINTEGER>(text.size()));
  if (!SQL_SUCCEEDED(rc)) fail(context);
}

void OdbcStatement::execute(const std::string& context, bool interruptible) {
  closeCursor();
  SQLRETURN rc;
  {
    const OdbcSession::Running running(*m_session, handle(), context, interruptible);
    rc = SQLExecute(handle());
  }
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) fail(context, interruptible);
}

void OdbcStatement::executeDirect(const std::string& sql, const std::string& context) {
  closeCursor();
  std::string text = sql;
  SQLRETURN rc;
  {
    const OdbcSession::Running running(*m_session, handle(), context);
    rc = SQLExecDirect(handle(), reinterpret_cast<SQLCHAR*>(text.data()),
                       static_cast<SQLINTEGER>(text.size()));
  }
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) fail(context);
}

int OdbcStatement::resultColumnCount(const std::string& context) {
  SQLSMALLINT count = 0;
  if (!SQL_SUCCEEDED(SQLNumResultCols(handle(), &count))) fail(context);
  return count;
}

std::vector<OdbcColumn> OdbcStatement::describeColumns(const std::string& context) {
  const int count = resultColumnCount(context);
  std::vector<OdbcColumn> columns(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    auto& column = columns[static_cast<std::size_t>(i)];
    const auto number = static_cast<SQLUSMALLINT>(i + 1);
    SQLCHAR name[512] = {};
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT nullable = 0;
    if (!SQL_SUCCEEDED(SQLDescribeCol(handle(), number, name, sizeof name, &nameLength,
                                      &column.sqlType, &column.size, &column.digits, &nullable)))
      fail(context);
    column.name = reinterpret_cast<const char*>(name);
    SQLLEN isUnsigned = SQL_FALSE;
    if (SQL_SUCCEEDED(
            SQLColAttribute(handle(), number, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned)))
      // Drivers call text "unsigned" too; only integers care.
      column.isUnsigned = isUnsigned == SQL_TRUE;
    column.dataType = OdbcTypes::adoType(column.sqlType, column.isUnsigned);
    column.baseSchema = columnText(handle(), number, SQL_DESC_SCHEMA_NAME);
    column.baseTable = columnText(handle(), number, SQL_DESC_BASE_TABLE_NAME);
    column.baseColumn = columnText(handle(), number, SQL_DESC_BASE_COLUMN_NAME);
    column.tableName = columnText(handle(), number, SQL_DESC_TABLE_NAME);
  }
  return columns;
}

bool OdbcStatement::fetch(const std::string& context, bool interruptible) {
  SQLRETURN rc;
  {
    const OdbcSession::Running running(*m_session, handle(), context, interruptible);
    rc = SQLFetch(handle());
  }
  if (rc == SQL_NO_DATA) return false;
  if (!SQL_SUCCEEDED(rc)) fail(context, interruptible);
  return true;
}

long long OdbcStatement::rowCount(const std::string& context) {
  SQLLEN count = -1;
  if (!SQL_SUCCEEDED(SQLRowCount(handle(), &count))) fail(context);
  return count;
}

void OdbcStatement::closeCursor() noexcept { SQLFreeStmt(handle(), SQL_CLOSE); }

void OdbcStatement::fail(const std::string& context, bool interruptible) const {
  // A statement that cancel() interrupted fails as cancelled, whatever the
  // driver calls it.
  if (interruptible && m_session->cancelled()) throw Cancelled("Cancelled: " + context);
  OdbcError::raise(context, SQL_HANDLE_STMT, handle());
}

std::string catalogTextAt(SQLHSTMT statement, SQLUSMALLINT number) {
  char buffer[1024] = {};
  SQLLEN indicator = 0;
  if (!SQL_SUCCEEDED(
          SQLGetData(statement, number, SQL_C_CHAR, buffer, sizeof buffer, &indicator)) ||
      indicator == SQL_NULL_DATA)
    return {};
  return buffer;
}

}  // namespace rowsmith::db::odbc
