// rowsmith-run run and preview end to end: real SQLite files, real filter
// files and jobs written by `rowsmith-run new`, the real runner.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <thread>

#include "cli/CliSupport.h"
#include "common/Error.h"
#include "engine/db/ConnectionFactory.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using cli_test::CliResult;
using cli_test::runRowsmith;
using ::testing::HasSubstr;

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RunCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "rowsmith-runcmd-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    m_database = (m_dir / "shop.sqlite").string();
    std::ofstream{m_database};  // an empty file is an empty database
    m_db = db::connect(source());
    m_db->execute("CREATE TABLE customers (id INTEGER PRIMARY KEY, name TEXT, city TEXT)");
    m_db->execute(
        "INSERT INTO customers VALUES (1, ' ann  lee ', 'York'), (2, 'BOB KAY', 'N/A'), "
        "(3, NULL, 'Leeds')");
    m_nameFilter = filter("name.fll", "trim\ncollapse-spaces\ntitle");
    m_cityFilter = filter("city.fll", "null-if \"N/A\"");
  }
  void TearDown() override {
    m_db.reset();
    fs::remove_all(m_dir);
  }

  std::string source() const { return "Provider=SQLite;Data Source=" + m_database; }

  std::string filter(const std::string& name, const std::string& text) {
    const auto path = m_dir / name;
    std::ofstream(path) << text << "\n";
    return path.string();
  }

  // Writes a job with `rowsmith-run new`; `columns` as NAME[=FILTER];
  // `extra` goes on the command line after them.
  std::string job(const std::vector<std::string>& columns, const std::string& table = "customers",
                  const std::string& dataSource = "", const std::vector<std::string>& extra = {}) {
    const std::string path = (m_dir / "job.rsm").string();
    std::vector<std::string> args{"new",
                                  "-o",
                                  path,
                                  "--data-source",
                                  dataSource.empty() ? source() : dataSource,
                                  "--table",
                                  table,
                                  "--preview-rows",
                                  "2"};
    for (const auto& column : columns) {
      args.push_back("--column");
      args.push_back(column);
    }
    args.insert(args.end(), extra.begin(), extra.end());
    const CliResult made = runRowsmith(args);
    EXPECT_EQ(made.status, 0) << made.err;
    return path;
  }

  std::string standardJob() { return job({"id", "name=" + m_nameFilter, "city=" + m_cityFilter}); }

  // One column of the table in id order; NULL as std::nullopt.
  std::vector<std::optional<std::string>> column(const std::string& name) {
    std::vector<std::optional<std::string>> values;
    auto result = m_db->open("SELECT " + name + " FROM customers ORDER BY id", {});
    if (!result->eof()) result->moveFirst();
    for (; !result->eof(); result->moveNext()) {
      const auto& value = result->value(0);
      if (value.isNull()) {
        values.push_back(std::nullopt);
      } else if (value.kind == db::Value::Kind::Integer) {
        values.push_back(std::to_string(value.integer));
      } else {
        values.push_back(value.text);
      }
    }
    result->close();
    return values;
  }

  fs::path m_dir;
  std::string m_database;
  std::unique_ptr<db::Connection> m_db;
  std::string m_nameFilter;
  std::string m_cityFilter;
};

using Column = std::vector<std::optional<std::string>>;

TEST_F(RunCommandTest, RunTransformsEveryRowAndEndsWithTheCompletionText) {
  const CliResult result = runRowsmith({"run", standardJob()});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Complete. 3 rows processed.\n");
  // NULL reaches the filter as empty text and comes back as "".
  EXPECT_EQ(column("name"), (Column{"Ann Lee", "Bob Kay", ""}));
  EXPECT_EQ(column("city"), (Column{"York", std::nullopt, "Leeds"}));
}

