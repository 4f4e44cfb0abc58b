// The shared suite and the native MariaDB backend's own cases, against the
// throwaway server of the CTest fixture "mariadb" (scripts/start-mariadb).
#include <gmock/gmock.h>

#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/BackendGroupSuite.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/ConnectionFactory.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/mariadb/MariadbConnectionInfo.h"
#include "engine/db/mariadb/MariadbGroupStatement.h"
#include "engine/db/mariadb/MariadbRangeGroupStatement.h"
#include "engine/db/mariadb/MariadbTableInfo.h"
#include "support/MariadbTestServer.h"

namespace rowsmith::db::testing {

namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Column = std::vector<std::optional<std::string>>;

std::map<std::string, std::string> serverEnv() { return rowsmith::test::mariadbServerEnv(); }

std::string mariadbConnectionString() { return rowsmith::test::mariadbNativeConnectionString(); }

BackendTarget mariadbTarget() {
  BackendTarget target;
  target.name = "Mariadb";
  target.connectionString = mariadbConnectionString;
  target.longTextType = "LONGTEXT";
  target.concat = [](const std::string& a, const std::string& b) {
    return "concat(" + a + ", " + b + ")";
  };
  target.generatedColumn = "VARCHAR(200) GENERATED ALWAYS AS (concat(a, '!')) STORED";
  target.quote = [](const std::string& identifier) { return "`" + identifier + "`"; };
  target.viewIsUpdatable = false;
  target.keylessTableIsUpdatable = false;
  target.countsRows = true;
  target.auditTrigger = [](const std::string& table, const std::string& audit) {
    return BackendTarget::AuditTrigger{
        {"CREATE TRIGGER " + audit + "_trigger AFTER UPDATE ON " + table +
         " FOR EACH ROW INSERT INTO " + audit + " (id) VALUES (NEW.id)"},
        {}};
  };
  return target;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Mariadb, BackendSuite, ::testing::Values(mariadbTarget()),
                         BackendTargetName());
INSTANTIATE_TEST_SUITE_P(Mariadb, BackendGroupSuite, ::testing::Values(mariadbTarget()),
                         BackendTargetName());

class MariadbBackend : public BackendSuite {
 protected:
  std::string table(const std::string& stem, const std::string& columns) {
    const std::string name = uniqueName(stem);
    execute("CREATE TABLE " + name + " (" + columns + ")");
    dropLater(name);
    return name;
  }

  // A table of 100 rows (id 1 to 100, a = 'old') whose row 60 the returned
  // session holds locked in an open transaction; ROLLBACK lets it go.
  std::pair<std::string, std::unique_ptr<Connection>> tableWithRow60Locked(
      const std::string& stem) {
    const auto name = table(stem, "id INTEGER PRIMARY KEY, a VARCHAR(20)");
    execute("INSERT INTO " + name +
            " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
            "WHERE i < 100) SELECT i, 'old' FROM n");
    auto locker = connect(m_connectionString);
    locker->execute("START TRANSACTION");
    locker->execute("UPDATE " + name + " SET a = 'held' WHERE id = 60");
    return {name, std::move(locker)};
  }

