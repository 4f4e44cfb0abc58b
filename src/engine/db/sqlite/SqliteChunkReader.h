#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/db/sqlite/SqliteCells.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// The rows of a record set read a chunk at a time, each chunk after the last
// row of the one before: the statement takes that row's position as ?1 and
// gives each row's position as its first column ("SELECT rowid, * ... WHERE
// rowid > ?1 ORDER BY rowid LIMIT n", or the same in a snapshot's order).
//
// The rows of a chunk are served straight from the statement as it steps,
// so a value that nobody asks for is never copied. Before anything else runs
// on the connection in the middle of a chunk (a write, a commit), hold()
// keeps the row in hand and the rest of the chunk as they were read and
// resets the statement, so that no statement stays active (and keeps a read
// lock) while the rows are worked on or written.
//
// Threading: used only by the thread of the connection it reads through.
class SqliteChunkReader {
 public:
  // Starts with one row in hand, read elsewhere: `inHand` holds its cells.
  // `statement` reads chunks of `limit` rows at most.
  void start(SqliteStatement statement, std::size_t width, std::size_t limit, SqliteCells inHand);
  // Starts with no row in hand: the next read reads the first chunk.
  void start(SqliteStatement statement, std::size_t width, std::size_t limit);
  // The next read begins again at the first row.
  void restart();
  // Whether a read can still find rows (the last chunk read was full).
  bool more() const { return m_more; }
  // Reads the next chunk and stands on its first row; false when no row was
  // left. A failed read raises its error, with `context` as its first words.
  bool read(const std::string& context);
  // Moves to the next row of the chunk; false when the chunk is used up.
  bool next(const std::string& context);
  // Keeps the row in hand and the rest of the chunk, and lets the statement
  // go: nothing of the chunk is read from the database any more.
  void hold(const std::string& context);
  // Forgets the held rows after the row in hand: the next read reads the
  // rows after it again. The row in hand must be held.
  void keepOnlyRowInHand();
  void finalize();

  // The cells of the row in hand: `column` counts from its position (0).
  int type(int column) const {
    return m_live ? sqlite3_column_type(m_statement.get(), column) : m_cells.type(cell(column));
  }
  sqlite3_int64 integer(int column) const {
    return m_live ? sqlite3_column_int64(m_statement.get(), column) : m_cells.integer(cell(column));
  }
  double real(int column) const {
    return m_live ? sqlite3_column_double(m_statement.get(), column) : m_cells.real(cell(column));
  }
  // The bytes of a text or blob cell of type `type`.
  std::string_view bytes(int column, int type) const;
  // Adds a cell, exactly as it was read, to `to`.
  void copyCell(int column, SqliteCells& to) const;
  // The row in hand's position.
  sqlite3_int64 position() const { return m_live ? m_last : m_cells.integer(cell(0)); }

 private:
  std::size_t cell(int column) const {
    return m_index * m_width + static_cast<std::size_t>(column);
  }
  // Steps the statement; false after its last row.
  bool step(const std::string& context);
  // After the statement's last row: whether a chunk can follow.
  void finishChunk();

  SqliteStatement m_statement;
  SqliteCells m_cells;  // held rows
  std::size_t m_width = 0;
  std::size_t m_limit = 0;
  std::size_t m_rows = 0;     // held rows
  std::size_t m_index = 0;    // the held row in hand
  bool m_active = false;      // the statement is reading the chunk in hand
  bool m_live = false;        // the row in hand is the statement's
  std::size_t m_stepped = 0;  // rows the statement has given in this chunk
  sqlite3_int64 m_last = 0;   // the position of the last row read
  bool m_more = false;
};

}  // namespace rowsmith::db
