#pragma once

#include <string>

namespace rowsmith::db {

// A data link file (".udl"): a line "[oledb]", a comment line, then the
// connection string on a line of its own. Files are read as UTF-8 or as
// UTF-16 with a byte order mark; they are written as UTF-16LE with a byte
// order mark and CR LF line ends, the layout other programs expect.
//
// Threading: stateless; callable from any thread.
class DataLinkFile {
 public:
  // The connection string the file holds. Raises rowsmith::Error naming the
  // file when it cannot be read or holds no connection string.
  static std::string read(const std::string& path);
  // Writes (replaces) the file with `connectionString`, atomically and
  // readable by the user alone, since the string may hold a password.
  // Raises rowsmith::Error naming the file when it cannot, or when the
  // string could not be read back (see problemWith).
  static void write(const std::string& path, const std::string& connectionString);
  // Why a string cannot be kept in a data link file: it is empty, holds a
  // line break, or names another data link file. Empty when it can.
  static std::string problemWith(const std::string& connectionString);
  // The connection string of a data link file's text, already decoded to
  // UTF-8; empty when it holds none.
  static std::string connectionStringOf(const std::string& text);
};

}  // namespace rowsmith::db
