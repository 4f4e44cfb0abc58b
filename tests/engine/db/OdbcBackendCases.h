#pragma once

// Cases of the ODBC backend that every ODBC driver must pass, on top of the
// shared suite. Included by each ODBC test file, which instantiates
// OdbcBackendCases with its target.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

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

}  // namespace rowsmith::db::testing
