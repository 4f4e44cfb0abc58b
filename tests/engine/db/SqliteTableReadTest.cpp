// Which statements read a whole table, and which table.
#include <gtest/gtest.h>

#include "engine/db/sqlite/SqliteTableRead.h"

namespace rowsmith::db {
namespace {

TEST(SqliteTableReadTest, NamesTheTableOfAWholeTableRead) {
  struct Case {
    const char* sql;
    const char* schema;
    const char* table;
  };
  const Case cases[] = {
      {"select * from t", "", "t"},
      {"  SELECT\t*\nFROM customers ;  ", "", "customers"},
      {"select rowid, * from t", "", "t"},
      {"select RowId ,* from t;", "", "t"},
      {"select * from main.t", "main", "t"},
      {"select * from \"my \"\"odd\"\" table\"", "", "my \"odd\" table"},
      {"select * from [a b] . `c``d`", "a b", "c`d"},
      {"select * from _t$2", "", "_t$2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    const auto read = wholeTableRead(c.sql);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->schema, c.schema);
    EXPECT_EQ(read->table, c.table);
  }
}

TEST(SqliteTableReadTest, AnyOtherStatementIsNoWholeTableRead) {
  for (const char* sql : {
           "select * from t where id > 1",
           "select * from t order by id",
           "select id, * from t",
           "select *, rowid from t",
           "select rowid * from t",
           "select * from t;;",
           "select * from t, u",
           "select*from t",
           "select * from \"unclosed",
           "select * from 2t",
           "select * from t -- all",
           "selected * from t",
           "",
       }) {
    SCOPED_TRACE(sql);
    EXPECT_FALSE(wholeTableRead(sql).has_value());
  }
}

}  // namespace
}  // namespace rowsmith::db
