#include "engine/db/odbc/OdbcRowWriter.h"

#include <sqlext.h>

#include <algorithm>

#include "common/Error.h"
#include "engine/db/odbc/OdbcError.h"
#include "engine/db/odbc/OdbcSession.h"
#include "engine/db/odbc/OdbcStatement.h"
#include "engine/db/odbc/OdbcTypes.h"

namespace rowsmith::db::odbc {

namespace {

// A group ends after this much work, whichever comes first.
constexpr auto kGroupTime = std::chrono::seconds(1);
constexpr std::size_t kGroupRows = 5000;
constexpr std::size_t kGroupBytes = 8 * 1024 * 1024;
// Prepared UPDATE statements kept (one per set of changed columns).
constexpr std::size_t kStatementCacheSize = 32;

SQLSMALLINT parameterType(const OdbcColumn& column) {
  return column.sqlType == SQL_UNKNOWN_TYPE ? SQL_VARCHAR : column.sqlType;
}

SQLULEN parameterSize(const OdbcColumn& column, std::size_t length) {
  if (OdbcTypes::isCharacter(column.sqlType) || OdbcTypes::isBinary(column.sqlType) ||
      column.sqlType == SQL_UNKNOWN_TYPE)
    return std::max<SQLULEN>(column.size, std::max<std::size_t>(length, 1));
  return column.size;
}

std::string valueText(const Value& value) {
  switch (value.kind) {
    case Value::Kind::Null:
      return "NULL";
    case Value::Kind::Integer:
      return std::to_string(value.integer);
    case Value::Kind::Unsigned:
      return std::to_string(value.unsignedInteger);
    case Value::Kind::Boolean:
      return value.boolean ? "1" : "0";
    case Value::Kind::Real:
      return std::to_string(value.real);
    case Value::Kind::Binary:
      return "<binary>";
    default:
      return value.text;
  }
}

}  // namespace

OdbcRowWriter::OdbcRowWriter(std::shared_ptr<OdbcSession> session, const OdbcUpdatePlan& plan,
                             const std::vector<OdbcColumn>& columns, CommitGroup& commits)
    : m_session(std::move(session)), m_plan(plan), m_columns(columns), m_commits(commits) {
  m_tableReference = m_session->quoteIdentifier(m_plan.table);
  if (!m_plan.schema.empty())
    m_tableReference = m_session->quoteIdentifier(m_plan.schema) + "." + m_tableReference;
}

OdbcRowWriter::~OdbcRowWriter() = default;

OdbcRowWriter::Parameter OdbcRowWriter::newValue(const OdbcColumn& column,
                                                 const std::optional<std::string>& text) const {
  Parameter parameter;
  parameter.cType = SQL_C_CHAR;
  parameter.sqlType = parameterType(column);
  parameter.digits = column.digits;
  if (text) {
    parameter.bytes = *text;
    parameter.indicator = static_cast<SQLLEN>(text->size());
  } else {
    parameter.indicator = SQL_NULL_DATA;
  }
  parameter.size = parameterSize(column, parameter.bytes.size());
  return parameter;
}

OdbcRowWriter::Parameter OdbcRowWriter::originalValue(const OdbcColumn& column,
                                                      const Value& value) const {
  Parameter parameter;
  parameter.sqlType = parameterType(column);
  parameter.digits = column.digits;
  switch (value.kind) {
    case Value::Kind::Real:
      parameter.cType = SQL_C_DOUBLE;
      parameter.real = value.real;
      parameter.indicator = 0;
      break;
    case Value::Kind::Binary:
      parameter.cType = SQL_C_BINARY;
      parameter.bytes = value.text;
      break;
    default:
      parameter.cType = SQL_C_CHAR;
      parameter.bytes = valueText(value);
      break;
  }
  if (parameter.cType != SQL_C_DOUBLE)
    parameter.indicator = static_cast<SQLLEN>(parameter.bytes.size());
  parameter.size = parameterSize(column, parameter.bytes.size());
  return parameter;
}

std::string OdbcRowWriter::keyText(const std::vector<Value>& row) const {
  std::string out;
  for (std::size_t i = 0; i < m_plan.keyOrdinals.size(); ++i) {
    if (!out.empty()) out += ", ";
    out += m_plan.keyColumns[i] + "=" +
           valueText(row[static_cast<std::size_t>(m_plan.keyOrdinals[i])]);
  }
  return out;
}

void OdbcRowWriter::write(const std::vector<Change>& changes, const std::vector<Value>& row) {
  if (changes.empty()) return;
  const std::string key = keyText(row);
  const std::string where = "table " + m_plan.table + ", key " + key;
  if (m_session->cancelled()) throw Cancelled("Cancelled before writing to " + where);

  Write write;
  std::string assignments;
  std::string conditions;
  for (const auto& [ordinal, text] : changes) {
    const auto& column = m_columns[static_cast<std::size_t>(ordinal)];
    if (!assignments.empty()) assignments += ", ";
    assignments += m_session->quoteIdentifier(column.baseColumn) + " = ?";
    write.parameters.push_back(newValue(column, text));
  }
  for (std::size_t i = 0; i < m_plan.keyOrdinals.size(); ++i) {
    const auto ordinal = static_cast<std::size_t>(m_plan.keyOrdinals[i]);
    const auto& column = m_columns[ordinal];
    if (!conditions.empty()) conditions += " AND ";
    if (row[ordinal].isNull()) {
      conditions += m_session->quoteIdentifier(m_plan.keyColumns[i]) + " IS NULL";
    } else {
      conditions += m_session->quoteIdentifier(m_plan.keyColumns[i]) + " = ?";
      write.parameters.push_back(originalValue(column, row[ordinal]));
      write.checkParameters.push_back(write.parameters.back());
    }
  }
  const std::string keyConditions = conditions;
  // Optimistic: each changed column must still hold what was read.
  for (const auto& change : changes) {
    const auto ordinal = static_cast<std::size_t>(change.first);
    const auto& column = m_columns[ordinal];
    conditions += " AND " + m_session->quoteIdentifier(column.baseColumn);
    if (row[ordinal].isNull()) {
      conditions += " IS NULL";
    } else {
      conditions += " = ?";
      write.parameters.push_back(originalValue(column, row[ordinal]));
    }
  }
  write.sql = "UPDATE " + m_tableReference + " SET " + assignments + " WHERE " + conditions;
  // Whether the row holds the new values, for a write that reports no row.
  write.checkSql = "SELECT COUNT(*) FROM " + m_tableReference + " WHERE " + keyConditions;
  for (const auto& [ordinal, text] : changes) {
    const auto& column = m_columns[static_cast<std::size_t>(ordinal)];
    write.checkSql += " AND " + m_session->quoteIdentifier(column.baseColumn);
    if (text) {
      write.checkSql += " = ?";
      write.checkParameters.push_back(newValue(column, text));
    } else {
      write.checkSql += " IS NULL";
    }
  }

  if (!m_inTransaction) {
    m_session->setAutocommit(false);
    m_inTransaction = true;
    m_groupStart = std::chrono::steady_clock::now();
  }

  std::string error;
  long long changed = 0;
  try {
    changed = run(write, error);
  } catch (const Cancelled&) {
    rewriteGroup(key);
    throw Cancelled("Cancelled while writing to " + where);
  }
  if (!error.empty()) {
    // The rows before are written again and kept; this row keeps its old
    // values.
    const bool cancelled = m_session->cancelled();
    const bool timedOut = lockWaitTimedOut(error);
    rewriteGroup(key);
    if (cancelled) throw Cancelled("Cancelled while writing to " + where);
    if (timedOut)
      throw Error("Cannot write to " + where +
                  ": another session held a lock on the row (or its table) for longer than the "
                  "lock timeout of " +
                  std::to_string(m_session->lockTimeoutSeconds()) +
                  "s; end that session's transaction, or set a longer Lock Timeout (in seconds) "
                  "in the connection string");
    throw Error("Couldn't write the row of table " + m_plan.table + " with key " + key + ": " +
                error);
  }
  if (changed == 0) {
    commitGroup();
    throw Error("Row changed by another user since it was read: table " + m_plan.table + ", key " +
                key);
  }
  if (changed > 1) {
    rewriteGroup(key);
    throw Error("More than one row of table " + m_plan.table + " has the key " + key +
                "; none of them was written");
  }

  for (const auto& parameter : write.parameters) m_groupBytes += parameter.bytes.size() + 64;
  for (const auto& parameter : write.checkParameters) m_groupBytes += parameter.bytes.size() + 64;
  m_group.push_back(std::move(write));
  m_commits.rowWritten(key);
  if (m_group.size() >= kGroupRows || m_groupBytes >= kGroupBytes ||
      std::chrono::steady_clock::now() - m_groupStart >= kGroupTime)
    commitGroup();
}

OdbcStatement* OdbcRowWriter::prepared(const std::string& sql, std::string& error) {
  auto found = m_statements.find(sql);
  if (found == m_statements.end()) {
    if (m_statements.size() >= kStatementCacheSize) m_statements.clear();
    auto statement = std::make_unique<OdbcStatement>(m_session);
    try {
      statement->prepare(sql, "prepare");
    } catch (const Error& e) {
      error = e.what();
      return nullptr;
    }
    try {
      m_session->limitLockWaits(statement->handle());
    } catch (const Error& e) {
      error = e.what();
      return nullptr;
    }
    found = m_statements.emplace(sql, std::move(statement)).first;
  }
  return found->second.get();
}

bool OdbcRowWriter::bind(OdbcStatement& statement, std::vector<Parameter>& parameters,
                         std::string& error) {
  const SQLHSTMT handle = statement.handle();
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    Parameter& parameter = parameters[i];
    const SQLPOINTER data = parameter.cType == SQL_C_DOUBLE
                                ? static_cast<SQLPOINTER>(&parameter.real)
                                : static_cast<SQLPOINTER>(parameter.bytes.data());
    const SQLRETURN rc =
        SQLBindParameter(handle, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, parameter.cType,
                         parameter.sqlType, parameter.size, parameter.digits, data,
                         static_cast<SQLLEN>(parameter.bytes.size()), &parameter.indicator);
    if (!SQL_SUCCEEDED(rc)) {
      error = OdbcError::diagnostics(SQL_HANDLE_STMT, handle);
      return false;
    }
  }
  return true;
}

