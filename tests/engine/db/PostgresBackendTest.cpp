// The shared suite and PostgreSQL's own cases, against the throwaway server
// that scripts/start-postgres runs for the "postgres" test fixture.
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/BackendGroupSuite.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/postgres/PostgresConnection.h"
#include "engine/db/postgres/PostgresStatementText.h"

namespace rowsmith::db::testing {

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Column = std::vector<std::optional<std::string>>;

std::string serverFile(const std::string& name) {
  std::ifstream in(std::string(ROWSMITH_PG_DIR) + "/" + name);
  std::string line;
  std::getline(in, line);
  if (line.empty())
    throw Error(std::string("No PostgreSQL test server: ") + ROWSMITH_PG_DIR + "/" + name +
                " is missing (run the tests through ctest, or scripts/start-postgres " +
                ROWSMITH_PG_DIR + ")");
  return line;
}

std::string pgConnectionString() { return serverFile("connection-string"); }

std::unique_ptr<Connection> pgConnect(const std::string& text) {
  return openPostgresConnection(ConnectionString(text));
}

BackendTarget postgresTarget() {
  BackendTarget target;
  target.name = "Postgres";
  target.connectionString = pgConnectionString;
  target.connect = pgConnect;
  target.binaryType = "BYTEA";
  target.binaryLiteral = [](const std::string& hex) { return "decode('" + hex + "', 'hex')"; };
  target.viewIsUpdatable = false;
  target.keylessTableIsUpdatable = true;
  target.countsRows = true;
  target.auditTrigger = postgresAuditTrigger;
  return target;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Postgres, BackendSuite, ::testing::Values(postgresTarget()),
                         BackendTargetName());
INSTANTIATE_TEST_SUITE_P(Postgres, BackendGroupSuite, ::testing::Values(postgresTarget()),
                         BackendTargetName());

class PostgresBackend : public ::testing::Test {
 protected:
  void SetUp() override { m_connection = pgConnect(pgConnectionString()); }
  void TearDown() override {
    for (const auto& table : m_tables) m_connection->execute("DROP TABLE IF EXISTS " + table);
  }

  Connection& connection() { return *m_connection; }
  std::string table(const std::string& stem, const std::string& columns) {
    const std::string name = uniqueName(stem);
    m_connection->execute("CREATE TABLE " + name + " (" + columns + ")");
    m_tables.push_back(name);
    return name;
  }
  Column read(const std::string& sql) {
    auto other = pgConnect(pgConnectionString());
    return readColumn(*other, sql);
  }

