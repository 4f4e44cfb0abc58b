#pragma once

#include <cstddef>
#include <string>

#include "engine/db/sqlite/SqliteCells.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// The rows of a record set read a chunk at a time, each chunk after the last
// row of the one before: the statement takes that row's position as ?1 and
// gives each row's position as its first column ("SELECT rowid, * ... WHERE
// rowid > ?1 ORDER BY rowid LIMIT n", or the same in a snapshot's order). It
// is reset after every chunk, so that no statement stays active (and keeps a
// read lock) while the rows are worked on. A chunk's rows are kept as they
// were read, `width` cells each, position first.
//
// Threading: used only by the thread of the connection it reads through.
class SqliteChunkReader {
 public:
  // Starts with one row in hand, read elsewhere: `inHand` holds its cells.
  // `statement` reads chunks of `limit` rows at most.
  void start(SqliteStatement statement, std::size_t width, std::size_t limit, SqliteCells inHand);
  // The next read begins again at the first row.
  void restart();
  // Whether a read can still find rows (the last chunk read was full).
  bool more() const { return m_more; }
  // Reads the next chunk and stands on its first row; false when no row was
  // left. A failed read raises its error, with `context` as its first words.
  bool read(const std::string& context);
  // Moves to the next row of the chunk; false when the chunk is used up.
  bool next() { return ++m_index < m_rows; }
  void finalize() { m_statement.finalize(); }

  const SqliteCells& cells() const { return m_cells; }
  // The first cell of the row in hand, and that row's position.
  std::size_t rowStart() const { return m_index * m_width; }
  sqlite3_int64 position() const { return m_cells.integer(rowStart()); }

 private:
  SqliteStatement m_statement;
  SqliteCells m_cells;
  std::size_t m_width = 0;
  std::size_t m_limit = 0;
  std::size_t m_rows = 0;
  std::size_t m_index = 0;
  sqlite3_int64 m_last = 0;  // the position of the last row read
  bool m_more = false;
};

}  // namespace rowsmith::db
