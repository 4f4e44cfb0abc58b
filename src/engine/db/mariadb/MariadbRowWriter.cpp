#include "engine/db/mariadb/MariadbRowWriter.h"

#include <errmsg.h>
#include <mysqld_error.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/Error.h"
#include "engine/db/mariadb/MariadbCanceller.h"
#include "engine/db/mariadb/MariadbError.h"
#include "engine/db/mariadb/MariadbGroupStatement.h"
#include "engine/db/mariadb/MariadbRangeGroupStatement.h"

namespace rowsmith::db {

namespace {

// Limits of one transaction of rows.
constexpr auto kTransactionTime = std::chrono::milliseconds(1000);
constexpr int kTransactionRows = 50000;
// Rows written by one statement at most, and about the most bytes of
// values (well below the server's smallest usual max_allowed_packet).
constexpr long long kGroupRows = 10000;
constexpr std::size_t kGroupBytes = 4 << 20;
// Rows written one by one at the start of a run.
constexpr long long kSingleRows = 16;

// One parameter of a prepared UPDATE and the storage its binding points to.
struct Parameter {
  enum class Kind { Text, Bytes, Integer } kind = Kind::Text;
  const std::string* value = nullptr;  // null for NULL
  unsigned long length = 0;
  my_bool isNull = 0;
  long long integer = 0;
};

void bind(MYSQL_BIND& out, Parameter& parameter) {
  std::memset(&out, 0, sizeof out);
  if (!parameter.value) {
    parameter.isNull = 1;
    out.buffer_type = MYSQL_TYPE_NULL;
    out.is_null = &parameter.isNull;
    return;
  }
  if (parameter.kind == Parameter::Kind::Integer) {
    const std::string& text = *parameter.value;
    errno = 0;
    char* end = nullptr;
    if (!text.empty() && text[0] == '-') {
      parameter.integer = std::strtoll(text.c_str(), &end, 10);
    } else {
      parameter.integer = static_cast<long long>(std::strtoull(text.c_str(), &end, 10));
      out.is_unsigned = 1;
    }
    if (errno == 0 && end && *end == '\0' && !text.empty()) {
      out.buffer_type = MYSQL_TYPE_LONGLONG;
      out.buffer = &parameter.integer;
      return;
    }
    out.is_unsigned = 0;
    parameter.kind = Parameter::Kind::Text;
  }
  parameter.length = static_cast<unsigned long>(parameter.value->size());
  out.buffer_type = parameter.kind == Parameter::Kind::Bytes ? MYSQL_TYPE_BLOB : MYSQL_TYPE_STRING;
  out.buffer = const_cast<char*>(parameter.value->data());
  out.buffer_length = parameter.length;
  out.length = &parameter.length;
}

// Shortens the session's lock wait time-out to a second until it goes.
class ShortLockWaits {
 public:
  explicit ShortLockWaits(MYSQL* connection) : m_connection(connection) {}
  ~ShortLockWaits() {
    if (!m_saved) return;
    const std::string sql = "SET SESSION innodb_lock_wait_timeout = " + *m_saved;
    mysql_real_query(m_connection, sql.data(), sql.size());
  }
  ShortLockWaits(const ShortLockWaits&) = delete;
  ShortLockWaits& operator=(const ShortLockWaits&) = delete;

  void begin() {
    if (m_saved) return;
    try {
      MysqlResultPtr shown =
          queryMariadb(m_connection, "SELECT @@SESSION.innodb_lock_wait_timeout", "");
      MYSQL_ROW row = mysql_fetch_row(shown.get());
      if (!row || !row[0]) return;
      const std::string saved = row[0];
      execMariadb(m_connection, "SET SESSION innodb_lock_wait_timeout = 1", "");
      m_saved = saved;
    } catch (const Error&) {
      // The wait keeps its length; the run still ends as cancelled.
    }
  }

