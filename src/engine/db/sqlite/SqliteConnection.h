#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/api/Connection.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/sqlite/SqliteFileIdentity.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// A connection to one SQLite database file.
//
// Connection string: "Provider=SQLite;Data Source=PATH" ("Database" also
// names the file). The file must exist unless "Mode=ReadWriteCreate" asks for
// it to be made; "Mode=ReadOnly" opens it read-only. Locks held by another
// connection are waited for up to "Busy Timeout" milliseconds (10 seconds
// unless given) before the operation fails with "database is locked". A
// record set that wrote rows checks on close that the path still names the
// file that was opened (SqliteFileIdentity).
//
// Threading: a connection and its record sets are used only by the thread
// that opened it.
class SqliteConnection : public Connection {
 public:
  // The names the database file goes by; of those a string has, the first
  // in this list counts.
  static constexpr std::array<const char*, 3> kFileKeys{"Data Source", "DataSource", "Database"};

  // `file` is what the end of a run checks the path against.
  SqliteConnection(SqliteHandle database, std::string path, SqliteFileIdentity file = {});

  std::vector<std::string> tableNames() override;
  std::unique_ptr<RecordSet> open(const std::string& sql, const OpenOptions& options) override;
  void execute(const std::string& sql) override;
  std::string describe() const override;

 private:
  SqliteHandle m_database;
  std::string m_path;
  SqliteFileIdentity m_file;
};

// Opens the SQLite database a connection string names; raises
// rowsmith::Error naming the file when it cannot.
std::unique_ptr<Connection> openSqliteConnection(const ConnectionString& connectionString);

}  // namespace rowsmith::db
