#pragma once

#include <string>
#include <string_view>

namespace rowsmith::cli {

// Data from a database shown where it could do harm: on a terminal, where
// control characters (escape sequences above all) can rewrite the screen,
// and in JSON, which cannot hold bytes that are not UTF-8.
//
// Threading: stateless; callable from any thread.
class SafeText {
 public:
  // The text with line breaks and tabs as \n, \r and \t, other control
  // characters (C0, DEL) and bytes that are not UTF-8 as \xNN, and the C1
  // controls (U+0080 to U+009F) as \uNNNN; everything else as it is.
  static std::string forTerminal(std::string_view text);
  // The bytes in hexadecimal, two lower-case digits each.
  static std::string hex(std::string_view bytes);
};

}  // namespace rowsmith::cli