  // The outcome of a cancel that stopped the writes at the locked row 60:
  // rows 1 to 59 written, none after.
  void expectWrittenUpToRow59(const std::string& name, const std::string& outcome) {
    EXPECT_THAT(outcome, HasSubstr("Cancelled while writing to table " + name + ", key id=60"));
    EXPECT_EQ(readColumn(secondConnection(), "select count(*) from " + name + " where a = 'new'"),
              (Column{"59"}));
    EXPECT_EQ(readColumn(secondConnection(), "select max(id) from " + name + " where a = 'new'"),
              (Column{"59"}));
  }
};

INSTANTIATE_TEST_SUITE_P(Mariadb, MariadbBackend, ::testing::Values(mariadbTarget()),
                         BackendTargetName());

// Each column type maps to its ADO type and reads as its exact text (DECIMAL
// and BIGINT UNSIGNED digit for digit, binary values byte for byte, dates in
// ISO 8601); and writing that text back is no conflict and changes nothing,
// which proves the optimistic check compares every type correctly.
TEST_P(MariadbBackend, TypesReadAsAdoTypesAndTextAndWriteBackUnchanged) {
  struct Case {
    const char* type;
    const char* literal;
    DataType dataType;
    Value::Kind kind;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"TINYINT", "-128", DataType::TinyInt, Value::Kind::Integer, "-128"},
      {"INT UNSIGNED", "4294967295", DataType::UnsignedInt, Value::Kind::Unsigned, "4294967295"},
      {"BIGINT", "-9223372036854775808", DataType::BigInt, Value::Kind::Integer,
       "-9223372036854775808"},
      {"BIGINT UNSIGNED", "18446744073709551615", DataType::UnsignedBigInt, Value::Kind::Unsigned,
       "18446744073709551615"},
      {"DECIMAL(40,10)", "123456789012345678901234567890.0123456789", DataType::Numeric,
       Value::Kind::Decimal, "123456789012345678901234567890.0123456789"},
      {"DOUBLE", "0.1", DataType::Double, Value::Kind::Real, "0.1"},
      {"DATE", "'2024-02-29'", DataType::DBDate, Value::Kind::DateTime, "2024-02-29"},
      {"DATETIME(6)", "'2024-02-29 13:14:15.5'", DataType::DBTimeStamp, Value::Kind::DateTime,
       "2024-02-29T13:14:15.500000"},
      {"TIME", "'13:14:15'", DataType::DBTime, Value::Kind::DateTime, "13:14:15"},
      {"VARCHAR(20)", "'é, ü and 😀'", DataType::VarChar, Value::Kind::Text, "é, ü and 😀"},
      {"VARCHAR(20) CHARACTER SET latin1", "'café'", DataType::VarChar, Value::Kind::Text, "café"},
      {"CHAR(5)", "'ab'", DataType::Char, Value::Kind::Text, "ab"},
      {"TEXT", "'some text'", DataType::LongVarChar, Value::Kind::Text, "some text"},
      {"BINARY(4)", "X'00FF0A'", DataType::Binary, Value::Kind::Binary,
       std::string("\x00\xff\x0a\x00", 4)},
      {"VARBINARY(8)", "X'C328'", DataType::VarBinary, Value::Kind::Binary, "\xc3\x28"},
      {"LONGBLOB", "X'00'", DataType::LongVarBinary, Value::Kind::Binary, std::string(1, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const auto name = table("types", std::string("id INTEGER PRIMARY KEY, v ") + c.type);
    execute("INSERT INTO " + name + " VALUES (1, " + c.literal + ")");
    auto recordSet = connection().open("select * from " + name, OpenOptions{});
    EXPECT_EQ(recordSet->fieldType(1), c.dataType);
    const Value& value = recordSet->value(1);
    EXPECT_EQ(value.kind, c.kind);
    EXPECT_EQ(value.text, c.text);
    const std::string stored =
        readColumn(secondConnection(), "select hex(v) from " + name)[0].value();
    recordSet->setValue(1,
                        c.kind == Value::Kind::DateTime && c.text.size() > 10 && c.text[10] == 'T'
                            ? c.text.substr(0, 10) + " " + c.text.substr(11)
                            : c.text);
    recordSet->moveNext();
    recordSet->close();
    EXPECT_EQ(readColumn(secondConnection(), "select hex(v) from " + name)[0], stored);
  }
}

// Both provider names reach the server, by TCP or by its Unix socket. A
// server that cannot be reached is named in the error, the password never.
TEST_P(MariadbBackend, ConnectsByPortOrSocketAndNamesWhatFailed) {
  auto env = serverEnv();
  for (const std::string& text :
       {"Provider=MySQL;Socket=" + env["MARIADB_SOCKET"] + ";Database=rowsmith;User ID=root",
        "Provider=MariaDB;Server=127.0.0.1;Port=" + env["MARIADB_PORT"] +
            ";Initial Catalog=rowsmith;UID=root;PWD="}) {
    SCOPED_TRACE(text);
    auto connection = connect(text);
    EXPECT_EQ(readColumn(*connection, "select @@character_set_client, @@character_set_results"),
              (Column{"utf8mb4"}));
    EXPECT_EQ(connection->quoteIdentifier("a`b"), "`a``b`");
  }
  EXPECT_THAT(
      connect("Provider=MySQL;Socket=" + env["MARIADB_SOCKET"] + ";Database=rowsmith;User ID=root")
          ->describe(),
      HasSubstr("MySQL, socket " + env["MARIADB_SOCKET"] + ", database rowsmith, user root"));

  const std::string wrongUser = "Provider=MariaDB;Server=127.0.0.1;Port=" + env["MARIADB_PORT"] +
                                ";Database=rowsmith;User ID=nobody_here;Password=s3cret-word";
  const std::string message = errorOf([&] { connect(wrongUser); });
  EXPECT_THAT(message, HasSubstr("Cannot connect to MariaDB, host 127.0.0.1, port " +
                                 env["MARIADB_PORT"] + ", database rowsmith, user nobody_here: "));
  EXPECT_THAT(message, Not(HasSubstr("s3cret-word")));
  const std::pair<const char*, const char*> badValues[] = {
      {"Provider=MySQL;Server=127.0.0.1;Lock Timeout=soon",
       "Cannot connect to MySQL: Lock Timeout \"soon\" is not a number of seconds (0 waits "
       "without limit)"},
      {"Provider=MariaDB;Server=127.0.0.1;Port=70000",
       "Cannot connect to MariaDB: Port \"70000\" is not a port number (1 to 65535)"},
  };
  for (const auto& [text, error] : badValues) EXPECT_EQ(errorOf([&] { connect(text); }), error);
}

// Rows are found by the primary key, or by a unique key over NOT NULL
// columns; a unique key that allows NULL picks out no row, and such a table
// is read-only with the reason.
TEST_P(MariadbBackend, RowsAreFoundByPrimaryOrUniqueNotNullKey) {
  const auto unique = table("uq", "code VARCHAR(10) NOT NULL, a VARCHAR(20), UNIQUE KEY (code)");
  execute("INSERT INTO " + unique + " VALUES ('x', 'one'), ('X2', 'two')");
  {
    auto recordSet =
        connection().open("select a, code from " + unique + " order by code", OpenOptions{});
    ASSERT_TRUE(recordSet->supportsUpdates());
    for (; !recordSet->eof(); recordSet->moveNext())
      recordSet->setValue(0, readFieldText(*recordSet, 0) + "!");
    recordSet->close();
  }
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + unique + " order by code"),
            (Column{"one!", "two!"}));

