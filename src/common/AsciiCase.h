#pragma once

#include <string>
#include <string_view>

namespace rowsmith {

// Comparisons "without regard to letter case" for names the program itself
// chooses (preference keys and values, language-file sections and keys).
// Only the ASCII letters are folded; other bytes, including every byte of a
// multi-byte UTF-8 character, compare exactly.
//
// Threading: pure functions; safe from any thread.

inline char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiLower(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = asciiLower(c);
  return folded;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace rowsmith
