#pragma once

#include <string_view>

namespace rowsmith {

// `text` without the blanks, tabs and line breaks at its two ends.
//
// Threading: a pure function; safe from any thread.
inline std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace rowsmith
