#include "engine/db/odbc/OdbcUpdatePlan.h"

#include <strings.h>

#include <cctype>
#include <optional>
#include <set>

#include "common/Error.h"
#include "engine/db/api/StatementTableReads.h"
#include "engine/db/odbc/OdbcSession.h"
#include "engine/db/odbc/OdbcStatement.h"
#include "engine/db/odbc/OdbcTableMetadata.h"

namespace rowsmith::db::odbc {

namespace {

const char* const kRefused = "The record set cannot be updated: ";

bool sameName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::size_t skipBlanks(const std::string& text, std::size_t i) {
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  return i;
}

// The word starting at `i` when it is `word` (any letter case) followed by
// a blank or the end; the index after it, or npos.
std::size_t afterWord(const std::string& text, std::size_t i, const char* word) {
  const std::size_t length = std::char_traits<char>::length(word);
  if (text.size() < i + length || strncasecmp(text.c_str() + i, word, length) != 0)
    return std::string::npos;
  const std::size_t end = i + length;
  if (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
    return std::string::npos;
  return end;
}

// For drivers that name no base table: the table of "select * from NAME",
// NAME as typed without its quotes.
std::optional<std::string> tableOfSelectStar(const std::string& sql) {
  std::size_t i = afterWord(sql, skipBlanks(sql, 0), "select");
  if (i == std::string::npos) return std::nullopt;
  i = skipBlanks(sql, i);
  if (i >= sql.size() || sql[i] != '*') return std::nullopt;
  i = afterWord(sql, skipBlanks(sql, i + 1), "from");
  if (i == std::string::npos) return std::nullopt;
  std::string rest = sql.substr(skipBlanks(sql, i));
  while (!rest.empty() &&
         (std::isspace(static_cast<unsigned char>(rest.back())) || rest.back() == ';'))
    rest.pop_back();
  if (rest.size() >= 2 &&
      ((rest.front() == '"' && rest.back() == '"') || (rest.front() == '[' && rest.back() == ']') ||
       (rest.front() == '`' && rest.back() == '`')))
    return rest.substr(1, rest.size() - 2);
  for (char c : rest)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '.') return std::nullopt;
  if (rest.empty()) return std::nullopt;
  return rest;
}

// "select KEYS, <rest>" for a statement that starts with a plain SELECT.
std::optional<std::string> withLeadingColumns(const std::string& sql, const std::string& columns) {
  const std::size_t i = afterWord(sql, skipBlanks(sql, 0), "select");
  if (i == std::string::npos) return std::nullopt;
  const std::size_t rest = skipBlanks(sql, i);
  for (const char* modifier : {"distinct", "all", "top"})
    if (afterWord(sql, rest, modifier) != std::string::npos) return std::nullopt;
  return sql.substr(0, i) + " " + columns + ", " + sql.substr(rest);
}

std::optional<int> ordinalOf(const std::vector<OdbcColumn>& columns, const std::string& table,
                             const std::string& alias, const std::string& column) {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i].baseTable == table && sameName(columns[i].baseColumn, column) &&
        (alias.empty() || sameName(columns[i].tableName, alias)))
      return static_cast<int>(i);
  return std::nullopt;
}

// The names the statement reads `table` by, when the driver names aliases
// (one of them differs from the table's own name); else nothing.
std::optional<std::set<std::string>> aliasesOf(const std::vector<OdbcColumn>& columns,
                                               const std::string& table) {
  std::set<std::string> aliases;
  bool named = false;
  for (const auto& column : columns) {
    if (column.baseTable != table || column.tableName.empty()) continue;
    aliases.insert(column.tableName);
    named = named || !sameName(column.tableName, table);
  }
  if (!named) return std::nullopt;
  return aliases;
}

// Whether every key column of `table` read as `alias` is among `columns`.
bool holdsKey(const std::vector<OdbcColumn>& columns, const std::string& table,
              const std::string& alias, const std::vector<std::string>& key) {
  for (const auto& name : key)
    if (!ordinalOf(columns, table, alias, name)) return false;
  return true;
}

OdbcUpdatePlan refuse(OdbcUpdatePlan plan, const std::string& why) {
  plan.updatable = false;
  plan.reason = kRefused + why;
  return plan;
}

}  // namespace

