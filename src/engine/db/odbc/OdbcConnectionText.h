#pragma once

#include <string>
#include <vector>

namespace rowsmith::db::odbc {

// An ODBC connection string as the user typed it, split into its
// "key=value" parts. A value may be enclosed in braces ("{a;b}", with "}}"
// for a closing brace inside) or in ADO-style quotes; separators inside
// them do not split. Each part keeps its original text.
//
// Threading: a plain value; no shared state.
class OdbcConnectionText {
 public:
  explicit OdbcConnectionText(const std::string& text);

  // The string handed to the driver manager: the text unchanged, without
  // ADO's "Provider=" part (which selects this backend and means nothing to
  // ODBC drivers).
  std::string driverString() const;
  // What the string reaches, for messages: the parts without any password.
  std::string describe() const;

 private:
  struct Part {
    std::string key;   // trimmed, as typed
    std::string text;  // the whole part as typed, without its ";"
  };
  std::vector<Part> m_parts;
};

}  // namespace rowsmith::db::odbc