// A value the filter gives back as it was read is not written: the integer 5
// and the real 2.5 in a column without a type keep their types, and no UPDATE
// reaches their rows. --write-every-row writes every row as runs used to,
// storing the filter's text.
TEST_F(RunCommandTest, UnchangedValuesAreLeftAloneUnlessEveryRowIsWritten) {
  m_db->execute("CREATE TABLE mixed (id INTEGER PRIMARY KEY, v)");
  m_db->execute("INSERT INTO mixed VALUES (1, 5), (2, 2.5), (3, 'text')");
  m_db->execute("CREATE TABLE audit (id INTEGER)");
  m_db->execute(
      "CREATE TRIGGER audit_mixed AFTER UPDATE ON mixed BEGIN INSERT INTO audit VALUES (new.id); "
      "END");
  const std::string path = job({"id", "v=" + filter("upper.fll", "upper")}, "mixed");
  const auto read = [&](const std::string& sql) {
    Column values;
    auto result = m_db->open(sql, {});
    for (; !result->eof(); result->moveNext()) values.push_back(result->value(0).text);
    result->close();
    return values;
  };
  struct Step {
    std::vector<std::string> options;
    Column types;
    Column updatedRows;
  };
  const Step steps[] = {
      {{}, {"integer", "real", "text"}, {"3"}},
      {{"--write-every-row"}, {"text", "text", "text"}, {"1", "2", "3", "3"}},
  };
  for (const auto& step : steps) {
    std::vector<std::string> args{"run", path};
    args.insert(args.end(), step.options.begin(), step.options.end());
    const CliResult result = runRowsmith(args);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Complete. 3 rows processed.\n");
    EXPECT_EQ(read("SELECT typeof(v) FROM mixed ORDER BY id"), step.types);
    EXPECT_EQ(read("SELECT v FROM mixed WHERE id = 3"), (Column{"TEXT"}));
    EXPECT_EQ(read("SELECT CAST(id AS TEXT) FROM audit ORDER BY id"), step.updatedRows);
  }
}

// The run tells on standard error how many values a structured step left
// as they were; the completion line and the exit status stay as for any run.
TEST_F(RunCommandTest, ValuesKeptAsTheyWereAreToldAfterTheCompletionText) {
  m_db->execute("CREATE TABLE meta (id INTEGER PRIMARY KEY, v TEXT)");
  m_db->execute(R"(INSERT INTO meta VALUES (1, 's:3:"old";'), (2, 's:8:"old";'))");
  const std::string path =
      job({"id", "v=" + filter("move.fll", "php-serialized { replace \"old\" \"new\" }")}, "meta");
  const CliResult result = runRowsmith({"run", path});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "Complete. 2 rows processed.\n");
  EXPECT_NE(result.err.find("rowsmith-run: 1 value of column v was left as it was: filter "),
            std::string::npos)
      << result.err;
}

TEST_F(RunCommandTest, FailuresExitWithStatusOneAndTheMessageChangingNothing) {
  struct Case {
    std::string name;
    std::function<std::string()> makeJob;
    std::string message;
  };
  const Case cases[] = {
      {"missing table",
       [&] {
         return job({"id", "name=" + m_nameFilter}, "no_such_table");
       },
       "no_such_table"},
      {"missing filter",
       [&] {
         return job({"id", "name=" + m_nameFilter + ".gone"});
       },
       "rowsmith-run: Couldn't open " + m_nameFilter + ".gone"},
      {"no filters",
       [&] {
         return job({"id", "name", "city"});
       },
       "rowsmith-run: No transforms have been specified"},
      {"more fields than filters",
       [&] {
         return job({"id", "name=" + m_nameFilter}, "customers", "", {"--no-connect"});
       },
       "rowsmith-run: List index out of bounds (2)"},
      {"missing job", [&] { return (m_dir / "nothing.rsm").string(); }, "rowsmith-run: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CliResult result = runRowsmith({"run", c.makeJob()});
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.err, HasSubstr(c.message));
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(column("name"), (Column{" ann  lee ", "BOB KAY", std::nullopt}));
  }
}

