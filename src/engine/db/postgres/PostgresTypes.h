#pragma once

#include <libpq-fe.h>

#include "engine/db/api/Value.h"

namespace rowsmith::db {

// How PostgreSQL's built-in types appear to callers: the ADO DataTypeEnum
// number of a column type, and the Value of one field from its text form.
// Types without a mapping of their own (arrays, json, ranges, ...) are text.
//
// Threading: stateless; callable from any thread.
class PostgresTypes {
 public:
  static DataType dataType(Oid type);

  // Fills `out` from the server's text of a non-NULL field: integers and
  // floating-point numbers parsed, numeric as its full text, dates and times
  // in ISO 8601 ("T" between date and time), bytea decoded to its bytes.
  // `text` also keeps the server's text for numbers and Booleans.
  static void decode(Oid type, const char* text, int length, Value& out);
};

}  // namespace rowsmith::db
