#include "engine/db/sqlite/SqliteRecordSet.h"

#include <strings.h>
#include <time.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/Error.h"
#include "engine/db/sqlite/SqliteError.h"
#include "engine/db/sqlite/SqliteTableRead.h"
#include "engine/db/sqlite/SqliteValueText.h"

namespace rowsmith::db {

namespace {

// Rows written within one transaction: at most this much time of work.
constexpr auto kCommitInterval = std::chrono::milliseconds(500);
// Rows read, and rows written, at a time.
constexpr std::size_t kChunkRows = 1000;
// Rows written one by one at the start of a run.
constexpr long long kSingleRows = 16;

// A monotonic clock of a few milliseconds' resolution that costs next to
// nothing to read: it is read on every row.
std::chrono::milliseconds coarseNow() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::nanoseconds(now.tv_nsec));
}

const std::string kQueryContext = "Reading the query's rows";

bool sameText(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

}  // namespace

SqliteRecordSet::SqliteRecordSet(SqliteHandle database, SqliteStatement statement,
                                 SqliteResultShape shape, bool countRecords,
                                 SqliteFileIdentity file)
    : m_database(std::move(database)),
      m_source(std::move(statement)),
      m_shape(std::move(shape)),
      m_countRecords(countRecords),
      m_readContext(tableContext("Reading the rows of table")),
      m_snapshot(m_database, m_shape),
      m_file(std::move(file)) {
  const std::size_t count = m_shape.columns().size();
  m_values.resize(count);
  m_pending.resize(count);
  m_changed.assign(count, 0);
  m_read.assign(count, 0);
  if (m_shape.updatable()) m_snapshot.create(sqlite3_column_count(m_source.get()));
  if (!takeSnapshot()) countAndStep();
  for (int i = 0; i < static_cast<int>(count); ++i) {
    auto& column = m_shape.columns()[i];
    if (column.type != DataType::Empty) continue;
    if (m_eof)
      column.type = DataType::VarWChar;
    else
      column.type = SqliteResultShape::typeFromValue(
          m_inChunks ? m_chunks.type(statementColumn(i))
                     : sqlite3_column_type(m_source.get(), statementColumn(i)));
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
  m_eof = !m_source.step(m_onSnapshot ? m_readContext : kQueryContext);
}

void SqliteRecordSet::advance() {
  if (!m_inChunks) {
    step();
    return;
  }
  try {
    if (m_chunks.next(m_readContext)) return;
  } catch (const Error&) {
    m_eof = true;  // no row left to stand on; close() tidies up
    throw;
  }
  readChunk();
}

std::string SqliteRecordSet::sourceText() const {
  std::string sql = sqlite3_sql(m_source.get());
  while (!sql.empty() &&
         (sql.back() == ';' || std::isspace(static_cast<unsigned char>(sql.back()))))
    sql.pop_back();
  return sql;
}

void SqliteRecordSet::countAndStep() {
  m_count = -1;
  SqliteStatement counter;
  if (m_countRecords && m_shape.fromOneTable() && m_source) {
    // Left active (on its row) until the first step below has begun reading,
    // which keeps the connection's read transaction, and its view, open.
    if (SqliteStatement::tryPrepare(m_database, "SELECT count(*) FROM (" + sourceText() + "\n)",
                                    counter) &&
        counter && sqlite3_step(counter.get()) == SQLITE_ROW)
      m_count = sqlite3_column_int64(counter.get(), 0);
  }
  step();
}

void SqliteRecordSet::moveFirst() {
  if (!m_open) throw Error("The record set is closed");
  if (m_position == 0) return;
  if (m_anyChanged) bufferCurrentRow();
  applyWrites();
  m_position = 0;
  std::fill(m_read.begin(), m_read.end(), 0);
  if (m_inChunks) {
    // The snapshot holds the rows counted at the start.
    m_chunks.restart();
    readChunk();
    return;
  }
  m_source.reset();
  countAndStep();
}

void SqliteRecordSet::moveNext() {
  requireRow("move to the next row");
  if (m_anyChanged) bufferCurrentRow();
  ++m_position;
  std::fill(m_read.begin(), m_read.end(), 0);
  // A worker that spends the commit interval on part of a chunk commits
  // between two rows, so that the write lock is not held while it works; the
  // rest of the chunk is written with the check against the values read.
  if (m_inTransaction && m_inChunks) {
    const auto now = coarseNow();
    if (now - m_chunkReadAt >= kCommitInterval && now - m_groupStart >= kCommitInterval) {
      applyWrites();
      commit();
    }
  }
  advance();
  // The writes of the last rows are applied now, so that their errors come
  // from moving past them, as for every other row.
  if (m_eof) applyWrites();
}

void SqliteRecordSet::close() {
  if (!m_open) return;
  m_open = false;
  m_anyChanged = false;
  std::string failure;
  // The row in hand is dropped; the rows buffered before it are written
  // with no statement of the record set active.
  m_source.finalize();
  m_chunks.finalize();
  try {
    if (m_writer && m_writer->rows() > 0) {
      beginTransaction();
      m_writer->apply();
    }
  } catch (const Error& e) {
    failure = e.what();
    if (m_inTransaction && sqlite3_get_autocommit(m_database.get()) != 0) {
      m_inTransaction = false;
      failure += m_group.rolledBack();
    }
  }
  try {
    commit();
  } catch (const Error& e) {
    failure += failure.empty() ? e.what()
                               : std::string("; the rows before could not be kept: ") + e.what();
  }
  if (m_writer) {
    m_wroteRows = m_wroteRows || m_writer->wroteRows();
    m_writer.reset();
  }
  m_snapshot.drop();
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
    m_read[ordinal] = 0;
    value.kind = m_pending[ordinal] ? Value::Kind::Text : Value::Kind::Null;
    value.text = m_pending[ordinal].value_or("");
    return value;
  }
  m_read[ordinal] = 1;
  const int column = statementColumn(ordinal);
  if (m_inChunks) {
    const int type = m_chunks.type(column);
    switch (type) {
      case SQLITE_NULL:
        value.kind = Value::Kind::Null;
        value.text.clear();
        break;
      case SQLITE_INTEGER:
        value.kind = Value::Kind::Integer;
        value.integer = m_chunks.integer(column);
        break;
      case SQLITE_FLOAT:
        value.kind = Value::Kind::Real;
        value.real = m_chunks.real(column);
        break;
      default:
        value.kind = type == SQLITE_BLOB ? Value::Kind::Binary : Value::Kind::Text;
        value.text.assign(m_chunks.bytes(column, type));
        break;
    }
    return value;
  }
  sqlite3_stmt* s = m_source.get();
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
  if (!m_writer) startWriting();
  // A row whose key changes could come back in a later chunk.
  if (m_inChunks && !m_onSnapshot && m_shape.isKeyField(ordinal)) moveChunksToSnapshot();
  auto& pending = m_pending[ordinal];
  if (!value) {
    pending.reset();
  } else if (pending) {
    pending->assign(*value);  // keeps the buffer of the row before
  } else {
    pending.emplace(*value);
  }
  m_changed[ordinal] = 1;
  m_anyChanged = true;
}