TEST_F(RunCommandTest, PreviewShowsSampleAndMarkedChangesWithoutWriting) {
  const std::string path = standardJob();
  const CliResult text = runRowsmith({"preview", path});
  EXPECT_EQ(text.status, 0) << text.err;
  // The job's preview rows (2) limit the sample.
  EXPECT_THAT(text.out, HasSubstr("Rows returned: 2\n"));
  EXPECT_THAT(text.out, HasSubstr("*Ann Lee"));
  EXPECT_THAT(text.out, HasSubstr("*Bob Kay"));
  EXPECT_THAT(text.out, HasSubstr("Changed cells: 3\n"));

  const CliResult json = runRowsmith({"preview", path, "--rows", "5", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto out = nlohmann::json::parse(json.out);
  EXPECT_EQ(out["columns"], nlohmann::json({"id", "name", "city"}));
  EXPECT_EQ(out["filters"], nlohmann::json({"", m_nameFilter, m_cityFilter}));
  EXPECT_EQ(out["rowsReturned"], 3);
  EXPECT_EQ(out["supportsUpdates"], true);
  ASSERT_EQ(out["rows"].size(), 3u);
  EXPECT_EQ(out["rows"][1]["sample"], nlohmann::json({"2", "BOB KAY", "N/A"}));
  EXPECT_EQ(out["rows"][1]["preview"], nlohmann::json({"2", "Bob Kay", nullptr}));
  EXPECT_EQ(out["rows"][1]["changed"], nlohmann::json({false, true, true}));
  EXPECT_EQ(out["rows"][2]["sample"], nlohmann::json({"3", nullptr, "Leeds"}));
  EXPECT_EQ(out["rows"][2]["preview"], nlohmann::json({"3", "", "Leeds"}));
  EXPECT_EQ(out["rows"][2]["changed"], nlohmann::json({false, true, false}));

  EXPECT_EQ(column("name"), (Column{" ann  lee ", "BOB KAY", std::nullopt}));
  EXPECT_EQ(column("city"), (Column{"York", "N/A", "Leeds"}));
}

// `new` reads the result's columns and places each --column by name; the
// run then finds the names in agreement. With --no-connect the columns stay
// in the order given, and a run whose names disagree ends before writing.
TEST_F(RunCommandTest, NewPlacesColumnsByNameAndRunRefusesColumnsThatDisagree) {
  const std::string path = job({"CITY=" + m_cityFilter, "name=" + m_nameFilter});
  const auto shown = nlohmann::json::parse(runRowsmith({"show", "--json", path}).out);
  EXPECT_EQ(shown["columnNames"], nlohmann::json({"id", "name", "city"}));
  EXPECT_EQ(shown["columnFilters"], nlohmann::json({"", m_nameFilter, m_cityFilter}));
  const CliResult run = runRowsmith({"run", path});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(column("name"), (Column{"Ann Lee", "Bob Kay", ""}));
  EXPECT_EQ(column("city"), (Column{"York", std::nullopt, "Leeds"}));

  m_db->execute("UPDATE customers SET name = 'x', city = 'N/A'");
  const std::string asGiven = job({"id", "city=" + m_cityFilter, "name=" + m_nameFilter},
                                  "customers", "", {"--no-connect"});
  for (const char* command : {"run", "preview"}) {
    SCOPED_TRACE(command);
    const CliResult refused = runRowsmith({command, asGiven});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("column 2 is \"name\" in the database, but the job "
                                       "expects \"city\" there"));
    EXPECT_THAT(refused.err, HasSubstr("refresh the sample and save the job again"));
  }
  EXPECT_EQ(column("name"), (Column{"x", "x", "x"}));
  EXPECT_EQ(column("city"), (Column{"N/A", "N/A", "N/A"}));

  const std::string output = (m_dir / "unknown.rsm").string();
  const CliResult unknown = runRowsmith({"new", "-o", output, "--data-source", source(), "--table",
                                         "customers", "--column", "nmae=" + m_nameFilter});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_THAT(unknown.err, HasSubstr("Column \"nmae\" is not a column of the result; its "
                                     "columns are: id, name, city"));
  EXPECT_FALSE(fs::exists(output));
}

// "select * from customers x" reads table customers with the alias x: a
// job naming table "customers x" must never write customers. The name is
// refused while no such table exists and reaches that table once it does.
TEST_F(RunCommandTest, TableNameWithABlankNeverReachesAnotherTable) {
  const std::string path =
      job({"id", "name=" + m_nameFilter, "city"}, "customers x", "", {"--no-connect"});
  for (const char* command : {"preview", "run"}) {
    SCOPED_TRACE(command);
    const CliResult refused = runRowsmith({command, path});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr("The table name 'customers x' is not a table the database "
                                       "lists"));
    EXPECT_THAT(refused.err, HasSubstr("type it quoted: \"customers x\""));
  }
  EXPECT_EQ(column("name"), (Column{" ann  lee ", "BOB KAY", std::nullopt}));

  m_db->execute("CREATE TABLE \"customers x\" (id INTEGER PRIMARY KEY, name TEXT, city TEXT)");
  m_db->execute("INSERT INTO \"customers x\" VALUES (1, ' x  y ', NULL)");
  const CliResult run = runRowsmith({"run", path});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(column("name"), (Column{" ann  lee ", "BOB KAY", std::nullopt}));
  auto written = m_db->open("SELECT name FROM \"customers x\"", {});
  EXPECT_EQ(written->value(0).text, "X Y");
  written->close();
}

