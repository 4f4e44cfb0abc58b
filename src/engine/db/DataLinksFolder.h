#pragma once

#include <string>
#include <vector>

namespace rowsmith::db {

// The folder where the user keeps data link files:
// $XDG_DATA_HOME/rowsmith/Data Links, or ~/.local/share/rowsmith/Data Links
// when XDG_DATA_HOME is not set to an absolute path.
//
// Threading: stateless; callable from any thread (it reads the environment).
class DataLinksFolder {
 public:
  // The folder's path without a trailing "/"; empty when neither
  // XDG_DATA_HOME nor HOME says where it is.
  static std::string path();
  // The names (without folder) of the "*.udl" files in `folder`, sorted;
  // folders are left out, and an unreadable or missing folder gives none.
  static std::vector<std::string> list(const std::string& folder);
  static std::vector<std::string> list() { return list(path()); }
};

}  // namespace rowsmith::db
