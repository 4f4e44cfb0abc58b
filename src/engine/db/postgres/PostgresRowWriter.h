#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/postgres/PostgresCanceller.h"
#include "engine/db/postgres/PostgresHandles.h"
#include "engine/db/postgres/PostgresTableInfo.h"

namespace rowsmith::db {

// Writes the changed fields of one row at a time into a table, identified by
// its primary key or by (tableoid, ctid), on the connection the user opened.
//
// Writes are optimistic: the UPDATE also requires each changed column to
// still hold the value that was read, so a row someone else changed since is
// left alone and reported ("Row changed by another user ..."). Rows are
// grouped into transactions of at most about a second of work; each row runs
// under a savepoint, so a failing row is undone alone and the rows before it
// are committed before the error is raised. A killed process therefore
// leaves a prefix of the visited rows written, each row wholly. A failure
// that loses the whole open group (a lost connection, a failed commit) says
// so and names the last row kept (CommitGroup).
//
// A row locked by another session is waited for up to the session's lock
// timeout; then the write fails with a message that names the row. The
// wait can be interrupted through `canceller`: the row in hand keeps its old
// values, the rows before it are committed and rowsmith::Cancelled is raised.
//
// Threading: used by the thread that owns the connection.
class PostgresRowWriter {
 public:
  // How the row is found: the primary key's columns (attribute numbers), or
  // when empty, tableoid and ctid. `canceller` may be null.
  PostgresRowWriter(PGconn* connection, PostgresTableInfo table, std::vector<int> keyColumns,
                    PostgresCanceller* canceller = nullptr);
  ~PostgresRowWriter();
  PostgresRowWriter(const PostgresRowWriter&) = delete;
  PostgresRowWriter& operator=(const PostgresRowWriter&) = delete;

  struct Change {
    int column;  // attribute number
    std::optional<std::string> newValue;
    std::optional<std::string> oldValue;  // as read, server text
  };

  // Writes one row. `key` holds the key values as read (server text), in the
  // order of keyColumns, or tableoid and ctid. Raises rowsmith::Error when the
  // row changed since it was read or the database refuses the write; the
  // rows written before are committed by then.
  void write(const std::vector<std::string>& key, const std::vector<Change>& changes);

  // Commits the rows written so far.
  void commit();

 private:
  const std::string& statementFor(const std::vector<Change>& changes);
  std::string describeKey(const std::vector<std::string>& key) const;
  void exec(const char* sql, const std::string& context);

  std::string lockTimeoutText() const;

  PGconn* m_connection;
  PostgresCanceller* m_canceller;
  PostgresTableInfo m_table;
  std::vector<int> m_keyColumns;
  // Prepared UPDATE statements by the attribute numbers they change.
  std::map<std::vector<int>, std::string> m_statements;
  bool m_inTransaction = false;
  int m_rowsInTransaction = 0;
  std::chrono::steady_clock::time_point m_transactionStart;
  CommitGroup m_group;
};

}  // namespace rowsmith::db
