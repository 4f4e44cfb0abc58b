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
  m_active = false;
  m_live = false;
  m_stepped = 0;
  m_last = m_cells.integer(0);
  m_more = true;
}

void SqliteChunkReader::start(SqliteStatement statement, std::size_t width, std::size_t limit) {
  m_statement = std::move(statement);
  m_width = width;
  m_limit = limit;
  m_cells.clear();
  restart();
}

void SqliteChunkReader::restart() {
  m_statement.reset();
  m_active = false;
  m_live = false;
  m_rows = 0;
  m_index = 0;
  m_last = std::numeric_limits<sqlite3_int64>::min();
  m_more = true;
}

bool SqliteChunkReader::read(const std::string& context) {
  m_cells.clear();
  m_rows = 0;
  m_index = 0;
  m_live = false;
  m_stepped = 0;
  if (!m_more) return false;
  sqlite3_bind_int64(m_statement.get(), 1, m_last);
  m_active = true;
  return next(context);
}

bool SqliteChunkReader::next(const std::string& context) {
  if (!m_active) return ++m_index < m_rows;
  if (step(context)) {
    m_live = true;
    return true;
  }
  finishChunk();
  return false;
}

void SqliteChunkReader::hold(const std::string& context) {
  if (!m_live) return;
  sqlite3_stmt* s = m_statement.get();
  m_cells.clear();
  m_index = 0;
  m_rows = 0;
  m_live = false;
  bool row = true;
  while (row) {
    for (std::size_t c = 0; c < m_width; ++c) m_cells.addColumn(s, static_cast<int>(c));
    ++m_rows;
    row = step(context);
  }
  finishChunk();
}

void SqliteChunkReader::keepOnlyRowInHand() {
  SqliteCells row;
  for (std::size_t c = 0; c < m_width; ++c) row.addCell(m_cells, cell(static_cast<int>(c)));
  m_cells = std::move(row);
  m_rows = 1;
  m_index = 0;
  m_last = m_cells.integer(0);
  m_more = true;
}

bool SqliteChunkReader::step(const std::string& context) {
  try {
    if (!m_statement.step(context)) return false;
  } catch (const Error&) {
    m_statement.reset();
    m_active = false;
    m_live = false;
    m_rows = 0;
    m_more = false;
    throw;
  }
  ++m_stepped;
  m_last = sqlite3_column_int64(m_statement.get(), 0);
  return true;
}

void SqliteChunkReader::finishChunk() {
  m_statement.reset();
  m_active = false;
  m_live = false;
  m_more = m_stepped >= m_limit;
}

void SqliteChunkReader::finalize() {
  m_statement.finalize();
  m_active = false;
  m_live = false;
}

std::string_view SqliteChunkReader::bytes(int column, int type) const {
  if (!m_live) return m_cells.bytes(cell(column));
  sqlite3_stmt* s = m_statement.get();
  const void* data = type == SQLITE_BLOB ? sqlite3_column_blob(s, column)
                                         : static_cast<const void*>(sqlite3_column_text(s, column));
  const auto size = static_cast<std::size_t>(sqlite3_column_bytes(s, column));
  return data != nullptr ? std::string_view(static_cast<const char*>(data), size)
                         : std::string_view();
}

void SqliteChunkReader::copyCell(int column, SqliteCells& to) const {
  if (m_live)
    to.addColumn(m_statement.get(), column);
  else
    to.addCell(m_cells, cell(column));
}

}  // namespace rowsmith::db
