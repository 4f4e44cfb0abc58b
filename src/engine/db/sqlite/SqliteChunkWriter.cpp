#include "engine/db/sqlite/SqliteChunkWriter.h"

#include <atomic>
#include <utility>

#include "common/Error.h"
#include "engine/db/sqlite/SqliteError.h"

namespace rowsmith::db {

// What an SQL function of a writer reaches. Owned by SQLite's registration
// (freed when the function is removed or the connection closes), so that a
// function left registered after its writer has gone finds nobody.
struct SqliteChunkWriter::Functions {
  SqliteChunkWriter* writer;
};

namespace {

std::string nextFunctionSuffix() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(++counter);
}

void registerFunction(sqlite3* database, const std::string& name, void* data,
                      void (*function)(sqlite3_context*, int, sqlite3_value**),
                      void (*destroy)(void*)) {
  checkSqlite(database,
              sqlite3_create_function_v2(database, name.c_str(), -1, SQLITE_UTF8, data, function,
                                         nullptr, nullptr, destroy),
              "Preparing to write");
}

}  // namespace

SqliteChunkWriter::SqliteChunkWriter(SqliteHandle database, const SqliteResultShape& shape,
                                     CommitGroup& group)
    : m_database(std::move(database)), m_shape(shape), m_group(group) {
  const std::string suffix = nextFunctionSuffix();
  m_pickName = "rowsmith_pick_" + suffix;
  m_newName = "rowsmith_new_" + suffix;
  auto destroy = [](void* data) { delete static_cast<Functions*>(data); };
  auto* pickData = new Functions{this};
  registerFunction(m_database.get(), m_pickName, pickData, &SqliteChunkWriter::pick, destroy);
  m_functions = pickData;
  auto* newData = new Functions{this};
  registerFunction(m_database.get(), m_newName, newData, &SqliteChunkWriter::newValue, destroy);
  m_newFunctions = newData;
}

SqliteChunkWriter::~SqliteChunkWriter() {
  m_functions->writer = nullptr;
  m_newFunctions->writer = nullptr;
  m_chunkStatements.clear();
  m_keyRangeStatements.clear();
  m_rowStatements.clear();
  m_savepoint.finalize();
  m_release.finalize();
  // Refused while another statement of the connection runs; the function
  // then stays, finding no writer, until the connection closes.
  for (const std::string* name : {&m_pickName, &m_newName})
    sqlite3_create_function_v2(m_database.get(), name->c_str(), -1, SQLITE_UTF8, nullptr, nullptr,
                               nullptr, nullptr, nullptr);
}

void SqliteChunkWriter::setRange(std::string condition) {
  if (condition == m_range) return;
  m_range = std::move(condition);
  m_chunkStatements.clear();
}

int SqliteChunkWriter::maskId(const SqliteFieldFlags& changed) {
  // Mostly the set of the row before.
  if (m_lastMask < m_masks.size() && m_masks[m_lastMask] == changed)
    return static_cast<int>(m_lastMask);
  for (std::size_t i = 0; i < m_masks.size(); ++i) {
    if (m_masks[i] == changed) {
      m_lastMask = i;
      return static_cast<int>(i);
    }
  }
  m_lastMask = m_masks.size();
  m_masks.push_back(changed);
  std::vector<int> fields;
  for (std::size_t i = 0; i < changed.size(); ++i)
    if (changed[i]) fields.push_back(static_cast<int>(i));
  m_maskFields.push_back(std::move(fields));
  return static_cast<int>(m_masks.size() - 1);
}

void SqliteChunkWriter::add(long long position, const SqliteFieldFlags& changed,
                            const std::vector<std::optional<std::string>>& pending,
                            const SqliteChunkReader& row, const std::vector<int>& keyColumns,
                            int fieldBase, const std::vector<Value>& values,
                            const SqliteFieldFlags& valuesRead) {
  m_rows.push_back(Row{position, maskId(changed), m_keys.size(), m_old.size()});
  for (int column : keyColumns) row.copyCell(column, m_keys);
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (!changed[i]) continue;
    if (valuesRead[i])
      m_old.addValue(values[i]);
    else
      row.copyCell(fieldBase + static_cast<int>(i), m_old);
    m_new.addText(pending[i] ? std::optional<std::string_view>(*pending[i]) : std::nullopt);
  }
}