  const auto nullable = table("nq", "code VARCHAR(10), a VARCHAR(20), UNIQUE KEY (code)");
  execute("INSERT INTO " + nullable + " VALUES ('x', 'one')");
  auto recordSet = connection().open("select * from " + nullable, OpenOptions{});
  EXPECT_FALSE(recordSet->supportsUpdates());
  EXPECT_EQ(errorOf([&] { recordSet->setValue(1, "z"); }),
            "The record set cannot be updated: table " + nullable +
                " has no primary key or unique key over NOT NULL columns");

  auto withoutKey = connection().open("select a from " + unique, OpenOptions{});
  EXPECT_EQ(errorOf([&] { withoutKey->setValue(0, "z"); }),
            "The record set cannot be updated: the key of table " + unique +
                " (code) is not part of the result");
}

// Keys that a floating-point comparison would confuse (neighbouring large
// DECIMAL and BIGINT UNSIGNED values) still pick out exactly one row.
TEST_P(MariadbBackend, KeysNearEachOtherPickOutTheirOwnRow) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"DECIMAL(30,10)", {"12345678901234567890.1234567890", "12345678901234567890.1234567891"}},
      {"BIGINT UNSIGNED", {"18446744073709551614", "18446744073709551615"}},
  };
  for (const auto& [type, keys] : cases) {
    SCOPED_TRACE(type);
    const auto name = table("near", std::string("k ") + type + " PRIMARY KEY, a VARCHAR(20)");
    for (const auto& key : keys) execute("INSERT INTO " + name + " VALUES ('" + key + "', 'old')");
    auto recordSet = connection().open("select * from " + name + " order by k", OpenOptions{});
    ASSERT_EQ(readFieldText(*recordSet, 0), keys[0]);
    recordSet->setValue(1, "new");
    recordSet->moveNext();
    recordSet->close();
    EXPECT_EQ(readColumn(secondConnection(), "select a from " + name + " order by k"),
              (Column{"new", "old"}));
  }
}

