#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/BackendGroupSuite.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/ConnectionFactory.h"

namespace rowsmith::db::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using Column = std::vector<std::optional<std::string>>;

// A folder of its own for this test process, removed at exit.
// Removed at exit. The path lives on the heap and is never destroyed, so the
// exit handler can still read it after static objects are gone.
const fs::path& scratchFolder() {
  static const fs::path* folder = [] {
    std::string pattern = (fs::temp_directory_path() / "rowsmith-sqlite-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    auto* path = new fs::path(pattern);
    std::atexit([] { fs::remove_all(scratchFolder()); });
    return path;
  }();
  return *folder;
}

// A new, empty database file (an empty file is an empty SQLite database).
std::string newDatabase() {
  const fs::path file = scratchFolder() / (uniqueName("db") + ".sqlite");
  std::ofstream{file};
  return file.string();
}

std::string connectionStringFor(const std::string& file) {
  return "Provider=SQLite;Data Source=" + file;
}

BackendTarget sqliteTarget() {
  BackendTarget target;
  target.name = "Sqlite";
  target.connectionString = [] { return connectionStringFor(newDatabase()); };
  target.viewIsUpdatable = true;
  target.keylessTableIsUpdatable = true;
  target.countsRows = true;
  target.auditTrigger = sqliteAuditTrigger;
  return target;
}

INSTANTIATE_TEST_SUITE_P(Sqlite, BackendSuite, ::testing::Values(sqliteTarget()),
                         BackendTargetName());
INSTANTIATE_TEST_SUITE_P(Sqlite, BackendGroupSuite, ::testing::Values(sqliteTarget()),
                         BackendTargetName());

class SqliteBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_file = newDatabase();
    m_connection = connect(connectionStringFor(m_file));
  }
  Connection& connection() { return *m_connection; }
  void execute(const std::string& sql) { m_connection->execute(sql); }
  Column column(const std::string& sql) {
    auto other = connect(connectionStringFor(m_file));
    return readColumn(*other, sql);
  }

  void killedRunLeavesAPrefix(bool descending);

  std::string m_file;
  std::unique_ptr<Connection> m_connection;
};

TEST_F(SqliteBackendTest, MissingFileFailsNamingItUnlessAskedToCreate) {
  const std::string missing = (scratchFolder() / "missing.sqlite").string();
  const auto message = errorOf([&] { connect(connectionStringFor(missing)); });
  EXPECT_THAT(message, HasSubstr(missing));
  EXPECT_THAT(message, HasSubstr("does not exist"));
  EXPECT_FALSE(fs::exists(missing));

  connect(connectionStringFor(missing) + ";Mode=ReadWriteCreate");
  EXPECT_TRUE(fs::exists(missing));
}

TEST_F(SqliteBackendTest, FileThatIsNoDatabaseFailsAtConnect) {
  const std::string file = (scratchFolder() / "text.sqlite").string();
  std::ofstream(file) << "this is not a database, only some text that fills a page or more\n";
  EXPECT_THAT(errorOf([&] { connect(connectionStringFor(file)); }), HasSubstr(file));
}

// Nothing is run for a statement without result columns: it fails before it
// could change anything.
TEST_F(SqliteBackendTest, StatementWithoutResultIsNotRun) {
  execute("CREATE TABLE t (a TEXT)");
  execute("INSERT INTO t VALUES ('old')");
  for (const char* sql : {"update t set a = 'new'", "", "  -- only a comment", "delete from t"}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(errorOf([&] { connection().open(sql, OpenOptions{}); }),
              "CommandText does not return a result set");
  }
  EXPECT_EQ(column("select a from t"), (Column{"old"}));
}

// SQLite says which statements write (sqlite3_stmt_readonly), also among
// those that return rows; such a statement, and a text with a second
// statement, is refused before it runs. Comments after the statement are
// fine.
TEST_F(SqliteBackendTest, OnlyStatementsThatReadAreRun) {
  execute("CREATE TABLE t (a TEXT)");
  execute("INSERT INTO t VALUES ('old')");
  const std::string writes =
      "The statement would change the database; only a statement that reads is run (a single "
      "SELECT, or WITH ... SELECT)";
  const std::string moreThanOne = "Only one statement is run; remove what follows the first \";\"";
  const std::pair<const char*, const std::string&> cases[] = {
      {"pragma journal_mode=wal", writes},
      {"delete from t returning *", writes},
      {"select a from t; drop table t", moreThanOne},
      {"select a from t;; -- then\n drop table t", moreThanOne},
      {"select a from t; and then some", moreThanOne},
  };
  for (const auto& [sql, message] : cases) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(errorOf([&] { connection().open(sql, OpenOptions{}); }), message);
  }
  EXPECT_EQ(column("select a from t /* all */ ; -- of them\n"), (Column{"old"}));
  // The file is still in rollback-journal mode (header byte 18 is 1, not 2).
  std::ifstream file(m_file, std::ios::binary);
  file.seekg(18);
  EXPECT_EQ(file.get(), 1);
}

