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

  // The string handed to the driver manager: the text unchanged, without
  // ADO's "Provider=" part (which selects this backend and means nothing to
  // ODBC drivers).
  std::string driverString() const;
  // What the string reaches, for messages: the parts without any password.
  std::string describe() const;

 private:
  ConnectionStringText m_text;
};

}  // namespace rowsmith::db::odbc
