#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/db/api/Connection.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/postgres/PostgresCanceller.h"
#include "engine/db/postgres/PostgresConnectionInfo.h"
#include "engine/db/postgres/PostgresHandles.h"

namespace rowsmith::db {

// A session with a PostgreSQL server through libpq. Statements and writes
// run on this session in autocommit mode (a record set's writes in grouped
// transactions); each record set reads on a further session of its own (see
// PostgresRecordSet). cancel() interrupts a statement of either kind that
// waits (see PostgresCanceller).
//
// Threading: the connection and its record sets are used only by the thread
// that opened it; record sets must be closed or destroyed before it.
// cancel() may be called from any thread while the connection lives.
class PostgresConnection : public Connection {
 public:
  explicit PostgresConnection(const ConnectionString& connectionString);

  // Tables, partitioned tables, views, materialized views and foreign tables
  // of the schemas on the search path, in search path order and by name
  // within a schema; a name hidden by an earlier schema is listed once.
  std::vector<std::string> tableNames() override;
  std::unique_ptr<RecordSet> open(const std::string& sql, const OpenOptions& options) override;
  void execute(const std::string& sql) override;
  std::string describe() const override;
  void cancel() noexcept override;

 private:
  PostgresConnectionInfo m_info;
  PgConnectionPtr m_connection;
  std::shared_ptr<PostgresCanceller> m_canceller = std::make_shared<PostgresCanceller>();
};

// Opens a "Provider=PostgreSQL;..." connection string (see
// PostgresConnectionInfo for the keys understood).
std::unique_ptr<Connection> openPostgresConnection(const ConnectionString& connectionString);

}  // namespace rowsmith::db
