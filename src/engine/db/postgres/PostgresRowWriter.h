#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/postgres/PostgresCanceller.h"
#include "engine/db/postgres/PostgresHandles.h"
#include "engine/db/postgres/PostgresTableInfo.h"

namespace rowsmith::db {

// Writes the changed fields of rows into a table, identified by its primary
// key or by (tableoid, ctid), on the connection the user opened.
//
// Writes are optimistic: the UPDATE also requires each changed column to
// still hold the value that was read, so a row someone else changed since is
// left alone and reported ("Row changed by another user ..."). Rows of a
// table with a primary key are buffered and written a group at a time (up to
// 10,000 rows, fewer at the start of a run) by one UPDATE per set of changed
// columns that joins the table with arrays of keys, old and new values, sent
// in binary form. Each group is a transaction of its own (BEGIN, the
// statements, COMMIT), sent in pipeline mode behind the group before: the
// server applies one group while the next one travels and the caller reads
// and filters the rows after. A statement that updates fewer rows than it
// holds fails on the server, so the group is committed only when it is
// right, and the server skips every group sent after a failed one. A group
// that failed is rolled back and written again row by row, each row under a
// savepoint of its own, so that the row reported and the rows kept are
// exactly those of row-by-row writing: the rows before the failing one are
// committed before the error is raised (on moving past a later row, at the
// latest when the rows end), and the rows after it are dropped. Rows written
// one by one (the first ones, and those of a failed group) are grouped into
// transactions of at most about a second of work. A killed process
// therefore leaves a prefix of the visited rows written, each row wholly. A
// failure that loses the whole open group (a lost connection, a failed
// commit) says so and names the last row kept (CommitGroup).
//
// A row locked by another session is waited for up to the session's lock
// timeout; then the write fails with a message that names the row (a group
// that waits that long is written again row by row, and the locked row waits
// once more). The wait can be interrupted through `canceller`: the rows moved
// past are written (a group interrupted while it waits, row by row up to the
// row that waits), the row in hand keeps its old values, the rows before it
// are committed and rowsmith::Cancelled is raised.
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

  // Writes one row, or buffers it for the next group. `key` holds the key
  // values as read (server text), in the order of keyColumns, or tableoid and
  // ctid. Raises rowsmith::Error when a row changed since it was read or the
  // database refuses the write; the rows written before are committed by
  // then.
  void write(std::vector<std::string> key, std::vector<Change> changes);
  // Writes the buffered rows, as write() does.
  void flush();
  // `hook` runs just before each commit (CommitGroup::beforeCommit).
  void setBeforeCommit(std::function<void()> hook) { m_group.setBeforeCommit(std::move(hook)); }
  long long rowsKept() const { return m_group.keptRows(); }

  // Writes the buffered rows and commits the rows written so far.
  void commit();

 private:
  struct Row {
    std::vector<std::string> key;
    std::vector<Change> changes;
  };

  const std::string& statementFor(const std::vector<Change>& changes);
  const std::string& groupStatementFor(const std::vector<int>& columns);
  // One row under its own savepoint; `replaying` writes it even when a
  // cancel was asked for, unless its write waits (rows of a cancelled group).
  void writeRow(const std::vector<std::string>& key, const std::vector<Change>& changes,
                bool replaying = false);
  // Sends the buffered rows: one row on its own once the groups sent are
  // settled, more as a group in the pipeline, behind the group before.
  void sendRows();
  void sendGroup(std::vector<Row> rows);
  // Waits for the oldest group in the pipeline and checks it; a group that
  // failed is written again row by row, and the groups after it again.
  void settleGroup();
  // Settles every group sent and leaves pipeline mode.
  void settleAll();
  void endPipeline();
  // Reports a connection lost with groups in the pipeline.
  [[noreturn]] void lostConnection(const std::string& message);
  void groupExec(const char* sql, const std::string& context);
  void beginTransaction();
  // Commits the open transaction, or in a pipeline sends its COMMIT (false
  // when it could not be sent).
  bool commitTransaction(bool inPipeline = false);
  bool commitDue() const;
  std::string describeKey(const std::vector<std::string>& key) const;
  void exec(const char* sql, const std::string& context);

  std::string lockTimeoutText() const;

  PGconn* m_connection;
  PostgresCanceller* m_canceller;
  PostgresTableInfo m_table;
  std::vector<int> m_keyColumns;
  // Prepared UPDATE statements by the attribute numbers they change.
  std::map<std::vector<int>, std::string> m_statements;
  std::map<std::vector<int>, std::string> m_groupStatements;
  std::vector<Row> m_rows;  // buffered, not yet written
  // Groups sent in the pipeline, not yet answered, oldest first.
  struct SentGroup {
    std::vector<Row> rows;
    int results = 0;  // BEGIN, settings, one UPDATE per set of columns, COMMIT
  };
  std::deque<SentGroup> m_sent;
  bool m_inPipeline = false;
  long long m_rowsApplied = 0;
  bool m_inTransaction = false;
  int m_rowsInTransaction = 0;
  std::chrono::steady_clock::time_point m_transactionStart;
  CommitGroup m_group;
};

}  // namespace rowsmith::db
