#include "engine/db/postgres/PostgresRowWriter.h"

#include <poll.h>

#include <atomic>
#include <optional>
#include <utility>

#include "common/Error.h"
#include "engine/db/postgres/PostgresError.h"

namespace rowsmith::db {

namespace {

// Limits of one transaction of grouped rows.
constexpr auto kTransactionTime = std::chrono::milliseconds(1000);
constexpr int kTransactionRows = 50000;

std::string quoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// SQLSTATE of "canceling statement due to lock timeout".
constexpr const char* kLockNotAvailable = "55P03";
// A row's write that the server has not answered by then waits for a lock
// (or a busy server): it may be cancelled.
constexpr int kQuickAnswer = 100;  // milliseconds

// Whether the server's answer arrives on `connection` within `milliseconds`.
bool answersWithin(PGconn* connection, int milliseconds) {
  pollfd socket{PQsocket(connection), POLLIN, 0};
  return socket.fd < 0 || ::poll(&socket, 1, milliseconds) != 0;
}

std::string nextStatementName() {
  static std::atomic<unsigned> counter{0};
  return "rowsmith_update_" + std::to_string(++counter);
}

}  // namespace

PostgresRowWriter::PostgresRowWriter(PGconn* connection, PostgresTableInfo table,
                                     std::vector<int> keyColumns, PostgresCanceller* canceller)
    : m_connection(connection),
      m_canceller(canceller),
      m_table(std::move(table)),
      m_keyColumns(std::move(keyColumns)) {}

PostgresRowWriter::~PostgresRowWriter() {
  // Statements are per session; let a long-lived connection forget them.
  for (const auto& [columns, name] : m_statements)
    PQclear(PQexec(m_connection, ("DEALLOCATE " + name).c_str()));
}

void PostgresRowWriter::exec(const char* sql, const std::string& context) {
  execPostgres(m_connection, sql, context);
}

const std::string& PostgresRowWriter::statementFor(const std::vector<Change>& changes) {
  std::vector<int> columns;
  for (const Change& change : changes) columns.push_back(change.column);
  auto found = m_statements.find(columns);
  if (found != m_statements.end()) return found->second;

  // UPDATE t SET c = $1 WHERE key = $k AND c::text IS NOT DISTINCT FROM ($o::type)::text.
  // Comparing the text of both sides works for every type, also for those
  // without an equality operator (json, point, ...).
  std::string sql = "UPDATE " + m_table.sqlName() + " SET ";
  int parameter = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i) sql += ", ";
    sql += quoteIdentifier(m_table.columns().at(columns[i]).name) + " = $" +
           std::to_string(++parameter);
  }
  sql += " WHERE ";
  if (m_keyColumns.empty()) {
    sql += "tableoid = $" + std::to_string(parameter + 1) + "::oid AND ctid = $" +
           std::to_string(parameter + 2) + "::tid";
    parameter += 2;
  } else {
    for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
      const auto& column = m_table.columns().at(m_keyColumns[i]);
      if (i) sql += " AND ";
      sql += quoteIdentifier(column.name) + " = $" + std::to_string(++parameter) +
             "::" + column.typeName;
    }
  }
  for (int attnum : columns) {
    const auto& column = m_table.columns().at(attnum);
    sql += " AND " + quoteIdentifier(column.name) + "::text IS NOT DISTINCT FROM ($" +
           std::to_string(++parameter) + "::" + column.typeName + ")::text";
  }

  std::string name = nextStatementName();
  PgResultPtr result(PQprepare(m_connection, name.c_str(), sql.c_str(), 0, nullptr));
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
    throwPostgresError("Cannot prepare the update of table " + m_table.displayName(), m_connection,
                       result.get());
  return m_statements.emplace(std::move(columns), std::move(name)).first->second;
}

std::string PostgresRowWriter::describeKey(const std::vector<std::string>& key) const {
  if (m_keyColumns.empty()) return "row " + (key.size() > 1 ? key[1] : std::string());
  std::string out;
  for (std::size_t i = 0; i < m_keyColumns.size() && i < key.size(); ++i) {
    if (i) out += ", ";
    out += m_table.columns().at(m_keyColumns[i]).name + "=" + key[i];
  }
  return out;
}

