#pragma once

#include <string>
#include <vector>

#include "engine/db/mariadb/MariadbHandles.h"
#include "engine/db/mariadb/MariadbRowChanges.h"
#include "engine/db/mariadb/MariadbTableInfo.h"

namespace rowsmith::db {

// The one UPDATE that writes a group of rows which change the same columns:
// the table joined with the rows' keys, old values and new values as a
// derived table, each row found by its key and only while every changed
// column still holds the bytes that were read (as the row-by-row UPDATE of
// MariadbRowWriter checks). With the rows the server found reported, the
// group is right when the statement found as many rows as the group holds.
//
// Threading: stateless; the connection (used for escaping) must belong to
// the calling thread.
class MariadbGroupStatement {
 public:
  // `binary` tells, by index into the table's columns, which columns hold
  // bytes. Every row of `rows` changes exactly `columns`, in that order.
  // `valuesLists` sends the rows after the first as a VALUES list (MariaDB,
  // quicker to read), otherwise as SELECTs joined by UNION ALL (any server).
  static std::string build(MYSQL* connection, const MariadbTableInfo& table,
                           const std::vector<bool>& binary, const std::vector<int>& columns,
                           const std::vector<const MariadbRowChanges*>& rows, bool valuesLists);
};

}  // namespace rowsmith::db
