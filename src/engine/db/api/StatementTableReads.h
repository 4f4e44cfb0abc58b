#pragma once

#include <functional>
#include <optional>
#include <string>

namespace rowsmith::db {

// How many times a statement reads a table, from the statement's text: the
// table references after FROM, JOIN and the commas of a FROM list, in the
// statement and in every subquery, a common table expression counted once
// for each reference to it and a view counted by its own definition.
//
// A backend whose result metadata names a column's base table but not the
// alias it was read through (SQLite, PostgreSQL, most ODBC drivers) cannot
// tell the two appearances of a table joined with itself apart: writing a
// column of one through the key of the other would change the wrong row. A
// result is written only when its table is read exactly once.
//
// The count errs on the high side: a name is compared without regard to
// case or schema, and the text is read both with standard quoting and with
// MySQL's (backslash escapes, "#" comments), the higher count winning (of
// the readings that close every quote).
//
// Threading: stateless; callable from any thread (the view lookup is the
// caller's).
class StatementTableReads {
 public:
  // The definition (a SELECT, or a whole CREATE VIEW statement) of the view
  // a statement names, or nothing when the name is no view or the backend
  // cannot say.
  using ViewDefinition = std::function<std::optional<std::string>(const std::string& name)>;

  // Which reads count: all of them, or only those that can give a result
  // its columns (the FROM lists of the statement, of its derived tables and
  // of its common table expressions), for a backend whose column metadata
  // never traces a column into a subquery of an expression (PostgreSQL).
  enum class Reads { All, ColumnSources };

  // The number of reads of `table` in `sql`; -1 when the text cannot be
  // read (a quote or comment left open in both readings).
  static int count(const std::string& sql, const std::string& table,
                   const ViewDefinition& viewDefinition = {}, Reads reads = Reads::All);

  // Why a result from `table` cannot be written when `sql` reads it
  // `reads` times; empty when it reads it once.
  static std::string whyNotUpdatable(int reads, const std::string& table);
};

}  // namespace rowsmith::db
