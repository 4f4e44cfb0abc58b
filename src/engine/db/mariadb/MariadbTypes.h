#pragma once

#include "engine/db/api/Value.h"
#include "engine/db/mariadb/MariadbHandles.h"

namespace rowsmith::db {

// How MariaDB's and MySQL's column types appear to callers: the ADO
// DataTypeEnum number of a result column, and the Value of one field from
// the server's text for it.
//
// Threading: stateless; callable from any thread.
class MariadbTypes {
 public:
  static DataType dataType(const MYSQL_FIELD& field);

  // Whether the column holds bytes rather than text (BINARY, VARBINARY,
  // BLOB, BIT, geometry): such values are read and written untouched.
  static bool isBinary(const MYSQL_FIELD& field);

  // Fills `out` from the server's text of a non-NULL field: integers parsed
  // (BIGINT UNSIGNED as unsigned), floating-point numbers parsed, DECIMAL
  // as its exact text, dates and times as ISO 8601 ("T" between date and
  // time), binary columns as their bytes. `text` keeps the server's text.
  static void decode(const MYSQL_FIELD& field, const char* text, unsigned long length, Value& out);
};

}  // namespace rowsmith::db
