#include "engine/db/sqlite/SqliteError.h"

#include "common/Error.h"

namespace rowsmith::db {

void throwSqliteError(sqlite3* database, int code, const std::string& context) {
  // The handle's message belongs to the last call on it; a code without a
  // handle (or one the handle no longer reports) falls back to the code's text.
  std::string message =
      database != nullptr && (sqlite3_extended_errcode(database) & 0xff) == (code & 0xff)
          ? sqlite3_errmsg(database)
          : sqlite3_errstr(code);
  const int primary = code & 0xff;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    message +=
        " (another program or run holds a lock on the database for too long; finish or close it, "
        "then try again)";
  }
  throw Error(context + ": " + message);
}

}  // namespace rowsmith::db
