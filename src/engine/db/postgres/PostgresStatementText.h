#pragma once

#include <optional>
#include <string>

namespace rowsmith::db {

// Small surgery on the text of a SELECT statement, aware of PostgreSQL's
// quoting (strings, E'' strings, dollar quotes, quoted identifiers) and
// comments.
//
// Threading: stateless; callable from any thread.
class PostgresStatementText {
 public:
  // The statement without trailing blanks and semicolons.
  static std::string trimmed(const std::string& sql);

  // The statement with `columns` appended to the select list of its
  // outermost SELECT (just before its FROM), or nothing when the statement
  // does not start with SELECT, has no FROM at its top level, or selects
  // DISTINCT rows (where extra columns would change the rows).
  static std::optional<std::string> withExtraColumns(const std::string& sql,
                                                     const std::string& columns);

  // True when the outermost SELECT has a locking clause (FOR UPDATE, FOR NO
  // KEY UPDATE, FOR SHARE, FOR KEY SHARE).
  static bool locksRows(const std::string& sql);
};

}  // namespace rowsmith::db