 private:
  std::unique_ptr<Connection> m_connection;
  std::vector<std::string> m_tables;
};

// Each PostgreSQL type maps to its ADO type and reads as its usual text; and
// writing that text back is no conflict and changes nothing, which proves the
// optimistic check compares every type correctly.
TEST_F(PostgresBackend, TypesReadAsAdoTypesAndTextAndWriteBackUnchanged) {
  struct Case {
    const char* type;
    const char* literal;
    DataType dataType;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"smallint", "-32768", DataType::SmallInt, "-32768"},
      {"integer", "2147483647", DataType::Integer, "2147483647"},
      {"bigint", "9223372036854775807", DataType::BigInt, "9223372036854775807"},
      {"numeric(40,10)", "123456789012345678901234567890.0123456789", DataType::Numeric,
       "123456789012345678901234567890.0123456789"},
      {"real", "1.5", DataType::Single, "1.5"},
      {"double precision", "0.1", DataType::Double, "0.1"},
      {"boolean", "true", DataType::Boolean, "True"},
      {"text", "'some text'", DataType::LongVarChar, "some text"},
      {"varchar(20)", "'é and ü'", DataType::VarChar, "é and ü"},
      {"char(5)", "'ab'", DataType::Char, "ab   "},
      {"date", "'2024-02-29'", DataType::DBDate, "2024-02-29"},
      {"time", "'13:14:15.5'", DataType::DBTime, "13:14:15.5"},
      {"timestamp", "'2024-02-29 13:14:15'", DataType::DBTimeStamp, "2024-02-29T13:14:15"},
      {"timestamptz", "'2024-02-29 13:14:15+00'", DataType::DBTimeStamp, "2024-02-29T13:14:15+00"},
      {"uuid", "'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'", DataType::GUID,
       "a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11"},
      {"json", "'{\"b\": 1,  \"a\": [2]}'", DataType::LongVarChar, "{\"b\": 1,  \"a\": [2]}"},
      {"int4range", "'[1,5)'", DataType::VarChar, "[1,5)"},
  };
  std::string columns = "id integer PRIMARY KEY", values = "1";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    columns += ", c" + std::to_string(i) + " " + cases[i].type;
    values += ", " + std::string(cases[i].literal);
  }
  const auto name = table("types", columns);
  connection().execute("INSERT INTO " + name + " VALUES (" + values + ")");

  auto recordSet = connection().open("select * from " + name, OpenOptions{});
  ASSERT_EQ(recordSet->fieldCount(), static_cast<int>(cases.size()) + 1);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].type);
    const int ordinal = static_cast<int>(i) + 1;
    EXPECT_EQ(recordSet->fieldType(ordinal), cases[i].dataType);
    texts.push_back(readFieldText(*recordSet, ordinal));
    // timestamptz shows the server's time zone, which the test does not set.
    if (std::string(cases[i].type) != "timestamptz") {
      EXPECT_EQ(texts.back(), cases[i].text);
    }
    recordSet->setValue(ordinal, texts.back());
  }
  recordSet->moveNext();  // no "Row changed by another user"
  recordSet->close();

  auto again = connection().open("select * from " + name, OpenOptions{});
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(readFieldText(*again, static_cast<int>(i) + 1), texts[i]) << cases[i].type;
}

TEST_F(PostgresBackend, BigintAndNumericKeepEveryDigit) {
  const auto name = table("big", "id bigint PRIMARY KEY, n numeric");
  connection().execute("INSERT INTO " + name + " VALUES (-9223372036854775808, 1e-30)");
  auto recordSet = connection().open("select * from " + name, OpenOptions{});
  EXPECT_EQ(recordSet->value(0).kind, Value::Kind::Integer);
  EXPECT_EQ(readFieldText(*recordSet, 0), "-9223372036854775808");
  EXPECT_EQ(recordSet->value(1).kind, Value::Kind::Decimal);
  EXPECT_EQ(readFieldText(*recordSet, 1), "0.000000000000000000000000000001");
}

// What was tried is named, the password never.
TEST_F(PostgresBackend, ConnectionFailureSaysWhatWasTriedButNotThePassword) {
  const ConnectionString server(pgConnectionString());
  const std::string socket = *server.get("Host"), port = *server.get("Port");
  struct Case {
    std::string connectionString;
    std::vector<std::string> mentions;
  };
  const std::vector<Case> cases = {
      {"Provider=PostgreSQL;Host=" + socket + ";Port=" + port +
           ";Database=no_such_db;User ID=postgres;Password=Secret'Word",
       {socket, port, "no_such_db", "postgres", "does not exist"}},
      {"Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=d1;User ID=u1;Password=Secret'Word",
       {"127.0.0.1", "port 1", "d1", "u1"}},
      {"host=127.0.0.1;port=1;dbname=d2;user=u2;password=Secret'Word", {"127.0.0.1", "d2", "u2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.connectionString);
    const auto message = errorOf([&] { pgConnect(c.connectionString); });
    for (const auto& mention : c.mentions) EXPECT_THAT(message, HasSubstr(mention));
    EXPECT_THAT(message, Not(HasSubstr("Secret")));
  }
}

TEST_F(PostgresBackend, AdoAndLibpqKeywordsReachTheSameServer) {
  const ConnectionString server(pgConnectionString());
  const std::string socket = *server.get("Host"), port = *server.get("Port");
  for (const std::string& text :
       {"Provider=PostgreSQL;Data Source=" + socket + ";Port=" + port +
            ";Initial Catalog=postgres;UID=postgres;PWD=unused",
        "Provider=postgresql;host=" + socket + ";port=" + port +
            ";dbname=postgres;user=postgres;sslmode=disable;Persist Security Info=False",
        "Provider=PostgreSQL;Server='" + socket + "';Port=" + port + ";User ID=postgres"}) {
    SCOPED_TRACE(text);
    auto other = pgConnect(text);
    EXPECT_THAT(other->describe(), HasSubstr(socket));
    EXPECT_EQ(readColumn(*other, "select 40 + 2"), (Column{"42"}));
  }
}

// "Lock Timeout" gives the seconds any statement waits for a lock; 10 unless
// given, 0 for no limit. Anything but a number of seconds is refused.
TEST_F(PostgresBackend, LockTimeoutIsGivenInSeconds) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "10s"},
      {";Lock Timeout=", "10s"},
      {";Lock Timeout=1", "1s"},
      {";lock timeout=2.5", "2500ms"},
      {";Lock Timeout=0", "0"},
  };
  for (const auto& [option, shown] : cases) {
    SCOPED_TRACE(option);
    auto other = pgConnect(pgConnectionString() + option);
    EXPECT_EQ(readColumn(*other, "select current_setting('lock_timeout')"), (Column{shown}));
  }
  for (const std::string value : {"abc", "-1", "1e3", "1.5s", "99999999"}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(errorOf([&] { pgConnect(pgConnectionString() + ";Lock Timeout=" + value); }),
              "Cannot connect to PostgreSQL: Lock Timeout \"" + value +
                  "\" is not a number of seconds (0 waits without limit)");
  }
}

