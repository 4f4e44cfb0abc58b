#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/api/Value.h"

namespace rowsmith::db {

// SQLite values kept after their statement has moved on, each exactly as it
// was read (storage class and bytes), all in a few buffers that are reused:
// adding a value allocates nothing once the buffers have grown.
//
// Threading: a plain value; used by one thread.
class SqliteCells {
 public:
  std::size_t size() const { return m_cells.size(); }
  void clear() {
    m_cells.clear();
    m_bytes.clear();
  }

  // Adds the value of a statement's column on its current row.
  void addColumn(sqlite3_stmt* statement, int column);
  // Adds the value of another store.
  void addCell(const SqliteCells& from, std::size_t index);
  void addInteger(sqlite3_int64 value) { m_cells.push_back(Cell{SQLITE_INTEGER, value, 0, 0, 0}); }
  // Adds text, or NULL for std::nullopt.
  void addText(std::optional<std::string_view> text);
  // Adds a value read from an SQLite column (a kind SQLite can store).
  void addValue(const Value& value);

  // SQLITE_NULL, SQLITE_INTEGER, SQLITE_FLOAT, SQLITE_TEXT or SQLITE_BLOB.
  int type(std::size_t index) const { return m_cells[index].type; }
  sqlite3_int64 integer(std::size_t index) const { return m_cells[index].integer; }
  double real(std::size_t index) const { return m_cells[index].real; }
  // The bytes of a text or blob value.
  std::string_view bytes(std::size_t index) const {
    const Cell& cell = m_cells[index];
    return std::string_view(m_bytes).substr(cell.offset, cell.size);
  }

  // Binds the value to a statement's parameter as it was read.
  int bind(sqlite3_stmt* statement, int parameter, std::size_t index) const;
  // Hands the value back as an SQL function's result, without a copy: the
  // store must not change until the statement that called the function has
  // used the result (the row it writes is made before the next call).
  void result(sqlite3_context* context, std::size_t index) const;
  // Whether `value` is the same value: storage class and bytes.
  bool sameAs(std::size_t index, sqlite3_value* value) const;
  // Appends a form of the value that tells any two different values apart.
  void appendIdentity(std::string& out, std::size_t index) const;
  // The value as messages show it: NULL, (binary) or the text.
  std::string messageText(std::size_t index) const;
  // The value as locateRow gives a key (sqliteKeyText) and as the worker
  // reads a field (sqliteFieldText): a number is written into `scratch`.
  std::string_view keyText(std::size_t index, std::string& scratch) const;
  std::optional<std::string_view> fieldText(std::size_t index, std::string& scratch) const;

  // Appends the same identity form for an SQL function's argument.
  static void appendIdentity(std::string& out, sqlite3_value* value);

 private:
  struct Cell {
    int type = SQLITE_NULL;
    sqlite3_int64 integer = 0;
    double real = 0;
    std::size_t offset = 0;
    std::size_t size = 0;
  };
  void addBytes(int type, const void* data, std::size_t size);

  std::vector<Cell> m_cells;
  std::string m_bytes;
};

}  // namespace rowsmith::db
