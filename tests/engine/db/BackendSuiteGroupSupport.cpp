// Cases of the shared suite for backends that write rows in groups: whatever
// the group, a conflict, an error or a close in the middle of one leaves the
// database exactly as writing and committing every row on its own would.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/BackendGroupSuite.h"

namespace rowsmith::db::testing {
namespace {

using ::testing::HasSubstr;
using Column = std::vector<std::optional<std::string>>;

// More rows than one group holds, so that the row of interest lies in the
// middle of a later group.
constexpr int kRows = 2500;
constexpr int kRowOfInterest = 1700;

std::string oldValue(int id) { return "a" + std::to_string(id); }
std::string newValue(int id) { return "n" + std::to_string(id); }

// What the table holds when the rows before `stop` were written and the rest
// were not; `stopValue` for row `stop` itself.
Column expected(int stop, const std::optional<std::string>& stopValue) {
  Column column;
  for (int id = 1; id <= kRows; ++id) {
    if (id < stop)
      column.push_back(newValue(id));
    else if (id == stop)
      column.push_back(stopValue);
    else
      column.push_back(oldValue(id));
  }
  return column;
}

}  // namespace

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(BackendGroupSuite);

std::string BackendGroupSuite::createTable(const std::string& constraint) {
  const auto table = uniqueName("g");
  execute("CREATE TABLE " + table + " (id " + target().keyColumn + ", a " + target().textType +
          constraint + ")");
  dropLater(table);
  std::string insert;
  for (int id = 1; id <= kRows; ++id) {
    insert += (insert.empty() ? "" : ", ") + std::string("(") + std::to_string(id) + ", '" +
              oldValue(id) + "')";
    if (id % 500 == 0) {
      execute("INSERT INTO " + table + " (id, a) VALUES " + insert);
      insert.clear();
    }
  }
  return table;
}

std::string BackendGroupSuite::writeAll(const std::string& sql,
                                        const std::function<void(int)>& before) {
  auto recordSet = connection().open(sql, OpenOptions{});
  std::string message;
  for (int id = 1; !recordSet->eof() && message.empty(); ++id) {
    EXPECT_EQ(readFieldText(*recordSet, 1), oldValue(id));
    before(id);
    recordSet->setValue(1, newValue(id));
    try {
      recordSet->moveNext();
    } catch (const Error& e) {
      message = e.what();
    }
  }
  recordSet->close();
  return message;
}

// Another connection changes a row after it was read, in the middle of a
// group: the rows before are kept, that row keeps the other connection's
// value, the rows after are not written, and the error names that row.
TEST_P(BackendGroupSuite, ConflictInTheMiddleOfAGroupKeepsTheRowsBefore) {
  const auto table = createTable();
  for (const std::string order : {"", " order by id"}) {
    SCOPED_TRACE(order);
    execute("UPDATE " + table + " SET a = " + target().concat("'a'", "id"));
    const std::string message = writeAll("select * from " + table + order, [&](int id) {
      // Time for the open group to be committed, so that the other
      // connection need not wait for it.
      if (id == kRowOfInterest - 100) std::this_thread::sleep_for(std::chrono::milliseconds(600));
      if (id == kRowOfInterest)
        secondConnection().execute(
            "UPDATE " + table + " SET a = 'theirs' WHERE id = " + std::to_string(kRowOfInterest));
    });
    EXPECT_THAT(message, HasSubstr(table));
    EXPECT_THAT(message, HasSubstr("id=" + std::to_string(kRowOfInterest)));
    EXPECT_EQ(columnA(table), expected(kRowOfInterest, "theirs"));
  }
}

// A value the database refuses in the middle of a group: the rows before are
// kept, that row and the rows after are left as they were.
TEST_P(BackendGroupSuite, ErrorInTheMiddleOfAGroupKeepsTheRowsBefore) {
  const auto table = createTable(" CHECK (a <> 'n" + std::to_string(kRowOfInterest) + "')");
  const std::string message = writeAll("select * from " + table, [](int) {});
  EXPECT_THAT(message, HasSubstr(table));
  EXPECT_EQ(columnA(table), expected(kRowOfInterest, oldValue(kRowOfInterest)));
}

// Closing in the middle of a group (a cancelled run) keeps the rows moved
// past and drops the writes of the row in hand.
TEST_P(BackendGroupSuite, CloseInTheMiddleOfAGroupKeepsTheRowsMovedPast) {
  const auto table = createTable();
  auto recordSet = connection().open("select * from " + table, OpenOptions{});
  for (int id = 1; id <= kRowOfInterest; ++id) {
    recordSet->setValue(1, newValue(id));
    if (id < kRowOfInterest) recordSet->moveNext();
  }
  recordSet->close();
  EXPECT_EQ(columnA(table), expected(kRowOfInterest, oldValue(kRowOfInterest)));
}

}  // namespace rowsmith::db::testing