 private:
  MYSQL* m_connection;
  std::optional<std::string> m_saved;
};

}  // namespace

MariadbRowWriter::MariadbRowWriter(MYSQL* connection, MariadbTableInfo table,
                                   std::vector<bool> binary, MariadbCanceller* canceller)
    : m_connection(connection),
      m_canceller(canceller),
      m_table(std::move(table)),
      m_binary(std::move(binary)),
      m_valuesLists(std::string(mysql_get_server_info(connection)).find("MariaDB") !=
                    std::string::npos) {
  m_binary.resize(m_table.columns().size(), false);
}

MariadbRowWriter::~MariadbRowWriter() {
  // Nothing written after the last commit() is kept.
  if (m_inFlight) mysql_read_query_result(m_connection);
  if (m_inTransaction) mysql_rollback(m_connection);
}

MYSQL_STMT* MariadbRowWriter::statementFor(const std::vector<int>& columns) {
  auto found = m_statements.find(columns);
  if (found != m_statements.end()) return found->second.get();

  // UPDATE t SET c = ? WHERE key = ? AND <c as bytes> <=> ?: the bytes of a
  // text column in utf8mb4, the one the old value was read in, so that a
  // change of case or of trailing blanks is seen whatever the collation.
  std::string sql = "UPDATE " + m_table.sqlName() + " SET ";
  for (std::size_t i = 0; i < columns.size(); ++i)
    sql += (i ? ", " : "") + mariadbIdentifier(m_table.columns()[columns[i]].name) + " = ?";
  sql += " WHERE ";
  for (std::size_t i = 0; i < m_table.key().size(); ++i) {
    const auto& column = m_table.columns()[m_table.key()[i]];
    sql += (i ? " AND " : "") + mariadbIdentifier(column.name) +
           (column.decimal ? " = CAST(? AS DECIMAL(65,30))" : " = ?");
  }
  for (int column : columns) {
    const std::string name = mariadbIdentifier(m_table.columns()[column].name);
    sql += " AND " +
           (m_binary[column] ? name : "CAST(CONVERT(" + name + " USING utf8mb4) AS BINARY)") +
           " <=> ?";
  }
  MysqlStatementPtr statement(mysql_stmt_init(m_connection));
  if (!statement) throw Error("Cannot prepare the update of table " + m_table.name());
  if (mysql_stmt_prepare(statement.get(), sql.data(), sql.size()) != 0)
    throw Error("Cannot prepare the update of table " + m_table.name() + ": " +
                mariadbMessage(statement.get()));
  return m_statements.emplace(columns, std::move(statement)).first->second.get();
}

std::string MariadbRowWriter::describeKey(const std::vector<std::string>& key) const {
  std::string out;
  for (std::size_t i = 0; i < m_table.key().size() && i < key.size(); ++i)
    out += (i ? ", " : "") + m_table.columns()[m_table.key()[i]].name + "=" + key[i];
  return out;
}

void MariadbRowWriter::beginTransaction() {
  if (m_inTransaction) return;
  execMariadb(m_connection, "START TRANSACTION",
              "Cannot start a transaction on table " + m_table.name());
  m_inTransaction = true;
  m_rowsInTransaction = 0;
  m_transactionStart = std::chrono::steady_clock::now();
}

void MariadbRowWriter::write(std::vector<std::string> key, std::vector<Change> changes) {
  if (changes.empty()) return;
  // A cancel keeps the rows moved past and drops the row in hand.
  if (m_canceller && m_canceller->requested()) {
    flush();
    commitTransaction();
    throw Cancelled("Cancelled before writing to table " + m_table.name() + ", key " +
                    describeKey(key));
  }
  for (const std::string& part : key) m_bufferedBytes += part.size();
  for (const Change& change : changes)
    m_bufferedBytes += 2 * (change.newValue ? change.newValue->size() : 0) +
                       2 * (change.oldValue ? change.oldValue->size() : 0) + 16;
  if (m_rows.empty())
    m_rows.reserve(static_cast<std::size_t>(std::min(m_rowsApplied, kGroupRows)) + 1);
  m_rows.push_back(MariadbRowChanges{std::move(key), std::move(changes)});
  // The first rows go one by one, then groups double up to their size: a
  // short run, and a fault in its first rows, is reported on moving past
  // its row, as rows written one by one would be.
  const long long limit = m_rowsApplied < kSingleRows ? 1 : std::min(m_rowsApplied, kGroupRows);
  if (static_cast<long long>(m_rows.size()) < limit && m_bufferedBytes < kGroupBytes) return;
  send();
}

void MariadbRowWriter::flush() {
  if (!m_rows.empty()) send();
  settle();
}

void MariadbRowWriter::send() {
  std::vector<MariadbRowChanges> rows;
  rows.swap(m_rows);
  m_bufferedBytes = 0;
  m_rowsApplied += static_cast<long long>(rows.size());
  // Built while the server still applies the group before. Should that
  // group fail, these rows come after the row it reports and are dropped.
  std::vector<Statement> statements;
  if (rows.size() > 1) statements = buildStatements(rows);
  settle();
  if (statements.empty())
    writeRows(rows);
  else
    startGroup(std::move(rows), std::move(statements));
}

void MariadbRowWriter::writeRows(const std::vector<MariadbRowChanges>& rows) {
  // The rows are moved past: a cancel asked for meanwhile still writes
  // them, but a row that waits for a lock then waits no longer than a
  // second, which ends the run as cancelled.
  ShortLockWaits shortWaits(m_connection);
  if (m_canceller && m_canceller->requested()) shortWaits.begin();
  for (const MariadbRowChanges& row : rows) writeRow(row, true);
}

void MariadbRowWriter::exec(const std::string& sql, const std::string& context) {
  if (mysql_real_query(m_connection, sql.data(), sql.size()) == 0) return;
  const unsigned int error = mysql_errno(m_connection);
  const std::string message = mariadbMessage(m_connection);
  // A lost connection, or a deadlock, takes the open transaction with it.
  if (mariadbConnectionLost(error) || error == ER_LOCK_DEADLOCK) {
    m_inTransaction = false;
    throw Error(context + ": " + message + m_group.rolledBack());
  }
  throw Error(context + ": " + message);
}

std::vector<MariadbRowWriter::Statement> MariadbRowWriter::buildStatements(
    const std::vector<MariadbRowChanges>& rows) const {
  std::map<std::vector<int>, std::vector<const MariadbRowChanges*>> groups;
  for (const MariadbRowChanges& row : rows) {
    std::vector<int> columns;
    for (const Change& change : row.changes) columns.push_back(change.column);
    groups[columns].push_back(&row);
  }
  std::vector<Statement> statements;
  for (const auto& [columns, members] : groups) {
    std::optional<std::string> ranged =
        MariadbRangeGroupStatement::build(m_connection, m_table, m_binary, columns, members);
    statements.push_back({ranged ? std::move(*ranged)
                                 : MariadbGroupStatement::build(m_connection, m_table, m_binary,
                                                                columns, members, m_valuesLists),
                          members.size()});
  }
  return statements;
}

void MariadbRowWriter::startGroup(std::vector<MariadbRowChanges> rows,
                                  std::vector<Statement> statements) {
  beginTransaction();
  exec("SAVEPOINT rowsmith_group", "Cannot write to table " + m_table.name());
  m_inFlight.emplace();
  m_inFlight->rows = std::move(rows);
  // All statements but the last are waited for here.
  for (std::size_t i = 0; i < statements.size(); ++i) {
    const std::string& sql = statements[i].sql;
    m_inFlight->expected = statements[i].rows;
    if (i + 1 == statements.size()) {
      if (mysql_send_query(m_connection, sql.data(), static_cast<unsigned long>(sql.size())) == 0)
        return;  // in flight
      finishGroup(outcomeOf(true));
      return;
    }
    bool failed = false;
    {
      MariadbCanceller::Window window(m_canceller, m_connection);
      failed = mysql_real_query(m_connection, sql.data(), sql.size()) != 0;
    }
    const Outcome outcome = outcomeOf(failed);
    if (outcome.failed || outcome.found != m_inFlight->expected) {
      finishGroup(outcome);
      return;
    }
  }
}

MariadbRowWriter::Outcome MariadbRowWriter::outcomeOf(bool failed) const {
  Outcome outcome;
  outcome.failed = failed;
  if (failed) {
    outcome.error = mysql_errno(m_connection);
    outcome.message = mariadbMessage(m_connection);
  } else {
    outcome.found = mysql_affected_rows(m_connection);
  }
  return outcome;
}

void MariadbRowWriter::settle() {
  if (!m_inFlight) return;
  bool failed = false;
  {
    MariadbCanceller::Window window(m_canceller, m_connection);
    // The rows are moved past and are written even when a cancel was asked
    // for, but a statement that waits for a lock waits no longer than a
    // second then: it is interrupted, and the rows are written one by one.
    if (m_canceller && m_canceller->requested() && !resultWithin(std::chrono::seconds(1)))
      m_canceller->cancel();
    failed = mysql_read_query_result(m_connection) != 0;
  }
  finishGroup(outcomeOf(failed));
}

bool MariadbRowWriter::resultWithin(std::chrono::milliseconds wait) const {
  pollfd socket{};
  socket.fd = static_cast<int>(mysql_get_socket(m_connection));
  socket.events = POLLIN;
  return socket.fd < 0 || poll(&socket, 1, static_cast<int>(wait.count())) != 0;
}

void MariadbRowWriter::finishGroup(const Outcome& outcome) {
  InFlight group = std::move(*m_inFlight);
  m_inFlight.reset();
  const std::vector<MariadbRowChanges>& rows = group.rows;
  const std::string where = "table " + m_table.name();
  if (outcome.failed) {
    const unsigned int error = outcome.error;
    // Lost with the transaction: the group's rows were moved past too.
    if (mariadbConnectionLost(error) || error == ER_LOCK_DEADLOCK ||
        (error == ER_LOCK_WAIT_TIMEOUT && rollsBackOnTimeout())) {
      if (!mariadbConnectionLost(error)) mysql_rollback(m_connection);
      m_inTransaction = false;
      m_group.rowsWritten(static_cast<long long>(rows.size()), describeKey(rows.back().key));
      throw Error("Cannot write to " + where + ": " + outcome.message + m_group.rolledBack());
    }
  } else if (outcome.found == group.expected) {
    exec("RELEASE SAVEPOINT rowsmith_group", "Cannot write to " + where);
    m_group.rowsWritten(static_cast<long long>(rows.size()), describeKey(rows.back().key));
    m_rowsInTransaction += static_cast<int>(rows.size());
    if (m_rowsInTransaction >= kTransactionRows || commitDue()) commitTransaction();
    return;
  }
  // Row by row again, from before the group, to find the row to report.
  exec("ROLLBACK TO SAVEPOINT rowsmith_group", "Cannot undo the failed write to " + where);
  exec("RELEASE SAVEPOINT rowsmith_group", "Cannot undo the failed write to " + where);
  writeRows(rows);
}

void MariadbRowWriter::writeRow(const MariadbRowChanges& row, bool replaying) {
  const std::vector<std::string>& key = row.key;
  const std::vector<Change>& changes = row.changes;
  std::string keyText = describeKey(key);
  const std::string where = "table " + m_table.name() + ", key " + keyText;
  if (!replaying && m_canceller && m_canceller->requested()) {
    commitTransaction();
    throw Cancelled("Cancelled before writing to " + where);
  }
  std::vector<int> columns;
  for (const Change& change : changes) columns.push_back(change.column);
  MYSQL_STMT* statement = statementFor(columns);

  // New values, key values, old values.
  std::vector<Parameter> parameters;
  parameters.reserve(2 * changes.size() + key.size());
  for (const Change& change : changes)
    parameters.push_back({m_binary[change.column] ? Parameter::Kind::Bytes : Parameter::Kind::Text,
                          change.newValue ? &*change.newValue : nullptr});
  for (std::size_t i = 0; i < key.size(); ++i) {
    const int column = m_table.key()[i];
    parameters.push_back({m_table.columns()[column].integer ? Parameter::Kind::Integer
                          : m_binary[column]                ? Parameter::Kind::Bytes
                                                            : Parameter::Kind::Text,
                          &key[i]});
  }
  for (const Change& change : changes)
    parameters.push_back({Parameter::Kind::Bytes, change.oldValue ? &*change.oldValue : nullptr});
  std::vector<MYSQL_BIND> binds(parameters.size());
  for (std::size_t i = 0; i < parameters.size(); ++i) bind(binds[i], parameters[i]);

  beginTransaction();
  bool failed = mysql_stmt_bind_param(statement, binds.data()) != 0;
  if (!failed) {
    MariadbCanceller::Window window(m_canceller, m_connection);
    failed = mysql_stmt_execute(statement) != 0;
  }
  if (failed) fail(mysql_stmt_errno(statement), mariadbMessage(statement), where);
  if (mysql_stmt_affected_rows(statement) == 0) {
    commitTransaction();
    throw Error("Row changed by another user since it was read: " + where);
  }
  m_group.rowWritten(std::move(keyText));
  if (++m_rowsInTransaction >= kTransactionRows || commitDue()) commitTransaction();
}

bool MariadbRowWriter::commitDue() const {
  return std::chrono::steady_clock::now() - m_transactionStart >= kTransactionTime;
}

bool MariadbRowWriter::rollsBackOnTimeout() {
  if (!m_rollbackOnTimeout) {
    m_rollbackOnTimeout = true;  // the safe assumption when the server does not say
    try {
      MysqlResultPtr shown = queryMariadb(m_connection, "SELECT @@innodb_rollback_on_timeout", "");
      if (MYSQL_ROW row = mysql_fetch_row(shown.get()))
        m_rollbackOnTimeout = row[0] && std::string(row[0]) != "0";
    } catch (const Error&) {
    }
  }
  return *m_rollbackOnTimeout;
}

void MariadbRowWriter::fail(unsigned int error, const std::string& message,
                            const std::string& where) {
  // A lost connection, a deadlock (and, where the server is set so, a lock
  // wait time-out) take the whole open transaction with them; any other
  // failure undoes the statement alone, and the rows before it are kept.
  std::string lost;
  if (mariadbConnectionLost(error) || error == ER_LOCK_DEADLOCK ||
      (error == ER_LOCK_WAIT_TIMEOUT && rollsBackOnTimeout())) {
    if (m_inTransaction && !mariadbConnectionLost(error)) mysql_rollback(m_connection);
    m_inTransaction = false;
    lost = m_group.rolledBack();
  } else {
    commitTransaction();
  }
  if (m_canceller && (m_canceller->interrupted(error) ||
                      (m_canceller->requested() && error == ER_LOCK_WAIT_TIMEOUT)))
    throw Cancelled("Cancelled while writing to " + where + lost);
  if (error == ER_LOCK_WAIT_TIMEOUT) {
    const long long seconds = [this] {
      try {
        MysqlResultPtr shown =
            queryMariadb(m_connection, "SELECT @@SESSION.innodb_lock_wait_timeout", "");
        MYSQL_ROW row = mysql_fetch_row(shown.get());
        return row && row[0] ? std::atoll(row[0]) : 0LL;
      } catch (const Error&) {
        return 0LL;
      }
    }();
    throw Error("Cannot write to " + where +
                ": another session held a lock on the row (or its table) for longer than the "
                "lock timeout of " +
                (seconds > 0 ? std::to_string(seconds) + (seconds == 1 ? " second" : " seconds")
                             : std::string("the session")) +
                "; end that session's transaction, or set a longer Lock Timeout (in seconds) in "
                "the connection string" +
                lost);
  }
  throw Error("Cannot write to " + where + ": " + message + lost);
}

void MariadbRowWriter::commit() {
  flush();
  commitTransaction();
}

void MariadbRowWriter::commitTransaction() {
  if (!m_inTransaction) return;
  m_inTransaction = false;
  try {
    m_group.beforeCommit();
  } catch (const Error& e) {
    mysql_real_query(m_connection, "ROLLBACK", 8);
    throw Error(e.what() + m_group.rolledBack());
  }
  if (mysql_real_query(m_connection, "COMMIT", 6) != 0) {
    // A commit the server refused rolled the rows back; one whose answer
    // never came may or may not have been carried out.
    const unsigned int error = mysql_errno(m_connection);
    const std::string message = mariadbMessage(m_connection);
    throw Error("Cannot commit the rows written to table " + m_table.name() + ": " + message +
                (error == CR_SERVER_LOST ? m_group.unconfirmed() : m_group.rolledBack()));
  }
  m_group.committed();
}

}  // namespace rowsmith::db
