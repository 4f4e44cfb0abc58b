#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/db/api/Connection.h"

namespace rowsmith::db::odbc {

class OdbcSession;

// A Connection through the unixODBC driver manager to any ODBC driver
// (a DSN= or DRIVER= string). Tables and views are listed with SQLTables;
// record sets are OdbcRecordSet.
//
// Threading: a connection and everything opened on it are used only by the
// thread that created it; cancel() alone may be called from any thread.
class OdbcConnection final : public Connection {
 public:
  explicit OdbcConnection(std::shared_ptr<OdbcSession> session);
  ~OdbcConnection() override;

  // Interrupts the statement that runs (SQLCancel): the record sets' reads
  // and writes raise rowsmith::Cancelled from then on.
  void cancel() noexcept override;
  std::vector<std::string> tableNames() override;
  std::unique_ptr<RecordSet> open(const std::string& sql, const OpenOptions& options) override;
  void execute(const std::string& sql) override;
  std::string describe() const override;
  // In the driver's identifier quote; unchanged when the driver has none.
  std::string quoteIdentifier(const std::string& name) const override;

 private:
  std::shared_ptr<OdbcSession> m_session;
};

}  // namespace rowsmith::db::odbc

namespace rowsmith::db {

// Connects through ODBC with the connection string as the user typed it
// ("Provider=MSDASQL;DSN=...", "DRIVER={...};...", "DSN=..."); a Provider=
// part is left out, everything else goes to the driver unchanged. Throws
// rowsmith::Error naming what was tried, never the password.
std::unique_ptr<Connection> openOdbcConnection(const std::string& rawConnectionString);

}  // namespace rowsmith::db