long long OdbcRowWriter::run(Write& write, std::string& error) {
  OdbcStatement* statement = prepared(write.sql, error);
  if (!statement || !bind(*statement, write.parameters, error)) return 0;
  const SQLHSTMT handle = statement->handle();
  SQLRETURN rc;
  {
    const OdbcSession::Running running(*m_session, handle, "writing to table " + m_plan.table,
                                       !m_replaying);
    rc = SQLExecute(handle);
  }
  if (rc == SQL_NO_DATA) return holdsNewValues(write) ? 1 : 0;
  if (!SQL_SUCCEEDED(rc)) {
    m_lastState = OdbcError::firstState(SQL_HANDLE_STMT, handle);
    error = OdbcError::diagnostics(SQL_HANDLE_STMT, handle);
    if (error.empty()) error = "the ODBC driver reported an error without a message";
    statement->closeCursor();
    return 0;
  }
  SQLLEN count = -1;
  if (!SQL_SUCCEEDED(SQLRowCount(handle, &count))) count = -1;
  statement->closeCursor();
  // MySQL and MariaDB count the rows a write changed, not those it found: a
  // row that already held the new values (or values the server compares as
  // equal to them) counts as none. Such a row was written all the same.
  if (count == 0) return holdsNewValues(write) ? 1 : 0;
  // A driver that cannot count is taken at its word that the row was written.
  return count < 0 ? 1 : count;
}

