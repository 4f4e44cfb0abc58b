#include "engine/db/sqlite/SqliteRecordSet.h"

#include <atomic>
#include <cctype>
#include <utility>

#include "common/Error.h"
#include "engine/db/sqlite/SqliteError.h"

namespace rowsmith::db {

namespace {

// Rows written within one transaction: at most this much time of work.
constexpr auto kCommitInterval = std::chrono::milliseconds(500);

std::string nextSnapshotName() {
  static std::atomic<unsigned> counter{0};
  return "rowsmith_snapshot_" + std::to_string(++counter);
}

std::string valueText(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_BLOB:
      return "(binary)";
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      return text != nullptr ? text : "";
    }
  }
}

}  // namespace

SqliteRecordSet::SqliteRecordSet(SqliteHandle database, SqliteStatement statement,
                                 SqliteResultShape shape, bool countRecords,
                                 SqliteFileIdentity file)
    : m_database(std::move(database)),
      m_source(std::move(statement)),
      m_shape(std::move(shape)),
      m_countRecords(countRecords),
      m_file(std::move(file)) {
  const std::size_t count = m_shape.columns().size();
  m_values.resize(count);
  m_pending.resize(count);
  m_changed.assign(count, false);
  // Made before the first step: a schema change under a running statement
  // would make SQLite prepare it again.
  if (m_shape.updatable()) createSnapshotTable();
  countAndStep();
  for (int i = 0; i < static_cast<int>(count); ++i) {
    auto& column = m_shape.columns()[i];
    if (column.type == DataType::Empty)
      column.type = m_eof ? DataType::VarWChar
                          : SqliteResultShape::typeFromValue(
                                sqlite3_column_type(m_source.get(), statementColumn(i)));
  }
}

SqliteRecordSet::~SqliteRecordSet() {
  try {
    close();
  } catch (const Error&) {
    // A record set released without close() has nobody left to tell.
  }
}

void SqliteRecordSet::step() {
  m_eof = !m_source.step(m_onSnapshot ? tableContext("Reading the rows of table")
                                      : "Reading the query's rows");
}

void SqliteRecordSet::countAndStep() {
  m_count = -1;
  SqliteStatement counter;
  if (m_countRecords && m_shape.fromOneTable() && m_source) {
    std::string sql = sqlite3_sql(m_source.get());
    while (!sql.empty() &&
           (sql.back() == ';' || std::isspace(static_cast<unsigned char>(sql.back()))))
      sql.pop_back();
    // Left active (on its row) until the first step below has begun reading,
    // which keeps the connection's read transaction, and its view, open.
    if (SqliteStatement::tryPrepare(m_database, "SELECT count(*) FROM (" + sql + "\n)", counter) &&
        counter && sqlite3_step(counter.get()) == SQLITE_ROW)
      m_count = sqlite3_column_int64(counter.get(), 0);
  }
  step();
}

void SqliteRecordSet::moveFirst() {
  if (!m_open) throw Error("The record set is closed");
  if (m_position == 0) return;
  if (m_anyChanged) writeCurrentRow();
  m_source.reset();
  m_position = 0;
  if (m_onSnapshot)
    step();  // the snapshot holds the rows counted at the start
  else
    countAndStep();
}

void SqliteRecordSet::moveNext() {
  requireRow("move to the next row");
  if (m_anyChanged) writeCurrentRow();
  ++m_position;
  step();
}

void SqliteRecordSet::close() {
  if (!m_open) return;
  m_open = false;
  m_anyChanged = false;
  m_source.finalize();
  m_updates.clear();
  std::string failure;
  try {
    commit();
  } catch (const Error& e) {
    failure = e.what();
  }
  if (!m_snapshotTable.empty())
    sqlite3_exec(m_database.get(), ("DROP TABLE IF EXISTS temp." + m_snapshotTable).c_str(),
                 nullptr, nullptr, nullptr);
  if (!failure.empty()) throw Error(failure);
  // Every commit succeeds on a file that was removed or replaced meanwhile.
  if (m_wroteRows) m_file.verifyStillInPlace();
}

const std::string& SqliteRecordSet::fieldName(int ordinal) const {
  checkOrdinal(ordinal);
  return m_shape.columns()[ordinal].name;
}

DataType SqliteRecordSet::fieldType(int ordinal) const {
  checkOrdinal(ordinal);
  return m_shape.columns()[ordinal].type;
}