// Another session's change that the column's collation calls equal (a
// change of case, of trailing blanks) is still a change: it is not
// overwritten.
TEST_P(MariadbBackend, ChangeOfCaseOrTrailingBlanksIsAConflict) {
  const auto name = table("ci", "id INTEGER PRIMARY KEY, a VARCHAR(20)");
  execute("INSERT INTO " + name + " VALUES (1, 'abc'), (2, 'abc')");
  auto recordSet = connection().open("select * from " + name + " order by id", OpenOptions{});
  recordSet->setValue(1, "mine");
  secondConnection().execute("UPDATE " + name + " SET a = 'ABC' WHERE id = 1");
  EXPECT_EQ(errorOf([&] { recordSet->moveNext(); }),
            "Row changed by another user since it was read: table " + name + ", key id=1");
  recordSet.reset();
  recordSet = connection().open("select * from " + name + " where id = 2", OpenOptions{});
  recordSet->setValue(1, "mine");
  secondConnection().execute("UPDATE " + name + " SET a = 'abc  ' WHERE id = 2");
  EXPECT_THAT(errorOf([&] { recordSet->moveNext(); }), HasSubstr("key id=2"));
  recordSet.reset();
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + name + " order by id"),
            (Column{"ABC", "abc  "}));
}

// A value the column cannot hold is refused, never cut short.
TEST_P(MariadbBackend, ValueTooLongIsRefusedNotTruncated) {
  const auto name = table("len", "id INTEGER PRIMARY KEY, a VARCHAR(3)");
  execute("INSERT INTO " + name + " VALUES (1, 'abc')");
  auto recordSet = connection().open("select * from " + name, OpenOptions{});
  recordSet->setValue(1, "abcdef");
  EXPECT_THAT(errorOf([&] { recordSet->moveNext(); }),
              HasSubstr("Cannot write to table " + name + ", key id=1: Data too long"));
  recordSet.reset();
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + name), (Column{"abc"}));
}

