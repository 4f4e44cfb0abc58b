#pragma once

#include <sql.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/api/Value.h"
#include "engine/db/odbc/OdbcColumn.h"
#include "engine/db/odbc/OdbcUpdatePlan.h"

namespace rowsmith::db::odbc {

class OdbcSession;
class OdbcStatement;

// Writes the changed columns of one row at a time back to the base table:
//   UPDATE table SET c = ? ... WHERE key = ? ... AND c = <value as read>
// so a row someone else changed since it was read is left alone (no row
// matches) and reported by table and key. A write that reports no row is
// read back by its key first: a driver may count only the rows whose values
// changed (MySQL, MariaDB), and a row that holds the new values was written.
// Only when it does not is the row reported as changed by another user.
//
// Rows are grouped into transactions of at most about a second (or a few
// thousand rows), committed in visit order, so after a killed process the
// rows with new values are a prefix of the visit order. The writes of the
// open group are kept: when a row fails, the group is rolled back and
// written again without that row, then committed, so the rows before it
// keep their new values whatever the database does with a failed statement
// inside a transaction.
//
// Threading: used only by the record set's thread.
class OdbcRowWriter {
 public:
  using Change = std::pair<int, std::optional<std::string>>;

  // `commits` belongs to the record set and outlives the writer, so that
  // the last row kept is known across writers.
  OdbcRowWriter(std::shared_ptr<OdbcSession> session, const OdbcUpdatePlan& plan,
                const std::vector<OdbcColumn>& columns, CommitGroup& commits);
  ~OdbcRowWriter();

  // Writes `changes` (internal ordinal, new text or NULL) to the row read
  // as `row`. Throws rowsmith::Error naming table and key when the row
  // changed since it was read or the database refuses; the rows written
  // before are committed then, and this row keeps its old values.
  void write(const std::vector<Change>& changes, const std::vector<Value>& row);
  // Commits the open group and gives the connection back its autocommit.
  void finish();

 private:
  struct Parameter {
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    std::string bytes;
    double real = 0.0;
    SQLLEN indicator = 0;
  };
  struct Write {
    std::string sql;
    std::vector<Parameter> parameters;
    // Counts the rows with the write's key that hold its new values.
    std::string checkSql;
    std::vector<Parameter> checkParameters;
  };

  Parameter newValue(const OdbcColumn& column, const std::optional<std::string>& text) const;
  Parameter originalValue(const OdbcColumn& column, const Value& value) const;
  std::string keyText(const std::vector<Value>& row) const;
  OdbcStatement* prepared(const std::string& sql, std::string& error);
  bool bind(OdbcStatement& statement, std::vector<Parameter>& parameters, std::string& error);
  // Runs one write; the rows it wrote, or the driver's error.
  long long run(Write& write, std::string& error);
  // Whether the row of a write that reported no row holds its new values.
  bool holdsNewValues(Write& write);
  void commitGroup();
  // Whether a failed write gave up waiting for another session's lock.
  bool lockWaitTimedOut(const std::string& error) const;
  // Rolls the open group back and writes it again; throws when that fails.
  void rewriteGroup(const std::string& key);

  std::shared_ptr<OdbcSession> m_session;
  const OdbcUpdatePlan& m_plan;
  const std::vector<OdbcColumn>& m_columns;
  std::string m_tableReference;
  std::map<std::string, std::unique_ptr<OdbcStatement>> m_statements;
  std::vector<Write> m_group;
  std::size_t m_groupBytes = 0;
  std::chrono::steady_clock::time_point m_groupStart;
  bool m_inTransaction = false;
  // Writing the rows of a group again, which a cancel does not interrupt.
  bool m_replaying = false;
  // The SQLSTATE of the last write that failed.
  std::string m_lastState;
  // The rows of the open group and the last row made permanent.
  CommitGroup& m_commits;
};

}  // namespace rowsmith::db::odbc
