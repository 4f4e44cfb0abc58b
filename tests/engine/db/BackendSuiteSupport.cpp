#include <gmock/gmock.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/FieldText.h"
#include "engine/Preview.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/ConnectionFactory.h"
#include "engine/db/api/Value.h"

// The backend-neutral suite. It is linked into every test executable of this
// folder; only the backend test files instantiate it.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BackendSuite);

namespace rowsmith::db::testing {

namespace {

using ::testing::HasSubstr;
using Column = std::vector<std::optional<std::string>>;

std::string literal(const std::optional<std::string>& value) {
  if (!value) return "NULL";
  std::string out = "'";
  for (char c : *value) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

bool isTextType(DataType type) {
  switch (type) {
    case DataType::BSTR:
    case DataType::Char:
    case DataType::WChar:
    case DataType::VarChar:
    case DataType::LongVarChar:
    case DataType::VarWChar:
    case DataType::LongVarWChar:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  ADD_FAILURE() << "no rowsmith::Error was raised";
  return {};
}

std::string uniqueName(const std::string& stem) {
  static std::atomic<int> counter{0};
  return stem + "_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
}

Column readColumn(Connection& connection, const std::string& sql, int column) {
  Column out;
  auto recordSet = connection.open(sql, OpenOptions{});
  for (; !recordSet->eof(); recordSet->moveNext()) {
    if (recordSet->value(column).isNull())
      out.emplace_back(std::nullopt);
    else
      out.emplace_back(readFieldText(*recordSet, column));
  }
  recordSet->close();
  return out;
}

void BackendSuite::SetUp() {
  m_connectionString = target().connectionString();
  m_connection =
      target().connect ? target().connect(m_connectionString) : connect(m_connectionString);
}

void BackendSuite::TearDown() {
  for (auto it = m_drops.rbegin(); it != m_drops.rend(); ++it) {
    try {
      m_connection->execute((it->second ? "DROP VIEW " : "DROP TABLE ") + it->first);
    } catch (const Error&) {
      // Dropping is tidying up; a table that never came to be is fine.
    }
  }
  for (const auto& sql : m_atEnd) {
    try {
      m_connection->execute(sql);
    } catch (const Error&) {
    }
  }
  m_second.reset();
  m_connection.reset();
}

Connection& BackendSuite::secondConnection() {
  if (!m_second)
    m_second =
        target().connect ? target().connect(m_connectionString) : connect(m_connectionString);
  return *m_second;
}

void BackendSuite::execute(const std::string& sql) { m_connection->execute(sql); }

std::string BackendSuite::createKeyedTable(const Column& values, const std::string& stem) {
  const std::string name = uniqueName(stem);
  execute("CREATE TABLE " + name + " (id " + target().keyColumn + ", a " + target().textType + ")");
  dropLater(name);
  // Many rows to a statement: each statement may be a commit of its own.
  constexpr std::size_t kRowsPerInsert = 500;
  for (std::size_t first = 0; first < values.size(); first += kRowsPerInsert) {
    std::string sql = "INSERT INTO " + name + " (id, a) VALUES ";
    for (std::size_t i = first; i < std::min(values.size(), first + kRowsPerInsert); ++i)
      sql += (i == first ? "(" : ", (") + std::to_string(i + 1) + ", " + literal(values[i]) + ")";
    execute(sql);
  }
  return name;
}

void BackendSuite::dropLater(const std::string& name, bool isView) {
  m_drops.emplace_back(name, isView);
}

void BackendSuite::runAtEnd(const std::string& sql) { m_atEnd.push_back(sql); }

Column BackendSuite::columnA(const std::string& table) {
  return readColumn(secondConnection(), "SELECT a FROM " + table + " ORDER BY id");
}

TEST_P(BackendSuite, OpensATableAndAQuery) {
  const auto table = createKeyedTable({"alpha", "beta", "gamma"});

  auto recordSet = connection().open("select * from " + table, OpenOptions{});
  ASSERT_TRUE(recordSet->isOpen());
  ASSERT_EQ(recordSet->fieldCount(), 2);
  EXPECT_EQ(recordSet->fieldName(0), "id");
  EXPECT_EQ(recordSet->fieldName(1), "a");
  EXPECT_TRUE(isTextType(recordSet->fieldType(1))) << static_cast<int>(recordSet->fieldType(1));
  EXPECT_TRUE(recordSet->supportsUpdates());
  const long long count = recordSet->recordCount();
  EXPECT_TRUE(count < 1 || count == 3) << count;

  Column ids, texts;
  for (; !recordSet->eof(); recordSet->moveNext()) {
    ids.emplace_back(readFieldText(*recordSet, 0));
    texts.emplace_back(readFieldText(*recordSet, 1));
  }
  EXPECT_EQ(ids, (Column{"1", "2", "3"}));
  EXPECT_EQ(texts, (Column{"alpha", "beta", "gamma"}));
  recordSet->moveFirst();
  ASSERT_FALSE(recordSet->eof());
  EXPECT_EQ(readFieldText(*recordSet, 1), "alpha");
  recordSet->close();
  EXPECT_FALSE(recordSet->isOpen());

  EXPECT_EQ(readColumn(connection(), "select a from " + table + " where id >= 2 order by id desc"),
            (Column{"gamma", "beta"}));
  const auto names = connection().tableNames();
  EXPECT_THAT(names, ::testing::Contains(table));
}

TEST_P(BackendSuite, WritesEveryRowAndKeepsThemAfterClose) {
  const auto table = createKeyedTable({"alpha", "beta", "gamma"});

  auto recordSet = connection().open("select * from " + table, OpenOptions{});
  int rows = 0;
  for (; !recordSet->eof(); recordSet->moveNext()) {
    std::string text = readFieldText(*recordSet, 1);
    std::transform(text.begin(), text.end(), text.begin(), ::toupper);
    recordSet->setValue(1, text);
    ++rows;
  }
  recordSet->close();

  EXPECT_EQ(rows, 3);
  EXPECT_EQ(columnA(table), (Column{"ALPHA", "BETA", "GAMMA"}));
}

// Leaving a record set on a row, by close() or by destroying it, keeps the
// rows moved past and discards the writes of the row it stands on.
TEST_P(BackendSuite, ClosingOnARowDiscardsThatRowsWrites) {
  for (const bool explicitClose : {true, false}) {
    SCOPED_TRACE(explicitClose ? "close()" : "destroyed");
    const auto table = createKeyedTable({"a1", "a2", "a3"});
    auto recordSet = connection().open("select * from " + table, OpenOptions{});
    recordSet->setValue(1, "n1");
    recordSet->moveNext();
    recordSet->setValue(1, "n2");
    if (explicitClose) recordSet->close();
    recordSet.reset();
    EXPECT_EQ(columnA(table), (Column{"n1", "a2", "a3"}));
  }
}

TEST_P(BackendSuite, NullAndEmptyTextStayApartInAndOut) {
  const auto table = createKeyedTable({std::nullopt, "", "x"});

  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  EXPECT_TRUE(recordSet->value(1).isNull());
  EXPECT_EQ(readFieldText(*recordSet, 1), "");
  recordSet->setValue(1, "");
  recordSet->moveNext();
  EXPECT_FALSE(recordSet->value(1).isNull());
  EXPECT_EQ(recordSet->value(1).kind, Value::Kind::Text);
  EXPECT_EQ(recordSet->value(1).text, "");
  recordSet->setValue(1, std::nullopt);
  recordSet->moveNext();
  recordSet->setValue(1, std::nullopt);
  recordSet->moveNext();
  EXPECT_TRUE(recordSet->eof());
  recordSet->close();

  EXPECT_EQ(columnA(table), (Column{"", std::nullopt, std::nullopt}));
}

TEST_P(BackendSuite, BinaryColumnsReadAsBytesAndBlob) {
  const auto table = uniqueName("bin");
  execute("CREATE TABLE " + table + " (id " + target().keyColumn + ", b " + target().binaryType +
          ")");
  dropLater(table);
  execute("INSERT INTO " + table + " (id, b) VALUES (1, " + target().binaryLiteral("000102FF") +
          ")");
  execute("INSERT INTO " + table + " (id, b) VALUES (2, NULL)");

  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  const auto type = recordSet->fieldType(1);
  EXPECT_TRUE(type == DataType::VarBinary || type == DataType::LongVarBinary ||
              type == DataType::Binary)
      << static_cast<int>(type);
  ASSERT_EQ(recordSet->value(1).kind, Value::Kind::Binary);
  EXPECT_EQ(recordSet->value(1).text, std::string("\x00\x01\x02\xff", 4));
  EXPECT_EQ(readFieldText(*recordSet, 1), "BLOB");
  EXPECT_TRUE(fieldIsOpaque(*recordSet, 1));
  recordSet->moveNext();
  EXPECT_EQ(readFieldText(*recordSet, 1), "");
  EXPECT_FALSE(fieldIsOpaque(*recordSet, 1));
}

TEST_P(BackendSuite, ComputedColumnsAreReadOnly) {
  const auto table = createKeyedTable({"x", "y"});
  {
    auto recordSet = connection().open(
        "select id, a, " + target().concat("a", "'!'") + " as shout from " + table + " order by id",
        OpenOptions{});
    EXPECT_EQ(readFieldText(*recordSet, 2), "x!");
    EXPECT_THAT(errorOf([&] { recordSet->setValue(2, "z"); }), HasSubstr("shout"));
    recordSet->setValue(1, "new");
    recordSet->moveNext();
    recordSet->close();
  }
  EXPECT_EQ(columnA(table), (Column{"new", "y"}));

  if (target().generatedColumn.empty()) return;
  const auto generated = uniqueName("gen");
  execute("CREATE TABLE " + generated + " (id " + target().keyColumn + ", a " + target().textType +
          ", echo " + target().generatedColumn + ")");
  dropLater(generated);
  execute("INSERT INTO " + generated + " (id, a) VALUES (1, 'x')");
  {
    auto recordSet = connection().open("select * from " + generated, OpenOptions{});
    EXPECT_EQ(readFieldText(*recordSet, 2), "x!");
    EXPECT_THAT(errorOf([&] { recordSet->setValue(2, "z"); }), HasSubstr("echo"));
    recordSet->moveNext();
    recordSet->close();
  }
  EXPECT_EQ(readColumn(secondConnection(), "select echo from " + generated), (Column{"x!"}));
}

TEST_P(BackendSuite, RecordCountIsTheNumberOfRowsWhenTheBackendCountsThem) {
  const auto table = createKeyedTable({"alpha", "beta", "gamma"});
  const std::pair<std::string, long long> cases[] = {
      {"select * from " + table, 3},
      {"select a from " + table + " where id >= 2 order by id desc", 2},
  };
  for (const auto& [sql, rows] : cases) {
    SCOPED_TRACE(sql);
    auto recordSet = connection().open(sql, OpenOptions{});
    if (target().countsRows)
      EXPECT_EQ(recordSet->recordCount(), rows);
    else
      EXPECT_LT(recordSet->recordCount(), 1);
    recordSet->close();
  }
}

TEST_P(BackendSuite, QueryWithoutRowsIsOpenAndAtItsEnd) {
  const auto table = createKeyedTable({"x"});
  auto recordSet = connection().open("select * from " + table + " where id > 100", OpenOptions{});
  EXPECT_TRUE(recordSet->isOpen());
  EXPECT_TRUE(recordSet->eof());
  EXPECT_EQ(recordSet->fieldCount(), 2);
  EXPECT_LT(recordSet->recordCount(), 1);
  recordSet->close();
}

TEST_P(BackendSuite, StatementWithoutResultSetFails) {
  const auto table = createKeyedTable({"x"});
  EXPECT_EQ(errorOf([&] { connection().open("update " + table + " set a = 'z'", OpenOptions{}); }),
            "CommandText does not return a result set");
}

// A user's statement is only ever read: one that would write, or a second
// statement after the first, is refused before anything runs. A ";" after a
// single statement is fine.
TEST_P(BackendSuite, StatementsThatWriteAreRefusedAndChangeNothing) {
  const auto table = createKeyedTable({"x", "y"});
  const std::string statements[] = {
      "delete from " + table + " returning *",
      "update " + table + " set a = 'z' returning *",
      "insert into " + table + " (id, a) values (9, 'z') returning *",
      "select * from " + table + "; delete from " + table,
      "select * from " + table + " ;; update " + table + " set a = 'z'",
      "with d as (delete from " + table + " returning *) select * from d",
  };
  for (const std::string& sql : statements) {
    SCOPED_TRACE(sql);
    EXPECT_FALSE(errorOf([&] { connection().open(sql, OpenOptions{}); }).empty());
    EXPECT_EQ(columnA(table), (Column{"x", "y"}));
  }
  EXPECT_EQ(readColumn(connection(), "select a from " + table + " order by id;"),
            (Column{"x", "y"}));
}

// "select * from " + a name with a blank is sent as typed and fails with the
// database's own error; quoted by the user, the same table opens and writes.
TEST_P(BackendSuite, TableNameWithABlankIsSentAsTyped) {
  const auto name = uniqueName("my table");
  const auto quoted = target().quote(name);
  execute("CREATE TABLE " + quoted + " (id " + target().keyColumn + ", a " + target().textType +
          ")");
  dropLater(quoted);
  execute("INSERT INTO " + quoted + " (id, a) VALUES (1, 'x')");

  EXPECT_THAT(connection().tableNames(), ::testing::Contains(name));
  EXPECT_FALSE(errorOf([&] { connection().open("select * from " + name, OpenOptions{}); }).empty());

  auto recordSet = connection().open("select * from " + quoted, OpenOptions{});
  EXPECT_EQ(readFieldText(*recordSet, 1), "x");
  recordSet->setValue(1, "y");
  recordSet->moveNext();
  recordSet->close();
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + quoted), (Column{"y"}));
}

// A job's table name with a blank reaches the table of that name, never the
// table before the blank (which "select * from t data" would read, with the
// alias data, and write). A name the database does not list is refused
// with the quoted form to type; one the user quoted is kept as typed.
TEST_P(BackendSuite, JobTableNameWithABlankReachesThatTableOrIsRefused) {
  const auto base = createKeyedTable({"base"});
  const auto name = base + " data";
  const auto quoted = target().quote(name);
  execute("CREATE TABLE " + quoted + " (id " + target().keyColumn + ", a " + target().textType +
          ")");
  dropLater(quoted);
  execute("INSERT INTO " + quoted + " (id, a) VALUES (1, 'x')");

  TSettings job;
  job.useTable = true;
  for (const std::string& typed : {name, quoted}) {
    SCOPED_TRACE(typed);
    job.tableName = typed;
    auto recordSet = connection().open(jobStatement(job, connection()), OpenOptions{});
    ASSERT_EQ(readFieldText(*recordSet, 1), typed == name ? "x" : "y");
    recordSet->setValue(1, "y");
    recordSet->moveNext();
    recordSet->close();
  }
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + quoted), (Column{"y"}));
  EXPECT_EQ(columnA(base), (Column{"base"}));

