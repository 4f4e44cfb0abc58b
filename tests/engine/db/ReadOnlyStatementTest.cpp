// The text check that ODBC statements pass before they go to a driver:
// one SELECT that reads, whatever quoting rules the database follows.
#include <gtest/gtest.h>

#include "common/Error.h"
#include "engine/db/api/ReadOnlyStatement.h"

namespace rowsmith::db {
namespace {

TEST(ReadOnlyStatement, OnlyASingleSelectThatReadsPasses) {
  const char* const reading[] = {
      "select * from t",
      "  SELECT a, 'x; delete from t' AS s FROM t WHERE b = 'it''s' ;  ",
      "select \"update\", [order date], `delete` from t -- update t\n;",
      "with w as (select a from t) select a from w",
      "(select a from t) union (select a from u);;",
      "select a from t for update",
      "select a from t for no key update /* ; drop */",
      "select 'C:\\\\dir' from t",
  };
  for (const char* sql : reading)
    EXPECT_NO_THROW(ReadOnlyStatement::requireSingleSelect(sql)) << sql;
}

TEST(ReadOnlyStatement, WritesAndSecondStatementsAreRefused) {
  const std::string writes =
      "The statement would change the database; only a statement that reads is run (a single "
      "SELECT, or WITH ... SELECT)";
  const std::string moreThanOne = "Only one statement is run; remove what follows the first \";\"";
  const std::string open =
      "The statement leaves a quote or a comment open; only a single statement that reads is run";
  const std::pair<const char*, const std::string&> cases[] = {
      {"delete from t returning *", writes},
      {"update t set a = 'x' returning *", writes},
      {"insert into t values (1) returning *", writes},
      {"with d as (delete from t returning *) select * from d", writes},
      {"select * into copy from t", writes},
      {"pragma journal_mode=wal", writes},
      {"values (1)", writes},
      {"", writes},
      {"select 1; drop table t", moreThanOne},
      {"select 1;; select 2", moreThanOne},
      // Standard SQL reads a string here; MySQL a second statement.
      {"select 'a\\'; delete from t; select '' from t", moreThanOne},
      // PostgreSQL's E'' strings escape with a backslash too.
      {"select E'\\''; delete from t; select ''", open},
      // MySQL runs the text of "/*!" comments, and "--1" is no comment there.
      {"select 1 /*!; delete from t */", moreThanOne},
      {"select 1 --1; delete from t", moreThanOne},
      {"select 1 # ; delete from t", moreThanOne},
      {"select 'never closed from t", open},
      {"select 1 /* never closed", open},
  };
  for (const auto& [sql, message] : cases) {
    SCOPED_TRACE(sql);
    try {
      ReadOnlyStatement::requireSingleSelect(sql);
      ADD_FAILURE() << "passed";
    } catch (const Error& e) {
      EXPECT_EQ(e.what(), message);
    }
  }
}

}  // namespace
}  // namespace rowsmith::db
