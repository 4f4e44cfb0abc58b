#pragma once

#include <sqlite3.h>

#include <string>

namespace rowsmith::db {

// Turns an SQLite result code into a rowsmith::Error whose message carries
// SQLite's own text after `context` (the operation, and the table or file it
// concerned). A lock that outlasted the busy timeout also says what to do.
//
// Threading: uses only its arguments; `database` must belong to the calling
// thread.
[[noreturn]] void throwSqliteError(sqlite3* database, int code, const std::string& context);

// Raises throwSqliteError unless `code` is one of the codes that mean success
// (SQLITE_OK, SQLITE_ROW, SQLITE_DONE).
inline void checkSqlite(sqlite3* database, int code, const std::string& context) {
  if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE)
    throwSqliteError(database, code, context);
}

}  // namespace rowsmith::db