void SqliteChunkWriter::discard() {
  m_rows.clear();
  m_keys.clear();
  m_old.clear();
  m_new.clear();
  m_index.clear();
  m_indexBuilt = false;
  m_lastFound = 0;
}

SqliteStatement& SqliteChunkWriter::chunkStatement(int mask, bool byKey) {
  auto& statements = byKey ? m_keyRangeStatements : m_chunkStatements;
  auto found = statements.find(mask);
  if (found != statements.end()) return found->second;
  std::string keys;
  for (const auto& part : m_shape.key()) keys += ", " + sqliteKeyExpression(part);
  const auto& columns = m_shape.columns();
  const SqliteFieldFlags& changed = m_masks[static_cast<std::size_t>(mask)];
  std::string set, stored;
  int field = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!changed[i]) continue;
    const std::string name = quoteSqliteIdentifier(columns[i].origin);
    set += (set.empty() ? "" : ", ") + name + " = " + m_newName + "(" + std::to_string(field++) +
           keys + ")";
    stored += ", " + name;
  }
  const std::string range =
      byKey ? sqliteKeyExpression(m_shape.key().front()) + " BETWEEN ?1 AND ?2" : m_range;
  const std::string sql = "UPDATE " + quoteSqliteIdentifier(m_shape.schema()) + "." +
                          quoteSqliteIdentifier(m_shape.table()) + " SET " + set + " WHERE " +
                          range + " AND " + m_pickName + "(" + std::to_string(mask) + keys +
                          stored + ")";
  return statements
      .emplace(mask, SqliteStatement(m_database, sql, tableContext("Preparing to update table")))
      .first->second;
}

SqliteStatement& SqliteChunkWriter::rowStatement(int mask) {
  auto found = m_rowStatements.find(mask);
  if (found != m_rowStatements.end()) return found->second;
  const auto& columns = m_shape.columns();
  const SqliteFieldFlags& changed = m_masks[static_cast<std::size_t>(mask)];
  std::string set, check;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!changed[i]) continue;
    const std::string name = quoteSqliteIdentifier(columns[i].origin);
    set += (set.empty() ? "" : ", ") + name + " = ?";
    check += " AND " + name + " IS ? COLLATE BINARY";
  }
  std::string where;
  for (const auto& part : m_shape.key())
    where += (where.empty() ? "" : " AND ") + sqliteKeyExpression(part) + " = ?";
  const std::string sql = "UPDATE " + quoteSqliteIdentifier(m_shape.schema()) + "." +
                          quoteSqliteIdentifier(m_shape.table()) + " SET " + set + " WHERE " +
                          where + check;
  return m_rowStatements
      .emplace(mask, SqliteStatement(m_database, sql, tableContext("Preparing to update table")))
      .first->second;
}

void SqliteChunkWriter::apply() {
  if (m_rows.empty()) return;
  sqlite3* database = m_database.get();
  m_index.clear();
  m_indexBuilt = false;
  std::vector<bool> masksUsed(m_masks.size(), false);
  for (const Row& row : m_rows) masksUsed[static_cast<std::size_t>(row.mask)] = true;
  long long lowest = m_rows.front().position, highest = lowest;
  for (const Row& row : m_rows) {
    lowest = std::min(lowest, row.position);
    highest = std::max(highest, row.position);
  }
  // Rows of an integer key that lie close together (a table read in the
  // order of its key, or against it) are reached by a range of the key: a
  // walk along the table instead of a lookup of every row.
  sqlite3_int64 lowestKey = 0, highestKey = 0;
  const bool byKey = keyRange(lowestKey, highestKey);
  if (byKey) {
    lowest = lowestKey;
    highest = highestKey;
  }

  run(m_savepoint, "SAVEPOINT rowsmith_chunk", tableContext("Updating table"));
  long long written = 0;
  int failure = SQLITE_OK;
  std::string failureText;
  for (std::size_t mask = 0; mask < m_masks.size() && failure == SQLITE_OK; ++mask) {
    if (!masksUsed[mask]) continue;
    SqliteStatement& statement = chunkStatement(static_cast<int>(mask), byKey);
    sqlite3_bind_int64(statement.get(), 1, lowest);
    sqlite3_bind_int64(statement.get(), 2, highest);
    const int code = sqlite3_step(statement.get());
    if (code != SQLITE_DONE) {
      failure = code;
      failureText = sqlite3_errmsg(database);
    } else {
      written += sqlite3_changes64(database);
    }
    statement.reset();
  }
  m_lastFound = 0;
  if (failure == SQLITE_OK && written == rows()) {
    run(m_release, "RELEASE rowsmith_chunk", tableContext("Updating table"));
    m_group.rowsWritten(rows(), keyText(m_rows.back()));
    m_wroteRows = true;
    if (m_sink != nullptr)
      for (const Row& row : m_rows) report(row);
    discard();
    return;
  }
  if (sqlite3_get_autocommit(database) != 0) {
    // SQLite has rolled the whole transaction back (a full disk, an I/O
    // error): there is no row to write again.
    const std::string rows = "key " + keyText(m_rows.front()) + " to key " + keyText(m_rows.back());
    discard();
    throw Error(tableContext("Updating table") + ", rows " + rows + ": " + failureText);
  }
  exec("ROLLBACK TO rowsmith_chunk", tableContext("Updating table"));
  exec("RELEASE rowsmith_chunk", tableContext("Updating table"));
  replay();
}