TEST_F(SqliteBackendTest, TableNamesInSchemaOrderWithoutInternalTables) {
  execute("CREATE TABLE zeta (a TEXT)");
  execute("CREATE TABLE alpha (id INTEGER PRIMARY KEY AUTOINCREMENT, a TEXT)");
  execute("CREATE INDEX alpha_a ON alpha (a)");
  execute("CREATE VIEW middle AS SELECT a FROM zeta");
  EXPECT_EQ(connection().tableNames(), (std::vector<std::string>{"zeta", "alpha", "middle"}));
}

TEST_F(SqliteBackendTest, FieldTypesFollowDeclaredTypesOrTheFirstValue) {
  execute(
      "CREATE TABLE t (i INTEGER, s VARCHAR(10), r REAL, b BLOB, f BOOLEAN, d DATE, "
      "ts DATETIME, n NUMERIC(10,2), u)");
  execute(
      "INSERT INTO t VALUES (1, 's', 1.5, x'00', 1, '2024-01-02', '2024-01-02 03:04:05', 1, 2.5)");
  auto recordSet = connection().open("select *, i + 1 as e, 'x' || s as c from t", OpenOptions{});
  const std::vector<DataType> expected = {
      DataType::BigInt,  DataType::VarWChar, DataType::Double,      DataType::VarBinary,
      DataType::Boolean, DataType::DBDate,   DataType::DBTimeStamp, DataType::Numeric,
      DataType::Double,  DataType::BigInt,   DataType::VarWChar};
  ASSERT_EQ(recordSet->fieldCount(), static_cast<int>(expected.size()));
  for (int i = 0; i < recordSet->fieldCount(); ++i)
    EXPECT_EQ(recordSet->fieldType(i), expected[i]) << recordSet->fieldName(i);
}

struct ShapeCase {
  const char* sql;
  const char* written;  // the table a write reaches, or nullptr
  const char* reason;   // part of the refusal, when none is reached
};

void PrintTo(const ShapeCase& shape, std::ostream* out) { *out << shape.sql; }

class SqliteResultShapeTest : public SqliteBackendTest,
                              public ::testing::WithParamInterface<ShapeCase> {};

