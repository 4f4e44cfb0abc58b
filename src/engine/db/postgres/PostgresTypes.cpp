#include "engine/db/postgres/PostgresTypes.h"

#include <charconv>

namespace rowsmith::db {

namespace {

// Type OIDs of pg_type's built-in rows (catalog/pg_type_d.h, fixed since
// the types were created).
enum : Oid {
  kBool = 16,
  kBytea = 17,
  kChar = 18,
  kName = 19,
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kText = 25,
  kOid = 26,
  kJson = 114,
  kXml = 142,
  kFloat4 = 700,
  kFloat8 = 701,
  kMoney = 790,
  kBpchar = 1042,
  kVarchar = 1043,
  kDate = 1082,
  kTime = 1083,
  kTimestamp = 1114,
  kTimestampTz = 1184,
  kTimeTz = 1266,
  kNumeric = 1700,
  kUuid = 2950,
  kJsonb = 3802,
};

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void decodeBytea(const char* text, int length, std::string& out) {
  out.clear();
  if (length >= 2 && text[0] == '\\' && text[1] == 'x') {
    out.reserve(static_cast<std::size_t>(length - 2) / 2);
    for (int i = 2; i + 1 < length; i += 2) {
      const int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
      if (high < 0 || low < 0) break;
      out.push_back(static_cast<char>(high * 16 + low));
    }
    return;
  }
  // The older escape format, should a server insist on it.
  std::size_t size = 0;
  unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
  if (bytes) {
    out.assign(reinterpret_cast<const char*>(bytes), size);
    PQfreemem(bytes);
  }
}

}  // namespace

DataType PostgresTypes::dataType(Oid type) {
  switch (type) {
    case kBool:
      return DataType::Boolean;
    case kBytea:
      return DataType::VarBinary;
    case kChar:
    case kBpchar:
      return DataType::Char;
    case kInt8:
      return DataType::BigInt;
    case kInt2:
      return DataType::SmallInt;
    case kInt4:
      return DataType::Integer;
    case kOid:
      return DataType::UnsignedInt;
    case kText:
    case kJson:
    case kJsonb:
    case kXml:
      return DataType::LongVarChar;
    case kFloat4:
      return DataType::Single;
    case kFloat8:
      return DataType::Double;
    case kMoney:
      return DataType::Currency;
    case kDate:
      return DataType::DBDate;
    case kTime:
    case kTimeTz:
      return DataType::DBTime;
    case kTimestamp:
    case kTimestampTz:
      return DataType::DBTimeStamp;
    case kNumeric:
      return DataType::Numeric;
    case kUuid:
      return DataType::GUID;
    case kName:
    case kVarchar:
    default:
      return DataType::VarChar;
  }
}

void PostgresTypes::decode(Oid type, const char* text, int length, Value& out) {
  const char* end = text + length;
  out.text.assign(text, end);
  switch (type) {
    case kInt2:
    case kInt4:
    case kInt8:
      if (std::from_chars(text, end, out.integer).ec == std::errc()) {
        out.kind = Value::Kind::Integer;
        return;
      }
      break;
    case kOid:
      if (std::from_chars(text, end, out.unsignedInteger).ec == std::errc()) {
        out.kind = Value::Kind::Unsigned;
        return;
      }
      break;
    case kFloat4:
    case kFloat8:
      // "NaN", "Infinity" and "-Infinity" included; never the locale's decimal point.
      if (std::from_chars(text, end, out.real).ec == std::errc()) {
        out.kind = Value::Kind::Real;
        return;
      }
      break;
    case kBool:
      out.boolean = length > 0 && text[0] == 't';
      out.kind = Value::Kind::Boolean;
      return;
    case kNumeric:
      out.kind = Value::Kind::Decimal;
      return;
    case kTimestamp:
    case kTimestampTz:
      if (out.text.size() > 10 && out.text[10] == ' ') out.text[10] = 'T';
      out.kind = Value::Kind::DateTime;
      return;
    case kDate:
    case kTime:
    case kTimeTz:
      out.kind = Value::Kind::DateTime;
      return;
    case kBytea:
      decodeBytea(text, length, out.text);
      out.kind = Value::Kind::Binary;
      return;
    default:
      break;
  }
  out.kind = Value::Kind::Text;
}

}  // namespace rowsmith::db
