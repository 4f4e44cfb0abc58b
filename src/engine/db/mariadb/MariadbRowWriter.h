#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/mariadb/MariadbHandles.h"
#include "engine/db/mariadb/MariadbRowChanges.h"
#include "engine/db/mariadb/MariadbTableInfo.h"

namespace rowsmith::db {

class MariadbCanceller;

// Writes the changed fields of rows into a table, each row found by its key
// (see MariadbTableInfo), on the connection the user opened.
//
// Writes are optimistic: the UPDATE also requires each changed column to
// still hold exactly the bytes that were read (compared as bytes, so that a
// change of case or of trailing blanks counts), so a row someone else
// changed since is left alone and reported ("Row changed by another user
// ..."). The connection reports the rows an UPDATE found, so a row that
// already holds its new value is no conflict.
//
// Rows are buffered and written a group at a time (up to 10,000 rows, fewer
// at the start of a run) by one UPDATE per set of changed columns: over the
// range of the keys when the key is one integer column and the group's keys
// lie close together (MariadbRangeGroupStatement), otherwise joining the
// table with the rows' keys, old and new values (MariadbGroupStatement).
// The group's last statement is left running on the server while the
// caller reads and filters the next group; it is waited for before
// anything else is sent, at the latest when the next group is full, on
// flush() and on commit(). The group is right when the server found as
// many rows as it holds. Otherwise, or when the server refuses it, the
// group is rolled back to its
// savepoint and written again row by row (a prepared UPDATE each), so that
// the row reported and the rows kept are exactly those of row-by-row
// writing: a failed statement undoes itself alone, and the rows before the
// failing one are committed before its error is raised (the rows buffered
// meanwhile come after the failing one and are dropped). Rows are grouped
// into transactions of at most about a second of work, so a killed process
// leaves a prefix of the visited rows written, each row wholly. A failure that loses the
// whole open transaction (a lost connection, a deadlock, a failed commit)
// says so and names the last row kept (CommitGroup).
//
// A row locked by another session is waited for up to the session's lock
// timeout (innodb_lock_wait_timeout); then the write fails with a message
// that names the row. A cancel (MariadbCanceller) ends the wait: the row in
// hand keeps its old values, the rows before it are committed and
// rowsmith::Cancelled is raised.
//
// Threading: used by the thread that owns the connection. Between write()
// calls a group may be in flight, and the connection must then not be used
// for anything else; flush() and commit() return with none.
class MariadbRowWriter {
 public:
  // `binary` tells, by index into the table's columns, which columns hold
  // bytes (bound as such). `canceller` may be null.
  MariadbRowWriter(MYSQL* connection, MariadbTableInfo table, std::vector<bool> binary,
                   MariadbCanceller* canceller = nullptr);
  ~MariadbRowWriter();
  MariadbRowWriter(const MariadbRowWriter&) = delete;
  MariadbRowWriter& operator=(const MariadbRowWriter&) = delete;

  using Change = MariadbColumnChange;

  // Writes one row, or buffers it for the next group. `key` holds the key
  // values as read, in key order. Raises rowsmith::Error when a row changed
  // since it was read or the database refuses the write; the rows written
  // before are committed by then.
  void write(std::vector<std::string> key, std::vector<Change> changes);
  // Writes the buffered rows, as write() does.
  void flush();
  // `hook` runs just before each commit (CommitGroup::beforeCommit).
  void setBeforeCommit(std::function<void()> hook) { m_group.setBeforeCommit(std::move(hook)); }
  long long rowsKept() const { return m_group.keptRows(); }

  // Writes the buffered rows and commits the rows written so far.
  void commit();

 private:
  MYSQL_STMT* statementFor(const std::vector<int>& columns);
  // A group of rows sent and not yet confirmed: its last statement's
  // result is still to be read.
  struct InFlight {
    std::vector<MariadbRowChanges> rows;
    std::size_t expected = 0;  // rows that statement must find
  };
  // What the last statement of a group did.
  struct Outcome {
    bool failed = false;
    unsigned int error = 0;
    std::string message;
    my_ulonglong found = 0;  // rows the server found
  };

  // One statement of a group: its text and the rows it must find.
  struct Statement {
    std::string sql;
    std::size_t rows = 0;
  };

  // Writes the buffered rows, once the group in flight is confirmed: one on
  // its own, more as a group (left in flight).
  void send();
  // A group's statements, one per set of changed columns.
  std::vector<Statement> buildStatements(const std::vector<MariadbRowChanges>& rows) const;
  // Rows moved past, one by one (a cancel asked for meanwhile shortens
  // their lock waits).
  void writeRows(const std::vector<MariadbRowChanges>& rows);
  // One row on its own; `replaying` writes it even when a cancel was asked
  // for (a row of a group that was moved past).
  void writeRow(const MariadbRowChanges& row, bool replaying);
  // Sends the group as one statement per set of columns, the last one left
  // running on the server while the caller reads on (m_inFlight).
  void startGroup(std::vector<MariadbRowChanges> rows, std::vector<Statement> statements);
  // Waits for the group in flight, if any, and confirms it, or rolls it
  // back and writes its rows again one by one to find the row to report.
  void settle();
  void finishGroup(const Outcome& outcome);
  Outcome outcomeOf(bool failed) const;
  // Whether the server answered the statement in flight within `wait`.
  bool resultWithin(std::chrono::milliseconds wait) const;
  void exec(const std::string& sql, const std::string& context);
  void beginTransaction();
  bool commitDue() const;
  void commitTransaction();
  std::string describeKey(const std::vector<std::string>& key) const;
  bool rollsBackOnTimeout();
  [[noreturn]] void fail(unsigned int error, const std::string& message, const std::string& where);

  MYSQL* m_connection;
  MariadbCanceller* m_canceller;
  MariadbTableInfo m_table;
  std::vector<bool> m_binary;
  bool m_valuesLists;  // the server reads a VALUES list after UNION ALL
  std::map<std::vector<int>, MysqlStatementPtr> m_statements;
  std::vector<MariadbRowChanges> m_rows;  // buffered, not yet written
  std::optional<InFlight> m_inFlight;
  std::size_t m_bufferedBytes = 0;
  long long m_rowsApplied = 0;
  bool m_inTransaction = false;
  std::chrono::steady_clock::time_point m_transactionStart;
  int m_rowsInTransaction = 0;
  std::optional<bool> m_rollbackOnTimeout;
  CommitGroup m_group;
};

}  // namespace rowsmith::db