const Value& SqliteRecordSet::value(int ordinal) {
  checkOrdinal(ordinal);
  requireRow("read a field");
  Value& value = m_values[ordinal];
  if (m_changed[ordinal]) {
    value.kind = m_pending[ordinal] ? Value::Kind::Text : Value::Kind::Null;
    value.text = m_pending[ordinal].value_or("");
    return value;
  }
  sqlite3_stmt* s = m_source.get();
  const int column = statementColumn(ordinal);
  switch (sqlite3_column_type(s, column)) {
    case SQLITE_NULL:
      value.kind = Value::Kind::Null;
      value.text.clear();
      break;
    case SQLITE_INTEGER:
      value.kind = Value::Kind::Integer;
      value.integer = sqlite3_column_int64(s, column);
      break;
    case SQLITE_FLOAT:
      value.kind = Value::Kind::Real;
      value.real = sqlite3_column_double(s, column);
      break;
    case SQLITE_BLOB: {
      value.kind = Value::Kind::Binary;
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, column));
      value.text.assign(bytes != nullptr ? bytes : "",
                        static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
      break;
    }
    default: {
      value.kind = Value::Kind::Text;
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
      value.text.assign(text != nullptr ? text : "",
                        static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
      break;
    }
  }
  return value;
}

void SqliteRecordSet::setValue(int ordinal, std::optional<std::string_view> value) {
  checkOrdinal(ordinal);
  requireRow("write a field");
  if (!m_shape.updatable())
    throw Error("The record set cannot be updated: " + m_shape.whyNotUpdatable());
  const auto& column = m_shape.columns()[ordinal];
  if (column.origin.empty())
    throw Error("Field \"" + column.name + "\" cannot be updated: " + column.readOnlyReason);
  if (!m_onSnapshot) moveToSnapshot();
  m_pending[ordinal] = value ? std::optional<std::string>(std::string(*value)) : std::nullopt;
  m_changed[ordinal] = true;
  m_anyChanged = true;
}

void SqliteRecordSet::checkOrdinal(int ordinal) const {
  if (ordinal < 0 || ordinal >= fieldCount())
    throw Error("Field ordinal " + std::to_string(ordinal) +
                " is out of range (the record set has " + std::to_string(fieldCount()) +
                " fields)");
}

void SqliteRecordSet::requireRow(const char* operation) const {
  if (!m_open) throw Error(std::string("Cannot ") + operation + ": the record set is closed");
  if (m_eof) throw Error(std::string("Cannot ") + operation + ": the record set is at its end");
}

void SqliteRecordSet::createSnapshotTable() {
  m_snapshotTable = nextSnapshotName();
  std::string sql = "CREATE TEMP TABLE " + m_snapshotTable + " (seq INTEGER PRIMARY KEY";
  const int columns = sqlite3_column_count(m_source.get());
  // Columns without a type keep every value exactly as it was read.
  for (int i = 0; i < columns; ++i) sql += ", c" + std::to_string(i);
  execute(sql + ")", "Preparing to write table " + m_shape.table());
}

void SqliteRecordSet::moveToSnapshot() {
  const int columns = sqlite3_column_count(m_source.get());
  std::string insert = "INSERT INTO temp." + m_snapshotTable + " VALUES (?";
  for (int i = 0; i < columns; ++i) insert += ", ?";
  const std::string context = "Taking a snapshot of the rows of table " + m_shape.table();
  // One transaction for the copy; it also keeps the statement's view of the
  // database until the last row is copied.
  const bool ownTransaction = sqlite3_get_autocommit(m_database.get()) != 0;
  if (ownTransaction) execute("BEGIN", context);
  try {
    SqliteStatement copy(m_database, insert + ")", context);
    sqlite3_int64 seq = 0;
    bool more = true;
    while (more) {
      sqlite3_bind_int64(copy.get(), 1, ++seq);
      for (int i = 0; i < columns; ++i)
        sqlite3_bind_value(copy.get(), i + 2, sqlite3_column_value(m_source.get(), i));
      copy.step(context);
      copy.reset();
      more = m_source.step("Reading the query's rows");
    }
    m_source.finalize();
    if (ownTransaction) execute("COMMIT", context);
  } catch (const Error&) {
    if (ownTransaction) sqlite3_exec(m_database.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    m_source.finalize();
    m_eof = true;  // no row left to stand on; close() tidies up
    throw;
  }
  m_source = SqliteStatement(m_database, "SELECT * FROM temp." + m_snapshotTable + " ORDER BY seq",
                             context);
  m_onSnapshot = true;
  m_columnBase = 1;
  m_position = 0;
  step();
}

SqliteStatement& SqliteRecordSet::updateStatement() {
  auto found = m_updates.find(m_changed);
  if (found != m_updates.end()) return found->second;
  const auto& columns = m_shape.columns();
  std::string set, check;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!m_changed[i]) continue;
    const std::string name = quoteSqliteIdentifier(columns[i].origin);
    set += (set.empty() ? "" : ", ") + name + " = ?";
    check += " AND " + name + " IS ? COLLATE BINARY";
  }
  std::string where;
  for (const auto& part : m_shape.key())
    where += (where.empty() ? "" : " AND ") +
             (part.name == "rowid" ? std::string("rowid") : quoteSqliteIdentifier(part.name)) +
             " = ?";
  const std::string sql = "UPDATE " + quoteSqliteIdentifier(m_shape.schema()) + "." +
                          quoteSqliteIdentifier(m_shape.table()) + " SET " + set + " WHERE " +
                          where + check;
  return m_updates
      .emplace(m_changed,
               SqliteStatement(m_database, sql, tableContext("Preparing to update table")))
      .first->second;
}

