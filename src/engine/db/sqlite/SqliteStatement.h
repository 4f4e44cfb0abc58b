#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

namespace rowsmith::db {

// The database handle, shared by a connection and the record sets opened on
// it: a record set released after its connection still commits its rows.
using SqliteHandle = std::shared_ptr<sqlite3>;

// One prepared statement, finalized when the object goes. Errors are raised
// with `context` as their first words (see throwSqliteError).
//
// Threading: used only by the thread that owns its connection.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  // Prepares the first statement of `sql`; an SQL text without a statement
  // (blank or only a comment) leaves the object empty.
  SqliteStatement(SqliteHandle database, const std::string& sql, const std::string& context);
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&& other) noexcept;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  // Prepares without raising: false (and an empty object) when SQLite
  // refuses the text.
  static bool tryPrepare(SqliteHandle database, const std::string& sql, SqliteStatement& out);

  explicit operator bool() const { return m_statement != nullptr; }
  sqlite3_stmt* get() const { return m_statement; }
  sqlite3* database() const { return m_database.get(); }

  // True on a row, false when done; raises on failure.
  bool step(const std::string& context);
  // Rewinds the statement and clears its bindings.
  void reset();
  void finalize();

 private:
  SqliteHandle m_database;
  sqlite3_stmt* m_statement = nullptr;
};

}  // namespace rowsmith::db