bool SqliteRecordSet::locateRow(RowLocation& where) {
  requireRow("locate a row");
  if (!m_shape.updatable()) {
    where = {};
    where.table = m_shape.whyNotUpdatable();
    return false;
  }
  if (m_quotedTable.empty())
    m_quotedTable =
        (m_shape.schema().empty() ? "" : quoteSqliteIdentifier(m_shape.schema()) + ".") +
        quoteSqliteIdentifier(m_shape.table());
  where.table = m_quotedTable;
  where.keyColumns.clear();
  for (const auto& part : m_shape.key()) where.keyColumns.push_back(part.name);
  return currentKeyValues(where);
}

bool SqliteRecordSet::currentKeyValues(RowLocation& where) {
  // Called for every row written while a journal is kept, with the table
  // and key columns locateRow gave for an earlier row; the caller's strings
  // are reused.
  if (!m_shape.updatable() || where.keyColumns.size() != m_shape.key().size())
    return locateRow(where);
  requireRow("locate a row");
  const auto& key = m_shape.key();
  where.keyValues.resize(key.size());
  for (std::size_t k = 0; k < key.size(); ++k)
    cellText(m_columnBase + key[k].statementColumn, where.keyValues[k]);
  return true;
}

std::string SqliteRecordSet::baseColumnName(int ordinal) const {
  checkOrdinal(ordinal);
  const auto& column = m_shape.columns()[ordinal];
  return column.origin.empty() ? column.name : column.origin;
}

