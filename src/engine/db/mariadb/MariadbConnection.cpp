#include "engine/db/mariadb/MariadbConnection.h"

#include "common/Error.h"
#include "engine/db/mariadb/MariadbError.h"
#include "engine/db/mariadb/MariadbRecordSet.h"
#include "engine/db/mariadb/MariadbTableInfo.h"

namespace rowsmith::db {

MariadbConnection::MariadbConnection(const ConnectionString& connectionString)
    : m_info(connectionString),
      m_connection(m_info.open()),
      m_canceller(std::make_shared<MariadbCanceller>(m_info)) {}

std::vector<std::string> MariadbConnection::tableNames() {
  MysqlResultPtr result = queryMariadb(m_connection.get(),
                                       "SELECT TABLE_NAME FROM information_schema.TABLES WHERE "
                                       "TABLE_SCHEMA = DATABASE() ORDER BY TABLE_NAME",
                                       "Cannot list the tables of " + describe());
  std::vector<std::string> names;
  while (MYSQL_ROW row = mysql_fetch_row(result.get()))
    if (row[0]) names.emplace_back(row[0], mysql_fetch_lengths(result.get())[0]);
  return names;
}

std::unique_ptr<RecordSet> MariadbConnection::open(const std::string& sql,
                                                   const OpenOptions& options) {
  // Every record set gives what the options ask for (prepared, server-side,
  // optimistic) whatever they say: the caller never asks for less.
  if (m_canceller->requested()) throw Cancelled("Cancelled before the query was opened");
  return std::make_unique<MariadbRecordSet>(m_connection.get(), m_info.open(), sql,
                                            options.countRecords, m_canceller);
}

void MariadbConnection::execute(const std::string& sql) {
  execMariadb(m_connection.get(), sql, "Cannot run the statement");
}

std::string MariadbConnection::describe() const { return m_info.describe(); }

void MariadbConnection::cancel() noexcept { m_canceller->cancel(); }

std::string MariadbConnection::quoteIdentifier(const std::string& name) const {
  return mariadbIdentifier(name);
}

std::unique_ptr<Connection> openMariadbConnection(const ConnectionString& connectionString) {
  return std::make_unique<MariadbConnection>(connectionString);
}

}  // namespace rowsmith::db
