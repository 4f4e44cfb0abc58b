#pragma once

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
// Threading: used only by the thread that opened it.
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

 private:
  OdbcHandle m_env;
  OdbcHandle m_dbc;
  std::string m_description;
  std::string m_dbmsName;
  std::string m_quote;
  bool m_connected = false;
  bool m_autocommit = true;
  bool m_readOnly = false;
};

}  // namespace rowsmith::db::odbc
