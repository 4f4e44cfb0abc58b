#pragma once

#include <string>
#include <string_view>

#include "engine/db/api/Connection.h"

namespace rowsmith {

// What follows "select * from " when a job processes a whole table. The
// name the user typed goes in as typed only when it cannot be read as
// anything but a table: "customer data" would be table customer with the
// alias data, and that table would be written.
//
// - A name that exactly equals one the database lists (what the table
//   drop-down offers) is quoted as an identifier by the backend.
// - Otherwise a name that already is a table reference (a plain name, a
//   schema-qualified one, or one the user quoted) stays as typed.
// - Anything else is refused before any statement runs, with a message
//   that shows how to quote it.
//
// Threading: stateless; resolve() runs on the thread that owns the
// connection.
class TableReference {
 public:
  // The reference for `typed` on `connection`; raises rowsmith::Error when
  // the name is refused.
  static std::string resolve(const std::string& typed, db::Connection& connection);

  // Whether `text` (blanks around it aside) is one to three names joined by
  // ".", each plain (letters, digits, "_" and "$", not starting with a
  // digit; bytes of non-ASCII characters count as letters) or quoted with
  // "...", `...` or [...].
  static bool isTableReference(std::string_view text);
};

}  // namespace rowsmith
