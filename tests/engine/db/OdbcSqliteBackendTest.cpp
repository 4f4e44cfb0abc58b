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

// The shared suite and the ODBC cases through unixODBC and Debian's SQLite3
// ODBC driver (registered as "SQLite3" by the package libsqliteodbc).

namespace rowsmith::db::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

// A folder of its own for this test process, removed at exit. The path is
// never destroyed, so the exit handler can still read it.
const fs::path& scratchFolder() {
  static const fs::path* const folder = [] {
    std::string pattern = (fs::temp_directory_path() / "rowsmith-odbc-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(scratchFolder(), ignored);
    });
    return new fs::path(pattern);
  }();
  return *folder;
}

std::string newDatabase() { return (scratchFolder() / (uniqueName("db") + ".sqlite")).string(); }

// `options` are driver options appended to the connection string.
BackendTarget odbcSqliteTarget(const std::string& name = "OdbcSqlite",
                               const std::string& options = "") {
  BackendTarget target;
  target.name = name;
  target.connectionString = [options] {
    return "DRIVER=SQLite3;Database=" + newDatabase() + options;
  };
  target.connect = [](const std::string& text) { return openOdbcConnection(text); };
  // The driver names a view's base table for its columns.
  target.viewIsUpdatable = true;
  // SQLSpecialColumns gives the rowid.
  target.keylessTableIsUpdatable = true;
  target.auditTrigger = sqliteAuditTrigger;
  return target;
}

// StepAPI=1 makes the driver step through results instead of loading them
// whole: the streaming set-up for big tables, with a cursor that holds a
// read lock while it is open.
INSTANTIATE_TEST_SUITE_P(OdbcSqlite, BackendSuite,
                         ::testing::Values(odbcSqliteTarget(),
                                           odbcSqliteTarget("OdbcSqliteStepApi", ";StepAPI=1")),
                         BackendTargetName());
INSTANTIATE_TEST_SUITE_P(OdbcSqlite, OdbcBackendCases,
                         ::testing::Values(odbcSqliteTarget(),
                                           odbcSqliteTarget("OdbcSqliteStepApi", ";StepAPI=1")),
                         BackendTargetName());

std::string connectError(const std::string& connectionString) {
  try {
    openOdbcConnection(connectionString);
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "connected with " << connectionString;
  return {};
}

// A connection that fails says what was tried and what the driver manager
// said, and never shows the password.
TEST(OdbcConnect, FailuresNameWhatWasTriedButNoPassword) {
  struct Case {
    std::string connectionString;
    std::string tried;
    std::string driverSays;
  };
  const Case cases[] = {
      {"DRIVER=NoSuchDriver;Database=x;PWD=s3cret", "ODBC DRIVER=NoSuchDriver;Database=x",
       "NoSuchDriver"},
      {"Provider=MSDASQL;DSN=no_such_dsn;UID=me;Password={s3cret;x}", "ODBC DSN=no_such_dsn;UID=me",
       "Data source name not found"},
      {"DRIVER=SQLite3;Database=" + (scratchFolder() / "no" / "such" / "folder.db").string() +
           ";NoCreat=1;pwd=s3cret",
       "folder.db", "(HY000)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.connectionString);
    const auto message = connectError(c.connectionString);
    EXPECT_THAT(message, HasSubstr("Couldn't connect to "));
    EXPECT_THAT(message, HasSubstr(c.tried));
    EXPECT_THAT(message, HasSubstr(c.driverSays));
    EXPECT_THAT(message, Not(HasSubstr("s3cret")));
  }
}

// "Provider=MSDASQL" picks ODBC and is not handed to the driver; a DSN from
// an odbc.ini named by ODBCINI works like a driver string.
TEST(OdbcConnect, ProviderPartIsDroppedAndDsnsResolve) {
  const std::string file = newDatabase();
  auto direct = openOdbcConnection("Provider=MSDASQL;DRIVER=SQLite3;Database=" + file);
  EXPECT_EQ(direct->describe(), "ODBC DRIVER=SQLite3;Database=" + file);
  direct->execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)");
  direct->execute("INSERT INTO t VALUES (1, 'via driver')");
  direct.reset();

  const fs::path ini = scratchFolder() / "odbc.ini";
  std::ofstream(ini) << "[rowsmith_test]\nDriver = SQLite3\nDatabase = " << file << "\n";
  ASSERT_EQ(setenv("ODBCINI", ini.c_str(), 1), 0);
  auto viaDsn = openOdbcConnection("DSN=rowsmith_test");
  unsetenv("ODBCINI");
  EXPECT_EQ(readColumn(*viaDsn, "select a from t"),
            (std::vector<std::optional<std::string>>{"via driver"}));
}

}  // namespace
}  // namespace rowsmith::db::testing
