#pragma once

// Cases of the ODBC backend that every ODBC driver must pass, on top of the
// shared suite. Included by each ODBC test file, which instantiates
// OdbcBackendCases with its target.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/BackendSuite.h"

namespace rowsmith::db::testing {

class OdbcBackendCases : public BackendSuite {};

// Text that is not ASCII arrives and goes back byte for byte (UTF-8), and
// values longer than one piece of SQLGetData arrive whole.
TEST_P(OdbcBackendCases, TextOfAnyKindAndLengthRoundTrips) {
  const std::string accented = "h\xC3\xA9llo w\xC3\xB6rld \xE2\x9C\x93";
  std::string longText;
  for (int i = 0; longText.size() < 100000; ++i) longText += std::to_string(i) + ",";
  const auto table = uniqueName("txt");
  execute("CREATE TABLE " + table + " (id " + target().keyColumn + ", a " + target().longTextType +
          ")");
  dropLater(table);
  execute("INSERT INTO " + table + " (id, a) VALUES (1, '" + accented + "')");
  execute("INSERT INTO " + table + " (id, a) VALUES (2, '" + longText + "')");

  auto recordSet = connection().open("select * from " + table + " order by id", OpenOptions{});
  EXPECT_EQ(readFieldText(*recordSet, 1), accented);
  recordSet->setValue(1, accented + "!");
  recordSet->moveNext();
  EXPECT_EQ(readFieldText(*recordSet, 1), longText);
  recordSet->setValue(1, longText + "!");
  recordSet->moveNext();
  recordSet->close();

  EXPECT_EQ(columnA(table),
            (std::vector<std::optional<std::string>>{accented + "!", longText + "!"}));
}

// A query that leaves out the key still writes: the key is read alongside,
// out of the caller's sight.
TEST_P(OdbcBackendCases, KeyLeftOutOfTheQueryIsReadUnseen) {
  const auto table = createKeyedTable({"x", "y", "z"});
  auto recordSet =
      connection().open("select a from " + table + " where a <> 'y' order by a", OpenOptions{});
  ASSERT_TRUE(recordSet->supportsUpdates());
  ASSERT_EQ(recordSet->fieldCount(), 1);
  EXPECT_EQ(recordSet->fieldName(0), "a");
  for (; !recordSet->eof(); recordSet->moveNext())
    recordSet->setValue(0, readFieldText(*recordSet, 0) + "2");
  recordSet->close();
  EXPECT_EQ(columnA(table), (std::vector<std::optional<std::string>>{"x2", "y", "z2"}));
}

// A statement without result is refused before it runs: it changes
// nothing.
TEST_P(OdbcBackendCases, StatementWithoutResultIsNotRun) {
  const auto table = createKeyedTable({"x"});
  EXPECT_EQ(errorOf([&] { connection().open("update " + table + " set a = 'z'", OpenOptions{}); }),
            "CommandText does not return a result set");
  EXPECT_EQ(columnA(table), (std::vector<std::optional<std::string>>{"x"}));
}

// Errors name the operation and carry the driver's message with its
// SQLSTATE.
TEST_P(OdbcBackendCases, ErrorsNameTheOperationAndTheDriversMessage) {
  const auto missing = uniqueName("missing");
  const auto openError =
      errorOf([&] { connection().open("select * from " + missing, OpenOptions{}); });
  EXPECT_THAT(openError,
              ::testing::StartsWith("Couldn't open \"select * from " + missing + "\": "));
  EXPECT_THAT(openError, ::testing::ContainsRegex("\\([0-9A-Z]{5}\\)"));
  EXPECT_THAT(openError, ::testing::HasSubstr(missing));

  const auto runError = errorOf([&] { connection().execute("DROP TABLE " + missing); });
  EXPECT_THAT(runError, ::testing::StartsWith("Couldn't run \"DROP TABLE " + missing + "\": "));
}

// A write that waits for a row another session has locked gives up after
// the Lock Timeout with a message naming the row; a cancel from another
// thread ends such a wait at once. Either way the rows before keep their new
// values and the row waited for keeps its old ones.
TEST_P(OdbcBackendCases, LockWaitsEndAfterTheLockTimeoutOrACancel) {
  if (target().name.rfind("OdbcSqlite", 0) == 0)
    GTEST_SKIP() << "SQLite locks the whole file; its busy time-out ends such waits";
  EXPECT_THAT(errorOf([&] { target().connect(m_connectionString + ";Lock Timeout=soon"); }),
              ::testing::EndsWith(": Lock Timeout \"soon\" is not a whole number of seconds up to "
                                  "86400 (0 waits without limit)"));
  const auto table = createKeyedTable({"a1", "a2", "a3"});
  Connection& holder = secondConnection();
  const auto lockRowTwo = [&] {
    holder.execute("START TRANSACTION");
    holder.execute("UPDATE " + table + " SET a = a WHERE id = 2");
  };
  const auto writeRowsOneAndTwo = [&](Connection& writer, const std::string& text) {
    auto recordSet = writer.open("select * from " + table + " order by id", OpenOptions{});
    recordSet->setValue(1, text + "1");
    recordSet->moveNext();
    recordSet->setValue(1, text + "2");
    return recordSet;
  };

  lockRowTwo();
  auto timed = target().connect(m_connectionString + ";Lock Timeout=1");
  auto recordSet = writeRowsOneAndTwo(*timed, "t");
  EXPECT_EQ(errorOf([&] { recordSet->moveNext(); }),
            "Cannot write to table " + table +
                ", key id=2: another session held a lock on the row (or its table) for longer "
                "than the lock timeout of 1s; end that session's transaction, or set a longer "
                "Lock Timeout (in seconds) in the connection string");
  recordSet->close();
  holder.execute("ROLLBACK");
  EXPECT_EQ(columnA(table), (std::vector<std::optional<std::string>>{"t1", "a2", "a3"}));

  // A time-out long enough that only the cancel can end the wait in time.
  lockRowTwo();
  auto cancellable = target().connect(m_connectionString + ";Lock Timeout=60");
  recordSet = writeRowsOneAndTwo(*cancellable, "c");
  std::thread canceller([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    cancellable->cancel();
  });
  const auto started = std::chrono::steady_clock::now();
  std::string kind;
  try {
    recordSet->moveNext();
  } catch (const Cancelled& e) {
    kind = std::string("cancelled: ") + e.what();
  } catch (const Error& e) {
    kind = e.what();
  }
  canceller.join();
  EXPECT_EQ(kind, "cancelled: Cancelled while writing to table " + table + ", key id=2");
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  recordSet->close();
  holder.execute("ROLLBACK");
  EXPECT_EQ(columnA(table), (std::vector<std::optional<std::string>>{"c1", "a2", "a3"}));
}

}  // namespace rowsmith::db::testing
