#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/db/mariadb/MariadbHandles.h"
#include "engine/db/mariadb/MariadbRowChanges.h"
#include "engine/db/mariadb/MariadbTableInfo.h"

namespace rowsmith::db {

// The one UPDATE that writes a group of rows of a table keyed by a single
// integer column when the group's keys lie close together (rows read in key
// order): the table is read over the range of the group's keys, and each
// row in it finds its new and old values by its key's distance from the
// start of the range, in a table of fixed-width slots sent with the values
// as three long strings of bytes (one row of a derived table). Keys of the
// range outside the group have an empty slot and are left alone.
//
// The server thus parses a few long strings instead of three values for
// every row, and updates each row as it reads it, in key order, instead of
// joining the rows with a derived table first. Each row is written only
// while every changed column still holds the bytes that were read, as in
// MariadbGroupStatement; the group is right when the statement found as
// many rows as the group holds.
//
// Threading: stateless; the connection (used for escaping) must belong to
// the calling thread.
class MariadbRangeGroupStatement {
 public:
  // `binary` tells, by index into the table's columns, which columns hold
  // bytes. Every row of `rows` changes exactly `columns`, in that order.
  // Nothing when the table's key is not one integer column, a key is not an
  // integer of the signed 64-bit range, two rows share a key, or the keys
  // spread over more than about twice as many values as the group holds.
  static std::optional<std::string> build(MYSQL* connection, const MariadbTableInfo& table,
                                          const std::vector<bool>& binary,
                                          const std::vector<int>& columns,
                                          const std::vector<const MariadbRowChanges*>& rows);
};

}  // namespace rowsmith::db
