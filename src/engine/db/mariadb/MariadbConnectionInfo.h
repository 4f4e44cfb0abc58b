#pragma once

#include <string>

#include "engine/db/api/ConnectionString.h"
#include "engine/db/mariadb/MariadbHandles.h"

namespace rowsmith::db {

// Where and how to connect for a "Provider=MySQL;..." or
// "Provider=MariaDB;..." connection string. Understood names: Server (also
// Host, Data Source, Hostname), Port, Socket (a Unix socket, used instead
// of a host), Database (also Initial Catalog, DB), User ID (also UID, User,
// Username, User Name), Password (also PWD), and Rowsmith's own "Lock
// Timeout": the seconds a write waits for a row that another session has
// locked before it fails; 10 unless given, 0 waits without limit. Other
// pairs are ignored.
//
// Every connection talks utf8mb4, reports the rows a write found (not only
// those it changed), refuses to truncate or mangle a value it stores (strict
// mode), never loads local files, and gives up connecting after 10 seconds.
//
// Threading: immutable after construction; open() may be called from any
// thread, the connection it gives belongs to that thread.
class MariadbConnectionInfo {
 public:
  explicit MariadbConnectionInfo(const ConnectionString& connectionString);

  // A new connection, set up as above. Raises rowsmith::Error naming what
  // was tried (describe()), never the password, with the client's message.
  MysqlPtr open() const;

  // "MariaDB, host H, port P, database D, user U" (or "socket S"), in the
  // provider's name as the connection string gives it.
  std::string describe() const;

  // Seconds to wait for the server.
  static constexpr unsigned int kConnectTimeout = 10;
  // How long to wait for a lock when the string does not say.
  static constexpr long long kDefaultLockTimeoutSeconds = 10;
  static constexpr const char* kLockTimeoutKey = "Lock Timeout";

  // The lock timeout in whole seconds (0: no limit).
  long long lockTimeoutSeconds() const { return m_lockTimeoutSeconds; }

 private:
  std::string m_provider;
  std::string m_host;
  unsigned int m_port = 0;
  std::string m_socket;
  std::string m_database;
  std::string m_user;
  std::string m_password;
  long long m_lockTimeoutSeconds = kDefaultLockTimeoutSeconds;
};

}  // namespace rowsmith::db