  job.tableName = base + " other";
  EXPECT_EQ(errorOf([&] { jobStatement(job, connection()); }),
            "The table name '" + job.tableName +
                "' is not a table the database lists, and as typed it would not be read as one "
                "table name; if it names a table, type it quoted: " +
                target().quote(job.tableName));
  job.tableName = base;
  EXPECT_THAT(jobStatement(job, connection()), HasSubstr(base));
}

// Another connection changes the row in hand after it was read: the write
// must not overwrite that change, and the error names the table and key.
TEST_P(BackendSuite, ConcurrentChangeIsNotOverwritten) {
  const auto table = uniqueName("t");
  execute("CREATE TABLE " + table + " (id " + target().keyColumn + ", a " + target().textType +
          ")");
  dropLater(table);
  for (const char* row : {"(7001, 'a1')", "(7002, 'a2')"})
    execute("INSERT INTO " + table + " (id, a) VALUES " + row);

  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  EXPECT_EQ(readFieldText(*recordSet, 1), "a1");
  recordSet->setValue(1, "mine");
  secondConnection().execute("UPDATE " + table + " SET a = 'theirs' WHERE id = 7001");
  const auto message = errorOf([&] { recordSet->moveNext(); });
  EXPECT_THAT(message, HasSubstr(table));
  EXPECT_THAT(message, HasSubstr("7001"));
  recordSet.reset();

  EXPECT_EQ(columnA(table), (Column{"theirs", "a2"}));
}

