#include "engine/db/mariadb/MariadbTypes.h"

#include <charconv>

namespace rowsmith::db {

namespace {

// The character set number of binary strings.
constexpr unsigned int kBinaryCharset = 63;

bool isUnsigned(const MYSQL_FIELD& field) { return (field.flags & UNSIGNED_FLAG) != 0; }

}  // namespace

bool MariadbTypes::isBinary(const MYSQL_FIELD& field) {
  switch (field.type) {
    case MYSQL_TYPE_BIT:
    case MYSQL_TYPE_GEOMETRY:
      return true;
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
      return field.charsetnr == kBinaryCharset;
    default:
      return false;
  }
}

DataType MariadbTypes::dataType(const MYSQL_FIELD& field) {
  const bool unsignedType = isUnsigned(field);
  switch (field.type) {
    case MYSQL_TYPE_TINY:
      return unsignedType ? DataType::UnsignedTinyInt : DataType::TinyInt;
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
      return unsignedType ? DataType::UnsignedSmallInt : DataType::SmallInt;
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG:
      return unsignedType ? DataType::UnsignedInt : DataType::Integer;
    case MYSQL_TYPE_LONGLONG:
      return unsignedType ? DataType::UnsignedBigInt : DataType::BigInt;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
      return DataType::Numeric;
    case MYSQL_TYPE_FLOAT:
      return DataType::Single;
    case MYSQL_TYPE_DOUBLE:
      return DataType::Double;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
      return DataType::DBDate;
    case MYSQL_TYPE_TIME:
      return DataType::DBTime;
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP:
      return DataType::DBTimeStamp;
    case MYSQL_TYPE_BIT:
      return DataType::Binary;
    case MYSQL_TYPE_GEOMETRY:
      return DataType::LongVarBinary;
    case MYSQL_TYPE_STRING:
      return isBinary(field) ? DataType::Binary : DataType::Char;
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
      return isBinary(field) ? DataType::LongVarBinary : DataType::LongVarChar;
    case MYSQL_TYPE_JSON:
      return DataType::LongVarChar;
    default:
      return isBinary(field) ? DataType::VarBinary : DataType::VarChar;
  }
}

void MariadbTypes::decode(const MYSQL_FIELD& field, const char* text, unsigned long length,
                          Value& out) {
  const char* end = text + length;
  out.text.assign(text, end);
  if (isBinary(field)) {
    out.kind = Value::Kind::Binary;
    return;
  }
  switch (field.type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_YEAR:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_LONGLONG:
      if (isUnsigned(field)) {
        if (std::from_chars(text, end, out.unsignedInteger).ec == std::errc()) {
          out.kind = Value::Kind::Unsigned;
          return;
        }
      } else if (std::from_chars(text, end, out.integer).ec == std::errc()) {
        out.kind = Value::Kind::Integer;
        return;
      }
      break;
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
      if (std::from_chars(text, end, out.real).ec == std::errc()) {
        out.kind = Value::Kind::Real;
        return;
      }
      break;
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
      out.kind = Value::Kind::Decimal;
      return;
    case MYSQL_TYPE_DATETIME:
    case MYSQL_TYPE_TIMESTAMP:
      if (out.text.size() > 10 && out.text[10] == ' ') out.text[10] = 'T';
      out.kind = Value::Kind::DateTime;
      return;
    case MYSQL_TYPE_DATE:
    case MYSQL_TYPE_NEWDATE:
    case MYSQL_TYPE_TIME:
      out.kind = Value::Kind::DateTime;
      return;
    default:
      break;
  }
  out.kind = Value::Kind::Text;
}

}  // namespace rowsmith::db
