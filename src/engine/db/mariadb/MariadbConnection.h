#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/db/api/Connection.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/mariadb/MariadbCanceller.h"
#include "engine/db/mariadb/MariadbConnectionInfo.h"
#include "engine/db/mariadb/MariadbHandles.h"

namespace rowsmith::db {

// A session with a MariaDB or MySQL server through libmariadb. Statements
// and writes run on this session in autocommit mode (a record set's writes
// in transactions of their own); each record set reads on a further session
// of its own (see MariadbRecordSet). cancel() interrupts a statement of
// either kind that waits (see MariadbCanceller).
//
// Threading: the connection and its record sets are used only by the thread
// that opened it; record sets must be closed or destroyed before it.
// cancel() may be called from any thread while the connection lives.
class MariadbConnection : public Connection {
 public:
  explicit MariadbConnection(const ConnectionString& connectionString);

  // Tables and views of the current database, by name.
  std::vector<std::string> tableNames() override;
  std::unique_ptr<RecordSet> open(const std::string& sql, const OpenOptions& options) override;
  void execute(const std::string& sql) override;
  std::string describe() const override;
  void cancel() noexcept override;
  // In backticks, each backtick inside doubled.
  std::string quoteIdentifier(const std::string& name) const override;

 private:
  MariadbConnectionInfo m_info;
  MysqlPtr m_connection;
  std::shared_ptr<MariadbCanceller> m_canceller;
};

// Opens a "Provider=MySQL;..." or "Provider=MariaDB;..." connection string
// (see MariadbConnectionInfo for the keys understood).
std::unique_ptr<Connection> openMariadbConnection(const ConnectionString& connectionString);

}  // namespace rowsmith::db
