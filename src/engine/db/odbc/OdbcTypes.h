#pragma once

#include <sql.h>

#include "engine/db/api/Value.h"

namespace rowsmith::db::odbc {

// How SQL data types of ODBC map onto ADO's DataTypeEnum and onto the kind
// of value the record set delivers.
//
// Threading: stateless.
class OdbcTypes {
 public:
  static DataType adoType(SQLSMALLINT sqlType, bool isUnsigned);
  // The kind a non-NULL value of this type is delivered as. Text read from a
  // column of a numeric type that does not parse (SQLite stores any value in
  // any column) is delivered as Text instead.
  static Value::Kind valueKind(SQLSMALLINT sqlType, bool isUnsigned);
  static bool isBinary(SQLSMALLINT sqlType);
  static bool isCharacter(SQLSMALLINT sqlType);
};

}  // namespace rowsmith::db::odbc
