#include "engine/ValueChange.h"

namespace rowsmith {

bool valueChanges(bool readNull, std::string_view readText,
                  const std::optional<std::string>& result) {
  if (!result) return !readNull;
  return readNull || *result != readText;
}

}  // namespace rowsmith
