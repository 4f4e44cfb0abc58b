#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/db/odbc/OdbcColumn.h"
#include "engine/db/odbc/OdbcHandle.h"

namespace rowsmith::db::odbc {

class OdbcSession;

// One statement handle on a session: prepare, describe, execute, fetch.
// Errors are rowsmith::Error with the driver's diagnostics after the
// context the caller names.
//
// Threading: used only by the thread that owns the session.
class OdbcStatement {
 public:
  explicit OdbcStatement(std::shared_ptr<OdbcSession> session);

  SQLHSTMT handle() const noexcept { return m_handle.get(); }
  OdbcSession& session() const noexcept { return *m_session; }

  void prepare(const std::string& sql, const std::string& context);
  // A cancel of the session interrupts execute() and fetch() (they raise
  // rowsmith::Cancelled) unless they are not `interruptible`.
  void execute(const std::string& context, bool interruptible = true);
  void executeDirect(const std::string& sql, const std::string& context);
  // Number of result columns of the prepared or executed statement.
  int resultColumnCount(const std::string& context);
  std::vector<OdbcColumn> describeColumns(const std::string& context);
  // Moves to the next row; false at the end.
  bool fetch(const std::string& context, bool interruptible = true);
  // Rows an UPDATE changed, or -1 when the driver cannot tell.
  long long rowCount(const std::string& context);
  // Closes an open cursor; the prepared statement stays.
  void closeCursor() noexcept;

  [[noreturn]] void fail(const std::string& context, bool interruptible = true) const;

 private:
  std::shared_ptr<OdbcSession> m_session;
  OdbcHandle m_handle;
};

// Column `number` (1-based) of a catalog result's current row as text; empty
// for NULL or when it cannot be read. Catalog texts are names, so a short
// buffer is enough.
std::string catalogTextAt(SQLHSTMT statement, SQLUSMALLINT number);

}  // namespace rowsmith::db::odbc
