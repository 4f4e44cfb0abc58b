#include "engine/FieldText.h"

#include <exception>

#include "common/NumberText.h"

namespace rowsmith {

bool viewFieldText(db::RecordSet& recordSet, int column, std::string& scratch,
                   std::string_view& text, bool& isNull) {
  text = {};
  isNull = false;
  try {
    const db::Value& value = recordSet.value(column);
    switch (value.kind) {
      case db::Value::Kind::Null:
        isNull = true;
        return true;
      case db::Value::Kind::Text:
      case db::Value::Kind::Decimal:
      case db::Value::Kind::DateTime:
        text = value.text;
        return true;
      case db::Value::Kind::Integer:
        text = numberText(value.integer, scratch);
        return true;
      case db::Value::Kind::Unsigned:
        text = numberText(value.unsignedInteger, scratch);
        return true;
      case db::Value::Kind::Real:
        // Shortest text that reads back as the same number, "." as point.
        text = numberText(value.real, scratch);
        return true;
      case db::Value::Kind::Boolean:
        text = value.boolean ? "True" : "False";
        return true;
      case db::Value::Kind::Binary:
        return false;
    }
  } catch (...) {
    // A field that cannot be read is treated like binary data.
  }
  return false;
}

std::string readFieldText(db::RecordSet& recordSet, int column) {
  std::string scratch;
  std::string_view text;
  bool isNull = false;
  if (!viewFieldText(recordSet, column, scratch, text, isNull)) return "BLOB";
  return std::string(text);
}

bool fieldIsOpaque(db::RecordSet& recordSet, int column) {
  try {
    return recordSet.value(column).kind == db::Value::Kind::Binary;
  } catch (...) {
    return true;
  }
}

}  // namespace rowsmith
