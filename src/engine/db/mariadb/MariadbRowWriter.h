#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/CommitGroup.h"
#include "engine/db/mariadb/MariadbHandles.h"
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
// Rows are written one statement each (a prepared UPDATE per set of changed
// columns) inside transactions of at most about a second of work: a failed
// statement undoes itself alone, so the rows before the failing one are
// committed before its error is raised, and a killed process leaves a prefix
// of the visited rows written, each row wholly. A failure that loses the
// whole open transaction (a lost connection, a deadlock, a failed commit)
// says so and names the last row kept (CommitGroup).
//
// A row locked by another session is waited for up to the session's lock
// timeout (innodb_lock_wait_timeout); then the write fails with a message
// that names the row. A cancel (MariadbCanceller) ends the wait: the row in
// hand keeps its old values, the rows before it are committed and
// rowsmith::Cancelled is raised.
//
// Threading: used by the thread that owns the connection.
class MariadbRowWriter {
 public:
  // `binary` tells, by index into the table's columns, which columns hold
  // bytes (bound as such). `canceller` may be null.
  MariadbRowWriter(MYSQL* connection, MariadbTableInfo table, std::vector<bool> binary,
                   MariadbCanceller* canceller = nullptr);
  ~MariadbRowWriter();
  MariadbRowWriter(const MariadbRowWriter&) = delete;
  MariadbRowWriter& operator=(const MariadbRowWriter&) = delete;

  struct Change {
    int column;  // index into the table's columns
    std::optional<std::string> newValue;
    std::optional<std::string> oldValue;  // as read, the server's text
  };

  // Writes one row. `key` holds the key values as read, in key order.
  // Raises rowsmith::Error when the row changed since it was read or the
  // database refuses the write; the rows written before are committed by
  // then.
  void write(const std::vector<std::string>& key, std::vector<Change> changes);

  // Commits the rows written so far.
  void commit();

 private:
  MYSQL_STMT* statementFor(const std::vector<int>& columns);
  void beginTransaction();
  void commitTransaction();
  std::string describeKey(const std::vector<std::string>& key) const;
  bool rollsBackOnTimeout();
  [[noreturn]] void fail(unsigned int error, const std::string& message, const std::string& where);

  MYSQL* m_connection;
  MariadbCanceller* m_canceller;
  MariadbTableInfo m_table;
  std::vector<bool> m_binary;
  std::map<std::vector<int>, MysqlStatementPtr> m_statements;
  bool m_inTransaction = false;
  std::chrono::steady_clock::time_point m_transactionStart;
  int m_rowsInTransaction = 0;
  std::optional<bool> m_rollbackOnTimeout;
  CommitGroup m_group;
};

}  // namespace rowsmith::db
