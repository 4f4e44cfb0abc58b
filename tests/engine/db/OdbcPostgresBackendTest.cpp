#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/OdbcBackendCases.h"
#include "engine/db/odbc/OdbcConnection.h"

// The shared suite and the ODBC cases through unixODBC and psqlODBC
// ("PostgreSQL Unicode", from the package odbc-postgresql) against the
// throwaway server of the CTest fixture "postgres".

namespace rowsmith::db::testing {
namespace {

using Column = std::vector<std::optional<std::string>>;

namespace fs = std::filesystem;

// Debian registers psqlODBC with CommLog=1, which leaves a log file in /tmp
// for every process. The tests register the driver again, quietly, in a
// folder of their own (ODBCSYSINI), removed at exit.
void registerQuietDriver() {
  static const fs::path* const folder = [] {
    std::string pattern = (fs::temp_directory_path() / "rowsmith-odbcinst-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    const auto* path = new fs::path(pattern);
    std::ofstream(*path / "odbcinst.ini")
        << "[PostgreSQL Unicode]\nDriver = psqlodbcw.so\nCommLog = 0\nDebug = 0\n";
    std::ofstream(*path / "odbc.ini");
    setenv("ODBCSYSINI", path->c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(*folder, ignored);
    });
    return path;
  }();
}

std::string odbcConnectionString() {
  registerQuietDriver();
  const std::string path = std::string(ROWSMITH_PG_DIR) + "/odbc-connection-string";
  std::ifstream in(path);
  std::string text;
  if (!std::getline(in, text) || text.empty())
    throw Error("No test server: " + path +
                " is missing (run through ctest, or scripts/start-postgres " ROWSMITH_PG_DIR ")");
  return text;
}

// `options` are driver options appended to the connection string.
BackendTarget odbcPostgresTarget(const std::string& name = "OdbcPostgres",
                                 const std::string& options = "") {
  BackendTarget target;
  target.name = name;
  target.connectionString = [options] { return odbcConnectionString() + options; };
  target.connect = [](const std::string& text) { return openOdbcConnection(text); };
  target.binaryType = "BYTEA";
  target.binaryLiteral = [](const std::string& hex) { return "decode('" + hex + "', 'hex')"; };
  // psqlODBC names the view, not its base table, and knows no row
  // identifier for a table without key.
  target.viewIsUpdatable = false;
  target.keylessTableIsUpdatable = false;
  target.auditTrigger = postgresAuditTrigger;
  return target;
}

// UseDeclareFetch=1 makes psqlODBC read through a server-side cursor in
// batches instead of loading results whole: the streaming set-up for big
// tables.
const auto kTargets =
    ::testing::Values(odbcPostgresTarget(),
                      odbcPostgresTarget("OdbcPostgresDeclareFetch", ";UseDeclareFetch=1;Fetch=2"));
INSTANTIATE_TEST_SUITE_P(OdbcPostgres, BackendSuite, kTargets, BackendTargetName());
INSTANTIATE_TEST_SUITE_P(OdbcPostgres, OdbcBackendCases, kTargets, BackendTargetName());

class OdbcPostgres : public BackendSuite {};

// A row changed by someone else in the middle of a group of writes: the
// rows before it keep their new values, that row keeps the other's value,
// the rows after it stay as they were.
TEST_P(OdbcPostgres, ConflictInsideAGroupKeepsTheRowsBefore) {
  const auto table = createKeyedTable({"a1", "a2", "a3", "a4"});
  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  recordSet->setValue(1, "n1");
  recordSet->moveNext();
  recordSet->setValue(1, "n2");
  recordSet->moveNext();
  recordSet->setValue(1, "n3");
  secondConnection().execute("UPDATE " + table + " SET a = 'theirs' WHERE id = 3");
  std::string message;
  try {
    recordSet->moveNext();
  } catch (const Error& e) {
    message = e.what();
  }
  EXPECT_EQ(message,
            "Row changed by another user since it was read: table " + table + ", key id=3");
  // The rows before are committed already, before the record set closes.
  EXPECT_EQ(columnA(table), (Column{"n1", "n2", "theirs", "a4"}));
  recordSet.reset();
  EXPECT_EQ(columnA(table), (Column{"n1", "n2", "theirs", "a4"}));
}

// A commit that fails (here a unique constraint checked at commit) gives
// up its whole group: the message says so and names the last row kept,
// and the database holds exactly that.
TEST_P(OdbcPostgres, FailedCommitNamesTheLastRowKept) {
  const auto table = uniqueName("deferred");
  execute("CREATE TABLE " + table +
          " (id integer PRIMARY KEY, a text UNIQUE DEFERRABLE INITIALLY DEFERRED)");
  dropLater(table);
  execute("INSERT INTO " + table + " VALUES (1, 'a1'), (2, 'a2'), (3, 'a3'), (4, 'a4')");
  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  recordSet->setValue(1, "n1");
  recordSet->moveNext();
  recordSet->moveFirst();  // commits the row written so far
  recordSet->moveNext();
  recordSet->setValue(1, "a4");  // the same as row 4 once committed
  recordSet->moveNext();
  recordSet->setValue(1, "n3");
  recordSet->moveNext();
  const std::string message = errorOf([&] { recordSet->close(); });
  EXPECT_THAT(message, ::testing::HasSubstr("Couldn't commit the changes to table " + table));
  EXPECT_THAT(message, ::testing::EndsWith("; the last row kept is key id=1: the 2 rows written "
                                           "after it were rolled back"));
  EXPECT_EQ(columnA(table), (Column{"n1", "a2", "a3", "a4"}));
}

// psqlODBC ignores the read-only access mode; the statement still reads in
// a read-only transaction, so a function it calls cannot write, and the
// record set's own writes still go through afterwards.
TEST_P(OdbcPostgres, StatementsReadInAReadOnlyTransaction) {
  const auto table = createKeyedTable({"x", "y"});
  const std::string wipe = table + "_wipe";
  execute("CREATE FUNCTION " + wipe + "() RETURNS bigint LANGUAGE sql AS 'DELETE FROM " + table +
          " RETURNING 1; SELECT 1::bigint'");
  EXPECT_THAT(errorOf([&] {
                auto recordSet = connection().open("select " + wipe + "()", OpenOptions{});
                recordSet->moveNext();
              }),
              ::testing::HasSubstr("read-only transaction"));
  execute("DROP FUNCTION " + wipe + "()");
  EXPECT_EQ(columnA(table), (Column{"x", "y"}));

  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  recordSet->setValue(1, "z");
  recordSet->moveNext();
  recordSet->close();
  EXPECT_EQ(columnA(table), (Column{"z", "y"}));
}

INSTANTIATE_TEST_SUITE_P(OdbcPostgres, OdbcPostgres, kTargets, BackendTargetName());

}  // namespace
}  // namespace rowsmith::db::testing