// A row another session keeps locked is waited for up to the Lock Timeout;
// then the write fails naming the row, and the rows before it are kept. A
// cancel ends the wait at once.
TEST_P(MariadbBackend, LockedRowTimesOutOrIsCancelled) {
  const auto name = table("lock", "id INTEGER PRIMARY KEY, a VARCHAR(20)");
  execute("INSERT INTO " + name + " VALUES (1, 'a1'), (2, 'a2'), (3, 'a3')");
  auto locker = connect(m_connectionString);
  locker->execute("START TRANSACTION");
  locker->execute("UPDATE " + name + " SET a = 'held' WHERE id = 2");

  auto timed = connect(m_connectionString + ";Lock Timeout=1");
  {
    auto recordSet = timed->open("select * from " + name + " order by id", OpenOptions{});
    recordSet->setValue(1, "n1");
    recordSet->moveNext();
    recordSet->setValue(1, "n2");
    EXPECT_EQ(errorOf([&] { recordSet->moveNext(); }),
              "Cannot write to table " + name +
                  ", key id=2: another session held a lock on the row (or its table) for longer "
                  "than the lock timeout of 1 second; end that session's transaction, or set a "
                  "longer Lock Timeout (in seconds) in the connection string");
  }
  EXPECT_EQ(columnA(name), (Column{"n1", "a2", "a3"}));

  auto recordSet = connection().open("select * from " + name + " order by id", OpenOptions{});
  recordSet->setValue(1, "m1");
  recordSet->moveNext();
  recordSet->setValue(1, "m2");
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    connection().cancel();
  });
  bool cancelled = false;
  try {
    recordSet->moveNext();
  } catch (const Cancelled& e) {
    cancelled = true;
    EXPECT_THAT(e.what(), HasSubstr("key id=2"));
  }
  canceller.join();
  EXPECT_TRUE(cancelled);
  recordSet.reset();
  locker->execute("ROLLBACK");
  EXPECT_EQ(columnA(name), (Column{"m1", "a2", "a3"}));
}

// A user's statement runs in a READ ONLY transaction: a function it calls
// cannot write either.
TEST_P(MariadbBackend, StatementCallingAWritingFunctionIsRefused) {
  const auto name = table("ro", "id INTEGER PRIMARY KEY, a VARCHAR(20)");
  const auto function = uniqueName("writes");
  execute("CREATE FUNCTION " + function +
          "() RETURNS INTEGER MODIFIES SQL DATA BEGIN INSERT INTO " + name +
          " VALUES (9, 'z'); RETURN 1; END");
  runAtEnd("DROP FUNCTION " + function);
  EXPECT_THAT(errorOf([&] { connection().open("select " + function + "()", OpenOptions{}); }),
              HasSubstr("READ ONLY transaction"));
  EXPECT_EQ(readColumn(secondConnection(), "select count(*) from " + name), (Column{"0"}));
}

// The connection lost in the middle of a transaction of rows: the error
// names the row in hand and says that the rows written since the last
// commit were rolled back with it, as the server did.
TEST_P(MariadbBackend, LostConnectionReportsTheRowsRolledBack) {
  const auto name = uniqueName("lost");
  secondConnection().execute("CREATE TABLE " + name + " (id INTEGER PRIMARY KEY, a VARCHAR(20))");
  secondConnection().execute("INSERT INTO " + name + " VALUES (1, 'a1'), (2, 'a2'), (3, 'a3')");
  const auto marker = uniqueName("session");
  execute("CREATE TABLE " + marker + " SELECT connection_id() AS id");
  const auto session = readColumn(secondConnection(), "select id from " + marker)[0].value();
  secondConnection().execute("DROP TABLE " + marker);

  auto recordSet = connection().open("select * from " + name + " order by id", OpenOptions{});
  for (int row = 1; row <= 2; ++row) {
    recordSet->setValue(1, "n" + std::to_string(row));
    recordSet->moveNext();
  }
  secondConnection().execute("KILL " + session);
  recordSet->setValue(1, "n3");
  EXPECT_THAT(errorOf([&] { recordSet->moveNext(); }),
              AllOf(HasSubstr("Cannot write to table " + name + ", key id=3: "),
                    HasSubstr("; no row was kept: the 2 rows written were rolled back")));
  recordSet.reset();
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + name + " order by id"),
            (Column{"a1", "a2", "a3"}));
  secondConnection().execute("DROP TABLE " + name);
}

