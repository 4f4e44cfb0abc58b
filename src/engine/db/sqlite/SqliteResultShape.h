#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/db/api/Value.h"
#include "engine/db/sqlite/SqliteStatement.h"

namespace rowsmith::db {

// What a SELECT's result is made of, learned from SQLite's column metadata:
// the base table each column comes from, whether the result can be written
// back, and how its rows are identified.
//
// A result can be written when its table columns all come from one table
// that the statement reads only once (SQLite names a column's table but not
// its alias: see StatementTableReads) and it holds that table's primary
// key, or, for a rowid table, when the
// rowid can be added in front of the statement's columns ("hidden" key
// columns; the record set does not show them). Expressions and generated
// columns are read-only.
//
// Threading: a plain value once built; built on the connection's thread.
class SqliteResultShape {
 public:
  struct Column {
    std::string name;
    // From the declared type; Empty when the result has none (an
    // expression, an untyped column), to be judged from the first value.
    DataType type = DataType::Empty;
    // The table column written for this field; empty when read-only.
    std::string origin;
    // Why the field cannot be written, when origin is empty.
    std::string readOnlyReason;
  };
  // One column of the row key: its place in the statement's columns and its
  // name in the table ("rowid" for the rowid).
  struct KeyPart {
    int statementColumn;
    std::string name;
  };

  // Looks at `statement`, prepared from `sql`. When the rowid has to be
  // added, `statement` is replaced by the statement that adds it.
  static SqliteResultShape analyse(const SqliteHandle& database, const std::string& sql,
                                   SqliteStatement& statement);

  // The field type SQLite's declared type names, or Empty.
  static DataType typeFromDeclared(const char* declared);
  // The field type for a value of SQLite storage class `storageClass`.
  static DataType typeFromValue(int storageClass);

  bool updatable() const { return m_whyNotUpdatable.empty(); }
  // Whether the table columns of the result all come from one table.
  bool fromOneTable() const { return m_fromOneTable; }
  const std::string& whyNotUpdatable() const { return m_whyNotUpdatable; }
  const std::string& schema() const { return m_schema; }
  const std::string& table() const { return m_table; }
  const std::vector<KeyPart>& key() const { return m_key; }
  // Whether field `field` (counted without the hidden columns) is part of
  // the key.
  bool isKeyField(int field) const;
  // Key columns put in front of the statement's own columns.
  int hiddenColumns() const { return m_hiddenColumns; }
  std::vector<Column>& columns() { return m_columns; }
  const std::vector<Column>& columns() const { return m_columns; }

 private:
  void findBaseTable(sqlite3_stmt* statement);
  void markGeneratedColumns(const SqliteHandle& database);
  bool findPrimaryKey(const SqliteHandle& database, sqlite3_stmt* statement);
  bool addRowid(const SqliteHandle& database, const std::string& sql, SqliteStatement& statement);

  std::vector<Column> m_columns;
  std::string m_schema;
  std::string m_table;
  std::vector<KeyPart> m_key;
  int m_hiddenColumns = 0;
  bool m_fromOneTable = false;
  std::string m_whyNotUpdatable;
};

// Quotes an SQLite identifier with double quotes.
std::string quoteSqliteIdentifier(const std::string& name);
// A key column as SQL names it in its table: rowid, or the quoted name.
std::string sqliteKeyExpression(const SqliteResultShape::KeyPart& part);

}  // namespace rowsmith::db