bool SqliteChunkWriter::keyRange(sqlite3_int64& lowest, sqlite3_int64& highest) const {
  if (m_shape.key().size() != 1 || m_keys.type(m_rows.front().firstKey) != SQLITE_INTEGER)
    return false;
  lowest = highest = m_keys.integer(m_rows.front().firstKey);
  for (const Row& row : m_rows) {
    if (m_keys.type(row.firstKey) != SQLITE_INTEGER) return false;
    lowest = std::min(lowest, m_keys.integer(row.firstKey));
    highest = std::max(highest, m_keys.integer(row.firstKey));
  }
  // The rows of the range that are not in the buffer are passed over by the
  // check: worth it while they are few.
  const auto span =
      static_cast<unsigned long long>(highest) - static_cast<unsigned long long>(lowest);
  return span < 4 * m_rows.size() + 64;
}

void SqliteChunkWriter::replay() {
  std::vector<Row> rows;
  rows.swap(m_rows);
  try {
    for (const Row& row : rows) {
      writeRow(row);
      m_wroteRows = true;
      report(row);
      m_group.rowWritten(keyText(row));
    }
  } catch (const Error&) {
    discard();
    throw;
  }
  discard();
}

void SqliteChunkWriter::writeRow(const Row& row) {
  SqliteStatement& update = rowStatement(row.mask);
  sqlite3_stmt* s = update.get();
  const int fields = fieldsOf(row.mask);
  int parameter = 0;
  for (int i = 0; i < fields; ++i) m_new.bind(s, ++parameter, row.firstOld + i);
  for (std::size_t k = 0; k < m_shape.key().size(); ++k)
    m_keys.bind(s, ++parameter, row.firstKey + k);
  for (int i = 0; i < fields; ++i) m_old.bind(s, ++parameter, row.firstOld + i);
  const int code = sqlite3_step(s);
  if (code != SQLITE_DONE) {
    const std::string context = tableContext("Updating table") + ", key " + keyText(row);
    try {
      throwSqliteError(m_database.get(), code, context);
    } catch (const Error&) {
      update.reset();
      throw;
    }
  }
  update.reset();
  if (sqlite3_changes(m_database.get()) == 0)
    throw Error("Row changed by another user since it was read: table " + m_shape.table() +
                ", key " + keyText(row));
}

const SqliteChunkWriter::Row* SqliteChunkWriter::find(sqlite3_value** key) {
  const std::size_t keyParts = m_shape.key().size();
  // The UPDATE meets the rows in the order of their keys, mostly the order
  // they were buffered in (or its reverse, from the last row buffered): an
  // integer key is looked for next to the row found last, and at the other
  // end, before the index is asked.
  if (keyParts == 1 && sqlite3_value_type(key[0]) == SQLITE_INTEGER) {
    const sqlite3_int64 wanted = sqlite3_value_int64(key[0]);
    const std::size_t last = m_lastFound;
    for (const std::size_t candidate : {last, last + 1, last - 1, m_rows.size() - 1}) {
      if (candidate >= m_rows.size()) continue;
      const std::size_t cell = m_rows[candidate].firstKey;
      if (m_keys.type(cell) == SQLITE_INTEGER && m_keys.integer(cell) == wanted) {
        m_lastFound = candidate;
        return &m_rows[candidate];
      }
    }
  }
  if (!m_indexBuilt) {
    m_index.reserve(m_rows.size());
    for (std::size_t r = 0; r < m_rows.size(); ++r) {
      std::string identity;
      for (std::size_t k = 0; k < keyParts; ++k)
        m_keys.appendIdentity(identity, m_rows[r].firstKey + k);
      m_index.emplace(std::move(identity), r);
    }
    m_indexBuilt = true;
  }
  m_probe.clear();
  for (std::size_t k = 0; k < keyParts; ++k) SqliteCells::appendIdentity(m_probe, key[k]);
  const auto found = m_index.find(m_probe);
  if (found == m_index.end()) return nullptr;
  m_lastFound = found->second;
  return &m_rows[found->second];
}

