#include "engine/db/sqlite/SqliteResultShape.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "engine/db/api/StatementTableReads.h"

namespace rowsmith::db {

namespace {

bool sameName(const char* a, const std::string& b) {
  return a != nullptr && strcasecmp(a, b.c_str()) == 0;
}

bool contains(const std::string& haystack, const char* needle) {
  return haystack.find(needle) != std::string::npos;
}

// The words of an SQL text in upper case, leaving out string literals,
// quoted identifiers and comments.
std::vector<std::string> sqlWords(const std::string& sql) {
  std::vector<std::string> words;
  std::size_t i = 0;
  const std::size_t n = sql.size();
  auto skipPast = [&](const std::string& end) {
    const std::size_t found = sql.find(end, i);
    i = found == std::string::npos ? n : found + end.size();
  };
  while (i < n) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '`') {
      ++i;
      // A doubled quote stands for itself and the scan simply goes on.
      skipPast(std::string(1, c));
    } else if (c == '[') {
      skipPast("]");
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      skipPast("\n");
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      skipPast("*/");
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      std::string word;
      while (i < n && (std::isalnum(static_cast<unsigned char>(sql[i])) || sql[i] == '_'))
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i++])));
      words.push_back(std::move(word));
    } else {
      ++i;
    }
  }
  return words;
}

// A statement whose rows stand one-to-one for rows of its table, so that
// the rowid can simply be added to its columns.
bool rowsAreTableRows(const std::vector<std::string>& words) {
  static const std::set<std::string> combining = {"DISTINCT", "GROUP", "UNION", "INTERSECT",
                                                  "EXCEPT"};
  if (words.empty() || words.front() != "SELECT") return false;
  return std::none_of(words.begin(), words.end(),
                      [](const std::string& w) { return combining.count(w) != 0; });
}

// The CREATE VIEW statement of the view `name` in any attached database.
std::optional<std::string> viewDefinition(const SqliteHandle& database, const std::string& name) {
  SqliteStatement schemas;
  if (!SqliteStatement::tryPrepare(database, "PRAGMA database_list", schemas)) return std::nullopt;
  while (sqlite3_step(schemas.get()) == SQLITE_ROW) {
    const auto* schema = reinterpret_cast<const char*>(sqlite3_column_text(schemas.get(), 1));
    SqliteStatement view;
    if (!schema || !SqliteStatement::tryPrepare(
                       database,
                       "SELECT sql FROM " + quoteSqliteIdentifier(schema) +
                           ".sqlite_master WHERE type = 'view' AND name = ?1 COLLATE NOCASE",
                       view))
      continue;
    sqlite3_bind_text(view.get(), 1, name.c_str(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(view.get()) == SQLITE_ROW && sqlite3_column_text(view.get(), 0))
      return std::string(reinterpret_cast<const char*>(sqlite3_column_text(view.get(), 0)));
  }
  return std::nullopt;
}

}  // namespace

std::string quoteSqliteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