void SqliteRecordSet::writeCurrentRow() {
  std::string failure;
  try {
    beginTransaction();
    SqliteStatement& update = updateStatement();
    sqlite3_stmt* s = update.get();
    int parameter = 0;
    for (std::size_t i = 0; i < m_changed.size(); ++i) {
      if (!m_changed[i]) continue;
      if (m_pending[i])
        sqlite3_bind_text(s, ++parameter, m_pending[i]->data(),
                          static_cast<int>(m_pending[i]->size()), SQLITE_TRANSIENT);
      else
        sqlite3_bind_null(s, ++parameter);
    }
    for (const auto& part : m_shape.key())
      sqlite3_bind_value(s, ++parameter,
                         sqlite3_column_value(m_source.get(), m_columnBase + part.statementColumn));
    for (std::size_t i = 0; i < m_changed.size(); ++i)
      if (m_changed[i])
        sqlite3_bind_value(
            s, ++parameter,
            sqlite3_column_value(m_source.get(), statementColumn(static_cast<int>(i))));
    try {
      update.step(tableContext("Updating table") + ", key " + keyText());
    } catch (const Error&) {
      update.reset();
      throw;
    }
    update.reset();
    if (sqlite3_changes(m_database.get()) == 0)
      throw Error("Row changed by another user since it was read: table " + m_shape.table() +
                  ", key " + keyText());
    m_wroteRows = true;
    if (m_inTransaction) m_group.rowWritten(keyText());
  } catch (const Error& e) {
    failure = e.what();
  }
  m_anyChanged = false;
  m_changed.assign(m_changed.size(), false);
  if (failure.empty()) {
    if (std::chrono::steady_clock::now() - m_transactionStart >= kCommitInterval) commit();
    return;
  }
  // The failed row is left as it was; the rows before it are kept, unless
  // SQLite has rolled the whole transaction back (a full disk, an I/O error).
  if (m_inTransaction && sqlite3_get_autocommit(m_database.get()) != 0) {
    m_inTransaction = false;
    failure += m_group.rolledBack();
  }
  try {
    commit();
  } catch (const Error& e) {
    failure += std::string("; the rows before could not be kept: ") + e.what();
  }
  throw Error(failure);
}

void SqliteRecordSet::beginTransaction() {
  if (m_inTransaction) return;
  // Inside a transaction someone else started, its owner commits.
  if (sqlite3_get_autocommit(m_database.get()) == 0) return;
  execute("BEGIN IMMEDIATE", tableContext("Starting to write table"));
  m_inTransaction = true;
  m_transactionStart = std::chrono::steady_clock::now();
}

void SqliteRecordSet::commit() {
  if (!m_inTransaction) return;
  try {
    execute("COMMIT", tableContext("Committing the changes to table"));
  } catch (const Error& e) {
    // A commit that failed gives the group up as a whole (SQLite may have
    // rolled it back already), so that the message can say what is left.
    sqlite3_exec(m_database.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    m_inTransaction = false;
    throw Error(e.what() + m_group.rolledBack());
  }
  m_inTransaction = false;
  m_group.committed();
}

std::string SqliteRecordSet::keyText() {
  std::string text;
  for (const auto& part : m_shape.key())
    text += (text.empty() ? "" : ", ") + part.name + "=" +
            valueText(m_source.get(), m_columnBase + part.statementColumn);
  return text;
}

std::string SqliteRecordSet::tableContext(const std::string& operation) const {
  return operation + " " + m_shape.table();
}

void SqliteRecordSet::execute(const std::string& sql, const std::string& context) {
  checkSqlite(m_database.get(),
              sqlite3_exec(m_database.get(), sql.c_str(), nullptr, nullptr, nullptr), context);
}

}  // namespace rowsmith::db