// A query that waits for another session's lock on its table is
// interrupted by a cancel and ends as cancelled. It waits without limit:
// only the cancel can end the wait.
TEST_P(MariadbBackend, CancelInterruptsAQueryThatWaits) {
  const auto name = table("wait", "id INTEGER PRIMARY KEY, a VARCHAR(20)");
  auto locker = connect(m_connectionString);
  locker->execute("LOCK TABLES " + name + " WRITE");
  auto patient = connect(m_connectionString + ";Lock Timeout=0");
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    patient->cancel();
  });
  bool cancelled = false;
  try {
    patient->open("select * from " + name, OpenOptions{});
  } catch (const Cancelled&) {
    cancelled = true;
  } catch (const Error& e) {
    ADD_FAILURE() << e.what();
  }
  canceller.join();
  locker->execute("UNLOCK TABLES");
  EXPECT_TRUE(cancelled);
}

// Rows after the first few are written a group at a time, by one statement:
// an AFTER UPDATE trigger sees one statement time (NOW(6)) for a whole
// group, where rows written one by one would each show their own.
TEST_P(MariadbBackend, RowsAreWrittenInGroups) {
  const auto name = table("grp", "id INTEGER PRIMARY KEY, a VARCHAR(20)");
  const auto audit = table("grp_audit", "t DATETIME(6)");
  execute("INSERT INTO " + name +
          " WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
          "WHERE i < 300) SELECT i, concat('a', i) FROM n");
  execute("CREATE TRIGGER " + audit + "_trigger AFTER UPDATE ON " + name +
          " FOR EACH ROW INSERT INTO " + audit + " VALUES (NOW(6))");
  auto recordSet = connection().open("select * from " + name, OpenOptions{});
  for (; !recordSet->eof(); recordSet->moveNext()) recordSet->setValue(1, "n");
  recordSet->close();
  EXPECT_EQ(readColumn(secondConnection(), "select count(*), count(distinct t) from " + audit),
            (Column{"300"}));
  const auto statements = std::stoi(
      readColumn(secondConnection(), "select count(distinct t) from " + audit)[0].value());
  EXPECT_LT(statements, 30);
  EXPECT_EQ(readColumn(secondConnection(), "select count(*) from " + name + " where a = 'n'"),
            (Column{"300"}));
}

// The group statement in both forms (a VALUES list for MariaDB, UNION ALL
// SELECTs for any server) writes exactly the rows whose old values still
// hold, with NULLs, bytes and text that needs escaping kept exact.
TEST_P(MariadbBackend, GroupStatementWritesExactlyTheUnchangedRows) {
  const auto name = table("gs", "id INTEGER PRIMARY KEY, a VARCHAR(40), b VARBINARY(8)");
  const MariadbConnectionInfo info{ConnectionString(m_connectionString)};
  MysqlPtr session = info.open();
  const MariadbTableInfo tableInfo = MariadbTableInfo::load(session.get(), "rowsmith", name);
  const std::vector<bool> binary = {false, false, true};
  const std::string tricky = "it's a \\ \"quote\" 😀";
  const std::vector<MariadbRowChanges> rows = {
      {{"1"}, {{1, tricky, "a1"}, {2, std::string("\0\xff", 2), std::nullopt}}},
      {{"2"}, {{1, std::nullopt, "a2"}, {2, "x", std::string("\x01", 1)}}},
      {{"3"}, {{1, "new3", "stale"}, {2, "y", std::nullopt}}},
  };
  std::vector<const MariadbRowChanges*> members;
  for (const auto& row : rows) members.push_back(&row);
  for (const bool valuesLists : {true, false}) {
    SCOPED_TRACE(valuesLists);
    execute("DELETE FROM " + name);
    execute("INSERT INTO " + name + " VALUES (1, 'a1', NULL), (2, 'a2', X'01'), (3, 'a3', NULL)");
    const std::string sql = MariadbGroupStatement::build(session.get(), tableInfo, binary, {1, 2},
                                                         members, valuesLists);
    ASSERT_EQ(mysql_real_query(session.get(), sql.data(), sql.size()), 0)
        << mysql_error(session.get());
    EXPECT_EQ(mysql_affected_rows(session.get()), 2u);
    EXPECT_EQ(readColumn(secondConnection(), "select a from " + name + " order by id"),
              (Column{tricky, std::nullopt, "a3"}));
    EXPECT_EQ(readColumn(secondConnection(), "select hex(b) from " + name + " order by id"),
              (Column{"00FF", "78", std::nullopt}));
  }
}

