#include "engine/db/mariadb/MariadbTableInfo.h"

#include <strings.h>

#include <map>

#include "common/Error.h"
#include "engine/db/mariadb/MariadbError.h"

namespace rowsmith::db {

std::string mariadbIdentifier(const std::string& name) {
  std::string out = "`";
  for (char c : name) {
    if (c == '`') out += '`';
    out += c;
  }
  return out + "`";
}

int MariadbTableInfo::find(const std::string& name) const {
  for (std::size_t i = 0; i < m_columns.size(); ++i)
    if (strcasecmp(m_columns[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  return -1;
}

MariadbTableInfo MariadbTableInfo::load(MYSQL* connection, const std::string& database,
                                        const std::string& table) {
  MariadbTableInfo info;
  info.m_name = table;
  info.m_sqlName = mariadbIdentifier(database) + "." + mariadbIdentifier(table);
  const std::string context = "Cannot read the definition of table " + table;
  const std::string where = " WHERE TABLE_SCHEMA = " + mariadbLiteral(connection, database) +
                            " AND TABLE_NAME = " + mariadbLiteral(connection, table);

  MysqlResultPtr kind =
      queryMariadb(connection, "SELECT TABLE_TYPE FROM information_schema.TABLES" + where, context);
  MYSQL_ROW row = mysql_fetch_row(kind.get());
  if (!row) return info;
  info.m_listed = true;
  info.m_baseTable = row[0] && std::string(row[0]) == "BASE TABLE";

  // Generated columns say VIRTUAL, STORED or PERSISTENT in EXTRA (MySQL's
  // DEFAULT_GENERATED is a default, not a generated column).
  MysqlResultPtr columns = queryMariadb(
      connection,
      "SELECT COLUMN_NAME, EXTRA REGEXP 'VIRTUAL|STORED|PERSISTENT', DATA_TYPE IN ('tinyint', "
      "'smallint', 'mediumint', 'int', 'bigint'), DATA_TYPE = 'decimal' FROM "
      "information_schema.COLUMNS" +
          where + " ORDER BY ORDINAL_POSITION",
      context);
  while ((row = mysql_fetch_row(columns.get())))
    info.m_columns.push_back(Column{row[0] ? row[0] : "", row[1] && std::string(row[1]) == "1",
                                    row[2] && std::string(row[2]) == "1",
                                    row[3] && std::string(row[3]) == "1"});

  // Unique indexes, the primary key first, and whether each column of them
  // is NOT NULL.
  MysqlResultPtr indexes = queryMariadb(
      connection,
      "SELECT s.INDEX_NAME, s.COLUMN_NAME, c.IS_NULLABLE = 'NO' FROM "
      "information_schema.STATISTICS s JOIN information_schema.COLUMNS c ON c.TABLE_SCHEMA = "
      "s.TABLE_SCHEMA AND c.TABLE_NAME = s.TABLE_NAME AND c.COLUMN_NAME = s.COLUMN_NAME "
      "WHERE s.NON_UNIQUE = 0 AND s.TABLE_SCHEMA = " +
          mariadbLiteral(connection, database) +
          " AND s.TABLE_NAME = " + mariadbLiteral(connection, table) +
          " ORDER BY s.INDEX_NAME <> 'PRIMARY', s.INDEX_NAME, s.SEQ_IN_INDEX",
      context);
  std::vector<std::string> order;
  std::map<std::string, std::vector<int>> keys;
  std::map<std::string, bool> usable;
  while ((row = mysql_fetch_row(indexes.get()))) {
    const std::string index = row[0] ? row[0] : "";
    if (!keys.count(index)) {
      order.push_back(index);
      usable[index] = true;
    }
    const int column = info.find(row[1] ? row[1] : "");
    // A prefix index (or one over an expression) names no whole column.
    if (column < 0 || !row[2] || std::string(row[2]) != "1") usable[index] = false;
    keys[index].push_back(column);
  }
  for (const auto& index : order)
    if (usable[index]) {
      info.m_key = keys[index];
      break;
    }
  return info;
}

}  // namespace rowsmith::db
