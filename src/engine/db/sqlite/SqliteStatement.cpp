#include "engine/db/sqlite/SqliteStatement.h"

#include <utility>

#include "engine/db/sqlite/SqliteError.h"

namespace rowsmith::db {

SqliteStatement::SqliteStatement(SqliteHandle database, const std::string& sql,
                                 const std::string& context)
    : m_database(std::move(database)) {
  const int code = sqlite3_prepare_v2(m_database.get(), sql.c_str(), static_cast<int>(sql.size()),
                                      &m_statement, nullptr);
  if (code != SQLITE_OK) {
    m_statement = nullptr;
    throwSqliteError(m_database.get(), code, context);
  }
}

SqliteStatement::~SqliteStatement() { finalize(); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_database(std::move(other.m_database)),
      m_statement(std::exchange(other.m_statement, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
  if (this != &other) {
    finalize();
    m_database = std::move(other.m_database);
    m_statement = std::exchange(other.m_statement, nullptr);
  }
  return *this;
}

bool SqliteStatement::tryPrepare(SqliteHandle database, const std::string& sql,
                                 SqliteStatement& out) {
  sqlite3_stmt* statement = nullptr;
  const int code = sqlite3_prepare_v2(database.get(), sql.c_str(), static_cast<int>(sql.size()),
                                      &statement, nullptr);
  if (code != SQLITE_OK || statement == nullptr) {
    sqlite3_finalize(statement);
    return false;
  }
  out.finalize();
  out.m_database = std::move(database);
  out.m_statement = statement;
  return true;
}

bool SqliteStatement::step(const std::string& context) {
  const int code = sqlite3_step(m_statement);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  throwSqliteError(m_database.get(), code, context);
}

void SqliteStatement::reset() {
  if (m_statement == nullptr) return;
  sqlite3_reset(m_statement);
  sqlite3_clear_bindings(m_statement);
}

void SqliteStatement::finalize() {
  if (m_statement != nullptr) sqlite3_finalize(m_statement);
  m_statement = nullptr;
}

}  // namespace rowsmith::db
