#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/api/RecordSet.h"
#include "engine/db/sqlite/SqliteFileIdentity.h"
#include "engine/db/sqlite/SqliteResultShape.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// A SELECT's result on an SQLite database.
//
// Rows are read straight from the statement as SQLite steps it, so a record
// set that is only read costs nothing beyond the statement. The first write
// moves reading to a snapshot: the rest of the statement's rows (and the row
// in hand) are copied into a temporary table, which lives in a temporary
// file, not in memory. From then on the writes cannot bring a row back or
// hide one, and other connections are free to write between our commits.
//
// A write is an UPDATE of the row's key that also requires the changed
// columns to still hold what was read; when another connection changed them
// in between, nothing is written and the error names the table and key.
// Rows are committed in groups (at most about half a second of work per
// transaction), on close() and before an error is raised, so the rows moved
// past keep their new values. When SQLite gives up a whole group instead (a
// full disk, an I/O error, a commit that fails), the error says so and names
// the last row that was kept (CommitGroup). A record set that wrote rows
// checks on close that its database file is still in place
// (SqliteFileIdentity).
//
// The row count is known for a result from one table: counted by a second
// statement that is still active when the first row is read, so both read
// in one transaction and the count matches the rows visited.
//
// Threading: used only by the thread of the connection that opened it.
class SqliteRecordSet : public RecordSet {
 public:
  SqliteRecordSet(SqliteHandle database, SqliteStatement statement, SqliteResultShape shape,
                  bool countRecords = true, SqliteFileIdentity file = {});
  ~SqliteRecordSet() override;
  SqliteRecordSet(const SqliteRecordSet&) = delete;
  SqliteRecordSet& operator=(const SqliteRecordSet&) = delete;

  bool isOpen() const override { return m_open; }
  bool eof() const override { return !m_open || m_eof; }
  void moveFirst() override;
  void moveNext() override;
  void close() override;

  int fieldCount() const override { return static_cast<int>(m_shape.columns().size()); }
  const std::string& fieldName(int ordinal) const override;
  DataType fieldType(int ordinal) const override;
  const Value& value(int ordinal) override;
  void setValue(int ordinal, std::optional<std::string_view> value) override;

  bool supportsUpdates() const override { return m_shape.updatable(); }
  long long recordCount() const override { return m_count; }

 private:
  int statementColumn(int ordinal) const {
    return m_columnBase + m_shape.hiddenColumns() + ordinal;
  }
  void checkOrdinal(int ordinal) const;
  void requireRow(const char* operation) const;
  void step();
  void countAndStep();
  void createSnapshotTable();
  void moveToSnapshot();
  void writeCurrentRow();
  SqliteStatement& updateStatement();
  void beginTransaction();
  void commit();
  std::string keyText();
  std::string tableContext(const std::string& operation) const;
  void execute(const std::string& sql, const std::string& context);

  SqliteHandle m_database;
  SqliteStatement m_source;  // the user's statement, or the snapshot's reader
  SqliteResultShape m_shape;
  bool m_countRecords = true;
  int m_columnBase = 0;  // 1 on the snapshot, whose first column is its order
  std::string m_snapshotTable;
  bool m_onSnapshot = false;
  bool m_open = true;
  bool m_eof = false;
  long long m_position = 0;
  long long m_count = -1;
  std::vector<Value> m_values;
  std::vector<std::optional<std::string>> m_pending;
  std::vector<bool> m_changed;
  bool m_anyChanged = false;
  std::map<std::vector<bool>, SqliteStatement> m_updates;
  bool m_inTransaction = false;
  std::chrono::steady_clock::time_point m_transactionStart;
  CommitGroup m_group;
  SqliteFileIdentity m_file;
  bool m_wroteRows = false;
};

}  // namespace rowsmith::db