OdbcUpdatePlan OdbcUpdatePlan::make(const std::shared_ptr<OdbcSession>& session,
                                    OdbcStatement& statement, const std::string& sql,
                                    std::vector<OdbcColumn>& columns) {
  OdbcUpdatePlan plan;
  plan.statement = sql;

  std::set<std::pair<std::string, std::string>> tables;
  for (const auto& column : columns)
    if (!column.baseTable.empty()) tables.emplace(column.baseSchema, column.baseTable);
  if (tables.empty()) {
    if (const auto table = tableOfSelectStar(sql)) {
      for (auto& column : columns) {
        column.baseTable = *table;
        column.baseColumn = column.name;
      }
      tables.emplace(std::string(), *table);
    }
  }
  if (tables.empty()) return refuse(plan, "none of its columns comes from a table");
  if (tables.size() > 1) {
    std::string names;
    for (const auto& [schema, table] : tables) names += (names.empty() ? "" : ", ") + table;
    return refuse(plan, "its columns come from more than one table (" + names + ")");
  }
  plan.schema = tables.begin()->first;
  plan.table = tables.begin()->second;

  const OdbcTableMetadata metadata(session, plan.schema, plan.table);
  plan.keyColumns = metadata.primaryKey();
  if (plan.keyColumns.empty()) plan.keyColumns = metadata.bestRowIdentifier();
  if (plan.keyColumns.empty())
    return refuse(plan, "table or view " + plan.table + " has no primary key or row identifier");

  // A table read more than once (joined with itself) must not have one
  // appearance's columns written to the rows of another. Drivers that name
  // aliases tell the appearances apart: the one whose key is in the result
  // is written, the columns of the others are not. For the others the
  // statement must read the table once.
  if (const auto aliases = aliasesOf(columns, plan.table)) {
    std::vector<std::string> keyed;
    for (const auto& alias : *aliases)
      if (holdsKey(columns, plan.table, alias, plan.keyColumns)) keyed.push_back(alias);
    if (aliases->size() == 1)
      plan.alias = *aliases->begin();
    else if (keyed.size() == 1)
      plan.alias = keyed.front();
    else {
      std::string names;
      for (const auto& alias : *aliases) names += (names.empty() ? "" : ", ") + alias;
      return refuse(plan, "the query reads table " + plan.table + " more than once (as " + names +
                              "), and its key does not pick out one of them");
    }
  } else {
    const auto why = StatementTableReads::whyNotUpdatable(
        StatementTableReads::count(sql, plan.table,
                                   [&session](const std::string& name) {
                                     return OdbcTableMetadata::viewDefinition(session, name);
                                   }),
        plan.table);
    if (!why.empty()) return refuse(plan, why);
  }

  bool complete = true;
  for (const auto& key : plan.keyColumns) {
    const auto ordinal = ordinalOf(columns, plan.table, plan.alias, key);
    if (!ordinal) {
      complete = false;
      break;
    }
    plan.keyOrdinals.push_back(*ordinal);
  }
  if (complete) {
    plan.updatable = true;
    return plan;
  }

  // The key is not among the columns: run the statement with it in front.
  plan.keyOrdinals.clear();
  std::string keyList;
  for (const auto& key : plan.keyColumns)
    keyList += (keyList.empty() ? "" : ", ") +
               session->quoteIdentifier(plan.alias.empty() ? plan.table : plan.alias) + "." +
               session->quoteIdentifier(key);
  const std::string keyNames = [&] {
    std::string names;
    for (const auto& key : plan.keyColumns) names += (names.empty() ? "" : ", ") + key;
    return names;
  }();
  const std::string missingKey =
      "the key of table " + plan.table + " (" + keyNames + ") is not among its columns";
  const auto widened = withLeadingColumns(sql, keyList);
  if (!widened) return refuse(plan, missingKey);
  try {
    statement.prepare(*widened, "key columns");
    auto widenedColumns = statement.describeColumns("key columns");
    const auto keyCount = plan.keyColumns.size();
    if (widenedColumns.size() != columns.size() + keyCount)
      throw Error("the statement with its key gave other columns");
    for (std::size_t i = 0; i < keyCount; ++i) {
      widenedColumns[i].baseSchema = plan.schema;
      widenedColumns[i].baseTable = plan.table;
      widenedColumns[i].baseColumn = plan.keyColumns[i];
      if (!plan.alias.empty()) widenedColumns[i].tableName = plan.alias;
      plan.keyOrdinals.push_back(static_cast<int>(i));
    }
    // Drivers without base names had them filled in from the statement.
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (widenedColumns[i + keyCount].baseTable.empty() && !columns[i].baseTable.empty()) {
        widenedColumns[i + keyCount].baseTable = columns[i].baseTable;
        widenedColumns[i + keyCount].baseColumn = columns[i].baseColumn;
      }
    columns = std::move(widenedColumns);
    plan.hiddenCount = static_cast<int>(keyCount);
    plan.statement = *widened;
    plan.updatable = true;
    return plan;
  } catch (const Error&) {
    statement.prepare(sql, "Couldn't open \"" + sql + "\"");
    plan.keyOrdinals.clear();
    return refuse(plan, missingKey);
  }
}

}  // namespace rowsmith::db::odbc
