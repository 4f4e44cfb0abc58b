#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/sqlite/SqliteResultShape.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// The keys of a result's rows in visit order, in a temporary table of the
// connection (in a temporary file): "seq", the order, then c0, c1, ... for
// the statement's columns, of which it fills only the key's and those of
// fields that cannot be read from the table again (expressions, generated
// columns). Its rows are read back a chunk at a time, each joined to the
// table's row of its key, and a writer reaches a range of its order by key.
//
// The order numbers are the table's own rowids, given from 1 in visit order
// (each copy starts on an empty table), so SQLite never checks a number for
// being taken.
//
// Threading: used only by the thread of the connection it lives in.
class SqliteSnapshot {
 public:
  // `shape` must outlive the snapshot.
  SqliteSnapshot(SqliteHandle database, const SqliteResultShape& shape);

  // Creates the empty table for a statement of `columns` columns. Made
  // before the statement's first step: a schema change under a running
  // statement would make SQLite prepare it again.
  void create(int columns);
  // Removes the table, if there is one; never raises.
  void drop();

  // Copies the keys of all the rows of `sql` (a statement of `columns`
  // columns) with one INSERT ... SELECT, in the statement's order: the
  // number of rows copied, or nothing when SQLite cannot take the statement
  // as a subquery. A failed copy drops the table and raises.
  std::optional<long long> copyResult(const std::string& sql, int columns,
                                      const std::string& context);
  // Copies the keys of `source`'s row in hand and of the rows after it,
  // stepping it to its end (each step with `stepContext` for its errors),
  // in a transaction of its own unless one is open.
  void copyRows(SqliteStatement& source, const std::string& stepContext,
                const std::string& context);
  // Copies the keys of the table's rows from rowid `first` on, in rowid
  // order, in a transaction of its own unless one is open.
  void copyTableFrom(sqlite3_int64 first, const std::string& context);

  // Reads `limit` rows at most after the order number ?1: the order number,
  // then the statement's columns (hidden key columns, then the fields).
  SqliteStatement reader(std::size_t limit, const std::string& context) const;
  // The rows of a range of the order (?1 to ?2), as an SQL condition on the
  // table.
  std::string range() const;

 private:
  // The statement columns the table keeps.
  std::vector<int> keptColumns() const;
  std::string quotedTable() const;
  void execute(const char* sql, const std::string& context);

  SqliteHandle m_database;
  const SqliteResultShape& m_shape;
  std::string m_table;  // empty until created
};

}  // namespace rowsmith::db
