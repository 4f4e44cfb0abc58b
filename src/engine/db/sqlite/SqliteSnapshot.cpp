#include "engine/db/sqlite/SqliteSnapshot.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "common/Error.h"
#include "engine/db/sqlite/SqliteCells.h"
#include "engine/db/sqlite/SqliteError.h"

namespace rowsmith::db {

namespace {

// Values bound to one statement that copies keys into the table.
constexpr std::size_t kCopyParameters = 960;

std::string nextTableName() {
  static std::atomic<unsigned> counter{0};
  return "rowsmith_snapshot_" + std::to_string(++counter);
}

std::string cellName(int column) { return "c" + std::to_string(column); }

}  // namespace

SqliteSnapshot::SqliteSnapshot(SqliteHandle database, const SqliteResultShape& shape)
    : m_database(std::move(database)), m_shape(shape) {}

void SqliteSnapshot::create(int columns) {
  m_table = nextTableName();
  std::string sql = "CREATE TEMP TABLE " + m_table + " (seq INTEGER PRIMARY KEY";
  // Columns without a type keep every value exactly as it was read.
  for (int i = 0; i < columns; ++i) sql += ", " + cellName(i);
  execute((sql + ")").c_str(), "Preparing to write table " + m_shape.table());
}

void SqliteSnapshot::drop() {
  if (m_table.empty()) return;
  sqlite3_exec(m_database.get(), ("DROP TABLE IF EXISTS temp." + m_table).c_str(), nullptr, nullptr,
               nullptr);
}

std::optional<long long> SqliteSnapshot::copyResult(const std::string& sql, int columns,
                                                    const std::string& context) {
  std::string names, copied;
  for (int i = 0; i < columns; ++i) names += (i == 0 ? "" : ", ") + cellName(i);
  for (int column : keptColumns()) copied += ", " + cellName(column);
  // The rows in the statement's own order: SQLite keeps the ORDER BY of the
  // only source of a query that has none of its own.
  SqliteStatement copy;
  if (!SqliteStatement::tryPrepare(m_database,
                                   "WITH rowsmith_rows(" + names + ") AS (" + sql +
                                       "\n) INSERT INTO temp." + m_table + " (seq" + copied +
                                       ") SELECT NULL" + copied + " FROM rowsmith_rows",
                                   copy) ||
      !copy)
    return std::nullopt;
  try {
    copy.step(context);
  } catch (const Error&) {
    drop();
    throw;
  }
  return sqlite3_changes64(m_database.get());
}

void SqliteSnapshot::copyRows(SqliteStatement& source, const std::string& stepContext,
                              const std::string& context) {
  const std::vector<int> kept = keptColumns();
  std::string insert = "INSERT INTO temp." + m_table + " (seq";
  for (int column : kept) insert += ", " + cellName(column);
  insert += ") VALUES ";
  std::string row = "(NULL";
  for (std::size_t i = 0; i < kept.size(); ++i) row += ", ?";
  row += ")";
  // The keys go in many rows at a time: one statement's run per row would
  // cost more than the row itself.
  const std::size_t width = kept.size();
  const std::size_t batch = std::max<std::size_t>(1, kCopyParameters / width);
  std::string batchInsert = insert;
  for (std::size_t i = 0; i < batch; ++i) batchInsert += (i == 0 ? "" : ", ") + row;
  // One transaction for the copy; it also keeps the statement's view of the
  // database until the last row is copied.
  const bool ownTransaction = sqlite3_get_autocommit(m_database.get()) != 0;
  if (ownTransaction) execute("BEGIN", context);
  try {
    SqliteStatement copy(m_database, insert + row, context);
    SqliteStatement copyBatch(m_database, batchInsert, context);
    SqliteCells rows;
    std::size_t held = 0;
    // Writes the rows held, through `statement`: all of them at once, or one by one.
    auto flush = [&](SqliteStatement& statement, std::size_t count) {
      for (std::size_t r = 0; r < held; r += count) {
        for (std::size_t cell = 0; cell < count * width; ++cell)
          rows.bind(statement.get(), static_cast<int>(cell + 1), r * width + cell);
        statement.step(context);
        sqlite3_reset(statement.get());
      }
      rows.clear();
      held = 0;
    };
    bool more = true;
    while (more) {
      for (int column : kept) rows.addColumn(source.get(), column);
      if (++held == batch) flush(copyBatch, batch);
      more = source.step(stepContext);
    }
    flush(copy, 1);
    source.finalize();
    if (ownTransaction) execute("COMMIT", context);
  } catch (const Error&) {
    if (ownTransaction) sqlite3_exec(m_database.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    source.finalize();
    throw;
  }
}

void SqliteSnapshot::copyTableFrom(sqlite3_int64 first, const std::string& context) {
  const int hidden = m_shape.hiddenColumns();
  std::string names, values;
  for (int column : keptColumns()) {
    names += ", " + cellName(column);
    values +=
        ", " + (column < hidden ? std::string("rowid")
                                : quoteSqliteIdentifier(m_shape.columns()[column - hidden].name));
  }
  const bool ownTransaction = sqlite3_get_autocommit(m_database.get()) != 0;
  if (ownTransaction) execute("BEGIN", context);
  try {
    SqliteStatement copy(m_database,
                         "INSERT INTO temp." + m_table + " (seq" + names + ") SELECT NULL" +
                             values + " FROM " + quotedTable() +
                             " WHERE rowid >= ?1 ORDER BY rowid",
                         context);
    sqlite3_bind_int64(copy.get(), 1, first);
    copy.step(context);
    if (ownTransaction) execute("COMMIT", context);
  } catch (const Error&) {
    if (ownTransaction) sqlite3_exec(m_database.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

SqliteStatement SqliteSnapshot::reader(std::size_t limit, const std::string& context) const {
  // Each chunk reads the rows of the next keys from the table (the snapshot
  // first: the planner must not walk the table for every chunk). Only the
  // fields that cannot be read from the table come from the snapshot.
  const std::vector<int> kept = keptColumns();
  const int hidden = m_shape.hiddenColumns();
  const int columns = hidden + static_cast<int>(m_shape.columns().size());
  std::string select = "SELECT s.seq";
  for (int column = 0; column < columns; ++column) {
    const bool fromSnapshot = std::find(kept.begin(), kept.end(), column) != kept.end();
    select += fromSnapshot
                  ? ", s." + cellName(column)
                  : ", t." + quoteSqliteIdentifier(m_shape.columns()[column - hidden].origin);
  }
  std::string join;
  for (const auto& part : m_shape.key())
    join += (join.empty() ? "" : " AND ") + ("t." + sqliteKeyExpression(part)) + " = s." +
            cellName(part.statementColumn);
  return SqliteStatement(m_database,
                         select + " FROM temp." + m_table + " AS s CROSS JOIN " + quotedTable() +
                             " AS t ON " + join + " WHERE s.seq > ?1 ORDER BY s.seq LIMIT " +
                             std::to_string(limit),
                         context);
}

std::string SqliteSnapshot::range() const {
  std::string keys, stored;
  for (const auto& part : m_shape.key()) {
    keys += (keys.empty() ? "" : ", ") + sqliteKeyExpression(part);
    stored += (stored.empty() ? "" : ", ") + cellName(part.statementColumn);
  }
  return "(" + keys + ") IN (SELECT " + stored + " FROM temp." + m_table +
         " WHERE seq >= ?1 AND seq <= ?2)";
}

std::vector<int> SqliteSnapshot::keptColumns() const {
  std::vector<int> columns;
  for (const auto& part : m_shape.key()) columns.push_back(part.statementColumn);
  const int hidden = m_shape.hiddenColumns();
  const int fields = static_cast<int>(m_shape.columns().size());
  for (int i = 0; i < fields; ++i)
    if (m_shape.columns()[i].origin.empty() && !m_shape.isKeyField(i))
      columns.push_back(hidden + i);
  return columns;
}

std::string SqliteSnapshot::quotedTable() const {
  return quoteSqliteIdentifier(m_shape.schema()) + "." + quoteSqliteIdentifier(m_shape.table());
}

void SqliteSnapshot::execute(const char* sql, const std::string& context) {
  checkSqlite(m_database.get(), sqlite3_exec(m_database.get(), sql, nullptr, nullptr, nullptr),
              context);
}

}  // namespace rowsmith::db
