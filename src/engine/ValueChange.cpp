#include "engine/ValueChange.h"

namespace rowsmith {

bool valueChanges(bool readNull, std::string_view readText,
                  const std::optional<std::string>& result) {
  return valueChanges(readNull, readText, !result, result ? std::string_view(*result) : "");
}

bool valueChanges(bool readNull, std::string_view readText, bool resultNull,
                  std::string_view result) {
  if (resultNull) return !readNull;
  return readNull || result != readText;
}

}  // namespace rowsmith
