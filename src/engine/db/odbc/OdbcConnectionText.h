#pragma once

#include <string>
#include <vector>

#include "common/ConnectionStringText.h"

namespace rowsmith::db::odbc {

// An ODBC connection string as the user typed it, split into its
// "key=value" parts (ConnectionStringText). Each part keeps its original
// text.
//
// Threading: a plain value; no shared state.
class OdbcConnectionText {
 public:
  explicit OdbcConnectionText(const std::string& text);

  const std::vector<ConnectionStringText::Part>& parts() const { return m_text.parts(); }
  // Whether every part is a pair and nothing follows a closing brace.
  bool complete() const { return m_text.complete(); }

  // The string handed to the driver manager: the text unchanged, without
  // ADO's "Provider=" part (which selects this backend and means nothing to
  // ODBC drivers) and Rowsmith's own "Lock Timeout=".
  std::string driverString() const;
  // The value of "Lock Timeout=" (seconds), empty when there is none.
  std::string lockTimeout() const;
  // What the string reaches, for messages: the parts without any password.
  std::string describe() const;

  // A value as it must be written after "key=" to reach the driver
  // unchanged: in braces when it holds ";", a brace, or begins with a quote
  // or a blank or ends with a blank, and always for "Driver", as is the
  // custom.
  static std::string brace(const std::string& key, const std::string& value);

 private:
  ConnectionStringText m_text;
};

}  // namespace rowsmith::db::odbc
