#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/db/odbc/OdbcHandle.h"

namespace rowsmith::db::odbc {

// One connection through the unixODBC driver manager: its environment and
// connection handles, what it reaches (for messages) and the driver's
// identifier quoting. Connected with SQLDriverConnect and
// SQL_DRIVER_NOPROMPT, so no driver ever shows a log-in dialog. Shared by
// the connection object and the record sets opened on it, so that statement
// handles never outlive their connection.
//
// Threading: used only by the thread that opened it, except cancel(), which
// any thread may call while the session lives.
class OdbcSession {
 public:
  // Connects with `rawConnectionString` as typed, without a "Provider="
  // part. Throws rowsmith::Error naming what was tried, never the password.
  explicit OdbcSession(const std::string& rawConnectionString);
  ~OdbcSession();

  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  SQLHDBC handle() const noexcept { return m_dbc.get(); }
  const std::string& description() const noexcept { return m_description; }
  // The database product the driver reports, e.g. "SQLite" or "PostgreSQL".
  const std::string& dbmsName() const noexcept { return m_dbmsName; }

  // `identifier` enclosed in the driver's identifier quote, embedded quotes
  // doubled; unchanged when the driver has no quote character.
  std::string quoteIdentifier(const std::string& identifier) const;

  // Autocommit is on except while a record set writes in grouped
  // transactions.
  void setAutocommit(bool on);
  bool autocommit() const noexcept { return m_autocommit; }
  // Commits (or rolls back) the open transaction; `context` prefixes errors.
  void endTransaction(bool commit, const std::string& context);
  // Read-only while a user's statement is read, read-write again for the
  // writes: the connection's access mode where the driver honours it (many
  // ignore it: the statement check of ReadOnlyStatement guards those), and on
  // PostgreSQL the session's transactions.
  void setReadOnly(bool on);

  // Seconds a write waits for a lock another session holds before it gives
  // up: the connection string's "Lock Timeout" (10 by default; 0 waits
  // without limit).
  long lockTimeoutSeconds() const noexcept { return m_lockTimeoutSeconds; }
  // Lets the writes of this session give up after lockTimeoutSeconds(): the
  // statement's query time-out where the driver has one, and on MariaDB and
  // MySQL, which ignore it, the server's lock wait time-out.
  void limitLockWaits(SQLHSTMT statement);

  // Interrupts the statement that runs (SQLCancel) and makes the statements
  // started afterwards fail at once: those calls raise rowsmith::Cancelled.
  void cancel() noexcept;
  bool cancelled() const noexcept { return m_cancelled.load(); }

  // Marks `statement` as the one cancel() interrupts while the object lives.
  // Raises rowsmith::Cancelled (with `context`) when the session has been
  // cancelled already. A statement that must run even then (writing the
  // rows before a cancelled one again) is not `interruptible`.
  class Running {
   public:
    Running(OdbcSession& session, SQLHSTMT statement, const std::string& context,
            bool interruptible = true);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    OdbcSession& m_session;
    bool m_interruptible;
  };

 private:
  OdbcHandle m_env;
  OdbcHandle m_dbc;
  std::string m_description;
  std::string m_dbmsName;
  std::string m_quote;
  bool m_connected = false;
  bool m_autocommit = true;
  bool m_readOnly = false;
  long m_lockTimeoutSeconds = 10;
  bool m_serverLockWaitSet = false;

  std::atomic<bool> m_cancelled{false};
  std::mutex m_runningMutex;
  SQLHSTMT m_running = SQL_NULL_HSTMT;  // guarded by m_runningMutex
};

}  // namespace rowsmith::db::odbc
