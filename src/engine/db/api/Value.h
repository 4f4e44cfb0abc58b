#pragma once

#include <cstdint>
#include <string>

namespace rowsmith::db {

// ADO's DataTypeEnum numbers, which callers test (adEmpty, adVarBinary) and
// which reports show. Every backend maps its own types onto these.
enum class DataType : int {
  Empty = 0,
  SmallInt = 2,
  Integer = 3,
  Single = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  BSTR = 8,
  Boolean = 11,
  Decimal = 14,
  TinyInt = 16,
  UnsignedTinyInt = 17,
  UnsignedSmallInt = 18,
  UnsignedInt = 19,
  BigInt = 20,
  UnsignedBigInt = 21,
  GUID = 72,
  Binary = 128,
  Char = 129,
  WChar = 130,
  Numeric = 131,
  DBDate = 133,
  DBTime = 134,
  DBTimeStamp = 135,
  VarChar = 200,
  LongVarChar = 201,
  VarWChar = 202,
  LongVarWChar = 203,
  VarBinary = 204,
  LongVarBinary = 205,
};

// One field value of the current row, as a backend delivers it.
//
// Backends own their Values and reuse them from row to row, so reading a
// field allocates nothing once the buffers have grown. `text` holds the
// value's natural text for Text, Decimal (full decimal digits) and
// Date/Time (ISO 8601), and the raw bytes for Binary.
//
// Threading: belongs to the record set that produced it; same thread only.
struct Value {
  enum class Kind { Null, Text, Integer, Unsigned, Real, Boolean, Decimal, DateTime, Binary };

  Kind kind = Kind::Null;
  std::string text;
  std::int64_t integer = 0;
  std::uint64_t unsignedInteger = 0;
  double real = 0.0;
  bool boolean = false;

  bool isNull() const noexcept { return kind == Kind::Null; }
};

}  // namespace rowsmith::db