// rowsmith_pick_N(mask, key..., stored value of each changed field...): 1
// for a buffered row of that set of changed fields whose stored values are
// the values read, else 0.
void SqliteChunkWriter::pick(sqlite3_context* context, int count, sqlite3_value** values) {
  auto* writer = static_cast<Functions*>(sqlite3_user_data(context))->writer;
  if (writer == nullptr) {
    sqlite3_result_error(context, "the write this function belonged to has ended", -1);
    return;
  }
  const std::size_t keyParts = writer->m_shape.key().size();
  const Row* row = writer->find(values + 1);
  if (row == nullptr || row->mask != sqlite3_value_int(values[0])) {
    sqlite3_result_int(context, 0);
    return;
  }
  const int fields = writer->fieldsOf(row->mask);
  if (count != 1 + static_cast<int>(keyParts) + fields) {
    sqlite3_result_error(context, "wrong number of arguments", -1);
    return;
  }
  for (int i = 0; i < fields; ++i) {
    if (!writer->m_old.sameAs(row->firstOld + i, values[1 + keyParts + i])) {
      sqlite3_result_int(context, 0);
      return;
    }
  }
  sqlite3_result_int(context, 1);
}

// rowsmith_new_N(field, key...): the new value of the buffered row's
// field-th changed field.
void SqliteChunkWriter::newValue(sqlite3_context* context, int, sqlite3_value** values) {
  auto* writer = static_cast<Functions*>(sqlite3_user_data(context))->writer;
  const Row* row = writer != nullptr ? writer->find(values + 1) : nullptr;
  if (row == nullptr) {
    sqlite3_result_error(context, "a row that was not read reached the write", -1);
    return;
  }
  writer->m_new.result(context,
                       row->firstOld + static_cast<std::size_t>(sqlite3_value_int(values[0])));
}

void SqliteChunkWriter::report(const Row& row) {
  if (m_sink == nullptr) return;
  const std::size_t keyParts = m_shape.key().size();
  m_keyText.resize(keyParts);
  m_keyViews.resize(keyParts);
  for (std::size_t k = 0; k < keyParts; ++k)
    m_keyViews[k] = m_keys.keyText(row.firstKey + k, m_keyText[k]);
  const std::vector<int>& ordinals = m_maskFields[static_cast<std::size_t>(row.mask)];
  m_fields.resize(ordinals.size());
  m_fieldText.resize(ordinals.size());
  for (std::size_t i = 0; i < ordinals.size(); ++i) {
    const std::size_t cell = row.firstOld + i;
    WrittenField& field = m_fields[i];
    field.ordinal = ordinals[i];
    field.oldValue = m_old.fieldText(cell, m_fieldText[i]);
    field.newValue =
        m_new.type(cell) == SQLITE_NULL ? std::nullopt : std::optional(m_new.bytes(cell));
  }
  m_sink->rowWritten(m_keyViews, m_fields);
}

std::string SqliteChunkWriter::keyText(const Row& row) const {
  std::string text;
  const auto& key = m_shape.key();
  for (std::size_t k = 0; k < key.size(); ++k)
    text += (text.empty() ? "" : ", ") + key[k].name + "=" + m_keys.messageText(row.firstKey + k);
  return text;
}

std::string SqliteChunkWriter::tableContext(const std::string& operation) const {
  return operation + " " + m_shape.table();
}

void SqliteChunkWriter::run(SqliteStatement& statement, const char* sql,
                            const std::string& context) {
  if (!statement) statement = SqliteStatement(m_database, sql, context);
  try {
    statement.step(context);
  } catch (const Error&) {
    statement.reset();
    throw;
  }
  statement.reset();
}

void SqliteChunkWriter::exec(const char* sql, const std::string& context) {
  checkSqlite(m_database.get(), sqlite3_exec(m_database.get(), sql, nullptr, nullptr, nullptr),
              context);
}

}  // namespace rowsmith::db
