#include "engine/db/odbc/OdbcTableMetadata.h"

#include <sqlext.h>

#include <map>

#include "common/Error.h"
#include "engine/db/odbc/OdbcSession.h"
#include "engine/db/odbc/OdbcStatement.h"

namespace rowsmith::db::odbc {

namespace {

SQLCHAR* argument(std::string& text) {
  return text.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(text.data());
}

SQLSMALLINT argumentLength(const std::string& text) {
  return text.empty() ? 0 : static_cast<SQLSMALLINT>(text.size());
}

std::string sqlLiteral(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

}  // namespace

OdbcTableMetadata::OdbcTableMetadata(std::shared_ptr<OdbcSession> session, std::string schema,
                                     std::string table)
    : m_session(std::move(session)), m_schema(std::move(schema)), m_table(std::move(table)) {}

std::vector<std::string> OdbcTableMetadata::primaryKey() const {
  OdbcStatement statement(m_session);
  std::string schema = m_schema;
  std::string table = m_table;
  const SQLRETURN rc =
      SQLPrimaryKeys(statement.handle(), nullptr, 0, argument(schema), argumentLength(schema),
                     argument(table), argumentLength(table));
  if (!SQL_SUCCEEDED(rc)) return {};
  std::map<int, std::string> bySequence;
  while (SQL_SUCCEEDED(SQLFetch(statement.handle()))) {
    SQLSMALLINT sequence = 0;
    SQLLEN indicator = 0;
    SQLGetData(statement.handle(), 5, SQL_C_SSHORT, &sequence, 0, &indicator);
    bySequence[sequence] = catalogTextAt(statement.handle(), 4);
  }
  std::vector<std::string> out;
  for (auto& [sequence, name] : bySequence) out.push_back(name);
  return out;
}

std::vector<std::string> OdbcTableMetadata::bestRowIdentifier() const {
  OdbcStatement statement(m_session);
  std::string schema = m_schema;
  std::string table = m_table;
  const SQLRETURN rc = SQLSpecialColumns(
      statement.handle(), SQL_BEST_ROWID, nullptr, 0, argument(schema), argumentLength(schema),
      argument(table), argumentLength(table), SQL_SCOPE_TRANSACTION, SQL_NULLABLE);
  if (!SQL_SUCCEEDED(rc)) return {};
  std::vector<std::string> out;
  while (SQL_SUCCEEDED(SQLFetch(statement.handle())))
    out.push_back(catalogTextAt(statement.handle(), 2));
  return out;
}

std::vector<std::string> OdbcTableMetadata::columnNames() const {
  OdbcStatement statement(m_session);
  std::string schema = m_schema;
  std::string table = m_table;
  // The table name is a search pattern here ("_" matches any character):
  // rows of other tables are skipped by name.
  const SQLRETURN rc =
      SQLColumns(statement.handle(), nullptr, 0, argument(schema), argumentLength(schema),
                 argument(table), argumentLength(table), nullptr, 0);
  if (!SQL_SUCCEEDED(rc)) return {};
  std::vector<std::string> out;
  while (SQL_SUCCEEDED(SQLFetch(statement.handle())))
    if (catalogTextAt(statement.handle(), 3) == m_table)
      out.push_back(catalogTextAt(statement.handle(), 4));
  return out;
}

std::vector<std::string> OdbcTableMetadata::generatedColumns() const {
  std::string sql =
      "SELECT column_name FROM information_schema.columns WHERE is_generated = 'ALWAYS' AND "
      "table_name = " +
      sqlLiteral(m_table);
  if (!m_schema.empty()) sql += " AND table_schema = " + sqlLiteral(m_schema);
  std::vector<std::string> out;
  try {
    OdbcStatement statement(m_session);
    statement.executeDirect(sql, "generated columns");
    while (statement.fetch("generated columns"))
      out.push_back(catalogTextAt(statement.handle(), 1));
  } catch (const Error&) {
    // No information schema (SQLite, for one): SQLColumns already leaves
    // generated columns out there.
    out.clear();
  }
  return out;
}

std::optional<std::string> OdbcTableMetadata::viewDefinition(
    const std::shared_ptr<OdbcSession>& session, const std::string& name) {
  const std::string lowered = "lower(" + sqlLiteral(name) + ")";
  for (const std::string& sql :
       {"SELECT sql FROM sqlite_master WHERE type = 'view' AND lower(name) = " + lowered,
        "SELECT view_definition FROM information_schema.views WHERE lower(table_name) = " +
            lowered}) {
    try {
      OdbcStatement statement(session);
      statement.executeDirect(sql, "view definition");
      if (statement.fetch("view definition")) {
        std::string text;
        // Definitions longer than one piece arrive in several.
        char buffer[4096];
        SQLLEN length = 0;
        SQLRETURN rc;
        while (SQL_SUCCEEDED(rc = SQLGetData(statement.handle(), 1, SQL_C_CHAR, buffer,
                                             sizeof buffer, &length)) &&
               length != SQL_NULL_DATA) {
          const std::size_t got =
              length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof buffer)
                  ? sizeof buffer - 1
                  : static_cast<std::size_t>(length);
          text.append(buffer, got);
          if (rc == SQL_SUCCESS) break;
        }
        if (!text.empty()) return text;
      }
    } catch (const Error&) {
      // Not this kind of database.
    }
  }
  return std::nullopt;
}

}  // namespace rowsmith::db::odbc
