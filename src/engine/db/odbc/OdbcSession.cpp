#include "engine/db/odbc/OdbcSession.h"

#include <sqlext.h>

#include "common/Error.h"
#include "engine/db/odbc/OdbcConnectionText.h"
#include "engine/db/odbc/OdbcError.h"

namespace rowsmith::db::odbc {

namespace {

std::string infoText(SQLHDBC dbc, SQLUSMALLINT what) {
  SQLCHAR buffer[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc, what, buffer, sizeof buffer, &length))) return {};
  return reinterpret_cast<const char*>(buffer);
}

}  // namespace

OdbcSession::OdbcSession(const std::string& rawConnectionString) {
  const OdbcConnectionText text(rawConnectionString);
  m_description = text.describe();
  const std::string context = "Couldn't connect to " + m_description;
  if (const std::string seconds = text.lockTimeout(); !seconds.empty()) {
    const bool digits =
        seconds.size() <= 5 && seconds.find_first_not_of("0123456789") == std::string::npos;
    if (!digits || std::stol(seconds) > 86400)
      throw Error(context + ": Lock Timeout \"" + seconds +
                  "\" is not a whole number of seconds up to 86400 (0 waits without limit)");
    m_lockTimeoutSeconds = std::stol(seconds);
  }

  m_env = OdbcHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, context.c_str());
  OdbcError::check(SQLSetEnvAttr(m_env.get(), SQL_ATTR_ODBC_VERSION,
                                 reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
                   context, SQL_HANDLE_ENV, m_env.get());
  m_dbc = OdbcHandle(SQL_HANDLE_DBC, m_env.get(), context.c_str());

  std::string driverString = text.driverString();
  SQLCHAR completed[1024] = {};
  SQLSMALLINT completedLength = 0;
  const SQLRETURN rc =
      SQLDriverConnect(m_dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(driverString.data()),
                       static_cast<SQLSMALLINT>(driverString.size()), completed, sizeof completed,
                       &completedLength, SQL_DRIVER_NOPROMPT);
  // The driver string may hold a password: it is not kept.
  driverString.assign(driverString.size(), '\0');
  if (!SQL_SUCCEEDED(rc)) OdbcError::raise(context, SQL_HANDLE_DBC, m_dbc.get());
  m_connected = true;

  m_dbmsName = infoText(m_dbc.get(), SQL_DBMS_NAME);
  m_quote = infoText(m_dbc.get(), SQL_IDENTIFIER_QUOTE_CHAR);
  if (m_quote == " ") m_quote.clear();
}

OdbcSession::~OdbcSession() {
  if (!m_connected) return;
  if (!m_autocommit) SQLEndTran(SQL_HANDLE_DBC, m_dbc.get(), SQL_ROLLBACK);
  SQLDisconnect(m_dbc.get());
}

std::string OdbcSession::quoteIdentifier(const std::string& identifier) const {
  if (m_quote.empty()) return identifier;
  std::string out = m_quote;
  for (std::size_t i = 0; i < identifier.size(); ++i) {
    if (identifier.compare(i, m_quote.size(), m_quote) == 0) out += m_quote;
    out += identifier[i];
  }
  return out + m_quote;
}

void OdbcSession::setAutocommit(bool on) {
  if (on == m_autocommit) return;
  const SQLRETURN rc = SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(
                                             on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                                         SQL_IS_UINTEGER);
  OdbcError::check(rc,
                   on ? "Couldn't end the write transaction on " + m_description
                      : "Couldn't start a write transaction on " + m_description,
                   SQL_HANDLE_DBC, m_dbc.get());
  m_autocommit = on;
}

void OdbcSession::endTransaction(bool commit, const std::string& context) {
  const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, m_dbc.get(), commit ? SQL_COMMIT : SQL_ROLLBACK);
  OdbcError::check(rc, context, SQL_HANDLE_DBC, m_dbc.get());
}

void OdbcSession::setReadOnly(bool on) {
  if (on == m_readOnly) return;
  // A driver that ignores the access mode may say so (01S02); either way the
  // statement check has already refused what it could see.
  SQLSetConnectAttr(m_dbc.get(), SQL_ATTR_ACCESS_MODE,
                    reinterpret_cast<SQLPOINTER>(
                        static_cast<SQLULEN>(on ? SQL_MODE_READ_ONLY : SQL_MODE_READ_WRITE)),
                    SQL_IS_UINTEGER);
  if (m_dbmsName == "PostgreSQL") {
    // psqlODBC ignores the access mode; the server makes every transaction
    // that starts from here on read-only, so a function the statement calls
    // cannot write either.
    const std::string context = "Couldn't set the access mode of " + m_description;
    OdbcHandle statement(SQL_HANDLE_STMT, m_dbc.get(), context.c_str());
    std::string sql = std::string("SET SESSION CHARACTERISTICS AS TRANSACTION ") +
                      (on ? "READ ONLY" : "READ WRITE");
    OdbcError::check(SQLExecDirect(statement.get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                                   static_cast<SQLINTEGER>(sql.size())),
                     context, SQL_HANDLE_STMT, statement.get());
  }
  m_readOnly = on;
}

void OdbcSession::limitLockWaits(SQLHSTMT statement) {
  if (m_dbmsName == "MariaDB" || m_dbmsName == "MySQL") {
    if (m_serverLockWaitSet) return;
    const std::string context = "Couldn't set the lock wait time-out of " + m_description;
    OdbcHandle setting(SQL_HANDLE_STMT, m_dbc.get(), context.c_str());
    // The server's own limit of a year and more stands for none.
    const long seconds = m_lockTimeoutSeconds > 0 ? m_lockTimeoutSeconds : 1073741824L;
    std::string sql = "SET SESSION innodb_lock_wait_timeout = " + std::to_string(seconds);
    OdbcError::check(SQLExecDirect(setting.get(), reinterpret_cast<SQLCHAR*>(sql.data()),
                                   static_cast<SQLINTEGER>(sql.size())),
                     context, SQL_HANDLE_STMT, setting.get());
    m_serverLockWaitSet = true;
    return;
  }
  if (m_lockTimeoutSeconds == 0) return;
  // A driver without query time-outs says so and waits as long as its server.
  SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                 reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(m_lockTimeoutSeconds)), 0);
}

void OdbcSession::cancel() noexcept {
  m_cancelled = true;
  std::lock_guard lock(m_runningMutex);
  if (m_running != SQL_NULL_HSTMT) SQLCancel(m_running);
}

OdbcSession::Running::Running(OdbcSession& session, SQLHSTMT statement, const std::string& context,
                              bool interruptible)
    : m_session(session), m_interruptible(interruptible) {
  if (!m_interruptible) return;
  std::lock_guard lock(m_session.m_runningMutex);
  if (m_session.cancelled()) throw Cancelled("Cancelled: " + context);
  m_session.m_running = statement;
}

OdbcSession::Running::~Running() {
  if (!m_interruptible) return;
  std::lock_guard lock(m_session.m_runningMutex);
  m_session.m_running = SQL_NULL_HSTMT;
}

}  // namespace rowsmith::db::odbc