// Which results can be written: the rowid is added to a plain SELECT of one
// rowid table; a WITHOUT ROWID table needs its key in the result; results
// that combine rows never take writes.
TEST_P(SqliteResultShapeTest, WritesOnlyWhereRowsCanBeIdentified) {
  execute("CREATE TABLE plain (a TEXT, b TEXT)");
  execute("INSERT INTO plain VALUES ('x', 'k')");
  execute("CREATE TABLE keyed (k TEXT PRIMARY KEY, a TEXT) WITHOUT ROWID");
  execute("INSERT INTO keyed VALUES ('k', 'x')");
  const ShapeCase& shape = GetParam();

  auto recordSet = connection().open(shape.sql, OpenOptions{});
  EXPECT_EQ(recordSet->supportsUpdates(), shape.written != nullptr);
  ASSERT_FALSE(recordSet->eof());
  if (shape.written != nullptr) {
    recordSet->setValue(0, "written");
    recordSet->moveNext();
    recordSet->close();
    EXPECT_EQ(column(std::string("select a from ") + shape.written), (Column{"written"}));
  } else {
    EXPECT_THAT(errorOf([&] { recordSet->setValue(0, "written"); }), HasSubstr(shape.reason));
    recordSet->close();
    EXPECT_EQ(column("select a from plain union all select a from keyed"), (Column{"x", "x"}));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SqliteResultShapeTest,
    ::testing::Values(ShapeCase{"select a from plain", "plain", ""},
                      ShapeCase{"  SELECT a, b FROM plain WHERE b = 'k' ORDER BY a", "plain", ""},
                      ShapeCase{"select a, k from keyed", "keyed", ""},
                      ShapeCase{"select a from keyed", nullptr, "no key of table keyed"},
                      ShapeCase{"select distinct a from plain", nullptr, "no key of table plain"},
                      ShapeCase{"select a from plain group by a", nullptr, "no key"},
                      ShapeCase{"select count(*) from plain", nullptr, "none of its columns"},
                      ShapeCase{"with w as (select a from plain) select a from w", nullptr,
                                "no key"}));

TEST_F(SqliteBackendTest, ALockHeldTooLongEndsWithAClearMessage) {
  execute("CREATE TABLE t (a TEXT)");
  execute("INSERT INTO t VALUES ('old')");
  auto holder = connect(connectionStringFor(m_file));
  holder->execute("BEGIN IMMEDIATE");

  auto impatient = connect(connectionStringFor(m_file) + ";Busy Timeout=100");
  auto recordSet = impatient->open("select a from t", OpenOptions{});
  recordSet->setValue(0, "new");
  const auto message = errorOf([&] { recordSet->moveNext(); });
  EXPECT_THAT(message, HasSubstr("database is locked"));
  EXPECT_THAT(message, HasSubstr("try again"));
  recordSet.reset();
  holder->execute("COMMIT");
  EXPECT_EQ(column("select a from t"), (Column{"old"}));
}

// A run waits for another connection's lock instead of failing at once.
TEST_F(SqliteBackendTest, WritesWaitForAnotherConnectionsLock) {
  execute("CREATE TABLE t (a TEXT)");
  execute("INSERT INTO t VALUES ('old')");
  std::atomic<bool> locked{false};
  std::thread other([&] {
    auto holder = connect(connectionStringFor(m_file));
    holder->execute("BEGIN IMMEDIATE");
    locked = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder->execute("COMMIT");
  });
  while (!locked) std::this_thread::yield();

  auto recordSet = connection().open("select a from t", OpenOptions{});
  recordSet->setValue(0, "new");
  EXPECT_NO_THROW(recordSet->moveNext());
  recordSet->close();
  other.join();
  EXPECT_EQ(column("select a from t"), (Column{"new"}));
}

// The worker releases its connection before its record set; the record set
// still keeps the rows it moved past.
TEST_F(SqliteBackendTest, RecordSetOutlivesItsConnection) {
  execute("CREATE TABLE t (a TEXT)");
  execute("INSERT INTO t VALUES ('a1'), ('a2')");
  auto recordSet = connection().open("select a from t", OpenOptions{});
  m_connection.reset();
  recordSet->setValue(0, "n1");
  recordSet->moveNext();
  recordSet->setValue(0, "n2");
  recordSet.reset();
  EXPECT_EQ(column("select a from t order by rowid"), (Column{"n1", "a2"}));
}

// A full disk (here the file may not grow beyond a few free pages) makes
// SQLite roll the whole open group of rows back. The message names the last
// row that was kept, or says that none was, and the database holds exactly
// that: not the rows before the one in hand.
TEST_F(SqliteBackendTest, FullDiskReportsTheLastRowKept) {
  for (const int committedFirst : {0, 2}) {
    SCOPED_TRACE(committedFirst);
    auto db = connect(connectionStringFor(newDatabase()));
    db->execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)");
    db->execute(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40) "
        "INSERT INTO t SELECT i, 'old' FROM n");
    db->execute("CREATE TABLE filler (x)");
    db->execute("INSERT INTO filler VALUES (zeroblob(20000))");
    db->execute("DROP TABLE filler");
    const auto pages = readColumn(*db, "SELECT page_count FROM pragma_page_count()");
    db->execute("PRAGMA max_page_count = " + pages.at(0).value());

    auto recordSet = db->open("select id, a from t order by id", OpenOptions{});
    std::string message;
    for (int row = 1; !recordSet->eof() && message.empty(); ++row) {
      recordSet->setValue(1, std::string(1500, 'n'));
      // Past the group's time, writing this row commits the group.
      if (row == committedFirst) std::this_thread::sleep_for(std::chrono::milliseconds(600));
      try {
        recordSet->moveNext();
      } catch (const Error& e) {
        message = e.what();
      }
    }
    ASSERT_THAT(message, HasSubstr("full"));
    recordSet.reset();

    const auto kept = readColumn(*db, "SELECT id FROM t WHERE a <> 'old' ORDER BY id");
    EXPECT_EQ(kept.size(), static_cast<std::size_t>(committedFirst));
    if (kept.empty()) {
      EXPECT_THAT(message, HasSubstr("; no row was kept: the "));
    } else {
      EXPECT_THAT(message,
                  HasSubstr("; the last row kept is key id=" + kept.back().value() + ": the "));
    }
    EXPECT_THAT(message, HasSubstr(" rows written"));
  }
}