// Rows without a key are found by (tableoid, ctid): identical rows are each
// written once, and a row another connection changed is not overwritten.
TEST_F(PostgresBackend, TableWithoutKeyWritesIdenticalRowsAndDetectsChanges) {
  const auto name = table("twins", "a text, b text");
  connection().execute("INSERT INTO " + name + " VALUES ('x', 'same'), ('x', 'same'), ('y', 'z')");
  {
    auto recordSet = connection().open("select b from " + name + " order by a", OpenOptions{});
    ASSERT_TRUE(recordSet->supportsUpdates());
    EXPECT_EQ(recordSet->fieldCount(), 1);  // tableoid and ctid stay hidden
    for (int n = 1; !recordSet->eof(); recordSet->moveNext(), ++n)
      recordSet->setValue(0, readFieldText(*recordSet, 0) + std::to_string(n));
    recordSet->close();
  }
  EXPECT_EQ(read("select b from " + name + " order by b"), (Column{"same1", "same2", "z3"}));

  auto recordSet = connection().open("select * from " + name + " order by b", OpenOptions{});
  recordSet->setValue(1, "mine");
  pgConnect(pgConnectionString())
      ->execute("UPDATE " + name + " SET a = 'theirs' WHERE b = 'same1'");
  const auto message = errorOf([&] { recordSet->moveNext(); });
  EXPECT_THAT(message, HasSubstr("Row changed by another user"));
  EXPECT_THAT(message, HasSubstr(name));
  recordSet.reset();
  EXPECT_EQ(read("select b from " + name + " order by b"), (Column{"same1", "same2", "z3"}));
}

