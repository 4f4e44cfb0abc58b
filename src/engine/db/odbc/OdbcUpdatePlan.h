#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/db/odbc/OdbcColumn.h"

namespace rowsmith::db::odbc {

class OdbcSession;
class OdbcStatement;

// Where the writes of a record set go: its one base table and the columns
// that identify a row of it. Learned from the driver's column attributes
// (SQL_DESC_BASE_TABLE_NAME, SQL_DESC_BASE_COLUMN_NAME) and catalog
// (primary key, else best row identifier). When the key is not among the
// result's columns it is added in front of them ("select KEY, ...") and
// hidden from the caller.
//
// A table the statement reads more than once is written through one of its
// appearances only: where the driver names each column's alias
// (SQL_DESC_TABLE_NAME), the one whose key the result holds; otherwise the
// statement must read the table once (StatementTableReads).
//
// Threading: a plain value; made on the session's thread.
struct OdbcUpdatePlan {
  bool updatable = false;
  // Why writes are refused, when they are.
  std::string reason;
  std::string schema;
  std::string table;
  // The alias of the appearance written, when the driver names aliases and
  // the statement reads the table by one.
  std::string alias;
  // Internal ordinals (hidden columns first) and base names of the key.
  std::vector<int> keyOrdinals;
  std::vector<std::string> keyColumns;
  int hiddenCount = 0;
  // The statement that runs: the caller's, or it with the key added.
  std::string statement;

  // Works out the plan for `sql`, which `statement` holds prepared and
  // `columns` describes. When key columns are added, `statement` is
  // prepared again with the new text and `columns` describes that.
  static OdbcUpdatePlan make(const std::shared_ptr<OdbcSession>& session, OdbcStatement& statement,
                             const std::string& sql, std::vector<OdbcColumn>& columns);
};

}  // namespace rowsmith::db::odbc