// A write the database refuses ends the run with its error; the rows moved
// past keep their new values and the failing row its old ones.
TEST_P(BackendSuite, FailedWriteKeepsEarlierRows) {
  const auto table = uniqueName("t");
  execute("CREATE TABLE " + table + " (id " + target().keyColumn + ", a " + target().textType +
          " NOT NULL)");
  dropLater(table);
  for (const char* row : {"(1, 'a1')", "(2, 'a2')", "(3, 'a3')"})
    execute("INSERT INTO " + table + " (id, a) VALUES " + row);

  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  recordSet->setValue(1, "n1");
  recordSet->moveNext();
  recordSet->setValue(1, std::nullopt);
  EXPECT_THAT(errorOf([&] { recordSet->moveNext(); }), HasSubstr(table));
  recordSet.reset();

  EXPECT_EQ(columnA(table), (Column{"n1", "a2", "a3"}));
}

// Writing the column the query filters and sorts on must not bring a row
// back (an index walk would meet "bz" again after "b").
TEST_P(BackendSuite, EveryRowIsVisitedOnceWhenTheSortColumnChanges) {
  const auto table = createKeyedTable({"b", "c", "d"});
  const auto index = uniqueName("ix");
  execute("CREATE INDEX " + index + " ON " + table + " (a)");

  auto recordSet =
      connection().open("select id, a from " + table + " where a >= 'b' order by a", OpenOptions{});
  int visits = 0;
  for (; !recordSet->eof() && visits < 10; recordSet->moveNext()) {
    recordSet->setValue(1, readFieldText(*recordSet, 1) + "z");
    ++visits;
  }
  recordSet->close();

  EXPECT_EQ(visits, 3);
  EXPECT_EQ(columnA(table), (Column{"bz", "cz", "dz"}));
}

