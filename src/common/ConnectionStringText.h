#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rowsmith {

// A connection string as the user typed it, split into its "key=value"
// parts without changing a byte. A value may be enclosed in braces
// ("{a;b}", with "}}" for a closing brace inside) or in ADO-style quotes;
// separators inside them do not split. For whoever must keep the string's
// form: the ODBC backend handing it to a driver, and everything that shows
// or stores a string that may hold a password.
//
// Threading: a plain value; no shared state.
class ConnectionStringText {
 public:
  struct Part {
    std::string key;   // trimmed, as typed
    std::string text;  // the whole part as typed, without its ";"
    // Where the value starts in `text` (after "=" and blanks), or
    // std::string::npos for a part without "=".
    std::size_t valueStart = std::string::npos;
    // What an ODBC driver reads as the value: blanks trimmed, the braces
    // around a braced value removed ("}}" read as "}"), quotes kept.
    std::string value;

    // Whether the part is a pair: it has a key and an "=".
    bool isPair() const { return valueStart != std::string::npos && !key.empty(); }
  };

  explicit ConnectionStringText(const std::string& text);

  const std::vector<Part>& parts() const { return m_parts; }
  // Whether every part is a pair and every braced value is closed with
  // nothing but blanks after its brace.
  bool complete() const { return m_complete; }

  // Whether a key names a password: PWD, or any key that holds "password"
  // or "passwd" (Password, sslpassword, Jet OLEDB:Database Password).
  static bool isPasswordKey(std::string_view key);
  // Whether some password key has a value that is not empty.
  bool hasPassword() const;
  // The text with the value of every password key shown as "********" and
  // everything else as typed.
  std::string masked() const;

 private:
  std::string m_text;
  std::vector<Part> m_parts;
  bool m_complete = true;
};

}  // namespace rowsmith
