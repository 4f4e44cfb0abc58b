#pragma once

#include <string>

#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// A user's statement on SQLite is only ever read. SQLite itself says
// whether a prepared statement can write (sqlite3_stmt_readonly: false for
// DELETE ... RETURNING, PRAGMA journal_mode and the like), and only the
// first statement of a text is prepared, so anything but blanks, comments
// and ";" after it would be left out without a word. Both are refused
// before the statement runs (see ReadOnlyStatement for the messages).
//
// Threading: on the thread that owns the connection.
class SqliteStatementGuard {
 public:
  // `statement` is the first statement prepared from `sql`.
  static void check(const SqliteStatement& statement, const std::string& sql);
};

}  // namespace rowsmith::db