// The group statement over a range of integer keys writes exactly the rows
// of the group whose old values still hold: a key of the range that is not
// in the group is left alone, NULLs, empty values, bytes, text that needs
// escaping and text stored in another character set are kept exact, and
// groups it does not suit (keys far apart or repeated) are left to the
// statement that joins the rows.
TEST_P(MariadbBackend, RangeGroupStatementWritesExactlyTheRowsOfTheGroup) {
  const auto name = table("rg",
                          "id INTEGER PRIMARY KEY, a VARCHAR(40), b VARBINARY(8), "
                          "c VARCHAR(20) CHARACTER SET latin1");
  const MariadbConnectionInfo info{ConnectionString(m_connectionString)};
  MysqlPtr session = info.open();
  const MariadbTableInfo tableInfo = MariadbTableInfo::load(session.get(), "rowsmith", name);
  const std::vector<bool> binary = {false, false, true, false};
  const std::string tricky = "it's a \\ \"quote\" \n😀";
  const std::vector<MariadbRowChanges> rows = {
      {{"-2"}, {{1, tricky, "a1"}, {2, std::string("\0\xff'", 3), std::nullopt}, {3, "café", "c"}}},
      {{"-1"}, {{1, std::nullopt, "a2"}, {2, "", std::string("\x01", 1)}, {3, "", std::nullopt}}},
      {{"2"}, {{1, "new", "stale"}, {2, "y", std::nullopt}, {3, "d", "c"}}},
      {{"1"}, {{1, "", "a4"}, {2, "\\", "\\"}, {3, std::nullopt, "c"}}},
  };
  std::vector<const MariadbRowChanges*> members;
  for (const auto& row : rows) members.push_back(&row);
  execute("INSERT INTO " + name +
          " VALUES (-2, 'a1', NULL, 'c'), (-1, 'a2', X'01', NULL), (0, 'a0', X'02', 'c'), "
          "(1, 'a4', X'5C', 'c'), (2, 'a3', NULL, 'c')");
  const auto sql =
      MariadbRangeGroupStatement::build(session.get(), tableInfo, binary, {1, 2, 3}, members);
  ASSERT_TRUE(sql);
  ASSERT_EQ(mysql_real_query(session.get(), sql->data(), sql->size()), 0)
      << mysql_error(session.get());
  EXPECT_EQ(mysql_affected_rows(session.get()), 3u);
  EXPECT_EQ(readColumn(secondConnection(), "select a from " + name + " order by id"),
            (Column{tricky, std::nullopt, "a0", "", "a3"}));
  EXPECT_EQ(readColumn(secondConnection(), "select hex(b) from " + name + " order by id"),
            (Column{"00FF27", "", "02", "5C", std::nullopt}));
  EXPECT_EQ(readColumn(secondConnection(), "select c from " + name + " order by id"),
            (Column{"café", "", "c", std::nullopt, "c"}));
  EXPECT_EQ(readColumn(secondConnection(), "select hex(c) from " + name + " where id = -2"),
            (Column{"636166E9"}));

  const std::vector<MariadbRowChanges> apart = {{{"1"}, {{1, "x", "y"}}},
                                                {{"500"}, {{1, "x", "y"}}}};
  const std::vector<MariadbRowChanges> twice = {{{"1"}, {{1, "x", "y"}}}, {{"1"}, {{1, "x", "y"}}}};
  for (const auto* group : {&apart, &twice}) {
    std::vector<const MariadbRowChanges*> pointers;
    for (const auto& row : *group) pointers.push_back(&row);
    EXPECT_FALSE(
        MariadbRangeGroupStatement::build(session.get(), tableInfo, binary, {1}, pointers));
  }
}

