#pragma once

#include <string>

namespace rowsmith::db {

// A user's statement is only ever read: the only writes a run makes are its
// record set's own UPDATEs of the rows it read. Each backend opens a user's
// statement so that it cannot write (SQLite asks the prepared statement,
// PostgreSQL reads in a READ ONLY transaction) and refuses it with one of
// the messages below before it runs. For ODBC, where a driver may ignore
// the read-only access mode, requireSingleSelect() refuses by the text.
//
// Threading: stateless; callable from any thread.
class ReadOnlyStatement {
 public:
  // "The statement would change the database; ..."
  [[noreturn]] static void refuseWriting();
  // "Only one statement is run; ..."
  [[noreturn]] static void refuseMoreThanOne();

  // Raises one of the refusals unless `sql` is a single SELECT or WITH ...
  // SELECT (possibly in parentheses) without INSERT, UPDATE (other than FOR
  // ... UPDATE), DELETE, MERGE or INTO, and with nothing but ";", blanks and
  // comments after it. Strings, quoted names and comments are read both as
  // standard SQL does and as MySQL does (backslash escapes, "#" comments,
  // "/*!" text that runs); the statement must pass both readings, so that
  // no dialect can hide a second statement or a write inside what looks
  // like quoted text. A quote or comment left open is refused too.
  static void requireSingleSelect(const std::string& sql);
};

}  // namespace rowsmith::db