void PostgresRowWriter::write(const std::vector<std::string>& key,
                              const std::vector<Change>& changes) {
  if (changes.empty()) return;
  const std::string& statement = statementFor(changes);

  std::vector<const char*> values;
  for (const Change& change : changes)
    values.push_back(change.newValue ? change.newValue->c_str() : nullptr);
  for (const std::string& part : key) values.push_back(part.c_str());
  for (const Change& change : changes)
    values.push_back(change.oldValue ? change.oldValue->c_str() : nullptr);

  std::string keyText = describeKey(key);
  const std::string where = "table " + m_table.displayName() + ", key " + keyText;
  if (m_canceller && m_canceller->requested()) {
    commit();
    throw Cancelled("Cancelled before writing to " + where);
  }
  if (!m_inTransaction) {
    exec("BEGIN", "Cannot start a transaction on table " + m_table.displayName());
    m_inTransaction = true;
    m_rowsInTransaction = 0;
    m_transactionStart = std::chrono::steady_clock::now();
  }

  // Savepoint, update and release travel together: one round trip per row.
  if (!PQenterPipelineMode(m_connection))
    throwPostgresError("Cannot write to " + where, m_connection, nullptr);
  const bool sent =
      PQsendQueryParams(m_connection, "SAVEPOINT rowsmith_row", 0, nullptr, nullptr, nullptr,
                        nullptr, 0) &&
      PQsendQueryPrepared(m_connection, statement.c_str(), static_cast<int>(values.size()),
                          values.data(), nullptr, nullptr, 0) &&
      PQsendQueryParams(m_connection, "RELEASE SAVEPOINT rowsmith_row", 0, nullptr, nullptr,
                        nullptr, nullptr, 0) &&
      PQpipelineSync(m_connection);

  // A write that keeps the server busy waits for a lock: from then on a
  // cancel may interrupt it. The savepoint before it is long set by then,
  // and undoes this row alone.
  std::optional<PostgresCanceller::Window> window;
  if (sent && m_canceller && !answersWithin(m_connection, kQuickAnswer))
    window.emplace(m_canceller, m_connection);

  // Results: one per command, each followed by a null, then the sync.
  PgResultPtr failure;
  bool savepointSet = false;
  std::string affected;
  for (int command = 0; sent && command < 3; ++command) {
    while (PGresult* raw = PQgetResult(m_connection)) {
      PgResultPtr result(raw);
      const ExecStatusType status = PQresultStatus(raw);
      if (status == PGRES_FATAL_ERROR) {
        if (!failure) failure = std::move(result);
      } else if (status == PGRES_COMMAND_OK) {
        if (command == 0) savepointSet = true;
        if (command == 1) affected = PQcmdTuples(raw);
      }
    }
  }
  if (sent) {
    while (PGresult* raw = PQgetResult(m_connection)) {
      const bool synced = PQresultStatus(raw) == PGRES_PIPELINE_SYNC;
      PQclear(raw);
      if (synced) break;
    }
  }
  window.reset();
  const std::string lostConnection = sent ? std::string() : postgresMessage(m_connection, nullptr);
  PQexitPipelineMode(m_connection);

  // A lost connection takes the open group with it: the server rolls back
  // what was not committed.
  if (!sent || PQstatus(m_connection) != CONNECTION_OK) {
    m_inTransaction = false;
    throw Error("Cannot write to " + where + ": " +
                (sent ? postgresMessage(m_connection, nullptr) : lostConnection) +
                m_group.rolledBack());
  }
  if (failure) {
    const std::string message = postgresMessage(m_connection, failure.get());
    // A cancel that came before the savepoint was set (the server slow
    // beyond belief) ends the transaction: that is no clean cancel.
    const bool cancelled = savepointSet && m_canceller && m_canceller->interrupted(failure.get());
    const char* state = PQresultErrorField(failure.get(), PG_DIAG_SQLSTATE);
    const bool lockTimedOut = state && std::string(state) == kLockNotAvailable;
    // Undo this row alone and keep the rows before it.
    std::string lost;
    if (savepointSet)
      exec("ROLLBACK TO SAVEPOINT rowsmith_row", "Cannot undo the failed write to " + where);
    else {
      m_inTransaction = false;
      lost = m_group.rolledBack();
      exec("ROLLBACK", "Cannot undo the failed write to " + where);
    }
    commit();
    if (cancelled) throw Cancelled("Cancelled while writing to " + where);
    if (lockTimedOut)
      throw Error("Cannot write to " + where +
                  ": another session held a lock on the row (or its table) for longer than the "
                  "lock timeout of " +
                  lockTimeoutText() +
                  "; end that session's transaction, or set a longer Lock Timeout (in seconds) "
                  "in the connection string" +
                  lost);
    throw Error("Cannot write to " + where + ": " + message + lost);
  }
  if (affected == "0") {
    commit();
    throw Error("Row changed by another user since it was read: " + where);
  }

  m_group.rowWritten(std::move(keyText));
  ++m_rowsInTransaction;
  if (m_rowsInTransaction >= kTransactionRows ||
      std::chrono::steady_clock::now() - m_transactionStart >= kTransactionTime)
    commit();
}

std::string PostgresRowWriter::lockTimeoutText() const {
  PgResultPtr shown(PQexec(m_connection, "SHOW lock_timeout"));
  if (!shown || PQresultStatus(shown.get()) != PGRES_TUPLES_OK || PQntuples(shown.get()) != 1)
    return "the session";
  return PQgetvalue(shown.get(), 0, 0);
}

void PostgresRowWriter::commit() {
  if (!m_inTransaction) return;
  m_inTransaction = false;
  try {
    exec("COMMIT", "Cannot commit the rows written to table " + m_table.displayName());
  } catch (const Error& e) {
    // A commit the server refused rolled the group back; one whose answer
    // never came may or may not have been carried out.
    throw Error(e.what() + (PQstatus(m_connection) == CONNECTION_OK ? m_group.rolledBack()
                                                                    : m_group.unconfirmed()));
  }
  m_group.committed();
}

}  // namespace rowsmith::db