DataType SqliteResultShape::typeFromDeclared(const char* declared) {
  if (declared == nullptr || *declared == '\0') return DataType::Empty;
  std::string type = declared;
  std::transform(type.begin(), type.end(), type.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  // SQLite's own affinity rules come first, in their order.
  if (contains(type, "INT")) return DataType::BigInt;
  if (contains(type, "CHAR") || contains(type, "CLOB") || contains(type, "TEXT"))
    return DataType::VarWChar;
  if (contains(type, "BLOB")) return DataType::VarBinary;
  if (contains(type, "REAL") || contains(type, "FLOA") || contains(type, "DOUB"))
    return DataType::Double;
  if (contains(type, "BOOL")) return DataType::Boolean;
  if (contains(type, "DATETIME") || contains(type, "TIMESTAMP")) return DataType::DBTimeStamp;
  if (contains(type, "DATE")) return DataType::DBDate;
  if (contains(type, "TIME")) return DataType::DBTime;
  if (contains(type, "DEC") || contains(type, "NUMERIC")) return DataType::Numeric;
  return DataType::VarWChar;
}

DataType SqliteResultShape::typeFromValue(int storageClass) {
  switch (storageClass) {
    case SQLITE_INTEGER:
      return DataType::BigInt;
    case SQLITE_FLOAT:
      return DataType::Double;
    case SQLITE_BLOB:
      return DataType::VarBinary;
    default:
      return DataType::VarWChar;
  }
}

SqliteResultShape SqliteResultShape::analyse(const SqliteHandle& database, const std::string& sql,
                                             SqliteStatement& statement) {
  SqliteResultShape shape;
  sqlite3_stmt* s = statement.get();
  const int count = sqlite3_column_count(s);
  for (int i = 0; i < count; ++i) {
    Column column;
    const char* name = sqlite3_column_name(s, i);
    column.name = name != nullptr ? name : "";
    column.type = typeFromDeclared(sqlite3_column_decltype(s, i));
    shape.m_columns.push_back(std::move(column));
  }
  shape.findBaseTable(s);
  if (!shape.updatable()) return shape;
  // The metadata names a column's table, not the alias it was read through:
  // a table read twice could have its rows mixed up.
  shape.m_whyNotUpdatable = StatementTableReads::whyNotUpdatable(
      StatementTableReads::count(
          sql, shape.m_table,
          [&database](const std::string& name) { return viewDefinition(database, name); }),
      shape.m_table);
  if (!shape.updatable()) return shape;
  shape.markGeneratedColumns(database);
  if (!shape.findPrimaryKey(database, s) && !shape.addRowid(database, sql, statement)) {
    shape.m_whyNotUpdatable =
        "the result holds no key of table " + shape.m_table + " (add its primary key to the query)";
  }
  return shape;
}

void SqliteResultShape::findBaseTable(sqlite3_stmt* statement) {
  std::set<std::pair<std::string, std::string>> tables;
  for (int i = 0; i < static_cast<int>(m_columns.size()); ++i) {
    const char* table = sqlite3_column_table_name(statement, i);
    const char* schema = sqlite3_column_database_name(statement, i);
    const char* origin = sqlite3_column_origin_name(statement, i);
    if (table == nullptr || schema == nullptr || origin == nullptr) {
      m_columns[i].readOnlyReason = "it is computed, not a column of a table";
      continue;
    }
    m_columns[i].origin = origin;
    if (tables.insert({schema, table}).second && tables.size() == 1) {
      m_schema = schema;
      m_table = table;
    }
  }
  m_fromOneTable = tables.size() == 1;
  if (tables.empty()) {
    m_whyNotUpdatable = "none of its columns is a column of a table";
  } else if (tables.size() > 1) {
    std::string names;
    for (const auto& [schema, table] : tables) names += (names.empty() ? "" : ", ") + table;
    m_whyNotUpdatable = "its columns come from more than one table (" + names + ")";
  }
}

void SqliteResultShape::markGeneratedColumns(const SqliteHandle& database) {
  SqliteStatement info;
  if (!SqliteStatement::tryPrepare(database,
                                   "PRAGMA " + quoteSqliteIdentifier(m_schema) + ".table_xinfo(" +
                                       quoteSqliteIdentifier(m_table) + ")",
                                   info))
    return;
  // table_xinfo: cid, name, type, notnull, dflt_value, pk, hidden; hidden 2
  // and 3 are generated columns (virtual and stored).
  while (sqlite3_step(info.get()) == SQLITE_ROW) {
    const int hidden = sqlite3_column_int(info.get(), 6);
    if (hidden != 2 && hidden != 3) continue;
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
    for (auto& column : m_columns) {
      if (!column.origin.empty() && sameName(name, column.origin)) {
        column.origin.clear();
        column.readOnlyReason = "it is a generated column";
      }
    }
  }
}

bool SqliteResultShape::findPrimaryKey(const SqliteHandle& database, sqlite3_stmt* statement) {
  SqliteStatement info;
  if (!SqliteStatement::tryPrepare(database,
                                   "PRAGMA " + quoteSqliteIdentifier(m_schema) + ".table_info(" +
                                       quoteSqliteIdentifier(m_table) + ")",
                                   info))
    return false;
  std::map<int, std::string> primaryKey;  // by place in the key
  while (sqlite3_step(info.get()) == SQLITE_ROW) {
    const int place = sqlite3_column_int(info.get(), 5);
    if (place > 0)
      primaryKey[place] = reinterpret_cast<const char*>(sqlite3_column_text(info.get(), 1));
  }
  if (primaryKey.empty()) return false;
  std::vector<KeyPart> key;
  for (const auto& [place, name] : primaryKey) {
    int found = -1;
    for (int i = 0; i < static_cast<int>(m_columns.size()) && found < 0; ++i) {
      if (sqlite3_column_table_name(statement, i) != nullptr &&
          sameName(sqlite3_column_origin_name(statement, i), name))
        found = i;
    }
    if (found < 0) return false;
    key.push_back({found, name});
  }
  m_key = std::move(key);
  return true;
}

bool SqliteResultShape::addRowid(const SqliteHandle& database, const std::string& sql,
                                 SqliteStatement& statement) {
  if (!rowsAreTableRows(sqlWords(sql))) return false;
  const std::size_t select = sql.find_first_not_of(" \t\r\n");
  const std::string withRowid = "SELECT rowid, " + sql.substr(select + 6);
  SqliteStatement candidate;
  if (!SqliteStatement::tryPrepare(database, withRowid, candidate)) return false;
  sqlite3_stmt* s = candidate.get();
  if (sqlite3_column_count(s) != static_cast<int>(m_columns.size()) + 1) return false;
  // The added column must be the rowid of the same table, and every other
  // column must still come from where it came from.
  if (!sameName(sqlite3_column_table_name(s, 0), m_table) ||
      !sameName(sqlite3_column_database_name(s, 0), m_schema))
    return false;
  for (int i = 0; i < static_cast<int>(m_columns.size()); ++i) {
    const char* origin = sqlite3_column_origin_name(s, i + 1);
    if (m_columns[i].origin.empty() ? false : !sameName(origin, m_columns[i].origin)) return false;
  }
  statement = std::move(candidate);
  m_hiddenColumns = 1;
  m_key = {{0, "rowid"}};
  return true;
}

bool SqliteResultShape::isKeyField(int field) const {
  for (const auto& part : m_key)
    if (part.statementColumn - m_hiddenColumns == field) return true;
  return false;
}

std::string sqliteKeyExpression(const SqliteResultShape::KeyPart& part) {
  return part.name == "rowid" ? std::string("rowid") : quoteSqliteIdentifier(part.name);
}

}  // namespace rowsmith::db