// A lost connection takes the open group of rows with it: lost while a row
// is written, the group was rolled back; lost at the commit, the database
// never confirmed it. Either way the message names the last row known to be
// kept (of a group that moveFirst committed), or says there is none, and the
// database holds exactly that.
TEST_F(PostgresBackend, LostConnectionReportsTheLastRowKept) {
  struct Case {
    bool committedFirst;
    bool lostAtCommit;
    std::string words;
  };
  const Case cases[] = {
      {false, false, "; no row was kept: the 2 rows written were rolled back"},
      {true, false,
       "; the last row kept is key id=2: the 2 rows written after it were rolled back"},
      {false, true,
       "; no row is known to be kept: the connection was lost before the database confirmed the "
       "commit of the 2 rows written"},
      {true, true,
       "; the last row known to be kept is key id=2: the connection was lost before the database "
       "confirmed the commit of the 2 rows written after it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    const auto name = table("lost", "id integer PRIMARY KEY, a text");
    connection().execute("INSERT INTO " + name +
                         " SELECT n, 'old' FROM generate_series(1, 5) AS n");
    const std::string application = uniqueName("victim");
    auto victim = pgConnect(pgConnectionString() + ";application_name=" + application);
    auto recordSet = victim->open("select * from " + name + " order by id", OpenOptions{});
    const auto writeTwoRows = [&] {
      for (int row = 0; row < 2; ++row) {
        recordSet->setValue(1, "new");
        recordSet->moveNext();
      }
    };
    if (c.committedFirst) {
      writeTwoRows();
      recordSet->moveFirst();  // commits them and reads again from row 1
      recordSet->moveNext();
      recordSet->moveNext();
    }
    writeTwoRows();
    connection().execute(
        "SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity WHERE application_name = '" +
        application + "'");
    std::string message;
    if (c.lostAtCommit) {
      message = errorOf([&] { recordSet->close(); });
    } else {
      recordSet->setValue(1, "new");
      message = errorOf([&] { recordSet->moveNext(); });
    }
    recordSet.reset();
    victim.reset();

    EXPECT_THAT(message, HasSubstr(c.words));
    EXPECT_EQ(read("select id from " + name + " where a = 'new' order by id"),
              c.committedFirst ? (Column{"1", "2"}) : Column{});
  }
}

// A key missing from the select list is added to the statement that runs;
// when it cannot be, the result is read-only and says why.
TEST_F(PostgresBackend, KeyOutsideTheSelectListIsAddedOrTheResultIsReadOnly) {
  const auto name = table("k", "id integer PRIMARY KEY, a text, b text");
  connection().execute("INSERT INTO " + name + " VALUES (1, 'p', 'q'), (2, 'r', 's')");
  const std::string sql = "select a /* from */, 'from' as f, (select 1 from " + name +
                          " limit 1) as one from " + name + " where b <> 'x' order by 1";
  {
    auto recordSet = connection().open(sql, OpenOptions{});
    ASSERT_TRUE(recordSet->supportsUpdates());
    ASSERT_EQ(recordSet->fieldCount(), 3);
    EXPECT_EQ(readFieldText(*recordSet, 1), "from");
    for (; !recordSet->eof(); recordSet->moveNext())
      recordSet->setValue(0, readFieldText(*recordSet, 0) + "!");
    recordSet->close();
  }
  EXPECT_EQ(read("select a from " + name + " order by id"), (Column{"p!", "r!"}));

  auto recordSet = connection().open("select distinct a from " + name, OpenOptions{});
  EXPECT_FALSE(recordSet->supportsUpdates());
  EXPECT_THAT(errorOf([&] { recordSet->setValue(0, "z"); }), HasSubstr("cannot be updated"));
}

// The reading transaction is read-only: what the statement would write,
// through a function it calls or by locking its rows, is refused by the
// server, also in the row count that runs before the cursor.
TEST_F(PostgresBackend, StatementsReadInAReadOnlyTransaction) {
  const auto name = table("ro", "id integer PRIMARY KEY, a text");
  connection().execute("INSERT INTO " + name + " VALUES (1, 'x'), (2, 'y')");
  const std::string wipe = name + "_wipe";
  connection().execute("CREATE FUNCTION " + wipe + "() RETURNS bigint LANGUAGE sql AS " +
                       "'DELETE FROM " + name + " RETURNING 1; SELECT 1::bigint'");
  for (const std::string& sql :
       {"select " + wipe + "()", "select a from " + name + " for update"}) {
    SCOPED_TRACE(sql);
    EXPECT_THAT(errorOf([&] { connection().open(sql, OpenOptions{}); }),
                HasSubstr("read-only transaction"));
  }
  connection().execute("DROP FUNCTION " + wipe + "()");
  EXPECT_EQ(read("select a from " + name + " order by id"), (Column{"x", "y"}));
}

// More rows than one fetched batch, and than the moveFirst restart sees.
TEST_F(PostgresBackend, ManyRowsAreEachVisitedAndWrittenOnce) {
  const auto name = table("many", "id integer PRIMARY KEY, a text");
  connection().execute("INSERT INTO " + name +
                       " SELECT n, 'v' || n FROM generate_series(1, 4500) AS n");
  auto recordSet = connection().open("select a from " + name + " order by a", OpenOptions{});
  int rows = 0;
  for (; !recordSet->eof(); recordSet->moveNext(), ++rows)
    recordSet->setValue(0, "w" + readFieldText(*recordSet, 0));
  recordSet->moveFirst();
  EXPECT_EQ(readFieldText(*recordSet, 0), "wv1");
  recordSet->close();
  EXPECT_EQ(rows, 4500);
  EXPECT_EQ(read("select count(*) from " + name + " where a = 'wv' || id"), (Column{"4500"}));
}

// A cancel asked for in the middle of a group, a few rows after the group
// before was sent (groups double from 16 rows: rows 8193 to 16384), so that
// the server is still applying it: the rows moved past are kept, the row in hand and the
// rows after it keep their old values, and moving past it says cancelled.
TEST_F(PostgresBackend, CancelInTheMiddleOfAGroupKeepsTheRowsMovedPast) {
  constexpr int kRows = 20000, kCancelAt = 16390;
  const auto name = table("cancel", "id integer PRIMARY KEY, a text");
  connection().execute("INSERT INTO " + name + " SELECT n, 'old' FROM generate_series(1, " +
                       std::to_string(kRows) + ") AS n");
  auto run = pgConnect(pgConnectionString());
  auto recordSet = run->open("select id, a from " + name + " order by id", OpenOptions{});
  std::string message;
  for (int id = 1; !recordSet->eof(); ++id) {
    if (id == kCancelAt) run->cancel();
    recordSet->setValue(1, "new");
    try {
      recordSet->moveNext();
    } catch (const Cancelled& e) {
      message = e.what();
      break;
    }
  }
  recordSet->close();
  EXPECT_THAT(message, HasSubstr("id=" + std::to_string(kCancelAt)));
  EXPECT_EQ(read("select count(*) from " + name + " where a = 'new' and id < " +
                 std::to_string(kCancelAt)),
            (Column{std::to_string(kCancelAt - 1)}));
  EXPECT_EQ(read("select count(*) from " + name + " where a = 'new'"),
            (Column{std::to_string(kCancelAt - 1)}));
}

// A row in the middle of a group that another session holds locked: the
// group waits, and so does that row when the group is written again row by
// row. The lock timeout ends the wait with an error, a cancel ends it as
// cancelled; either way the rows before are kept, that row and the rows
// after keep their old values, and the message names that row.
TEST_F(PostgresBackend, LockedRowInTheMiddleOfAGroupEndsTheRunThere) {
  constexpr int kRows = 20000, kLocked = 12000;  // in the group of rows 8193 to 16384
  struct Case {
    std::string option;
    bool cancel;
    std::string words;
  };
  const Case cases[] = {
      {";Lock Timeout=1", false, "lock timeout of 1s"},
      {";Lock Timeout=0", true, "Cancelled while writing"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    const auto name = table("locked", "id integer PRIMARY KEY, a text");
    connection().execute("INSERT INTO " + name + " SELECT n, 'old' FROM generate_series(1, " +
                         std::to_string(kRows) + ") AS n");
    connection().execute("BEGIN");
    connection().execute("SELECT 1 FROM " + name + " WHERE id = " + std::to_string(kLocked) +
                         " FOR UPDATE");
    auto run = pgConnect(pgConnectionString() + c.option);
    std::thread canceller;
    if (c.cancel)
      canceller = std::thread([&run] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        run->cancel();
      });
    std::string message;
    bool cancelled = false;
    {
      auto recordSet = run->open("select id, a from " + name + " order by id", OpenOptions{});
      try {
        for (; !recordSet->eof(); recordSet->moveNext()) recordSet->setValue(1, "new");
      } catch (const Cancelled& e) {
        message = e.what();
        cancelled = true;
      } catch (const Error& e) {
        message = e.what();
      }
      recordSet->close();
    }
    if (canceller.joinable()) canceller.join();
    connection().execute("ROLLBACK");

    EXPECT_EQ(cancelled, c.cancel);
    EXPECT_THAT(message, HasSubstr(c.words));
    EXPECT_THAT(message, HasSubstr("id=" + std::to_string(kLocked)));
    EXPECT_EQ(read("select count(*) from " + name + " where a = 'new'"),
              (Column{std::to_string(kLocked - 1)}));
    EXPECT_EQ(read("select count(*) from " + name + " where a = 'new' and id < " +
                   std::to_string(kLocked)),
              (Column{std::to_string(kLocked - 1)}));
  }
}

// A process killed in the middle of a run leaves every row wholly old or
// wholly new, the new ones first in visit order (descending ids), however the
// rows are grouped into statements and transactions.
TEST_F(PostgresBackend, KilledRunLeavesAPrefixOfNewRows) {
  constexpr int kRows = 60000;
  const auto name = table("killed", "id integer PRIMARY KEY, a text, b text");
  connection().execute("INSERT INTO " + name + " SELECT n, 'old', 'old' FROM generate_series(1, " +
                       std::to_string(kRows) + ") AS n");

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      auto writer = pgConnect(pgConnectionString());
      auto recordSet =
          writer->open("select id, a, b from " + name + " order by id desc", OpenOptions{});
      for (int row = 0; !recordSet->eof(); ++row, recordSet->moveNext()) {
        recordSet->setValue(1, "new");
        recordSet->setValue(2, "new");
        if (row == 20000) (void)!write(ready[1], "x", 1);
        if (row >= 20000) std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    } catch (...) {
      _exit(1);
    }
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(::read(ready[0], &byte, 1), 1);
  // Past a commit (about a second of work each).
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  // Rows of the transaction the kill left open are seen by nobody.
  EXPECT_EQ(read("select count(*) from " + name + " where a <> b"), (Column{"0"}));
  const int kept = std::stoi(*read("select count(*) from " + name + " where a = 'new'").at(0));
  EXPECT_GT(kept, 0);
  EXPECT_LT(kept, kRows);
  EXPECT_EQ(read("select count(*) from " + name +
                 " where a = 'new' and id <= " + std::to_string(kRows - kept)),
            (Column{"0"}));
}

TEST_F(PostgresBackend, TableNamesFollowTheSearchPath) {
  const auto name = table("listed", "a text");
  const auto names = connection().tableNames();
  EXPECT_THAT(names, ::testing::Contains(name));
  EXPECT_THAT(names, Not(::testing::Contains("pg_class")));
}

// Key columns go just before the outermost SELECT's FROM, never into quoted
// text, comments or subqueries; statements where they would change the rows
// are left alone.
TEST(PostgresStatementText, AddsColumnsBeforeTheTopLevelFromOnly) {
  struct Case {
    std::string sql;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"select * from t", "select * , k from t"},
      {"SELECT a, 'x from y' AS s, \"from\" FROM t",
       "SELECT a, 'x from y' AS s, \"from\" , k FROM t"},
      {"select E'it\\'s from' as s from t", "select E'it\\'s from' as s , k from t"},
      {"select $q$ from $q$ as s, $1 from t", "select $q$ from $q$ as s, $1 , k from t"},
      {"select a -- from\n, (select max(b) from u) /* from /* nested */ from */ from t",
       "select a -- from\n, (select max(b) from u) /* from /* nested */ from */ , k from t"},
      {"select distinct a from t", std::nullopt},
      {"select 1 union select a from t", std::nullopt},
      {"with w as (select * from t) select * from w", std::nullopt},
      {"table t", std::nullopt},
      {"select 1", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PostgresStatementText::withExtraColumns(c.sql, "k"), c.expected) << c.sql;
  EXPECT_EQ(PostgresStatementText::trimmed("select 1 ; \n"), "select 1");
  EXPECT_TRUE(PostgresStatementText::locksRows("select * from t FOR NO KEY UPDATE"));
  EXPECT_FALSE(PostgresStatementText::locksRows("select 'for update' from t"));
}

}  // namespace rowsmith::db::testing
