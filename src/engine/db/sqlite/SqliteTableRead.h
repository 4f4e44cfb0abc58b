#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsmith::db {

// A table named in SQL, without its quotes: the schema is empty when the
// statement names none.
struct SqliteTableName {
  std::string schema;
  std::string table;
};

// The table read by a statement that reads all of one table's columns and
// rows and nothing else: "select * from t", "select rowid, * from main.t",
// any case and spacing, names bare or quoted in any of SQLite's ways, with
// one trailing semicolon at most; nullopt for any other statement.
//
// Threading: a pure function, callable from any thread.
std::optional<SqliteTableName> wholeTableRead(std::string_view sql);

}  // namespace rowsmith::db
