#pragma once

#include <string>
#include <vector>

#include "engine/db/mariadb/MariadbHandles.h"

namespace rowsmith::db {

// What information_schema says about the one table a result's columns come
// from: whether it is a base table, its columns, and the key that picks out
// one row: the primary key, or else the first unique key (by name) whose
// columns are all NOT NULL.
//
// Threading: a plain value once loaded.
class MariadbTableInfo {
 public:
  struct Column {
    std::string name;
    bool generated = false;
    // An integer type: key values are sent as numbers.
    bool integer = false;
    // A DECIMAL: key values are compared as exact decimals, not as the
    // floating-point numbers a comparison with text would use.
    bool decimal = false;
  };

  // Reads information_schema on `connection` for `database`.`table`;
  // raises rowsmith::Error on failure. A name the database does not list
  // (a derived table's or a common table expression's) gives a table that
  // is not listed().
  static MariadbTableInfo load(MYSQL* connection, const std::string& database,
                               const std::string& table);

  bool listed() const { return m_listed; }
  bool isBaseTable() const { return m_baseTable; }
  // `database`.`table`, quoted, for statements.
  const std::string& sqlName() const { return m_sqlName; }
  // The name alone, for messages.
  const std::string& name() const { return m_name; }
  const std::vector<Column>& columns() const { return m_columns; }
  // Indexes into columns() of the row key, in key order; empty without one.
  const std::vector<int>& key() const { return m_key; }
  // Index into columns() of the column called `name` (compared without
  // regard to case, as the server does), or -1.
  int find(const std::string& name) const;

 private:
  bool m_listed = false;
  bool m_baseTable = false;
  std::string m_sqlName;
  std::string m_name;
  std::vector<Column> m_columns;
  std::vector<int> m_key;
};

// `name` in backticks, each backtick inside doubled.
std::string mariadbIdentifier(const std::string& name);

}  // namespace rowsmith::db