// The preview promises to write nothing, and a run writes only its own
// UPDATEs: a query that would write is refused by both before it runs.
TEST_F(RunCommandTest, QueriesThatWriteAreRefusedByPreviewAndRun) {
  const std::string path = (m_dir / "writing.rsm").string();
  for (const char* sql : {"delete from customers returning *", "pragma journal_mode=wal",
                          "select * from customers; delete from customers"}) {
    const CliResult made =
        runRowsmith({"new", "-o", path, "--data-source", source(), "--query", sql, "--column", "id",
                     "--column", "name=" + m_nameFilter, "--column", "city", "--no-connect"});
    ASSERT_EQ(made.status, 0) << made.err;
    for (const char* command : {"preview", "run"}) {
      SCOPED_TRACE(std::string(command) + ": " + sql);
      const CliResult refused = runRowsmith({command, path});
      EXPECT_EQ(refused.status, 1);
      EXPECT_THAT(refused.err, ::testing::AnyOf(HasSubstr("would change the database"),
                                                HasSubstr("Only one statement is run")));
      EXPECT_EQ(column("name"), (Column{" ann  lee ", "BOB KAY", std::nullopt}));
    }
  }
  // Still in rollback-journal mode: header byte 18 is 1 (2 for WAL).
  EXPECT_EQ(readFile(m_database).at(18), 1);
}

// A table joined with itself: SQLite names the table of each column but not
// the alias, so the boss's name could land in the employee's row. The
// preview warns that the query cannot be written, and the run refuses with a
// message that names the table, writing nothing.
TEST_F(RunCommandTest, TableJoinedWithItselfIsReadOnlyForPreviewAndRun) {
  m_db->execute("ALTER TABLE customers ADD COLUMN referrer INTEGER");
  m_db->execute("UPDATE customers SET referrer = 1 WHERE id > 1");
  const std::string path = (m_dir / "selfjoin.rsm").string();
  const CliResult made =
      runRowsmith({"new", "-o", path, "--data-source", source(), "--query",
                   "select c.id, r.name from customers c join customers r on r.id = c.referrer",
                   "--column", "id", "--column", "name=" + m_nameFilter});
  ASSERT_EQ(made.status, 0) << made.err;

  const CliResult preview = runRowsmith({"preview", path});
  EXPECT_EQ(preview.status, 0) << preview.err;
  EXPECT_THAT(preview.err, HasSubstr("Warning! This query does not support updates"));
  const CliResult run = runRowsmith({"run", path});
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.err, HasSubstr("The record set cannot be updated: the query reads table "
                                 "customers more than once"));
  EXPECT_EQ(column("name"), (Column{" ann  lee ", "BOB KAY", std::nullopt}));
}

// In SQLite a value's own type decides whether it is text: a column declared
// BLOB, or one without a type, may hold text, which a run transforms, and
// blobs, which it leaves alone. The preview shows exactly what the run does.
TEST_F(RunCommandTest, PreviewShowsWhatTheRunDoesWithSqliteValuesOfEitherType) {
  m_db->execute("CREATE TABLE notes (id INTEGER PRIMARY KEY, b BLOB, u)");
  m_db->execute("INSERT INTO notes VALUES (1, X'00FF', X'01'), (2, 'text in blob', 'plain')");
  const std::string upper = filter("upper.fll", "upper");
  const std::string path = job({"id", "b=" + upper, "u=" + upper}, "notes");

  const CliResult preview = runRowsmith({"preview", path, "--json"});
  ASSERT_EQ(preview.status, 0) << preview.err;
  const auto rows = nlohmann::json::parse(preview.out)["rows"];
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0]["changed"], nlohmann::json({false, false, false}));
  EXPECT_EQ(rows[1]["sample"], nlohmann::json({"2", "text in blob", "plain"}));
  EXPECT_EQ(rows[1]["preview"], nlohmann::json({"2", "TEXT IN BLOB", "PLAIN"}));
  EXPECT_EQ(rows[1]["changed"], nlohmann::json({false, true, true}));

  ASSERT_EQ(runRowsmith({"run", path}).status, 0);
  auto result = m_db->open("SELECT b, u FROM notes ORDER BY id", {});
  EXPECT_EQ(result->value(0).text, std::string("\x00\xFF", 2));
  EXPECT_EQ(result->value(1).text, "\x01");
  result->moveNext();
  EXPECT_EQ(result->value(0).text, "TEXT IN BLOB");
  EXPECT_EQ(result->value(1).text, "PLAIN");
  result->close();
}

