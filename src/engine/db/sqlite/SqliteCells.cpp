#include "engine/db/sqlite/SqliteCells.h"

#include <cstring>

#include "engine/db/sqlite/SqliteValueText.h"

namespace rowsmith::db {

namespace {

void appendRaw(std::string& out, const void* data, std::size_t size) {
  out.append(static_cast<const char*>(data), size);
}

}  // namespace

void SqliteCells::addBytes(int type, const void* data, std::size_t size) {
  Cell cell;
  cell.type = type;
  cell.offset = m_bytes.size();
  cell.size = size;
  if (size > 0) m_bytes.append(static_cast<const char*>(data), size);
  m_cells.push_back(cell);
}

void SqliteCells::addColumn(sqlite3_stmt* statement, int column) {
  const int type = sqlite3_column_type(statement, column);
  switch (type) {
    case SQLITE_INTEGER: {
      Cell cell;
      cell.type = type;
      cell.integer = sqlite3_column_int64(statement, column);
      m_cells.push_back(cell);
      return;
    }
    case SQLITE_FLOAT: {
      Cell cell;
      cell.type = type;
      cell.real = sqlite3_column_double(statement, column);
      m_cells.push_back(cell);
      return;
    }
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_column_text(statement, column);
      addBytes(type, text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      return;
    }
    case SQLITE_BLOB: {
      const void* blob = sqlite3_column_blob(statement, column);
      addBytes(type, blob, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
      return;
    }
    default:
      m_cells.push_back(Cell{});
  }
}

void SqliteCells::addCell(const SqliteCells& from, std::size_t index) {
  const Cell& cell = from.m_cells[index];
  if (cell.type == SQLITE_TEXT || cell.type == SQLITE_BLOB) {
    const std::string_view data = from.bytes(index);
    addBytes(cell.type, data.data(), data.size());
  } else {
    m_cells.push_back(Cell{cell.type, cell.integer, cell.real, 0, 0});
  }
}

void SqliteCells::addText(std::optional<std::string_view> text) {
  if (text)
    addBytes(SQLITE_TEXT, text->data(), text->size());
  else
    m_cells.push_back(Cell{});
}

void SqliteCells::addValue(const Value& value) {
  switch (value.kind) {
    case Value::Kind::Integer:
      addInteger(value.integer);
      return;
    case Value::Kind::Real: {
      Cell cell;
      cell.type = SQLITE_FLOAT;
      cell.real = value.real;
      m_cells.push_back(cell);
      return;
    }
    case Value::Kind::Text:
      addBytes(SQLITE_TEXT, value.text.data(), value.text.size());
      return;
    case Value::Kind::Binary:
      addBytes(SQLITE_BLOB, value.text.data(), value.text.size());
      return;
    default:
      m_cells.push_back(Cell{});
  }
}

int SqliteCells::bind(sqlite3_stmt* statement, int parameter, std::size_t index) const {
  const Cell& cell = m_cells[index];
  switch (cell.type) {
    case SQLITE_INTEGER:
      return sqlite3_bind_int64(statement, parameter, cell.integer);
    case SQLITE_FLOAT:
      return sqlite3_bind_double(statement, parameter, cell.real);
    case SQLITE_TEXT: {
      const std::string_view text = bytes(index);
      return sqlite3_bind_text64(statement, parameter, text.data(), text.size(), SQLITE_TRANSIENT,
                                 SQLITE_UTF8);
    }
    case SQLITE_BLOB: {
      const std::string_view blob = bytes(index);
      return sqlite3_bind_blob64(statement, parameter, blob.data(), blob.size(), SQLITE_TRANSIENT);
    }
    default:
      return sqlite3_bind_null(statement, parameter);
  }
}

void SqliteCells::result(sqlite3_context* context, std::size_t index) const {
  const Cell& cell = m_cells[index];
  switch (cell.type) {
    case SQLITE_INTEGER:
      sqlite3_result_int64(context, cell.integer);
      break;
    case SQLITE_FLOAT:
      sqlite3_result_double(context, cell.real);
      break;
    case SQLITE_TEXT: {
      const std::string_view text = bytes(index);
      sqlite3_result_text64(context, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
      break;
    }
    case SQLITE_BLOB: {
      const std::string_view blob = bytes(index);
      sqlite3_result_blob64(context, blob.data(), blob.size(), SQLITE_STATIC);
      break;
    }
    default:
      sqlite3_result_null(context);
  }
}

bool SqliteCells::sameAs(std::size_t index, sqlite3_value* value) const {
  const Cell& cell = m_cells[index];
  if (sqlite3_value_type(value) != cell.type) return false;
  switch (cell.type) {
    case SQLITE_INTEGER:
      return sqlite3_value_int64(value) == cell.integer;
    case SQLITE_FLOAT:
      return sqlite3_value_double(value) == cell.real;
    case SQLITE_TEXT: {
      const unsigned char* text = sqlite3_value_text(value);
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
      return size == cell.size && (size == 0 || std::memcmp(text, bytes(index).data(), size) == 0);
    }
    case SQLITE_BLOB: {
      const void* blob = sqlite3_value_blob(value);
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
      return size == cell.size && (size == 0 || std::memcmp(blob, bytes(index).data(), size) == 0);
    }
    default:
      return true;
  }
}

void SqliteCells::appendIdentity(std::string& out, std::size_t index) const {
  const Cell& cell = m_cells[index];
  out += static_cast<char>(cell.type);
  switch (cell.type) {
    case SQLITE_INTEGER:
      appendRaw(out, &cell.integer, sizeof cell.integer);
      break;
    case SQLITE_FLOAT:
      appendRaw(out, &cell.real, sizeof cell.real);
      break;
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const std::size_t size = cell.size;
      appendRaw(out, &size, sizeof size);
      out += bytes(index);
      break;
    }
    default:
      break;
  }
}

void SqliteCells::appendIdentity(std::string& out, sqlite3_value* value) {
  const int type = sqlite3_value_type(value);
  out += static_cast<char>(type);
  switch (type) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 integer = sqlite3_value_int64(value);
      appendRaw(out, &integer, sizeof integer);
      break;
    }
    case SQLITE_FLOAT: {
      const double real = sqlite3_value_double(value);
      appendRaw(out, &real, sizeof real);
      break;
    }
    case SQLITE_TEXT:
    case SQLITE_BLOB: {
      const void* data = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(value))
                                             : sqlite3_value_blob(value);
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(value));
      appendRaw(out, &size, sizeof size);
      if (size > 0) appendRaw(out, data, size);
      break;
    }
    default:
      break;
  }
}

std::string_view SqliteCells::keyText(std::size_t index, std::string& scratch) const {
  const Cell& cell = m_cells[index];
  return sqliteKeyText(cell.type, cell.integer, cell.real, bytes(index), scratch);
}

std::optional<std::string_view> SqliteCells::fieldText(std::size_t index,
                                                       std::string& scratch) const {
  const Cell& cell = m_cells[index];
  return sqliteFieldText(cell.type, cell.integer, cell.real, bytes(index), scratch);
}

std::string SqliteCells::messageText(std::size_t index) const {
  switch (m_cells[index].type) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_BLOB:
      return "(binary)";
    case SQLITE_INTEGER:
      return std::to_string(m_cells[index].integer);
    case SQLITE_FLOAT: {
      // The form SQLite itself gives a real as text.
      char buffer[64];
      sqlite3_snprintf(sizeof buffer, buffer, "%!.15g", m_cells[index].real);
      return buffer;
    }
    default:
      return std::string(bytes(index));
  }
}

}  // namespace rowsmith::db
