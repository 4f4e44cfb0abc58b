#include "engine/db/sqlite/SqliteConnection.h"

#include <strings.h>

#include <filesystem>
#include <utility>

#include "common/Error.h"
#include "engine/db/sqlite/SqliteError.h"
#include "engine/db/sqlite/SqliteRecordSet.h"
#include "engine/db/sqlite/SqliteResultShape.h"
#include "engine/db/sqlite/SqliteStatementGuard.h"

namespace rowsmith::db {

namespace {

constexpr int kDefaultBusyTimeoutMs = 10000;

int openFlags(const ConnectionString& connectionString, const std::string& file) {
  const std::string mode = connectionString.get({"Mode"}, "ReadWrite");
  if (strcasecmp(mode.c_str(), "ReadWriteCreate") == 0)
    return SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (strcasecmp(mode.c_str(), "ReadOnly") == 0 || strcasecmp(mode.c_str(), "Read") == 0)
    return SQLITE_OPEN_READONLY;
  if (strcasecmp(mode.c_str(), "ReadWrite") == 0) return SQLITE_OPEN_READWRITE;
  throw Error("Cannot open SQLite database \"" + file + "\": unknown Mode \"" + mode +
              "\" (use ReadWrite, ReadWriteCreate or ReadOnly)");
}

int busyTimeout(const ConnectionString& connectionString, const std::string& file) {
  const std::string text = connectionString.get({"Busy Timeout"});
  if (text.empty()) return kDefaultBusyTimeoutMs;
  try {
    std::size_t used = 0;
    const int ms = std::stoi(text, &used);
    if (used == text.size() && ms >= 0) return ms;
  } catch (const std::exception&) {
  }
  throw Error("Cannot open SQLite database \"" + file + "\": Busy Timeout \"" + text +
              "\" is not a number of milliseconds");
}

}  // namespace

std::unique_ptr<Connection> openSqliteConnection(const ConnectionString& connectionString) {
  std::string file;
  for (const char* key : SqliteConnection::kFileKeys) {
    if (auto value = connectionString.get(key)) {
      file = *value;
      break;
    }
  }
  if (file.empty())
    throw Error("The SQLite connection string names no database file (Data Source=PATH)");
  const int flags = openFlags(connectionString, file);
  const int timeout = busyTimeout(connectionString, file);
  // SQLite would quietly make an empty database for a mistyped name.
  std::error_code error;
  if (file != ":memory:" && (flags & SQLITE_OPEN_CREATE) == 0 &&
      !std::filesystem::exists(file, error))
    throw Error("Cannot open SQLite database \"" + file + "\": the file does not exist");

  sqlite3* raw = nullptr;
  // A connection and its statements live on one thread: no need for SQLite's own locks.
  const int code = sqlite3_open_v2(file.c_str(), &raw, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  SqliteHandle database(raw, [](sqlite3* db) { sqlite3_close_v2(db); });
  const std::string context = "Cannot open SQLite database \"" + file + "\"";
  if (code != SQLITE_OK) throwSqliteError(raw, code, context);
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, timeout);
  // Reading the schema tells a file that is no database at once.
  checkSqlite(raw,
              sqlite3_exec(raw, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr),
              context);
  const SqliteFileIdentity identity = SqliteFileIdentity::of(raw);
  return std::make_unique<SqliteConnection>(std::move(database), file, identity);
}

SqliteConnection::SqliteConnection(SqliteHandle database, std::string path, SqliteFileIdentity file)
    : m_database(std::move(database)), m_path(std::move(path)), m_file(std::move(file)) {}

std::vector<std::string> SqliteConnection::tableNames() {
  SqliteStatement statement(m_database,
                            "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') "
                            "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid",
                            "Listing the tables of " + describe());
  std::vector<std::string> names;
  while (statement.step("Listing the tables of " + describe()))
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0)));
  return names;
}

std::unique_ptr<RecordSet> SqliteConnection::open(const std::string& sql,
                                                  const OpenOptions& options) {
  // Every cursor the callers ask for is given as the one record set kind:
  // streamed, and updatable when the result allows it.
  SqliteStatement statement(m_database, sql, "Preparing \"" + sql + "\"");
  // A statement without columns is not run at all.
  if (!statement || sqlite3_column_count(statement.get()) == 0)
    throw Error("CommandText does not return a result set");
  // Nor is one that could write, or a text with more than one statement.
  SqliteStatementGuard::check(statement, sql);
  SqliteResultShape shape = SqliteResultShape::analyse(m_database, sql, statement);
  return std::make_unique<SqliteRecordSet>(m_database, std::move(statement), std::move(shape),
                                           options.countRecords, m_file);
}

void SqliteConnection::execute(const std::string& sql) {
  checkSqlite(m_database.get(),
              sqlite3_exec(m_database.get(), sql.c_str(), nullptr, nullptr, nullptr),
              "Executing \"" + sql + "\"");
}

std::string SqliteConnection::describe() const { return "SQLite database \"" + m_path + "\""; }

}  // namespace rowsmith::db
