#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rowsmith::db::odbc {

class OdbcSession;

// What the driver's catalog functions say about one base table: its primary
// key (SQLPrimaryKeys), its best row identifier (SQLSpecialColumns), its
// stored columns (SQLColumns) and, where the database has the standard
// information schema, its generated columns. A driver that cannot answer
// gives an empty list.
//
// Threading: used only by the thread that owns the session.
class OdbcTableMetadata {
 public:
  OdbcTableMetadata(std::shared_ptr<OdbcSession> session, std::string schema, std::string table);

  // Key columns in key order.
  std::vector<std::string> primaryKey() const;
  // The columns that best identify a row, which may be a pseudo column such
  // as SQLite's _ROWID_.
  std::vector<std::string> bestRowIdentifier() const;
  std::vector<std::string> columnNames() const;
  std::vector<std::string> generatedColumns() const;

  // The definition of the view `name`, from SQLite's schema table or the
  // standard information schema; nothing when it is no view or neither
  // answers.
  static std::optional<std::string> viewDefinition(const std::shared_ptr<OdbcSession>& session,
                                                   const std::string& name);

 private:
  std::shared_ptr<OdbcSession> m_session;
  std::string m_schema;
  std::string m_table;
};

}  // namespace rowsmith::db::odbc
