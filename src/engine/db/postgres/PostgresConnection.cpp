#include "engine/db/postgres/PostgresConnection.h"

#include <set>

#include "common/Error.h"
#include "engine/db/postgres/PostgresError.h"
#include "engine/db/postgres/PostgresRecordSet.h"

namespace rowsmith::db {

PostgresConnection::PostgresConnection(const ConnectionString& connectionString)
    : m_info(connectionString), m_connection(m_info.open()) {}

std::vector<std::string> PostgresConnection::tableNames() {
  const PgResultPtr result = execPostgres(m_connection.get(), R"sql(
SELECT c.relname
  FROM pg_catalog.pg_class c
  JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace
 WHERE c.relkind IN ('r', 'p', 'v', 'm', 'f')
   AND n.nspname = ANY (current_schemas(false))
 ORDER BY array_position(current_schemas(false), n.nspname::text), c.relname)sql",
                                          "Cannot list the tables of " + describe());
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (int row = 0; row < PQntuples(result.get()); ++row) {
    std::string name = PQgetvalue(result.get(), row, 0);
    if (seen.insert(name).second) names.push_back(std::move(name));
  }
  return names;
}

std::unique_ptr<RecordSet> PostgresConnection::open(const std::string& sql,
                                                    const OpenOptions& options) {
  // Every record set gives what the options ask for (prepared, server-side,
  // optimistic) whatever they say: the caller never asks for less.
  if (m_canceller->requested()) throw Cancelled("Cancelled before the query was opened");
  return std::make_unique<PostgresRecordSet>(m_connection.get(), m_info.open(), sql,
                                             options.countRecords, m_canceller);
}

void PostgresConnection::execute(const std::string& sql) {
  execPostgres(m_connection.get(), sql, "Cannot run the statement");
}

void PostgresConnection::cancel() noexcept { m_canceller->cancel(); }

std::string PostgresConnection::describe() const {
  return PostgresConnectionInfo::describe(m_connection.get());
}

std::unique_ptr<Connection> openPostgresConnection(const ConnectionString& connectionString) {
  return std::make_unique<PostgresConnection>(connectionString);
}

}  // namespace rowsmith::db