// A process killed in the middle of a run leaves every row wholly old or
// wholly new, the new ones first in visit order, however commits are grouped:
// for a whole table read in chunks (ascending ids) and for a query read from
// a snapshot (here descending ids).
TEST_F(SqliteBackendTest, KilledRunLeavesAPrefixOfNewRows) {
  for (const bool descending : {true, false}) {
    SCOPED_TRACE(descending ? "order by id desc" : "whole table");
    killedRunLeavesAPrefix(descending);
  }
}

void SqliteBackendTest::killedRunLeavesAPrefix(bool descending) {
  constexpr int kRows = 20000;
  m_file = newDatabase();
  m_connection = connect(connectionStringFor(m_file));
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b TEXT)");
  execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) "
      "INSERT INTO t SELECT i, 'old', 'old' FROM n");
  m_connection.reset();

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      auto connection = connect(connectionStringFor(m_file));
      auto recordSet = connection->open(
          descending ? "select id, a, b from t order by id desc" : "select * from t",
          OpenOptions{});
      for (int row = 0; !recordSet->eof(); ++row, recordSet->moveNext()) {
        recordSet->setValue(1, "new");
        recordSet->setValue(2, "new");
        if (row == 1500) (void)!write(ready[1], "x", 1);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);

  auto check = connect(connectionStringFor(m_file));
  EXPECT_EQ(readColumn(*check, "select count(*) from t where a <> b"), (Column{"0"}));
  const auto newRows = readColumn(*check, "select count(*) from t where a = 'new'");
  const int kept = std::stoi(*newRows.at(0));
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, kRows);
  // The kept rows are the first ones visited.
  const std::string visitedFirst =
      descending ? "id > " + std::to_string(kRows - kept) : "id <= " + std::to_string(kept);
  EXPECT_EQ(
      readColumn(*check, "select count(*) from t where a = 'new' and not (" + visitedFirst + ")"),
      (Column{"0"}));
}

// A write to the key of a whole table read in chunks moves its row; the rest
// of the table is then read from a snapshot, so that no row comes back.
TEST_F(SqliteBackendTest, WritingTheKeyOfAWholeTableVisitsEveryRowOnce) {
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)");
  execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
      "INSERT INTO t SELECT i, 'x' FROM n");
  auto recordSet = connection().open("select * from t", OpenOptions{});
  int visits = 0;
  for (; !recordSet->eof() && visits < 6000; recordSet->moveNext()) {
    const int id = std::stoi(readFieldText(*recordSet, 0));
    // Ids from 1500 on move past the end of the table.
    if (id >= 1500) recordSet->setValue(0, std::to_string(id + 100000));
    recordSet->setValue(1, "y");
    ++visits;
  }
  recordSet->close();
  EXPECT_EQ(visits, 2500);
  EXPECT_EQ(column("select count(*) from t where a = 'y'"), (Column{"2500"}));
  EXPECT_EQ(column("select count(*) from t where id > 100000"), (Column{"1001"}));
}

// A query that visits rows with close keys but leaves some out in between:
// the rows it left out keep their values, and so do the rows it visited but
// did not change.
TEST_F(SqliteBackendTest, RowsBetweenTheRowsOfAQueryAreLeftAlone) {
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)");
  execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
      "INSERT INTO t SELECT i, 'x' FROM n");
  auto recordSet =
      connection().open("select id, a from t where id % 3 <> 0 order by id desc", OpenOptions{});
  for (; !recordSet->eof(); recordSet->moveNext())
    if (std::stoi(readFieldText(*recordSet, 0)) % 7 != 0) recordSet->setValue(1, "y");
  recordSet->close();
  EXPECT_EQ(column("select count(*) from t where a = 'y'"), (Column{"1714"}));
  EXPECT_EQ(column("select count(*) from t where (a = 'y') <> (id % 3 <> 0 and id % 7 <> 0)"),
            (Column{"0"}));
}

