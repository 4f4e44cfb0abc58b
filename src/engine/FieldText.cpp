#include "engine/FieldText.h"

#include <charconv>
#include <exception>

namespace rowsmith {

namespace {

template <typename Number>
std::string numberText(Number number) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string readFieldText(db::RecordSet& recordSet, int column) {
  try {
    const db::Value& value = recordSet.value(column);
    switch (value.kind) {
      case db::Value::Kind::Null:
        return {};
      case db::Value::Kind::Text:
      case db::Value::Kind::Decimal:
      case db::Value::Kind::DateTime:
        return value.text;
      case db::Value::Kind::Integer:
        return numberText(value.integer);
      case db::Value::Kind::Unsigned:
        return numberText(value.unsignedInteger);
      case db::Value::Kind::Real:
        // Shortest text that reads back as the same number, "." as point.
        return numberText(value.real);
      case db::Value::Kind::Boolean:
        return value.boolean ? "True" : "False";
      case db::Value::Kind::Binary:
        return "BLOB";
    }
  } catch (...) {
    // A field that cannot be read reads as "BLOB", like binary data.
  }
  return "BLOB";
}

bool fieldIsOpaque(db::RecordSet& recordSet, int column) {
  try {
    return recordSet.value(column).kind == db::Value::Kind::Binary;
  } catch (...) {
    return true;
  }
}

}  // namespace rowsmith
