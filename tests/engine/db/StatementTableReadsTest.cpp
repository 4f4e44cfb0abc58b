// How often a statement reads a table, from its text: the rule that keeps a
// table joined with itself from being written through the wrong alias.
#include <gtest/gtest.h>

#include <map>

#include "engine/db/api/StatementTableReads.h"

namespace rowsmith::db {
namespace {

using Reads = StatementTableReads::Reads;

// Views of a made-up schema, as a backend's lookup gives them.
std::optional<std::string> views(const std::string& name) {
  static const std::map<std::string, std::string> definitions = {
      {"boss_view",
       "CREATE VIEW boss_view AS SELECT e.id, b.name FROM emp e JOIN emp b ON "
       "b.id = e.boss"},
      {"plain_view", "create view plain_view as select * from emp"},
      {"cte_view", "CREATE VIEW cte_view AS WITH w AS (SELECT * FROM emp) SELECT * FROM w"},
      {"loop_view", "CREATE VIEW loop_view AS SELECT * FROM loop_view"},
  };
  const auto found = definitions.find(name);
  if (found == definitions.end()) return std::nullopt;
  return found->second;
}

TEST(StatementTableReads, CountsEveryReadOfTheTable) {
  struct Case {
    std::string sql;
    int all;            // Reads::All
    int columnSources;  // Reads::ColumnSources
  };
  const Case cases[] = {
      {"select * from emp", 1, 1},
      {"SELECT * FROM main.Emp WHERE name = 'from emp'", 1, 1},
      {"select * from \"emp\" -- from emp\n/* join emp */", 1, 1},
      {"select e.id, b.name from emp e join emp b on b.id = e.boss", 2, 2},
      {"select e.id, b.name from emp e, emp b where b.id = e.boss", 2, 2},
      {"select e.id, b.name from emp AS e LEFT OUTER JOIN `emp` b USING (id)", 2, 2},
      {"select * from (emp e join [emp] b on b.id = e.boss)", 2, 2},
      {"select * from dept d join emp e on e.dept = d.id, other o", 1, 1},
      {"select * from emp where boss in (select id from emp)", 2, 1},
      {"select (select name from emp b where b.id = e.boss), e.id from emp e", 2, 1},
      {"select x.id from (select b.id from emp b join emp c on c.id = b.boss) x", 2, 2},
      {"with w as (select * from emp) select * from w", 1, 1},
      {"with w as (select * from emp) select a.id, b.name from w a join w b on a.id = b.boss", 2,
       2},
      {"with unused as (select * from emp) select * from dept", 0, 0},
      {"with emp as (select * from emp where id > 1) select * from emp", 1, 1},
      {"with recursive r(n) as (select 1 union all select n + 1 from r where n < 3) "
       "select * from emp, r",
       1, 1},
      {"select * from plain_view", 1, 1},
      {"select * from boss_view", 2, 2},
      {"select * from cte_view v join emp e on e.id = v.id", 2, 2},
      {"select * from loop_view", 0, 0},
      {"select * from emp e, json_each(e.tags) t where t.value is distinct from e.name", 1, 1},
      {"select substring(name from 2 for 3) from emp", 1, 1},
      // Dollar quotes are text to PostgreSQL but not to MySQL: the higher count wins.
      {"select $$ from emp $$, 'it''s' from emp", 2, 2},
      // A backslash escape leaves the standard reading a quote open.
      {"select 'it\\'s from emp' as x from dept", 0, 0},
      {"select 1 from emp e where exists (select 1 from emp /*! b */)", 2, 1},
      {"(select * from emp)", 1, 1},
      {"with w as (select 1) (select * from emp) union all (select * from emp)", 2, 2},
      {"select * from emp where name = 'open", -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(StatementTableReads::count(c.sql, "EMP", views), c.all);
    EXPECT_EQ(StatementTableReads::count(c.sql, "emp", views, Reads::ColumnSources),
              c.columnSources);
  }
}

TEST(StatementTableReads, SaysWhyATableReadOtherThanOnceCannotBeWritten) {
  EXPECT_EQ(StatementTableReads::whyNotUpdatable(1, "emp"), "");
  EXPECT_EQ(StatementTableReads::whyNotUpdatable(2, "emp"),
            "the query reads table emp more than once (a join of the table with itself, or a "
            "subquery on it), so which of its rows a column comes from cannot be told");
  EXPECT_EQ(StatementTableReads::whyNotUpdatable(0, "emp"),
            "the query does not show which rows of table emp its columns come from");
}

}  // namespace
}  // namespace rowsmith::db