bool OdbcRowWriter::holdsNewValues(Write& write) {
  // A row that cannot be read back is not known to be written.
  std::string error;
  OdbcStatement* statement = prepared(write.checkSql, error);
  if (!statement || !bind(*statement, write.checkParameters, error)) return false;
  SQLINTEGER count = 0;
  SQLLEN indicator = 0;
  try {
    statement->execute("check", !m_replaying);
    if (!statement->fetch("check", !m_replaying) ||
        !SQL_SUCCEEDED(SQLGetData(statement->handle(), 1, SQL_C_SLONG, &count, 0, &indicator)))
      count = 0;
  } catch (const Cancelled&) {
    statement->closeCursor();
    throw;
  } catch (const Error&) {
    count = 0;
  }
  statement->closeCursor();
  return count == 1 && indicator != SQL_NULL_DATA;
}

void OdbcRowWriter::commitGroup() {
  if (!m_inTransaction) return;
  try {
    m_commits.beforeCommit();
  } catch (const Error& e) {
    try {
      m_session->endTransaction(false, "Couldn't roll back the changes to table " + m_plan.table);
    } catch (const Error&) {
    }
    m_group.clear();
    m_groupBytes = 0;
    throw Error(e.what() + m_commits.rolledBack());
  }
  try {
    m_session->endTransaction(true, "Couldn't commit the changes to table " + m_plan.table);
  } catch (const Error& e) {
    // A commit that fails gives the group up as a whole (a deferred
    // constraint, a full disk); one whose connection broke may or may not
    // have reached the database. Either way the message says what is left.
    const bool lost =
        OdbcError::firstState(SQL_HANDLE_DBC, m_session->handle()).rfind("08", 0) == 0;
    try {
      m_session->endTransaction(false, "Couldn't roll back the failed commit");
    } catch (const Error&) {
    }
    m_group.clear();
    m_groupBytes = 0;
    throw Error(e.what() + (lost ? m_commits.unconfirmed() : m_commits.rolledBack()));
  }
  m_commits.committed();
  m_group.clear();
  m_groupBytes = 0;
  m_groupStart = std::chrono::steady_clock::now();
}

