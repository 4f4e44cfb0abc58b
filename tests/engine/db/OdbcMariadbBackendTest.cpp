#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/FieldText.h"
#include "engine/RunObserver.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/OdbcBackendCases.h"
#include "engine/db/odbc/OdbcConnection.h"
#include "support/MariadbTestServer.h"

// The shared suite and the ODBC cases through unixODBC and Debian's MariaDB
// driver ("MariaDB Unicode", from the package odbc-mariadb) against the
// throwaway server of the CTest fixture "mariadb".

namespace rowsmith::db::testing {
namespace {

using ::testing::HasSubstr;
using Column = std::vector<std::optional<std::string>>;

std::string mariadbConnectionString() { return rowsmith::test::mariadbOdbcConnectionString(); }

BackendTarget mariadbTarget() {
  BackendTarget target;
  target.name = "OdbcMariadb";
  target.connectionString = mariadbConnectionString;
  target.connect = [](const std::string& text) { return openOdbcConnection(text); };
  target.longTextType = "LONGTEXT";
  target.concat = [](const std::string& a, const std::string& b) {
    return "concat(" + a + ", " + b + ")";
  };
  target.generatedColumn = "VARCHAR(200) GENERATED ALWAYS AS (concat(a, '!')) STORED";
  target.quote = [](const std::string& identifier) { return "`" + identifier + "`"; };
  target.viewIsUpdatable = false;
  target.keylessTableIsUpdatable = false;
  return target;
}

INSTANTIATE_TEST_SUITE_P(OdbcMariadb, BackendSuite, ::testing::Values(mariadbTarget()),
                         BackendTargetName());
INSTANTIATE_TEST_SUITE_P(OdbcMariadb, OdbcBackendCases, ::testing::Values(mariadbTarget()),
                         BackendTargetName());

// Remembers how a run ended.
class EndOfRun : public RunObserver {
 public:
  void showStatus(const std::string& text) override { lastStatus = text; }
  void showProgress(int) override {}
  void attachThread(const std::shared_ptr<TDataThread>&) override {}
  void setFinished() override {}
  void showError(const RunErrorReport& report) override { error = report.message; }
  void releaseSettings(std::unique_ptr<TSettings>) override {}

  std::string lastStatus;
  std::string error;
};

class OdbcMariadb : public BackendSuite {};

// MariaDB counts the rows a write changed, not those it found. A run whose
// filter leaves a value as it was (the names already in upper case), or
// writes one that the server stores as it was (trailing blanks of a CHAR
// column), still completes: rows 1 and 3 change nothing in the server's eyes,
// are read back, hold the new values and count as written. A row that
// another session changed is still reported.
TEST_P(OdbcMariadb, RunWritesValuesTheServerCountsAsUnchanged) {
  const auto table = uniqueName("tags");
  execute("CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, name VARCHAR(50), code CHAR(10))");
  dropLater(table);
  execute("INSERT INTO " + table +
          " VALUES (1, 'ALPHA', 'a'), (2, 'beta', 'b'), (3, 'GAMMA', 'c')");

  const auto folder = std::filesystem::temp_directory_path() / table;
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "upper.fll") << "upper\n";
  std::ofstream(folder / "blank.fll") << "append \" \"\n";
  TSettings job;
  job.dataSource = m_connectionString;
  job.useTable = false;
  job.query = "SELECT * FROM " + table + " ORDER BY id";
  job.columnNames = {"id", "name", "code"};
  job.columnFilters = {"", (folder / "upper.fll").string(), (folder / "blank.fll").string()};
  auto run = [&] {
    auto end = std::make_shared<EndOfRun>();
    TDataThread::create(std::make_unique<TSettings>(job), end)->waitFor();
    return end;
  };

  const auto done = run();
  EXPECT_EQ(done->error, "");
  EXPECT_EQ(done->lastStatus, "Complete. 3 rows processed.");
  EXPECT_EQ(readColumn(secondConnection(), "SELECT name FROM " + table + " ORDER BY id"),
            (Column{"ALPHA", "BETA", "GAMMA"}));
  EXPECT_EQ(readColumn(secondConnection(), "SELECT code FROM " + table + " ORDER BY id"),
            (Column{"a", "b", "c"}));

  // The read back does not hide a real conflict.
  auto recordSet = connection().open(job.query, OpenOptions{});
  recordSet->setValue(1, "ALPHA");
  secondConnection().execute("UPDATE " + table + " SET name = 'theirs' WHERE id = 1");
  EXPECT_EQ(errorOf([&] { recordSet->moveNext(); }),
            "Row changed by another user since it was read: table " + table + ", key id=1");
  recordSet.reset();
  EXPECT_EQ(readColumn(secondConnection(), "SELECT name FROM " + table + " ORDER BY id"),
            (Column{"theirs", "BETA", "GAMMA"}));
  std::filesystem::remove_all(folder);
}

// The driver names each column's alias: of a table joined with itself, the
// appearance whose key the result holds is written, and the other
// appearance's columns say why they are not. When the key picks out no one
// appearance, the result is read-only.
TEST_P(OdbcMariadb, SelfJoinWritesTheAppearanceThatHoldsTheKey) {
  const auto emp = uniqueName("emp");
  execute("CREATE TABLE " + emp + " (id INTEGER PRIMARY KEY, name VARCHAR(50), boss INTEGER)");
  dropLater(emp);
  execute("INSERT INTO " + emp + " VALUES (1, 'ann', NULL), (2, 'bob', 1), (3, 'cy', 2)");
  const std::string join = " from " + emp + " e join " + emp + " b on b.id = e.boss order by e.id";

  auto recordSet =
      connection().open("select e.id, e.name, b.name as boss_name" + join, OpenOptions{});
  ASSERT_TRUE(recordSet->supportsUpdates());
  for (; !recordSet->eof(); recordSet->moveNext()) {
    EXPECT_EQ(errorOf([&] { recordSet->setValue(2, "X"); }),
              "Column boss_name comes from table " + emp +
                  " read as b, but the rows written are those read as e; it cannot be written");
    recordSet->setValue(1, readFieldText(*recordSet, 1) + "!");
  }
  recordSet->close();
  EXPECT_EQ(readColumn(secondConnection(), "SELECT name FROM " + emp + " ORDER BY id"),
            (Column{"ann", "bob!", "cy!"}));

  for (const char* columns : {"e.name, b.name", "e.id, b.id, e.name"}) {
    SCOPED_TRACE(columns);
    auto readOnly = connection().open(std::string("select ") + columns + join, OpenOptions{});
    EXPECT_FALSE(readOnly->supportsUpdates());
    EXPECT_EQ(errorOf([&] { readOnly->setValue(1, "X"); }),
              "The record set cannot be updated: the query reads table " + emp +
                  " more than once (as b, e), and its key does not pick out one of them");
  }
}

INSTANTIATE_TEST_SUITE_P(OdbcMariadb, OdbcMariadb, ::testing::Values(mariadbTarget()),
                         BackendTargetName());

}  // namespace
}  // namespace rowsmith::db::testing