TEST_P(BackendSuite, ViewReadsAndWritesItsBaseTableOrRefuses) {
  const auto table = createKeyedTable({"x", "y"});
  const auto view = uniqueName("v");
  execute("CREATE VIEW " + view + " AS SELECT id, a FROM " + table);
  dropLater(view, true);

  EXPECT_THAT(connection().tableNames(), ::testing::IsSupersetOf({table, view}));
  auto recordSet = connection().open("select * from " + view + " order by id", OpenOptions{});
  EXPECT_EQ(readFieldText(*recordSet, 1), "x");
  if (target().viewIsUpdatable) {
    EXPECT_TRUE(recordSet->supportsUpdates());
    recordSet->setValue(1, "vx");
    recordSet->moveNext();
    recordSet->close();
    EXPECT_EQ(columnA(table), (Column{"vx", "y"}));
  } else {
    EXPECT_FALSE(recordSet->supportsUpdates());
    EXPECT_FALSE(errorOf([&] { recordSet->setValue(1, "vx"); }).empty());
    recordSet->moveNext();
    recordSet->close();
    EXPECT_EQ(columnA(table), (Column{"x", "y"}));
  }
}

TEST_P(BackendSuite, TableWithoutKeyWritesByRowIdentityOrRefuses) {
  const auto table = uniqueName("nokey");
  execute("CREATE TABLE " + table + " (a " + target().textType + ", b " + target().textType + ")");
  dropLater(table);
  execute("INSERT INTO " + table + " (a, b) VALUES ('x', '1')");
  execute("INSERT INTO " + table + " (a, b) VALUES ('x', '2')");

  auto recordSet = connection().open("select * from " + table, OpenOptions{});
  const std::string check = "select a from " + table + " order by b";
  if (target().keylessTableIsUpdatable) {
    EXPECT_TRUE(recordSet->supportsUpdates());
    for (; !recordSet->eof(); recordSet->moveNext())
      recordSet->setValue(0, readFieldText(*recordSet, 0) + readFieldText(*recordSet, 1));
    recordSet->close();
    EXPECT_EQ(readColumn(secondConnection(), check), (Column{"x1", "x2"}));
  } else {
    EXPECT_FALSE(recordSet->supportsUpdates());
    EXPECT_FALSE(errorOf([&] { recordSet->setValue(0, "z"); }).empty());
    recordSet->close();
    EXPECT_EQ(readColumn(secondConnection(), check), (Column{"x", "x"}));
  }
}