bool OdbcRowWriter::lockWaitTimedOut(const std::string& error) const {
  // The driver's own time-out, PostgreSQL's statement time-out that
  // psqlODBC uses for it, and the lock wait time-out of MariaDB and MySQL.
  return m_lastState == "HYT00" || m_lastState == "HYT01" ||
         (m_lastState == "57014" && error.find("statement timeout") != std::string::npos) ||
         error.find("Lock wait timeout exceeded") != std::string::npos;
}

void OdbcRowWriter::rewriteGroup(const std::string& key) {
  try {
    m_session->endTransaction(false, "Couldn't roll back the failed write");
  } catch (const Error&) {
    // The database may have ended the transaction itself.
  }
  // The rows before were written once already: a cancel does not stop them.
  m_replaying = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{m_replaying};
  for (auto& write : m_group) {
    std::string error;
    const long long changed = run(write, error);
    if (!error.empty() || changed != 1) {
      try {
        m_session->endTransaction(false, "Couldn't roll back the failed write");
      } catch (const Error&) {
      }
      m_group.clear();
      m_groupBytes = 0;
      throw Error("Writing the row of table " + m_plan.table + " with key " + key +
                  " failed, and the rows written just before it could not be written again: " +
                  (error.empty() ? "they changed meanwhile" : error) + m_commits.rolledBack());
    }
  }
  commitGroup();
}

void OdbcRowWriter::finish() {
  if (!m_inTransaction) return;
  commitGroup();
  m_inTransaction = false;
  m_session->setAutocommit(true);
}

}  // namespace rowsmith::db::odbc
