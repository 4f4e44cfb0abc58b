#pragma once

#include <optional>
#include <string>
#include <vector>

namespace rowsmith::db {

// One column's new value for a row, with the value it held when read.
struct MariadbColumnChange {
  int column;  // index into the table's columns
  std::optional<std::string> newValue;
  std::optional<std::string> oldValue;  // as read, the server's text
};

// What is written to one row: its key values as read (in key order) and
// its changed columns.
//
// Threading: plain values.
struct MariadbRowChanges {
  std::vector<std::string> key;
  std::vector<MariadbColumnChange> changes;
};

}  // namespace rowsmith::db