// A cancel while a group waits for a locked row: the rows of the group
// before that row are written, that row and the rows after it are not, and
// the run ends as cancelled.
TEST_P(MariadbBackend, CancelWhileAGroupWaitsKeepsTheRowsBeforeTheLockedOne) {
  const auto [name, locker] = tableWithRow60Locked("gw");
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    connection().cancel();
  });
  auto recordSet = connection().open("select * from " + name + " order by id", OpenOptions{});
  std::string outcome;
  try {
    for (; !recordSet->eof(); recordSet->moveNext()) recordSet->setValue(1, "new");
  } catch (const Cancelled& e) {
    outcome = e.what();
  } catch (const Error& e) {
    outcome = std::string("error: ") + e.what();
  }
  canceller.join();
  recordSet.reset();
  locker->execute("ROLLBACK");
  expectWrittenUpToRow59(name, outcome);
}

// A cancel asked for while a group is still being applied by the server,
// and the caller reads on: the group waits for a locked row, is interrupted
// a second later, and its rows are written one by one up to the locked one,
// which ends the run as cancelled.
TEST_P(MariadbBackend, CancelWhileAGroupIsInFlightKeepsTheRowsBeforeTheLockedOne) {
  const auto [name, locker] = tableWithRow60Locked("gf");
  auto recordSet = connection().open("select * from " + name + " order by id", OpenOptions{});
  std::string outcome;
  try {
    for (int id = 1; !recordSet->eof(); ++id) {
      // Rows 33 to 64 went to the server as one group on moving past row 64.
      if (id == 80) connection().cancel();
      recordSet->setValue(1, "new");
      recordSet->moveNext();
    }
  } catch (const Cancelled& e) {
    outcome = e.what();
  } catch (const Error& e) {
    outcome = std::string("error: ") + e.what();
  }
  recordSet.reset();
  locker->execute("ROLLBACK");
  expectWrittenUpToRow59(name, outcome);
}

// A derived table or common table expression names itself as its columns'
// table. Such a result never writes to a table that merely has that name,
// nor through a derived table that joins the table with itself; one whose
// name the database does not know opens read-only.
TEST_P(MariadbBackend, DerivedTablesNeverWriteThroughTheirName) {
  const auto emp = createKeyedTable({"x", "y"}, "emp");
  const auto other = createKeyedTable({"o1", "o2"}, "other");
  const std::string statements[] = {
      "select * from (select id, a from " + emp + ") " + other,
      "select * from (select t1.id, t2.a from " + emp + " t1 join " + emp +
          " t2 on t2.id = t1.id + 1) " + emp,
      "select * from (select id, a from " + emp + ") d",
      "with c as (select id, a from " + emp + ") select * from c",
  };
  for (const std::string& sql : statements) {
    SCOPED_TRACE(sql);
    auto recordSet = connection().open(sql, OpenOptions{});
    EXPECT_FALSE(recordSet->supportsUpdates());
    EXPECT_FALSE(errorOf([&] { recordSet->setValue(1, "z"); }).empty());
  }
  EXPECT_EQ(columnA(emp), (Column{"x", "y"}));
  EXPECT_EQ(columnA(other), (Column{"o1", "o2"}));

  // Read under its own name, the table is written as usual.
  auto recordSet = connection().open(
      "select * from (select id, a from " + emp + ") " + emp + " order by id", OpenOptions{});
  ASSERT_TRUE(recordSet->supportsUpdates());
  recordSet->setValue(1, "z");
  recordSet->moveNext();
  recordSet->close();
  EXPECT_EQ(columnA(emp), (Column{"z", "y"}));
}

}  // namespace rowsmith::db::testing
