#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/db/api/ConnectionString.h"
#include "engine/db/postgres/PostgresHandles.h"

namespace rowsmith::db {

// The libpq connection parameters of a "Provider=PostgreSQL;..." connection
// string. ADO-style names (Host, Server, Data Source, Port, Database,
// Initial Catalog, User ID, UID, Password, PWD) and libpq's own keywords
// (host, port, dbname, user, password, sslmode, ...) are both understood;
// other pairs (Provider, Persist Security Info, ...) are ignored. Values go
// to libpq as keyword/value pairs, so they need no quoting.
//
// "Lock Timeout" is Rowsmith's own: the seconds a statement waits for a lock
// that another session holds (a row it writes, a table it reads) before it
// fails; 10 unless given, 0 waits without limit.
//
// Threading: immutable after construction; open() may be called from any
// thread, the connection it gives belongs to that thread.
class PostgresConnectionInfo {
 public:
  explicit PostgresConnectionInfo(const ConnectionString& connectionString);

  // A new connection in UTF-8 with ISO dates and exact floating-point text.
  // Raises rowsmith::Error naming host or socket, port, database and user
  // (never the password) with libpq's message when it cannot connect.
  PgConnectionPtr open() const;

  // The libpq keyword a connection string's name stands for ("Server" and
  // "host" give "host"), or empty when libpq has no such parameter or it is
  // not taken from connection strings.
  static std::string keywordOf(const std::string& name);

  // Seconds to wait for the server when the string does not say.
  static constexpr const char* kDefaultConnectTimeout = "10";
  // How long to wait for a lock when the string does not say.
  static constexpr long long kDefaultLockTimeoutMs = 10000;
  // The connection string name of the lock timeout.
  static constexpr const char* kLockTimeoutKey = "Lock Timeout";

  // The lock timeout in milliseconds (0: no limit).
  long long lockTimeoutMs() const { return m_lockTimeoutMs; }

  // "PostgreSQL, host H, port P, database D, user U" of a live connection.
  static std::string describe(const PGconn* connection);

 private:
  std::vector<std::pair<std::string, std::string>> m_parameters;
  long long m_lockTimeoutMs = kDefaultLockTimeoutMs;
};

}  // namespace rowsmith::db