void SqliteRecordSet::cellText(int column, std::string& out) const {
  // The same text whether the row comes from a chunk or from the statement:
  // a run and its undo read rows both ways, and find them by this text.
  if (m_inChunks) {
    const int type = m_chunks.type(column);
    const bool number = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    out.assign(sqliteKeyText(
        type, type == SQLITE_INTEGER ? m_chunks.integer(column) : 0,
        type == SQLITE_FLOAT ? m_chunks.real(column) : 0.0,
        number || type == SQLITE_NULL ? std::string_view() : m_chunks.bytes(column, type),
        m_keyScratch));
    return;
  }
  sqlite3_stmt* s = m_source.get();
  const int type = sqlite3_column_type(s, column);
  std::string_view bytes;
  if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
    const void* data = type == SQLITE_BLOB
                           ? sqlite3_column_blob(s, column)
                           : static_cast<const void*>(sqlite3_column_text(s, column));
    if (data != nullptr)
      bytes = std::string_view(static_cast<const char*>(data),
                               static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
  }
  out.assign(sqliteKeyText(type, type == SQLITE_INTEGER ? sqlite3_column_int64(s, column) : 0,
                           type == SQLITE_FLOAT ? sqlite3_column_double(s, column) : 0.0, bytes,
                           m_keyScratch));
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

bool SqliteRecordSet::reportWrittenRows(WrittenRowSink* sink) {
  if (!m_shape.updatable()) return false;
  m_sink = sink;
  if (m_writer) m_writer->reportTo(sink);
  return true;
}

void SqliteRecordSet::startWriting() {
  m_writer = std::make_unique<SqliteChunkWriter>(m_database, m_shape, m_group);
  m_writer->reportTo(m_sink);
  if (m_onSnapshot) {
    // The rows after the row in hand were read before the write lock was
    // taken: they are read again under it, so that no change another
    // connection made to them in between is met as a conflict.
    m_writer->setRange(m_snapshot.range());
    holdChunk();
    m_chunks.keepOnlyRowInHand();
  } else if (!startChunks()) {
    moveToSnapshot();
  }
}

bool SqliteRecordSet::takeSnapshot() {
  // A run over any result but a whole table copies the result's keys into
  // the snapshot before its first row, in one statement: the snapshot is
  // needed as soon as a row is written, and SQLite copies the rows faster
  // than they can be stepped one by one. The rows copied are also the count.
  if (!m_countRecords || !m_shape.updatable() || !m_source ||
      wholeTableRead(sqlite3_sql(m_source.get())))
    return false;
  const std::string context = "Taking a snapshot of the rows of table " + m_shape.table();
  const auto rows =
      m_snapshot.copyResult(sourceText(), sqlite3_column_count(m_source.get()), context);
  if (!rows) return false;
  m_count = *rows;
  m_source.finalize();
  useSnapshot(context, std::nullopt);
  readChunk();
  return true;
}

bool SqliteRecordSet::startChunks() {
  const auto read = wholeTableRead(sqlite3_sql(m_source.get()));
  if (!read || strcasecmp(read->table.c_str(), m_shape.table().c_str()) != 0 ||
      (!read->schema.empty() && strcasecmp(read->schema.c_str(), m_shape.schema().c_str()) != 0))
    return false;
  const std::string from =
      quoteSqliteIdentifier(m_shape.schema()) + "." + quoteSqliteIdentifier(m_shape.table());
  SqliteStatement reader;
  if (!SqliteStatement::tryPrepare(m_database,
                                   "SELECT rowid, * FROM " + from +
                                       " WHERE rowid > ?1 ORDER BY rowid LIMIT " +
                                       std::to_string(kChunkRows),
                                   reader))
    return false;  // a table without rowid
  // The chunks must hold the statement's own columns, and the first one
  // must be the rowid, not a column of that name.
  sqlite3_stmt* r = reader.get();
  const int fields = fieldCount();
  if (sqlite3_column_count(r) != 1 + fields) return false;
  for (int i = 0; i < fields; ++i) {
    const char* origin = sqlite3_column_origin_name(r, 1 + i);
    if (!sameText(origin, sqlite3_column_origin_name(m_source.get(), statementColumn(i))) ||
        strcasecmp(origin, "rowid") == 0 || strcasecmp(origin, "oid") == 0 ||
        strcasecmp(origin, "_rowid_") == 0)
      return false;
  }
  // The rowid of the row in hand.
  sqlite3_int64 rowid = 0;
  if (m_shape.hiddenColumns() == 1) {
    rowid = sqlite3_column_int64(m_source.get(), 0);
  } else {
    std::string where;
    for (const auto& part : m_shape.key())
      where += (where.empty() ? "" : " AND ") + quoteSqliteIdentifier(part.name) + " IS ?";
    SqliteStatement lookup;
    if (!SqliteStatement::tryPrepare(m_database, "SELECT rowid FROM " + from + " WHERE " + where,
                                     lookup))
      return false;
    int parameter = 0;
    for (const auto& part : m_shape.key())
      sqlite3_bind_value(lookup.get(), ++parameter,
                         sqlite3_column_value(m_source.get(), part.statementColumn));
    if (sqlite3_step(lookup.get()) != SQLITE_ROW) return false;
    rowid = sqlite3_column_int64(lookup.get(), 0);
  }
  // The row in hand as it was read, then the rows after it.
  SqliteCells inHand;
  inHand.addInteger(rowid);
  for (int i = 0; i < fields; ++i) inHand.addColumn(m_source.get(), statementColumn(i));
  m_source.finalize();
  m_chunks.start(std::move(reader), static_cast<std::size_t>(1 + fields), kChunkRows,
                 std::move(inHand));
  m_chunkReadAt = coarseNow();
  m_columnBase = 1 - m_shape.hiddenColumns();
  m_inChunks = true;
  m_keyColumns.clear();
  for (const auto& part : m_shape.key())
    m_keyColumns.push_back(m_columnBase + part.statementColumn);
  m_writer->setRange("rowid >= ?1 AND rowid <= ?2");
  return true;
}

void SqliteRecordSet::readChunk() {
  bool found = false;
  try {
    if (m_chunks.more() && m_writer) {
      // The writes of the chunk before go first; the chunk is then read
      // inside the write transaction, so that nobody else writes its rows
      // between our read and our write. Before the first write, nothing is
      // locked.
      applyWrites();
      if (m_inTransaction && coarseNow() - m_groupStart >= kCommitInterval) commit();
      beginTransaction();
    }
    found = m_chunks.read(m_readContext);
    // Outside a write transaction the statement would keep the database's
    // read lock while the rows are worked on, and other connections could
    // not write: the chunk is kept and the statement let go at once.
    if (found && !m_writer) m_chunks.hold(m_readContext);
  } catch (const Error&) {
    m_eof = true;  // no row left to stand on; close() tidies up
    throw;
  }
  m_chunkReadAt = coarseNow();
  m_eof = !found;
}

void SqliteRecordSet::moveToSnapshot() {
  const std::string context = "Taking a snapshot of the rows of table " + m_shape.table();
  // The row in hand stays as it was read: the worker has seen its values.
  const int columns = m_shape.hiddenColumns() + fieldCount();
  SqliteCells inHand;
  inHand.addInteger(1);
  for (int i = 0; i < columns; ++i) inHand.addColumn(m_source.get(), i);
  try {
    m_snapshot.copyRows(m_source, kQueryContext, context);
  } catch (const Error&) {
    m_eof = true;  // no row left to stand on; close() tidies up
    throw;
  }
  useSnapshot(context, std::move(inHand));
}

void SqliteRecordSet::moveChunksToSnapshot() {
  const std::string context = "Taking a snapshot of the rows of table " + m_shape.table();
  // The rows written so far go first: the snapshot's order restarts.
  applyWrites();
  holdChunk();
  const int hidden = m_shape.hiddenColumns();
  const int columns = hidden + fieldCount();
  const sqlite3_int64 rowid = m_chunks.position();
  // The row in hand stays as it was read; the rows from it on are read again
  // by their keys.
  SqliteCells inHand;
  inHand.addInteger(1);
  for (int i = 0; i < columns; ++i) m_chunks.copyCell(m_columnBase + i, inHand);
  try {
    m_snapshot.copyTableFrom(rowid, context);
  } catch (const Error&) {
    m_eof = true;
    throw;
  }
  useSnapshot(context, std::move(inHand));
}

void SqliteRecordSet::useSnapshot(const std::string& context, std::optional<SqliteCells> inHand) {
  // Read a chunk at a time too, so that no statement stays active between
  // commits: SQLite would keep the database's read lock for it.
  SqliteStatement reader = m_snapshot.reader(kChunkRows, context);
  const int columns = m_shape.hiddenColumns() + fieldCount();
  m_onSnapshot = true;
  m_inChunks = true;
  m_columnBase = 1;
  m_position = 0;
  m_keyColumns.clear();
  for (const auto& part : m_shape.key())
    m_keyColumns.push_back(m_columnBase + part.statementColumn);
  if (m_writer) m_writer->setRange(m_snapshot.range());
  // The chunk in hand is the row in hand, the snapshot's first row; without
  // one, the first chunk is read next.
  if (inHand)
    m_chunks.start(std::move(reader), static_cast<std::size_t>(1 + columns), kChunkRows,
                   std::move(*inHand));
  else
    m_chunks.start(std::move(reader), static_cast<std::size_t>(1 + columns), kChunkRows);
  m_chunkReadAt = coarseNow();
  m_eof = false;
}

void SqliteRecordSet::bufferCurrentRow() {
  m_anyChanged = false;
  // Writes begin by reading in chunks (startWriting).
  m_writer->add(m_chunks.position(), m_changed, m_pending, m_chunks, m_keyColumns,
                m_columnBase + m_shape.hiddenColumns(), m_values, m_read);
  std::fill(m_changed.begin(), m_changed.end(), 0);
  if (m_writer->rows() >= groupLimit()) applyWrites();
}

long long SqliteRecordSet::groupLimit() const {
  // The first rows are applied one by one, then in groups that double up to
  // a chunk: a short run, and a fault in its first rows, is reported on
  // moving past its row, as rows written one by one would be, and a long run
  // still writes a chunk at a time.
  return m_rowsApplied < kSingleRows ? 1 : std::min<long long>(m_rowsApplied, kChunkRows);
}

void SqliteRecordSet::applyWrites() {
  if (!m_writer) return;
  std::string failure;
  try {
    if (m_writer->rows() > 0) {
      // Nothing else may run while the chunk's statement is active.
      holdChunk();
      beginTransaction();
      m_rowsApplied += m_writer->rows();
      m_writer->apply();
    }
  } catch (const Error& e) {
    failure = e.what();
  }
  if (failure.empty()) return;
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

void SqliteRecordSet::holdChunk() {
  if (!m_inChunks) return;
  try {
    m_chunks.hold(m_readContext);
  } catch (const Error&) {
    m_eof = true;  // no row left to stand on; close() tidies up
    throw;
  }
}

void SqliteRecordSet::beginTransaction() {
  if (m_inTransaction) return;
  // Inside a transaction someone else started, its owner commits.
  if (sqlite3_get_autocommit(m_database.get()) == 0) return;
  execute("BEGIN IMMEDIATE", tableContext("Starting to write table"));
  m_inTransaction = true;
  m_groupStart = coarseNow();
}

void SqliteRecordSet::commit() {
  if (!m_inTransaction) return;
  holdChunk();
  try {
    m_group.beforeCommit();
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

std::string SqliteRecordSet::tableContext(const std::string& operation) const {
  return operation + " " + m_shape.table();
}

void SqliteRecordSet::execute(const std::string& sql, const std::string& context) {
  checkSqlite(m_database.get(),
              sqlite3_exec(m_database.get(), sql.c_str(), nullptr, nullptr, nullptr), context);
}

}  // namespace rowsmith::db
