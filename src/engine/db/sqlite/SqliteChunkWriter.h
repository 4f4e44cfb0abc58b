#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/api/RecordSet.h"
#include "engine/db/sqlite/SqliteCells.h"
#include "engine/db/sqlite/SqliteChunkReader.h"
#include "engine/db/sqlite/SqliteResultShape.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// One flag per field of a record set (1 for a field written): bytes rather
// than bits, so that two sets compare as one block of memory.
using SqliteFieldFlags = std::vector<unsigned char>;

// The writes of a record set on SQLite, gathered row by row and applied a
// chunk at a time with one UPDATE per set of changed columns.
//
// Each buffered row keeps its key, the values read from the columns it
// changes and their new values. The chunk's UPDATE reaches the rows of a
// range (of an integer key when the buffered rows' keys lie close together,
// else of rowids or of the snapshot's order) and lets two SQL functions
// this class registers on the connection decide, row by row: the first
// passes only the buffered rows whose stored values are still those read,
// the second gives each its new value. When the number of rows written is
// not the chunk's, or SQLite raises an error, the chunk is rolled back to
// its savepoint and written again row by row with the single-row UPDATE and
// its check, so that the row reported and the rows written are exactly
// those of row-by-row writing.
//
// Threading: used only by the thread of the connection it writes through.
class SqliteChunkWriter {
 public:
  SqliteChunkWriter(SqliteHandle database, const SqliteResultShape& shape, CommitGroup& group);
  ~SqliteChunkWriter();
  SqliteChunkWriter(const SqliteChunkWriter&) = delete;
  SqliteChunkWriter& operator=(const SqliteChunkWriter&) = delete;

  // Where the rows in the buffer are found: an SQL condition on the table
  // with ?1 and ?2 standing for the lowest and the highest position of the
  // buffered rows. Buffered rows must be applied before the source changes.
  void setRange(std::string condition);

  // Buffers the row in hand: `position` orders it within the range, `changed`
  // marks the fields written, `pending` holds their new values. The values
  // read are the cells of `row`'s row in hand: the key at `keyColumns`,
  // field i at `fieldBase` + i, or `values`[i] where `valuesRead`[i] says
  // that it holds field i as read.
  void add(long long position, const SqliteFieldFlags& changed,
           const std::vector<std::optional<std::string>>& pending, const SqliteChunkReader& row,
           const std::vector<int>& keyColumns, int fieldBase, const std::vector<Value>& values,
           const SqliteFieldFlags& valuesRead);
  long long rows() const { return static_cast<long long>(m_rows.size()); }

  // Writes the buffered rows inside the open transaction (see class comment)
  // and empties the buffer. Raises the error of the first row that fails,
  // after writing the rows before it; raises with the chunk's own error when
  // SQLite gave up the whole transaction.
  void apply();
  // Forgets the buffered rows.
  void discard();
  // Whether any row has been written.
  bool wroteRows() const { return m_wroteRows; }
  // Tells `sink` (when not null) of each row as it is written, in the order
  // the rows were buffered.
  void reportTo(WrittenRowSink* sink) { m_sink = sink; }

 private:
  struct Row {
    long long position;
    int mask;
    std::size_t firstKey;  // in m_keys
    std::size_t firstOld;  // in m_old and m_new, one per changed field
  };
  struct Functions;

  int maskId(const SqliteFieldFlags& changed);
  // How many fields a mask changes.
  int fieldsOf(int mask) const {
    return static_cast<int>(m_maskFields[static_cast<std::size_t>(mask)].size());
  }
  // The chunk's UPDATE for a set of changed fields; by a range of the key
  // (?1 to ?2) or by the range of positions.
  SqliteStatement& chunkStatement(int mask, bool byKey);
  // The lowest and highest key of the buffered rows, when the key is one
  // integer and the rows lie close together.
  bool keyRange(sqlite3_int64& lowest, sqlite3_int64& highest) const;
  SqliteStatement& rowStatement(int mask);
  void replay();
  void writeRow(const Row& row);
  // Tells the sink of a row written.
  void report(const Row& row);
  std::string keyText(const Row& row) const;
  std::string tableContext(const std::string& operation) const;
  void exec(const char* sql, const std::string& context);
  // Runs `sql` through `statement`, prepared on first use.
  void run(SqliteStatement& statement, const char* sql, const std::string& context);
  const Row* find(sqlite3_value** key);

  static void pick(sqlite3_context* context, int count, sqlite3_value** values);
  static void newValue(sqlite3_context* context, int count, sqlite3_value** values);

  SqliteHandle m_database;
  const SqliteResultShape& m_shape;
  CommitGroup& m_group;
  // Owned by SQLite's registrations of the two functions.
  Functions* m_functions = nullptr;
  Functions* m_newFunctions = nullptr;
  std::string m_pickName;
  std::string m_newName;
  std::string m_range;
  std::vector<SqliteFieldFlags> m_masks;
  std::vector<std::vector<int>> m_maskFields;  // the changed fields' ordinals per mask
  std::size_t m_lastMask = 0;                  // the mask of the row buffered last
  std::map<int, SqliteStatement> m_chunkStatements;
  std::map<int, SqliteStatement> m_keyRangeStatements;
  std::map<int, SqliteStatement> m_rowStatements;
  SqliteStatement m_savepoint;  // of each chunk, and its release
  SqliteStatement m_release;
  std::vector<Row> m_rows;
  SqliteCells m_keys;
  SqliteCells m_old;
  SqliteCells m_new;
  // Buffered rows by key, built when a key is not found next to the last.
  std::unordered_map<std::string, std::size_t> m_index;
  bool m_indexBuilt = false;
  std::string m_probe;
  std::size_t m_lastFound = 0;  // the row found last
  bool m_wroteRows = false;
  WrittenRowSink* m_sink = nullptr;
  // What report() hands the sink, kept from row to row.
  std::vector<std::string> m_keyText;
  std::vector<std::string_view> m_keyViews;
  std::vector<std::string> m_fieldText;
  std::vector<WrittenField> m_fields;
};

}  // namespace rowsmith::db
