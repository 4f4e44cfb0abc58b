#include "engine/db/postgres/PostgresRowWriter.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>

#include "common/Error.h"
#include "engine/db/postgres/PostgresError.h"
#include "engine/db/postgres/PostgresTextArray.h"

namespace rowsmith::db {

namespace {

// Limits of one transaction of grouped rows.
constexpr auto kTransactionTime = std::chrono::milliseconds(1000);
constexpr int kTransactionRows = 50000;
// Rows written by one statement at most.
constexpr long long kGroupRows = 10000;
// Rows written one by one at the start of a run.
constexpr long long kSingleRows = 16;

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
  // An answer may be read already (in a pipeline, with the one before).
  if (PQconsumeInput(connection) && !PQisBusy(connection)) return true;
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
  // Groups still in the pipeline (the record set was given up after an
  // error) are applied as they were sent; a failed one leaves its
  // transaction to end here.
  endPipeline();
  if (PQtransactionStatus(m_connection) == PQTRANS_INERROR)
    PQclear(PQexec(m_connection, "ROLLBACK"));
  // Statements are per session; let a long-lived connection forget them.
  for (const auto* statements : {&m_statements, &m_groupStatements})
    for (const auto& [columns, name] : *statements)
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

const std::string& PostgresRowWriter::groupStatementFor(const std::vector<int>& columns) {
  auto found = m_groupStatements.find(columns);
  if (found != m_groupStatements.end()) return found->second;

  // UPDATE t SET c = u.n::type FROM (SELECT unnest($1::text[]) AS k0, ..) AS u
  // WHERE t.key = u.k::type AND t.c::text IS NOT DISTINCT FROM (u.o::type)::text:
  // the row-by-row statement, for the rows of arrays. Arrays unnested in the
  // select list are read as the join goes; in FROM they would be copied into
  // a store first.
  const std::string target = "rowsmith_target", rows = "rowsmith_rows";
  std::string set, where, arrays;
  int parameter = 0;
  auto addArray = [&](const std::string& name) {
    arrays += (arrays.empty() ? "unnest($" : ", unnest($") + std::to_string(++parameter) +
              "::text[]) AS " + name;
  };
  for (std::size_t i = 0; i < m_keyColumns.size(); ++i) {
    const auto& column = m_table.columns().at(m_keyColumns[i]);
    addArray("k" + std::to_string(i));
    where += (where.empty() ? "" : " AND ") + target + "." + quoteIdentifier(column.name) + " = " +
             rows + ".k" + std::to_string(i) + "::" + column.typeName;
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const auto& column = m_table.columns().at(columns[i]);
    const std::string name = quoteIdentifier(column.name), n = std::to_string(i);
    addArray("o" + n);
    addArray("n" + n);
    set += (set.empty() ? "" : ", ") + name + " = " + rows + ".n" + n + "::" + column.typeName;
    where += " AND " + target + "." + name + "::text IS NOT DISTINCT FROM (" + rows + ".o" + n +
             "::" + column.typeName + ")::text";
  }
  // Fewer rows updated than the arrays hold fail the statement (a division
  // by zero), so that the COMMIT sent behind it, and every group after it
  // until the next sync, is skipped.
  const std::string sql = "WITH rowsmith_changed AS (UPDATE " + m_table.sqlName() + " AS " +
                          target + " SET " + set + " FROM (SELECT " + arrays + ") AS " + rows +
                          " WHERE " + where +
                          " RETURNING 1) SELECT 1 / (count(*) = cardinality($1::text[]))::int "
                          "FROM rowsmith_changed";
  std::string name = nextStatementName();
  PgResultPtr result(PQprepare(m_connection, name.c_str(), sql.c_str(), 0, nullptr));
  if (!result || PQresultStatus(result.get()) != PGRES_COMMAND_OK)
    throwPostgresError("Cannot prepare the update of table " + m_table.displayName(), m_connection,
                       result.get());
  return m_groupStatements.emplace(columns, std::move(name)).first->second;
}

void PostgresRowWriter::write(std::vector<std::string> key, std::vector<Change> changes) {
  if (changes.empty()) return;
  // Rows found by ctid are written one by one.
  if (m_keyColumns.empty()) {
    writeRow(key, changes);
    return;
  }
  // A cancel keeps the rows moved past and drops the row in hand.
  if (m_canceller && m_canceller->requested()) {
    flush();
    commitTransaction();
    throw Cancelled("Cancelled before writing to table " + m_table.displayName() + ", key " +
                    describeKey(key));
  }
  m_rows.push_back(Row{std::move(key), std::move(changes)});
  // The first rows go one by one, then groups double up to their size: a
  // short run, and a fault in its first rows, is reported on moving past
  // its row, as rows written one by one would be.
  const long long limit = m_rowsApplied < kSingleRows ? 1 : std::min(m_rowsApplied, kGroupRows);
  if (static_cast<long long>(m_rows.size()) >= limit) sendRows();
}

void PostgresRowWriter::flush() {
  sendRows();
  settleAll();
}

void PostgresRowWriter::sendRows() {
  if (m_rows.empty()) return;
  std::vector<Row> rows;
  rows.swap(m_rows);
  m_rowsApplied += static_cast<long long>(rows.size());
  // The rows are moved past: a cancel asked for meanwhile still writes them,
  // unless a row's own write waits (writeRow). A group before them that
  // fails drops them: they come after the row reported.
  if (rows.size() == 1) {
    settleAll();
    writeRow(rows.front().key, rows.front().changes, true);
    return;
  }
  sendGroup(std::move(rows));
  // One group is applied while the next one travels.
  while (m_sent.size() > 1) settleGroup();
}

void PostgresRowWriter::sendGroup(std::vector<Row> rows) {
  const std::string where = "table " + m_table.displayName();

  // The rows by the columns they change, each set with its arrays: keys,
  // then old and new values of each column.
  std::map<std::vector<int>, std::vector<PostgresTextArray>> groups;
  for (const Row& row : rows) {
    std::vector<int> columns;
    for (const Change& change : row.changes) columns.push_back(change.column);
    auto [entry, added] = groups.try_emplace(columns);
    std::vector<PostgresTextArray>& arrays = entry->second;
    if (added) arrays.resize(m_keyColumns.size() + 2 * columns.size());
    std::size_t a = 0;
    for (const std::string& part : row.key) arrays[a++].append(std::string_view(part));
    for (const Change& change : row.changes) {
      arrays[a++].append(change.oldValue);
      arrays[a++].append(change.newValue);
    }
  }
  // Statements are prepared outside the pipeline.
  std::vector<const std::string*> statements;
  for (const auto& [columns, arrays] : groups) {
    if (m_inPipeline && !m_groupStatements.contains(columns)) settleAll();
    statements.push_back(&groupStatementFor(columns));
  }
  if (!m_inPipeline) {
    commitTransaction();  // rows written one by one before
    if (!PQenterPipelineMode(m_connection))
      throwPostgresError("Cannot write to " + where, m_connection, nullptr);
    m_inPipeline = true;
  }

  // The group carries its own COMMIT: what must be durable before a commit
  // (an undo journal) is made so now, before anything of it is sent.
  try {
    m_group.beforeCommit();
  } catch (const Error& e) {
    throw Error(e.what() + std::string("; the ") + std::to_string(rows.size()) +
                " rows of the group were not written to " + where);
  }

  SentGroup sent;
  const auto sendCommand = [&](const char* sql) {
    ++sent.results;
    return PQsendQueryParams(m_connection, sql, 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
  };
  bool ok = sendCommand("BEGIN");
  // The plan made for a group's first arrays (a join that reads the whole
  // table, for a large group) must not stay; the generic plan looks each key
  // up. For this transaction only: the connection is the user's.
  if (ok && PQserverVersion(m_connection) >= 120000)
    ok = sendCommand("SET LOCAL plan_cache_mode = force_generic_plan");
  std::size_t s = 0;
  for (auto& [columns, arrays] : groups) {
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (PostgresTextArray& array : arrays) {
      const std::string& bytes = array.bytes();
      values.push_back(bytes.data());
      lengths.push_back(static_cast<int>(bytes.size()));
      formats.push_back(1);
    }
    ++sent.results;
    ok = ok && PQsendQueryPrepared(m_connection, statements[s++]->c_str(),
                                   static_cast<int>(values.size()), values.data(), lengths.data(),
                                   formats.data(), 0);
  }
  // The answers come as each group ends, without waiting for a sync.
  m_inTransaction = true;
  ++sent.results;
  ok = commitTransaction(true) && ok && PQsendFlushRequest(m_connection) &&
       PQflush(m_connection) == 0;
  sent.rows = std::move(rows);
  m_sent.push_back(std::move(sent));
  if (!ok) lostConnection(postgresMessage(m_connection, nullptr));
}

void PostgresRowWriter::lostConnection(const std::string& message) {
  // Only a lost connection fails this way. The groups in the pipeline were
  // sent with their COMMIT: whether the server carried it out is not known.
  for (const SentGroup& group : m_sent)
    m_group.rowsWritten(static_cast<long long>(group.rows.size()),
                        describeKey(group.rows.back().key));
  m_sent.clear();
  m_rows.clear();
  m_inPipeline = false;
  m_inTransaction = false;
  PQexitPipelineMode(m_connection);
  throw Error("Cannot write to table " + m_table.displayName() + ": " + message +
              m_group.unconfirmed());
}

void PostgresRowWriter::settleGroup() {
  if (m_sent.empty()) return;
  SentGroup group = std::move(m_sent.front());
  m_sent.pop_front();
  const std::string where = "table " + m_table.displayName();

  PgResultPtr failure;
  bool applied = true;
  {
    // A statement that keeps the server busy may wait for a lock: a cancel
    // interrupts it, and the rows are written again one by one below.
    std::optional<PostgresCanceller::Window> window;
    for (int r = 0; r < group.results; ++r) {
      if (!window && m_canceller && !answersWithin(m_connection, kQuickAnswer))
        window.emplace(m_canceller, m_connection);
      // The first result of the command, past the null that ends it.
      PgResultPtr result;
      while (PGresult* raw = PQgetResult(m_connection)) {
        if (!result)
          result.reset(raw);
        else
          PQclear(raw);
      }
      const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
      if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && applied) {
        applied = false;
        failure = std::move(result);
      }
      if (PQstatus(m_connection) != CONNECTION_OK) break;
    }
  }
  if (PQstatus(m_connection) != CONNECTION_OK) {
    m_sent.push_front(std::move(group));
    lostConnection(postgresMessage(m_connection, failure.get()));
  }
  if (applied) {
    m_group.rowsWritten(static_cast<long long>(group.rows.size()),
                        describeKey(group.rows.back().key));
    m_group.committed();
    return;
  }
  // The server skipped the groups after this one: end the pipeline, undo
  // the group and write it again row by row, from before the group, to find
  // the row to report.
  std::deque<SentGroup> later;
  later.swap(m_sent);
  try {
    endPipeline();
    groupExec("ROLLBACK", "Cannot undo the failed write to " + where);
    for (const Row& row : group.rows) writeRow(row.key, row.changes, true);
  } catch (...) {
    m_rows.clear();
    throw;
  }
  // Every row was written after all (what failed did not fail again): the
  // groups after go again.
  for (SentGroup& next : later) sendGroup(std::move(next.rows));
}

void PostgresRowWriter::settleAll() {
  while (!m_sent.empty()) settleGroup();
  endPipeline();
}

void PostgresRowWriter::endPipeline() {
  if (!m_inPipeline) return;
  m_inPipeline = false;
  // What is still queued is read up to the sync, and dropped.
  if (PQpipelineSync(m_connection)) {
    while (PQstatus(m_connection) == CONNECTION_OK) {
      PGresult* raw = PQgetResult(m_connection);
      if (!raw) continue;
      const bool synced = PQresultStatus(raw) == PGRES_PIPELINE_SYNC;
      PQclear(raw);
      if (synced) break;
    }
  }
  PQexitPipelineMode(m_connection);
}

void PostgresRowWriter::groupExec(const char* sql, const std::string& context) {
  try {
    exec(sql, context);
  } catch (const Error& e) {
    // A lost connection takes the open group with it.
    if (PQstatus(m_connection) == CONNECTION_OK) throw;
    m_inTransaction = false;
    throw Error(e.what() + m_group.rolledBack());
  }
}

void PostgresRowWriter::beginTransaction() {
  if (m_inTransaction) return;
  exec("BEGIN", "Cannot start a transaction on table " + m_table.displayName());
  m_inTransaction = true;
  // The plan made for a group's first arrays (a join that reads the whole
  // table, for a large group) must not stay; the generic plan looks each key
  // up. For this transaction only: the connection is the user's.
  if (!m_keyColumns.empty() && PQserverVersion(m_connection) >= 120000)
    exec("SET LOCAL plan_cache_mode = force_generic_plan",
         "Cannot start a transaction on table " + m_table.displayName());
  m_rowsInTransaction = 0;
  m_transactionStart = std::chrono::steady_clock::now();
}

bool PostgresRowWriter::commitDue() const {
  return std::chrono::steady_clock::now() - m_transactionStart >= kTransactionTime;
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

void PostgresRowWriter::writeRow(const std::vector<std::string>& key,
                                 const std::vector<Change>& changes, bool replaying) {
  const std::string& statement = statementFor(changes);

  std::vector<const char*> values;
  for (const Change& change : changes)
    values.push_back(change.newValue ? change.newValue->c_str() : nullptr);
  for (const std::string& part : key) values.push_back(part.c_str());
  for (const Change& change : changes)
    values.push_back(change.oldValue ? change.oldValue->c_str() : nullptr);

  std::string keyText = describeKey(key);
  const std::string where = "table " + m_table.displayName() + ", key " + keyText;
  // Rows moved past are written again after a cancelled group: only a row
  // whose own write waits is cancelled then (its window sends the cancel).
  if (!replaying && m_canceller && m_canceller->requested()) {
    commitTransaction();
    throw Cancelled("Cancelled before writing to " + where);
  }
  beginTransaction();

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
    commitTransaction();
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
    commitTransaction();
    throw Error("Row changed by another user since it was read: " + where);
  }

  m_group.rowWritten(std::move(keyText));
  ++m_rowsInTransaction;
  if (m_rowsInTransaction >= kTransactionRows || commitDue()) commitTransaction();
}

std::string PostgresRowWriter::lockTimeoutText() const {
  PgResultPtr shown(PQexec(m_connection, "SHOW lock_timeout"));
  if (!shown || PQresultStatus(shown.get()) != PGRES_TUPLES_OK || PQntuples(shown.get()) != 1)
    return "the session";
  return PQgetvalue(shown.get(), 0, 0);
}

void PostgresRowWriter::commit() {
  flush();
  commitTransaction();
}

bool PostgresRowWriter::commitTransaction(bool inPipeline) {
  if (!m_inTransaction) return true;
  m_inTransaction = false;
  // The group's own, behind its statements; settleGroup() reads the answer.
  if (inPipeline)
    return PQsendQueryParams(m_connection, "COMMIT", 0, nullptr, nullptr, nullptr, nullptr, 0) != 0;
  try {
    m_group.beforeCommit();
  } catch (const Error& e) {
    PgResultPtr rolledBack(PQexec(m_connection, "ROLLBACK"));
    throw Error(e.what() + m_group.rolledBack());
  }
  try {
    exec("COMMIT", "Cannot commit the rows written to table " + m_table.displayName());
  } catch (const Error& e) {
    // A commit the server refused rolled the group back; one whose answer
    // never came may or may not have been carried out.
    throw Error(e.what() + (PQstatus(m_connection) == CONNECTION_OK ? m_group.rolledBack()
                                                                    : m_group.unconfirmed()));
  }
  m_group.committed();
  return true;
}

}  // namespace rowsmith::db
