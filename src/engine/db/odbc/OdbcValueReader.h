#pragma once

#include <sql.h>

#include <string>
#include <vector>

#include "engine/db/api/Value.h"
#include "engine/db/odbc/OdbcColumn.h"

namespace rowsmith::db::odbc {

// Reads one column of the row a statement stands on into a Value with
// SQLGetData, in pieces, so values of any length arrive whole. Numbers come
// as the driver's text and are parsed here (floating-point numbers are read
// as doubles, exactly); decimals, dates and times keep the driver's text.
// Binary data arrives as its bytes.
//
// Threading: one reader per record set, used by its thread only.
class OdbcValueReader {
 public:
  // `number` counts from 1, as ODBC does; columns must be read in order.
  void read(SQLHSTMT statement, SQLUSMALLINT number, const OdbcColumn& column, Value& out,
            const std::string& context);

 private:
  // Reads the whole value as `cType` (SQL_C_CHAR or SQL_C_BINARY) into
  // `out.text`; false for NULL.
  bool readPieces(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT cType, std::string& out,
                  const std::string& context);

  std::vector<char> m_buffer = std::vector<char>(32 * 1024);
};

}  // namespace rowsmith::db::odbc
