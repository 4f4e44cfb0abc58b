#include "engine/db/sqlite/SqliteChunkReader.h"

#include <limits>
#include <utility>

#include "common/Error.h"

namespace rowsmith::db {

void SqliteChunkReader::start(SqliteStatement statement, std::size_t width, std::size_t limit,
                              SqliteCells inHand) {
  m_statement = std::move(statement);
  m_width = width;
  m_limit = limit;
  m_cells = std::move(inHand);
  m_rows = 1;
  m_index = 0;
  m_last = m_cells.integer(0);
  m_more = true;
}

void SqliteChunkReader::restart() {
  m_last = std::numeric_limits<sqlite3_int64>::min();
  m_more = true;
}

bool SqliteChunkReader::read(const std::string& context) {
  m_cells.clear();
  m_rows = 0;
  m_index = 0;
  if (!m_more) return false;
  sqlite3_stmt* s = m_statement.get();
  sqlite3_bind_int64(s, 1, m_last);
  try {
    while (m_statement.step(context)) {
      for (std::size_t c = 0; c < m_width; ++c) m_cells.addColumn(s, static_cast<int>(c));
      ++m_rows;
    }
  } catch (const Error&) {
    m_statement.reset();
    m_rows = 0;
    m_more = false;
    throw;
  }
  m_statement.reset();
  m_more = m_rows >= m_limit;
  if (m_rows == 0) return false;
  m_last = m_cells.integer((m_rows - 1) * m_width);
  return true;
}

}  // namespace rowsmith::db