// Starts the runner with its output in files, sends `signals` as soon as it
// reports rows (or, when `ready` is given, as soon as that says so), and
// returns its exit status (128 + the signal when one ended it).
int runInterrupted(const std::string& jobPath, const fs::path& dir, const std::vector<int>& signals,
                   const std::function<bool()>& ready = {}) {
  const fs::path out = dir / "out.txt";
  const fs::path err = dir / "err.txt";
  // What an earlier run printed must not be taken for this one's rows.
  fs::remove(out);
  fs::remove(err);
  const pid_t child = ::fork();
  if (child == 0) {
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (outFd < 0 || errFd < 0) ::_exit(127);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    const std::string runner = cli_test::runnerPath();
    ::execl(runner.c_str(), runner.c_str(), "run", jobPath.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(ready ? ready() : readFile(err).find("Processing row") != std::string::npos) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ready ? 1 : 5));
  }
  for (int signal : signals) ::kill(child, signal);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST_F(RunCommandTest, InterruptCancelsAndSecondInterruptStopsLeavingAPrefixOfNewRows) {
  m_db->execute("DELETE FROM customers");
  m_db->execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000) "
      "INSERT INTO customers SELECT i, 'name', 'city' FROM n");
  const std::string path = job({"id", "name=" + filter("upper.fll", "upper"), "city"});

  // SIGTERM and SIGHUP cancel like the first Ctrl+C.
  const std::vector<int> cases[] = {{SIGINT}, {SIGINT, SIGINT}, {SIGTERM}, {SIGHUP}};
  for (const auto& signals : cases) {
    SCOPED_TRACE(::testing::PrintToString(signals));
    m_db->execute("UPDATE customers SET name = 'name'");
    EXPECT_EQ(runInterrupted(path, m_dir, signals), 130);
    auto count = [&](const std::string& where) {
      auto result = m_db->open("SELECT count(*), max(id) FROM customers WHERE " + where, {});
      result->moveFirst();
      const long long rows = result->value(0).integer;
      const long long last = result->value(1).isNull() ? 0 : result->value(1).integer;
      result->close();
      return std::pair(rows, last);
    };
    // The rows with new values are the first ones in the visit order.
    const auto [changed, lastChanged] = count("name = 'NAME'");
    EXPECT_LT(changed, 1000000);
    EXPECT_EQ(lastChanged, changed);
    if (signals.size() == 1) {
      // The row in hand when the cancel came keeps its old values, and the
      // count reported is the rows that were changed.
      EXPECT_EQ(readFile(m_dir / "out.txt"),
                "Terminated by user. " + std::to_string(changed) + " rows processed.\n");
    }
  }
}