// A table joined with itself, or read again in a column's subquery: the
// other appearance's value (the boss's name beside the employee's key) is
// never written into the employee's row, and the refusal of the join names
// the table. Where a backend tells the appearances apart, the employee's own
// columns may stay writable, and then reach the employee's row.
TEST_P(BackendSuite, TableReadTwiceNeverWritesThroughTheOtherAppearance) {
  const auto emp = uniqueName("emp");
  execute("CREATE TABLE " + emp + " (id " + target().keyColumn + ", name " + target().textType +
          ", boss INTEGER)");
  dropLater(emp);
  execute("INSERT INTO " + emp + " (id, name, boss) VALUES (1, 'ann', NULL)");
  execute("INSERT INTO " + emp + " (id, name, boss) VALUES (2, 'bob', 1)");
  execute("INSERT INTO " + emp + " (id, name, boss) VALUES (3, 'cy', 2)");
  const std::string join = " from " + emp + " e join " + emp + " b on b.id = e.boss order by e.id";
  struct Case {
    std::string sql;
    int bossName;  // the field of the other appearance
    int ownName;   // the employee's own name, or -1
    bool join;
  };
  const Case cases[] = {
      {"select e.id, b.name as boss_name" + join, 1, -1, true},
      {"select e.id, e.name, b.name as boss_name" + join, 2, 1, true},
      {"select (select b.name from " + emp + " b where b.id = e.boss) as boss_name, e.id from " +
           emp + " e where e.boss is not null order by e.id",
       0, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    execute("UPDATE " + emp +
            " SET name = CASE id WHEN 1 THEN 'ann' WHEN 2 THEN 'bob' ELSE 'cy' END");
    auto recordSet = connection().open(c.sql, OpenOptions{});
    const bool ownWritable = c.ownName >= 0 && recordSet->supportsUpdates();
    for (; !recordSet->eof(); recordSet->moveNext()) {
      const std::string refusal = errorOf([&] { recordSet->setValue(c.bossName, "X"); });
      EXPECT_THAT(refusal, HasSubstr(c.join ? emp : ""));
      if (ownWritable) recordSet->setValue(c.ownName, readFieldText(*recordSet, c.ownName) + "!");
    }
    recordSet->close();
    EXPECT_EQ(readColumn(secondConnection(), "SELECT name FROM " + emp + " ORDER BY id"),
              ownWritable ? (Column{"ann", "bob!", "cy!"}) : (Column{"ann", "bob", "cy"}));
  }
}

TEST_P(BackendSuite, ResultFromTwoTablesRefusesWrites) {
  const auto left = createKeyedTable({"x"}, "l");
  const auto right = createKeyedTable({"y"}, "r");

  auto recordSet = connection().open("select " + left + ".a, " + right + ".a as b from " + left +
                                         ", " + right + " where " + left + ".id = " + right + ".id",
                                     OpenOptions{});
  EXPECT_FALSE(recordSet->supportsUpdates());
  EXPECT_FALSE(errorOf([&] { recordSet->setValue(0, "z"); }).empty());
  recordSet->moveNext();
  recordSet->close();
  EXPECT_EQ(columnA(left), (Column{"x"}));
}

}  // namespace rowsmith::db::testing
