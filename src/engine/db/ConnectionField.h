#pragma once

#include <string>
#include <vector>

#include "engine/db/ConnectionFactory.h"

namespace rowsmith::db {

enum class ConnectionFieldId {
  SqliteFile,
  SqliteMode,
  SqliteBusyTimeout,
  PgHost,
  PgPort,
  PgDatabase,
  PgUser,
  PgPassword,
  PgSslMode,
  PgLockTimeout,
  MariadbServer,
  MariadbPort,
  MariadbSocket,
  MariadbDatabase,
  MariadbUser,
  MariadbPassword,
  MariadbLockTimeout,
  OdbcDsn,
  OdbcDriver,
  OdbcUser,
  OdbcPassword,
  OdbcAttributes,
};

// One field of the connection builder: what it shows for a kind of
// database, and which pair of a connection string it stands for, found the
// way that backend finds it.
//
// Threading: constant data; callable from any thread.
struct ConnectionField {
  enum class Kind { Text, Password, Choice, File, DataSourceName, DriverName, Attributes };
  enum class Lookup {
    NamePriority,  // of the names a string has, the first one in `names` (SQLite, MariaDB)
    FirstPair,     // the first pair with any of `names` (ODBC)
    LibpqKeyword,  // the first pair whose libpq keyword is names[0] (PostgreSQL)
    Remaining,     // every pair that no other field takes, "Provider" aside
  };

  ConnectionFieldId id;
  Backend backend;
  const char* label;  // with its "&" mnemonic
  Kind kind;
  Lookup lookup;
  const char* writtenName;                  // the name a new pair gets
  std::vector<std::string> names;           // see Lookup
  std::vector<std::string> choices;         // suggestions for a Choice
  std::vector<ConnectionFieldId> excludes;  // fields emptied when this one gets a value

  // Whether a pair named `key` is one this field may stand for.
  bool takes(const std::string& key) const;

  // The fields of a backend, in the order they are shown; none for a
  // backend without fields.
  static std::vector<const ConnectionField*> of(Backend backend);
  static const ConnectionField& get(ConnectionFieldId id);
};

}  // namespace rowsmith::db
