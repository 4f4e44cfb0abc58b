#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/db/postgres/PostgresHandles.h"

namespace rowsmith::db {

// What the catalog says about the one table a result's columns come from:
// its kind, its name for statements and for messages, its columns and its
// primary key.
//
// Threading: a plain value once loaded.
class PostgresTableInfo {
 public:
  struct Column {
    std::string name;
    // The type's own name without modifiers, for casts ("pg_catalog.bpchar":
    // "character" would mean char(1) and cut values short).
    std::string typeName;
    bool generated = false;
  };

  // Reads the catalog on `connection`; raises rowsmith::Error on failure.
  static PostgresTableInfo load(PGconn* connection, Oid table);

  // pg_class.relkind: 'r' table, 'p' partitioned table, 'v' view, ...
  char kind() const { return m_kind; }
  // Schema-qualified and quoted, for statements.
  const std::string& sqlName() const { return m_sqlName; }
  // As the user would write it: the bare name when the search path finds
  // it, else schema.name.
  const std::string& displayName() const { return m_displayName; }
  // The name alone, without schema or quotes.
  const std::string& name() const { return m_name; }
  // Columns by attribute number.
  const std::map<int, Column>& columns() const { return m_columns; }
  // Attribute numbers of the primary key, in key order; empty without one.
  const std::vector<int>& primaryKey() const { return m_primaryKey; }

 private:
  char m_kind = 0;
  std::string m_sqlName;
  std::string m_displayName;
  std::string m_name;
  std::map<int, Column> m_columns;
  std::vector<int> m_primaryKey;
};

}  // namespace rowsmith::db
