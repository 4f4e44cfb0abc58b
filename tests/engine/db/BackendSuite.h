#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/db/api/Connection.h"

namespace rowsmith::db::testing {

// What the backend-neutral suite needs to know about one backend: how to
// reach a database and the few bits of SQL that differ between databases.
// Every SQL text the suite runs otherwise is plain standard SQL.
struct BackendTarget {
  // Names the instantiation; letters, digits and "_" only.
  std::string name;
  // A connection string for one test case. Called once per case; the case
  // opens every connection it needs (a second one for the concurrent
  // writer) from that one string, so they all reach the same database.
  std::function<std::string()> connectionString;
  // Opens a connection; when empty, the factory's db::connect().
  std::function<std::unique_ptr<Connection>(const std::string&)> connect;

  // Column definition of an integer primary key.
  std::string keyColumn = "INTEGER PRIMARY KEY";
  // Type of the text columns, and of text of any length.
  std::string textType = "VARCHAR(200)";
  std::string longTextType = "TEXT";
  // The SQL expression that joins two texts.
  std::function<std::string(const std::string&, const std::string&)> concat =
      [](const std::string& a, const std::string& b) { return a + " || " + b; };
  // Type of a binary column, and a literal of it from hexadecimal digits.
  std::string binaryType = "BLOB";
  std::function<std::string(const std::string& hex)> binaryLiteral = [](const std::string& hex) {
    return "X'" + hex + "'";
  };
  // Definition of a column computed from the text column "a" (a generated
  // column), or empty when the backend cannot make one.
  std::string generatedColumn = "VARCHAR(200) GENERATED ALWAYS AS (a || '!') STORED";
  // Quotes an identifier that holds a blank.
  std::function<std::string(const std::string&)> quote = [](const std::string& identifier) {
    return "\"" + identifier + "\"";
  };

  // Whether writes through "select * from VIEW" reach the view's base table
  // (a view that shows its base table's key); otherwise writing fails and
  // changes nothing.
  bool viewIsUpdatable = false;
  // Whether a table without primary key can be written through its own
  // row identity (SQLite rowid, PostgreSQL ctid, an ODBC best row
  // identifier); otherwise writing fails and changes nothing.
  bool keylessTableIsUpdatable = true;
  // Whether record sets report their number of rows (recordCount());
  // otherwise they report a value below 1.
  bool countsRows = false;

  // The statements that make every UPDATE that reaches a row of `table` add
  // that row's id to `audit` (a table "(id INTEGER)" the case makes), and
  // those that remove what they made other than a trigger on `table`. When
  // empty, the cases cannot count updates on this backend and check the
  // values only. sqliteAuditTrigger and postgresAuditTrigger below.
  struct AuditTrigger {
    std::vector<std::string> create;
    std::vector<std::string> drop;
  };
  std::function<AuditTrigger(const std::string& table, const std::string& audit)> auditTrigger;
};

BackendTarget::AuditTrigger sqliteAuditTrigger(const std::string& table, const std::string& audit);
BackendTarget::AuditTrigger postgresAuditTrigger(const std::string& table,
                                                 const std::string& audit);

inline void PrintTo(const BackendTarget& target, std::ostream* out) { *out << target.name; }

// For INSTANTIATE_TEST_SUITE_P's name generator.
struct BackendTargetName {
  std::string operator()(const ::testing::TestParamInfo<BackendTarget>& info) const {
    return info.param.name;
  }
};

// A name of its own for every call in every test process, in lower case
// (so that unquoted use on every database gives the same name back):
// stem + "_" + process id + "_" + a counter.
std::string uniqueName(const std::string& stem);

// The message of the rowsmith::Error that `action` raises; a test failure
// when it raises none.
std::string errorOf(const std::function<void()>& action);

// The values of one column of a statement's result, in result order, as
// text (integers in decimal); NULL as std::nullopt.
std::vector<std::optional<std::string>> readColumn(Connection& connection, const std::string& sql,
                                                   int column = 0);

// The shared suite. Each case makes its own tables (named by uniqueName)
// and drops them again when it ends. Backend test files instantiate it:
//
//   INSTANTIATE_TEST_SUITE_P(Sqlite, BackendSuite, ::testing::Values(sqliteTarget()),
//                            BackendTargetName());
class BackendSuite : public ::testing::TestWithParam<BackendTarget> {
 protected:
  void SetUp() override;
  void TearDown() override;

  const BackendTarget& target() const { return GetParam(); }
  Connection& connection() { return *m_connection; }
  // Another connection to the same database, opened on first use.
  Connection& secondConnection();
  // Runs a statement on the main connection.
  void execute(const std::string& sql);

  // Creates "<name> (id keyColumn, a textType)" holding one row per entry
  // of `values` (ids 1, 2, ...; std::nullopt for NULL) and returns its name.
  std::string createKeyedTable(const std::vector<std::optional<std::string>>& values,
                               const std::string& stem = "t");
  // Notes a table or view to drop when the case ends.
  void dropLater(const std::string& name, bool isView = false);
  // Notes a statement to run when the case ends, after the drops.
  void runAtEnd(const std::string& sql);

  // The column "a" of `table` ordered by id, read on a fresh statement.
  std::vector<std::optional<std::string>> columnA(const std::string& table);

  std::string m_connectionString;

 private:
  std::unique_ptr<Connection> m_connection;
  std::unique_ptr<Connection> m_second;
  std::vector<std::pair<std::string, bool>> m_drops;
  std::vector<std::string> m_atEnd;
};

}  // namespace rowsmith::db::testing