// A run killed outright leaves a journal whose complete records hold every
// row it committed: undoing it puts back exactly those rows.
TEST_F(RunCommandTest, AKilledRunsJournalPutsBackExactlyTheRowsItKept) {
  m_db->execute("DELETE FROM customers");
  m_db->execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 200000) "
      "INSERT INTO customers SELECT i, 'name', 'city' FROM n");
  // A slow filter, so that the run commits several times before its end.
  std::string slow;
  for (int i = 0; i < 400; ++i) slow += "upper\n";
  const std::string path = job({"id", "name=" + filter("slow.fll", slow), "city"});
  auto changedRows = [&] {
    auto result = m_db->open("SELECT count(*) FROM customers WHERE name = 'NAME'", {});
    result->moveFirst();
    const long long rows = result->value(0).integer;
    result->close();
    return rows;
  };
  // Killed as soon as its first rows are committed, long before its end.
  EXPECT_EQ(runInterrupted(path, m_dir, {SIGKILL},
                           [&] {
                             try {
                               return changedRows() > 0;
                             } catch (const Error&) {
                               return false;  // the file is locked for the moment
                             }
                           }),
            128 + SIGKILL);
  const long long changed = changedRows();
  ASSERT_LT(changed, 200000);
  ASSERT_GT(changed, 0);
  std::vector<fs::path> journals;
  for (const auto& entry : fs::directory_iterator(m_dir))
    if (entry.path().extension() == ".journal") journals.push_back(entry.path());
  ASSERT_EQ(journals.size(), 1u);
  EXPECT_THAT(journals[0].filename().string(), ::testing::StartsWith("job."));

  const CliResult dry = runRowsmith({"undo", "--dry-run", journals[0].string()});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_THAT(dry.err, HasSubstr("the run did not end: only the rows it kept"));
  EXPECT_THAT(dry.out, HasSubstr("would put back id=1\n"));
  EXPECT_EQ(changedRows(), changed) << "a dry run changes nothing";

  const CliResult undone = runRowsmith({"undo", journals[0].string()});
  EXPECT_EQ(undone.status, 0) << undone.err;
  EXPECT_THAT(undone.err,
              HasSubstr(std::to_string(changed) + " rows put back as they were before the run."));
  EXPECT_EQ(changedRows(), 0);

  const CliResult missing = runRowsmith({"undo", (m_dir / "job.rsm").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("is not an undo journal of this program"));
}

// Values from the database never steer the terminal: control characters
// (an escape sequence that clears the screen, a bell, a C1 control) show
// escaped. In JSON, values that are not UTF-8 keep apart: each comes with
// its bytes in hexadecimal.
TEST_F(RunCommandTest, PreviewEscapesControlCharactersAndMarksBytesThatAreNotUtf8) {
  m_db->execute("DELETE FROM customers");
  m_db->execute(
      "INSERT INTO customers VALUES (1, char(27) || '[2J' || char(7), CAST(X'61C29B62' AS TEXT)), "
      "(2, CAST(X'636166E9' AS TEXT), CAST(X'636166E8' AS TEXT))");
  const std::string path = job({"id", "name=" + m_nameFilter, "city"});

  const CliResult text = runRowsmith({"preview", path});
  ASSERT_EQ(text.status, 0) << text.err;
  for (const char raw : {'\x1b', '\x07', '\xe9', '\xe8'})
    EXPECT_EQ(text.out.find(raw), std::string::npos) << static_cast<int>(raw);
  EXPECT_EQ(text.out.find("\xC2\x9B"), std::string::npos);
  EXPECT_THAT(text.out, HasSubstr("\\x1b[2J\\x07"));
  EXPECT_THAT(text.out, HasSubstr("a\\u009bb"));
  EXPECT_THAT(text.out, HasSubstr("caf\\xe9"));
  EXPECT_THAT(text.out, HasSubstr("caf\\xe8"));

  const CliResult json = runRowsmith({"preview", path, "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto rows = nlohmann::json::parse(json.out)["rows"];
  EXPECT_EQ(rows[0]["sample"][1], "\x1b[2J\x07");
  EXPECT_FALSE(rows[0].contains("sampleHex"));
  EXPECT_EQ(rows[1]["sample"], nlohmann::json({"2", "caf\xEF\xBF\xBD", "caf\xEF\xBF\xBD"}));
  EXPECT_EQ(rows[1]["sampleHex"], nlohmann::json({nullptr, "636166e9", "636166e8"}));
  EXPECT_EQ(rows[1]["previewHex"], nlohmann::json({nullptr, "436166e9", "636166e8"}));
}

// Output nobody reads any more (`rowsmith-run run job.rsm 2>&1 | head -n1`)
// never stops a run: it goes on to its end and exits with its usual status.
TEST_F(RunCommandTest, ClosedOutputPipesNeverStopARun) {
  const std::string path = standardJob();
  int pipes[2];
  ASSERT_EQ(::pipe(pipes), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipes[1], 1);
    ::dup2(pipes[1], 2);
    ::close(pipes[0]);
    ::close(pipes[1]);
    ::signal(SIGPIPE, SIG_DFL);
    const std::string runner = cli_test::runnerPath();
    ::execl(runner.c_str(), runner.c_str(), "run", path.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  // The reader goes away before the runner has written a word.
  ::close(pipes[0]);
  ::close(pipes[1]);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(column("name"), (Column{"Ann Lee", "Bob Kay", ""}));
}

}  // namespace
}  // namespace rowsmith
