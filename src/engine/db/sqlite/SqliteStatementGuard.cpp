#include "engine/db/sqlite/SqliteStatementGuard.h"

#include <cstring>

#include "engine/db/api/ReadOnlyStatement.h"

namespace rowsmith::db {

void SqliteStatementGuard::check(const SqliteStatement& statement, const std::string& sql) {
  if (sqlite3_stmt_readonly(statement.get()) == 0) ReadOnlyStatement::refuseWriting();
  // SQLite keeps the text of the first statement, ";" included: the rest
  // must hold no statement, and nothing SQLite cannot read.
  const char* rest = sql.c_str() + std::strlen(sqlite3_sql(statement.get()));
  while (*rest != '\0') {
    sqlite3_stmt* next = nullptr;
    const char* after = nullptr;
    const int code = sqlite3_prepare_v2(statement.database(), rest, -1, &next, &after);
    sqlite3_finalize(next);
    if (code != SQLITE_OK || next != nullptr || after == nullptr || after == rest)
      ReadOnlyStatement::refuseMoreThanOne();
    rest = after;
  }
}

}  // namespace rowsmith::db
