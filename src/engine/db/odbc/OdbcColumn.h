#pragma once

#include <sql.h>

#include <string>

#include "engine/db/api/Value.h"

namespace rowsmith::db::odbc {

// What the driver says about one result column (SQLDescribeCol and
// SQLColAttribute). The base table and column are empty when the driver
// does not know them, as for an expression.
//
// Threading: a plain value.
struct OdbcColumn {
  std::string name;
  SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0;
  bool isUnsigned = false;
  DataType dataType = DataType::Empty;
  std::string baseSchema;
  std::string baseTable;
  std::string baseColumn;
  // The name the statement read the table by (SQL_DESC_TABLE_NAME): its
  // alias for drivers that say (MariaDB), else mostly the base table.
  std::string tableName;
};

}  // namespace rowsmith::db::odbc
