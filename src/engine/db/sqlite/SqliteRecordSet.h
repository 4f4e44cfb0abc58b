#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/api/RecordSet.h"
#include "engine/db/sqlite/SqliteCells.h"
#include "engine/db/sqlite/SqliteChunkReader.h"
#include "engine/db/sqlite/SqliteChunkWriter.h"
#include "engine/db/sqlite/SqliteFileIdentity.h"
#include "engine/db/sqlite/SqliteResultShape.h"
#include "engine/db/sqlite/SqliteSnapshot.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// A SELECT's result on an SQLite database.
//
// Rows are read straight from the statement as SQLite steps it, so a record
// set that is only read costs nothing beyond the statement. The first write
// moves reading elsewhere, so that the writes cannot bring a row back or
// hide one and other connections are free to write between our commits:
//  - a whole table ("select * from t" of a rowid table) is read from then on
//    in chunks of rows in rowid order, each after the last row read;
//  - for any other result the keys of the rows left (the row in hand and
//    those after it) are copied into a snapshot, a temporary table in a
//    temporary file, in visit order; chunks of rows are then read from the
//    table by those keys. So is the rest of a table once a write reaches a
//    column of its key. The row in hand keeps the values it was read with.
// A run's record set (one that counts its rows) on any result but a whole
// table takes the snapshot of all its rows when it opens, with one INSERT ...
// SELECT, and reads from it from the first row: a run writes, and SQLite
// copies the keys far faster than they can be stepped. Its chunks are kept
// as read until the first write, so that no read lock is held meanwhile.
//
// Writes are buffered and applied a chunk at a time by SqliteChunkWriter,
// which also requires the changed columns to still hold what was read; when
// another connection changed them in between, the rows before are written
// and the error names the table and key, exactly as if every row had been
// written on its own. Each chunk is read inside the write transaction
// (BEGIN IMMEDIATE), so that nobody else writes its rows between our read
// and our write: two runs on one table take turns instead of meeting each
// other's rows. Chunks are applied before the next one is read (the first
// rows of a run one by one, then in growing groups), at the end of the rows
// and on close(), and committed in groups (about half a second of work per
// transaction) before a chunk is read, between two rows when a slow worker
// has spent that long on the chunk in hand, on close() and before an error
// is raised, so the rows moved past keep their new values. When
// SQLite gives up a whole group instead (a full disk, an I/O error, a commit
// that fails), the error says so and names the last row that was kept
// (CommitGroup). A record set that wrote rows checks on close that its
// database file is still in place (SqliteFileIdentity).
//
// The row count is known for a result from one table: the rows of the
// snapshot, or counted by a second statement that is still active when the
// first row is read, so both read in one transaction and the count matches
// the rows visited.
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
  bool locateRow(RowLocation& where) override;
  bool currentKeyValues(RowLocation& where) override;
  std::string baseColumnName(int ordinal) const override;
  void setBeforeCommit(std::function<void()> hook) override {
    m_group.setBeforeCommit(std::move(hook));
  }
  long long rowsKept() const override { return m_group.keptRows(); }
  // The rows are told of as each chunk is applied (SqliteChunkWriter).
  bool reportWrittenRows(WrittenRowSink* sink) override;

 private:
  int statementColumn(int ordinal) const {
    return m_columnBase + m_shape.hiddenColumns() + ordinal;
  }
  void checkOrdinal(int ordinal) const;
  // The current row's cell of statement column `column`, as text.
  void cellText(int column, std::string& out) const;
  void requireRow(const char* operation) const;
  void step();
  void advance();
  void countAndStep();
  void startWriting();
  bool startChunks();
  void readChunk();
  void moveToSnapshot();
  void moveChunksToSnapshot();
  // Copies the keys of all the result's rows into the snapshot and reads its
  // first chunk, for a run on a result that is not a whole table; false
  // when the record set reads its statement instead.
  bool takeSnapshot();
  // Reads from the snapshot from now on: `inHand` is its first row, read
  // elsewhere; without it the first chunk is read next.
  void useSnapshot(const std::string& context, std::optional<SqliteCells> inHand);
  // The statement's text without its trailing semicolons and space.
  std::string sourceText() const;
  void bufferCurrentRow();
  void applyWrites();
  // Keeps the rest of the chunk in hand, so that other statements can run.
  void holdChunk();
  void beginTransaction();
  void commit();
  long long groupLimit() const;
  std::string tableContext(const std::string& operation) const;
  void execute(const std::string& sql, const std::string& context);

  SqliteHandle m_database;
  SqliteStatement m_source;  // the user's statement, or the snapshot's reader
  SqliteResultShape m_shape;
  bool m_countRecords = true;
  std::string m_readContext;  // error context of reading the table's rows
  // Cells before the statement's own columns: 1 on the snapshot (its order) and
  // in chunks of a table whose statement has no hidden rowid (the rowid).
  int m_columnBase = 0;
  SqliteSnapshot m_snapshot;
  bool m_onSnapshot = false;
  bool m_open = true;
  bool m_eof = false;
  long long m_position = 0;
  long long m_count = -1;
  std::vector<Value> m_values;
  std::vector<std::optional<std::string>> m_pending;
  SqliteFieldFlags m_changed;
  // 1 for a field whose m_values entry holds its value as read from the row
  // in hand, which a write then keeps as the value to check against.
  SqliteFieldFlags m_read;
  bool m_anyChanged = false;
  bool m_inTransaction = false;
  // When the open write transaction began.
  std::chrono::milliseconds m_groupStart{0};
  // Reading in chunks, by rowid or in the snapshot's order; when the chunk
  // in hand was read (coarseNow() in SqliteRecordSet.cpp).
  bool m_inChunks = false;
  SqliteChunkReader m_chunks;
  std::chrono::milliseconds m_chunkReadAt{0};
  std::vector<int> m_keyColumns;
  long long m_rowsApplied = 0;
  CommitGroup m_group;
  std::unique_ptr<SqliteChunkWriter> m_writer;
  WrittenRowSink* m_sink = nullptr;
  SqliteFileIdentity m_file;
  bool m_wroteRows = false;
  // The table as SQL names it, for locateRow.
  std::string m_quotedTable;
  // Numbers written as text for cellText.
  mutable std::string m_keyScratch;
};

}  // namespace rowsmith::db
