#include "engine/db/ConnectionField.h"

#include <strings.h>

#include "engine/db/BackendModule.h"
#include "engine/db/mariadb/MariadbConnectionInfo.h"
#include "engine/db/postgres/PostgresConnectionInfo.h"
#include "engine/db/sqlite/SqliteConnection.h"

namespace rowsmith::db {

namespace {

using Id = ConnectionFieldId;
using Kind = ConnectionField::Kind;
using Lookup = ConnectionField::Lookup;

const std::vector<ConnectionField>& allFields() {
  static const std::vector<ConnectionField> fields = {
      {Id::SqliteFile,
       Backend::SQLite,
       "Database &file:",
       Kind::File,
       Lookup::NamePriority,
       "Data Source",
       {SqliteConnection::kFileKeys.begin(), SqliteConnection::kFileKeys.end()},
       {},
       {}},
      {Id::SqliteMode,
       Backend::SQLite,
       "&Mode:",
       Kind::Choice,
       Lookup::NamePriority,
       "Mode",
       {"Mode"},
       {"ReadWrite", "ReadOnly", "ReadWriteCreate"},
       {}},
      {Id::SqliteBusyTimeout,
       Backend::SQLite,
       "&Busy timeout (ms):",
       Kind::Text,
       Lookup::NamePriority,
       "Busy Timeout",
       {"Busy Timeout"},
       {},
       {}},
      {Id::PgHost,
       Backend::PostgreSQL,
       "H&ost:",
       Kind::Text,
       Lookup::LibpqKeyword,
       "Host",
       {"host"},
       {},
       {}},
      {Id::PgPort,
       Backend::PostgreSQL,
       "&Port:",
       Kind::Text,
       Lookup::LibpqKeyword,
       "Port",
       {"port"},
       {},
       {}},
      {Id::PgDatabase,
       Backend::PostgreSQL,
       "&Database:",
       Kind::Text,
       Lookup::LibpqKeyword,
       "Database",
       {"dbname"},
       {},
       {}},
      {Id::PgUser,
       Backend::PostgreSQL,
       "&User ID:",
       Kind::Text,
       Lookup::LibpqKeyword,
       "User ID",
       {"user"},
       {},
       {}},
      {Id::PgPassword,
       Backend::PostgreSQL,
       "Pass&word:",
       Kind::Password,
       Lookup::LibpqKeyword,
       "Password",
       {"password"},
       {},
       {}},
      {Id::PgSslMode,
       Backend::PostgreSQL,
       "&SSL mode:",
       Kind::Choice,
       Lookup::LibpqKeyword,
       "sslmode",
       {"sslmode"},
       {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"},
       {}},
      {Id::PgLockTimeout,
       Backend::PostgreSQL,
       "&Lock timeout (s):",
       Kind::Text,
       Lookup::NamePriority,
       PostgresConnectionInfo::kLockTimeoutKey,
       {PostgresConnectionInfo::kLockTimeoutKey},
       {},
       {}},
      // MariaDB and MySQL: the names and synonyms MariadbConnectionInfo
      // reads, in the order it prefers them. A socket stands in for the
      // server and its port, so giving one clears the other.
      {Id::MariadbServer,
       Backend::MariaDB,
       "&Server:",
       Kind::Text,
       Lookup::NamePriority,
       "Server",
       {"Server", "Host", "Data Source", "Hostname"},
       {},
       {Id::MariadbSocket}},
      {Id::MariadbPort,
       Backend::MariaDB,
       "&Port:",
       Kind::Text,
       Lookup::NamePriority,
       "Port",
       {"Port"},
       {},
       {Id::MariadbSocket}},
      {Id::MariadbSocket,
       Backend::MariaDB,
       "Unix soc&ket:",
       Kind::Text,
       Lookup::NamePriority,
       "Socket",
       {"Socket"},
       {},
       {Id::MariadbServer, Id::MariadbPort}},
      {Id::MariadbDatabase,
       Backend::MariaDB,
       "&Database:",
       Kind::Text,
       Lookup::NamePriority,
       "Database",
       {"Database", "Initial Catalog", "DB"},
       {},
       {}},
      {Id::MariadbUser,
       Backend::MariaDB,
       "&User ID:",
       Kind::Text,
       Lookup::NamePriority,
       "User ID",
       {"User ID", "UID", "User", "Username", "User Name"},
       {},
       {}},
      {Id::MariadbPassword,
       Backend::MariaDB,
       "Pass&word:",
       Kind::Password,
       Lookup::NamePriority,
       "Password",
       {"Password", "PWD"},
       {},
       {}},
      {Id::MariadbLockTimeout,
       Backend::MariaDB,
       "&Lock timeout (s):",
       Kind::Text,
       Lookup::NamePriority,
       MariadbConnectionInfo::kLockTimeoutKey,
       {MariadbConnectionInfo::kLockTimeoutKey},
       {},
       {}},
      {Id::OdbcDsn,
       Backend::Odbc,
       "Data &source name (DSN):",
       Kind::DataSourceName,
       Lookup::FirstPair,
       "DSN",
       {"DSN"},
       {},
       {Id::OdbcDriver}},
      {Id::OdbcDriver,
       Backend::Odbc,
       "&Driver:",
       Kind::DriverName,
       Lookup::FirstPair,
       "Driver",
       {"Driver"},
       {},
       {Id::OdbcDsn}},
      {Id::OdbcUser,
       Backend::Odbc,
       "&User ID:",
       Kind::Text,
       Lookup::FirstPair,
       "UID",
       {"UID", "User ID", "User", "Username"},
       {},
       {}},
      {Id::OdbcPassword,
       Backend::Odbc,
       "Pass&word:",
       Kind::Password,
       Lookup::FirstPair,
       "PWD",
       {"PWD", "Password"},
       {},
       {}},
      {Id::OdbcAttributes,
       Backend::Odbc,
       "&Other attributes:",
       Kind::Attributes,
       Lookup::Remaining,
       "",
       {},
       {},
       {}},
  };
  return fields;
}

}  // namespace

bool ConnectionField::takes(const std::string& key) const {
  if (lookup == Lookup::LibpqKeyword) return BackendModule::postgres().keywordOf(key) == names[0];
  for (const std::string& name : names)
    if (strcasecmp(name.c_str(), key.c_str()) == 0) return true;
  return false;
}

std::vector<const ConnectionField*> ConnectionField::of(Backend backend) {
  std::vector<const ConnectionField*> out;
  for (const ConnectionField& field : allFields())
    if (field.backend == backend) out.push_back(&field);
  return out;
}

const ConnectionField& ConnectionField::get(ConnectionFieldId id) {
  for (const ConnectionField& field : allFields())
    if (field.id == id) return field;
  return allFields().front();
}

}  // namespace rowsmith::db