// A run on a query finds its rows at the start: it visits them in the
// query's own order (ties broken by the key, an expression kept as it was),
// counts them, and leaves out a row added later. Until its first write other
// connections may write; the rows it read before that write are read again
// under the write lock, so a change made to them in between is no conflict.
TEST_F(SqliteBackendTest, AQueryRunVisitsTheRowsFoundAtTheStartInTheQuerysOrder) {
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT, b INTEGER)");
  execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2500) "
      "INSERT INTO t SELECT i, 'x', i % 7 FROM n");
  const std::string where = " from t where id % 5 <> 0 order by b desc, id desc";
  const Column order = column("select id" + where);
  const Column twice = column("select b * 2" + where);
  auto recordSet = connection().open("select id, a, b * 2 as twice" + where, OpenOptions{});
  EXPECT_EQ(recordSet->recordCount(), 2000);
  auto other = connect(connectionStringFor(m_file) + ";Busy Timeout=100");
  other->execute("INSERT INTO t VALUES (9001, 'x', 6)");
  const std::string later = *order[5];
  other->execute("UPDATE t SET a = 'theirs' WHERE id = " + later);
  Column visited, doubled;
  for (; !recordSet->eof(); recordSet->moveNext()) {
    visited.push_back(readFieldText(*recordSet, 0));
    doubled.push_back(readFieldText(*recordSet, 2));
    if (visited.size() > 2) recordSet->setValue(1, readFieldText(*recordSet, 1) + "y");
  }
  recordSet->close();
  EXPECT_EQ(visited, order);
  EXPECT_EQ(doubled, twice);
  EXPECT_EQ(column("select a from t where id = " + later), (Column{"theirsy"}));
  EXPECT_EQ(column("select count(*) from t where a = 'xy'"), (Column{"1997"}));
  EXPECT_EQ(column("select a from t where id = 9001"), (Column{"x"}));
}

// A run that changes nothing reads through a read-only connection.
TEST_F(SqliteBackendTest, AQueryRunThatChangesNothingNeedsNoWriteAccess) {
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)");
  execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
      "INSERT INTO t SELECT i, 'x' FROM n");
  auto reader = connect(connectionStringFor(m_file) + ";Mode=ReadOnly");
  auto recordSet = reader->open("select id, a from t order by id desc", OpenOptions{});
  EXPECT_EQ(recordSet->recordCount(), 1500);
  int visits = 0;
  for (; !recordSet->eof(); recordSet->moveNext()) ++visits;
  EXPECT_NO_THROW(recordSet->close());
  EXPECT_EQ(visits, 1500);
}

// Two runs at once on the same rows, one on the whole table and one on a
// query in the other order: past its first write, each reads its rows while
// it holds the write lock, so neither meets a row the other changed after it
// was read. Both complete and every row carries both changes. (The row in
// hand at a run's first write was read before the lock; the other run leaves
// it alone here, as a change to it would rightly be reported.)
TEST_F(SqliteBackendTest, TwoRunsAtOnceOnOneTableBothComplete) {
  constexpr int kRows = 6000;
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT)");
  execute("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
          std::to_string(kRows) + ") INSERT INTO t SELECT i, 'x' FROM n");
  auto run = [this](const std::string& sql, const std::string& mark, int otherFirst,
                    std::string& failure) {
    try {
      auto connection = connect(connectionStringFor(m_file));
      auto recordSet = connection->open(sql, OpenOptions{});
      for (; !recordSet->eof(); recordSet->moveNext()) {
        if (std::stoi(readFieldText(*recordSet, 0)) == otherFirst) continue;
        recordSet->setValue(1, readFieldText(*recordSet, 1) + mark);
      }
      recordSet->close();
    } catch (const Error& e) {
      failure = e.what();
    }
  };
  std::string first, second;
  std::thread other([&] { run("select id, a from t order by id desc", "b", 1, second); });
  run("select * from t", "a", kRows, first);
  other.join();
  EXPECT_EQ(first, "");
  EXPECT_EQ(second, "");
  EXPECT_EQ(column("select count(*) from t where a in ('xab', 'xba')"),
            (Column{std::to_string(kRows - 2)}));
  EXPECT_EQ(column("select a from t where id in (1, " + std::to_string(kRows) + ") order by id"),
            (Column{"xa", "xb"}));
}

}  // namespace
}  // namespace rowsmith::db::testing
