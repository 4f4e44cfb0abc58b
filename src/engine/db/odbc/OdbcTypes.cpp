#include "engine/db/odbc/OdbcTypes.h"

#include <sqlext.h>
#include <sqlucode.h>

namespace rowsmith::db::odbc {

DataType OdbcTypes::adoType(SQLSMALLINT sqlType, bool isUnsigned) {
  switch (sqlType) {
    case SQL_CHAR:
      return DataType::Char;
    case SQL_VARCHAR:
      return DataType::VarChar;
    case SQL_LONGVARCHAR:
      return DataType::LongVarChar;
    case SQL_WCHAR:
      return DataType::WChar;
    case SQL_WVARCHAR:
      return DataType::VarWChar;
    case SQL_WLONGVARCHAR:
      return DataType::LongVarWChar;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return DataType::Numeric;
    case SQL_TINYINT:
      return isUnsigned ? DataType::UnsignedTinyInt : DataType::TinyInt;
    case SQL_SMALLINT:
      return isUnsigned ? DataType::UnsignedSmallInt : DataType::SmallInt;
    case SQL_INTEGER:
      return isUnsigned ? DataType::UnsignedInt : DataType::Integer;
    case SQL_BIGINT:
      return isUnsigned ? DataType::UnsignedBigInt : DataType::BigInt;
    case SQL_REAL:
      return DataType::Single;
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return DataType::Double;
    case SQL_BIT:
      return DataType::Boolean;
    case SQL_TYPE_DATE:
    case SQL_DATE:
      return DataType::DBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
      return DataType::DBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return DataType::DBTimeStamp;
    case SQL_BINARY:
      return DataType::Binary;
    case SQL_VARBINARY:
      return DataType::VarBinary;
    case SQL_LONGVARBINARY:
      return DataType::LongVarBinary;
    case SQL_GUID:
      return DataType::GUID;
    default:
      // Intervals and driver-specific types arrive as their text.
      return DataType::VarChar;
  }
}

Value::Kind OdbcTypes::valueKind(SQLSMALLINT sqlType, bool isUnsigned) {
  switch (sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return isUnsigned ? Value::Kind::Unsigned : Value::Kind::Integer;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return Value::Kind::Real;
    case SQL_BIT:
      return Value::Kind::Boolean;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return Value::Kind::Decimal;
    case SQL_TYPE_DATE:
    case SQL_DATE:
    case SQL_TYPE_TIME:
    case SQL_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
      return Value::Kind::DateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return Value::Kind::Binary;
    default:
      return Value::Kind::Text;
  }
}

bool OdbcTypes::isBinary(SQLSMALLINT sqlType) {
  return sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
}

bool OdbcTypes::isCharacter(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR:
      return true;
    default:
      return false;
  }
}

}  // namespace rowsmith::db::odbc
