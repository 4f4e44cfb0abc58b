// A run's undo journal and putting it back, against real SQLite files and
// the throwaway PostgreSQL server: what a run changed comes back byte for
// byte, rows changed since are left alone and named, and a commit never
// happens before the journal holds its rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/FieldText.h"
#include "engine/JournalUndo.h"
#include "engine/RunObserver.h"
#include "engine/db/ConnectionFactory.h"
#include "engine/journal/JournalFormat.h"
#include "engine/journal/JournalReader.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Cell = std::optional<std::string>;

class Outcome : public RunObserver {
 public:
  void showStatus(const std::string& text) override {
    std::lock_guard lock(m_mutex);
    status = text;
  }
  void showProgress(int) override {}
  void attachThread(const std::shared_ptr<TDataThread>&) override {}
  void showNotice(const std::string& text) override {
    std::lock_guard lock(m_mutex);
    notices.push_back(text);
  }
  void showJournal(const std::string& path, long long rows) override {
    journalPath = path;
    journalRows = rows;
  }
  void setFinished() override { finished = true; }
  void showError(const RunErrorReport& report) override { error = report.message; }
  void releaseSettings(std::unique_ptr<TSettings>) override {}

  std::mutex m_mutex;
  std::string status;
  std::vector<std::string> notices;
  std::string journalPath;
  long long journalRows = -1;
  bool finished = false;
  std::string error;
};

// Undoes the run whose journal is at `journal`.
std::shared_ptr<Outcome> undoRun(const std::string& journal, JournalUndo::Options options = {}) {
  RunOptions run;
  run.undo = std::make_shared<JournalUndo>(journal, std::move(options));
  auto outcome = std::make_shared<Outcome>();
  TDataThread::create(run.undo->undoSettings(), outcome, {}, run)->waitFor();
  return outcome;
}

struct Backend {
  std::string name;
  std::function<std::string(const fs::path&)> connectionString;
};
void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

const Backend kBackends[] = {
    {"Sqlite",
     [](const fs::path& dir) {
       std::ofstream(dir / "db.sqlite");
       return "Provider=SQLite;Data Source=" + (dir / "db.sqlite").string();
     }},
    {"Postgres",
     [](const fs::path&) {
       std::ifstream in(std::string(ROWSMITH_PG_DIR) + "/connection-string");
       std::string line;
       std::getline(in, line);
       return line;
     }},
};

class JournalUndoTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const std::string suffix = std::to_string(::getpid()) + "_" + std::to_string(++counter);
    m_dir = fs::temp_directory_path() / ("rowsmith-journal-" + suffix);
    fs::create_directories(m_dir);
    m_source = GetParam().connectionString(m_dir);
    ASSERT_FALSE(m_source.empty()) << "no PostgreSQL test server";
    m_db = db::connect(m_source);
    m_table = "ju_" + suffix;
  }
  void TearDown() override {
    for (const auto& table : m_tables) {
      try {
        m_db->execute("DROP TABLE " + table);
      } catch (const Error&) {
      }
    }
    m_db.reset();
    fs::remove_all(m_dir);
  }

  void create(const std::string& table, const std::string& columns) {
    m_db->execute("CREATE TABLE " + table + " (" + columns + ")");
    m_tables.push_back(table);
  }

  std::string filter(const std::string& text) {
    const auto path = m_dir / ("f" + std::to_string(++m_filters) + ".fll");
    std::ofstream(path) << text << "\n";
    return path.string();
  }

  // A saved job on `table` whose columns get `filters` in order.
  TSettings job(const std::string& table, const std::vector<std::string>& names,
                const std::vector<std::string>& filters) {
    TSettings settings;
    settings.dataSource = m_source;
    settings.useTable = true;
    settings.tableName = table;
    settings.columnNames = names;
    settings.columnFilters = filters;
    settings.fileName = (m_dir / "move.rsm").string();
    return settings;
  }

  std::shared_ptr<Outcome> run(const TSettings& settings, RunOptions options = {}) {
    if (!options.undo) options.journal = true;
    auto outcome = std::make_shared<Outcome>();
    auto thread = TDataThread::create(std::make_unique<TSettings>(settings), outcome, {}, options);
    thread->waitFor();
    return outcome;
  }

  std::shared_ptr<Outcome> undo(const std::string& journal, bool dryRun = false,
                                std::vector<std::string>* lines = nullptr) {
    JournalUndo::Options options;
    options.dryRun = dryRun;
    if (lines) options.listing = [lines](const std::string& line) { lines->push_back(line); };
    return undoRun(journal, std::move(options));
  }

  std::vector<std::vector<Cell>> rows(const std::string& table, const std::string& columns) {
    std::vector<std::vector<Cell>> out;
    auto result = m_db->open("SELECT " + columns + " FROM " + table + " ORDER BY 1", {});
    if (!result->eof()) result->moveFirst();
    for (; !result->eof(); result->moveNext()) {
      std::vector<Cell> row;
      for (int i = 0; i < result->fieldCount(); ++i) {
        const db::Value& value = result->value(i);
        if (value.isNull())
          row.emplace_back();
        else if (value.kind == db::Value::Kind::Integer)
          row.emplace_back(std::to_string(value.integer));
        else
          row.emplace_back(value.text);
      }
      out.push_back(std::move(row));
    }
    return out;
  }

  fs::path m_dir;
  std::string m_source;
  std::unique_ptr<db::Connection> m_db;
  std::string m_table;
  std::vector<std::string> m_tables;
  int m_filters = 0;
};

TEST_P(JournalUndoTest, PutsBackWhatTheRunChangedAndLeavesRowsChangedSinceAlone) {
  create(m_table, "id INTEGER PRIMARY KEY, body TEXT, note TEXT");
  m_db->execute("INSERT INTO " + m_table +
                " VALUES (1, 'see http://old.example/a', 'old.example'), "
                "(2, 'line one\nline two old.example', NULL), (3, 'untouched', 'N/A'), "
                "(4, 'é old.example ✓', 'x'), (5, 'old.example', 'old.example'), "
                "(6, '', 'N/A')");
  const auto before = rows(m_table, "id, body, note");
  const auto settings =
      job(m_table, {"id", "body", "note"},
          {"", filter("replace \"old.example\" \"new.example\""), filter("null-if \"N/A\"")});

  const auto ran = run(settings);
  ASSERT_TRUE(ran->finished) << ran->error;
  ASSERT_EQ(ran->journalRows, 6) << "row 3 only by its note, which becomes NULL";
  EXPECT_EQ(fs::path(ran->journalPath).parent_path(), m_dir);
  EXPECT_THAT(fs::path(ran->journalPath).filename().string(),
              AllOf(::testing::StartsWith("move."), ::testing::EndsWith(".journal")));
  struct stat info {};
  ASSERT_EQ(::stat(ran->journalPath.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u) << "the journal holds the connection string";
  ASSERT_NE(rows(m_table, "id, body, note"), before);

  // Since the run: row 4 changed again, row 6 deleted.
  m_db->execute("UPDATE " + m_table + " SET body = 'edited by hand' WHERE id = 4");
  m_db->execute("DELETE FROM " + m_table + " WHERE id = 6");

  std::vector<std::string> planned;
  const auto dry = undo(ran->journalPath, true, &planned);
  ASSERT_TRUE(dry->finished) << dry->error;
  EXPECT_THAT(planned, Contains("would put back id=1"));
  EXPECT_THAT(planned, Contains("left alone, changed since the run: id=4"));
  EXPECT_THAT(planned, Contains("not found: id=6"));
  EXPECT_EQ(rows(m_table, "id, body").at(3)[1], Cell("edited by hand"))
      << "a dry run writes nothing";
  EXPECT_EQ(rows(m_table, "id, body").at(0)[1], Cell("see http://new.example/a"));

  const auto undone = undo(ran->journalPath);
  ASSERT_TRUE(undone->finished) << undone->error;
  EXPECT_THAT(undone->notices, Contains("4 rows put back as they were before the run."));
  EXPECT_THAT(undone->notices, Contains(HasSubstr("1 row were left alone: they were changed "
                                                  "since the run: id=4.")));
  EXPECT_THAT(undone->notices, Contains(HasSubstr("no longer in table")));
  auto expected = before;
  expected[3][1] = "edited by hand";
  expected.pop_back();
  EXPECT_EQ(rows(m_table, "id, body, note"), expected);

  // Undoing again finds every row already as it was.
  const auto again = undo(ran->journalPath);
  ASSERT_TRUE(again->finished) << again->error;
  EXPECT_THAT(again->notices, Contains("0 rows put back as they were before the run."));
  EXPECT_EQ(rows(m_table, "id, body, note"), expected);
}

TEST_P(JournalUndoTest, ARunEndedByAConflictUndoesExactlyTheRowsItKept) {
  create(m_table, "id INTEGER PRIMARY KEY, body TEXT");
  for (int id = 1; id <= 60; ++id)
    m_db->execute("INSERT INTO " + m_table + " VALUES (" + std::to_string(id) + ", 'v" +
                  std::to_string(id) + "')");
  // A uniqueness rule the filter breaks at row 40: the rows before it are
  // kept; row 40 and any after it that were written with it are not.
  m_db->execute("UPDATE " + m_table + " SET body = 'blocker' WHERE id = 39");
  m_db->execute("CREATE UNIQUE INDEX " + m_table + "_u ON " + m_table + " (body)");
  const auto before = rows(m_table, "id, body");
  const auto settings = job(m_table, {"id", "body"},
                            {"", filter("replace \"v\" \"w\"\nreplace \"w40\" \"blocker\"")});
  const auto ran = run(settings);
  ASSERT_FALSE(ran->error.empty());
  ASSERT_FALSE(ran->journalPath.empty()) << "a failed run keeps its journal";
  // Every row kept is in the journal (38 of them); a backend may also
  // record the row that failed, which undo then finds unchanged.
  EXPECT_GE(ran->journalRows, 38);
  const auto after = rows(m_table, "id, body");
  EXPECT_EQ(after.at(37)[1], Cell("w38"));
  EXPECT_EQ(after.at(39)[1], Cell("v40"));

  const auto undone = undo(ran->journalPath);
  ASSERT_TRUE(undone->finished) << undone->error;
  EXPECT_THAT(undone->notices, Contains("38 rows put back as they were before the run."));
  EXPECT_EQ(rows(m_table, "id, body"), before);
}

TEST_P(JournalUndoTest, NoRowIsCommittedBeforeTheJournalHasItAndAFailingJournalStopsTheRun) {
  create(m_table, "id INTEGER PRIMARY KEY, body TEXT");
  m_db->execute("INSERT INTO " + m_table + " VALUES (1, 'a'), (2, 'b'), (3, 'c')");
  {
    auto query = m_db->open("SELECT * FROM " + m_table, {});
    query->setBeforeCommit([] { throw Error("Cannot write the undo journal j: No space left"); });
    query->moveFirst();
    query->setValue(1, std::string_view("changed"));
    try {
      query->moveNext();
      query->close();
      FAIL() << "the commit went ahead without the journal";
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr("Cannot write the undo journal j: No space left"));
    }
  }
  EXPECT_EQ(rows(m_table, "body"), (std::vector<std::vector<Cell>>{{"a"}, {"b"}, {"c"}}));

  // Rows written in groups: whatever was committed had been made durable.
  m_db->execute("DELETE FROM " + m_table);
  m_db->execute("INSERT INTO " + m_table + " SELECT id + 10, 'v' FROM (SELECT 1 AS id) s");
  for (int id = 12; id <= 3000; ++id)
    m_db->execute("INSERT INTO " + m_table + " VALUES (" + std::to_string(id) + ", 'v')");
  long long written = 0, durable = 0;
  auto query = m_db->open("SELECT * FROM " + m_table + " ORDER BY id", {});
  query->setBeforeCommit([&] {
    if (written >= 1000) throw Error("Cannot write the undo journal j: No space left");
    durable = written;
  });
  bool failed = false;
  try {
    for (query->moveFirst(); !query->eof(); query->moveNext()) {
      query->setValue(1, std::string_view("w"));
      // A slow row now and then: groups are committed by time too.
      if (++written % 500 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(600));
    }
    query->close();
  } catch (const Error& e) {
    failed = true;
    EXPECT_THAT(e.what(), HasSubstr("No space left"));
  }
  query.reset();
  EXPECT_TRUE(failed);
  auto changed = m_db->open("SELECT count(*) FROM " + m_table + " WHERE body = 'w'", {});
  changed->moveFirst();
  const long long kept = changed->value(0).kind == db::Value::Kind::Integer
                             ? changed->value(0).integer
                             : std::stoll(changed->value(0).text);
  changed->close();
  EXPECT_GT(kept, 0);
  EXPECT_LE(kept, durable);
}

INSTANTIATE_TEST_SUITE_P(Backends, JournalUndoTest, ::testing::ValuesIn(kBackends),
                         [](const auto& suite) { return suite.param.name; });

// A scratch folder of the test's own, removed after it.
class ScratchFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    m_dir = fs::temp_directory_path() / ("rowsmith-journal-" + std::to_string(::getpid()) + "-" +
                                         test->test_suite_name() + "-" + test->name());
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  fs::path m_dir;
};

// The SQLite-only cases: an empty database file in the folder.
class JournalUndoSqliteTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    m_source = "Provider=SQLite;Data Source=" + (m_dir / "db.sqlite").string();
    std::ofstream(m_dir / "db.sqlite");
  }

  void execute(const std::string& sql) { db::connect(m_source)->execute(sql); }
  // A filter file of `text`.
  std::string filter(const std::string& text) {
    const std::string path = (m_dir / "f.fll").string();
    std::ofstream(path) << text;
    return path;
  }
  TSettings job(const std::string& query, std::vector<std::string> columns,
                std::vector<std::string> filters) const {
    TSettings settings;
    settings.dataSource = m_source;
    settings.query = query;
    settings.columnNames = std::move(columns);
    settings.columnFilters = std::move(filters);
    return settings;
  }
  // Runs `settings` with its journal at `journal`.
  static std::shared_ptr<Outcome> run(const TSettings& settings, const std::string& journal) {
    RunOptions options;
    options.journal = true;
    options.journalPath = journal;
    auto ran = std::make_shared<Outcome>();
    TDataThread::create(std::make_unique<TSettings>(settings), ran, {}, options)->waitFor();
    return ran;
  }

  std::string m_source;
};

TEST_F(JournalUndoSqliteTest, RowsFoundByRowidAndAKeyTheRunWroteAreFoundAgain) {
  execute("CREATE TABLE t (code TEXT PRIMARY KEY, body TEXT)");
  execute("INSERT INTO t VALUES ('k-old', 'x old'), ('m', 'old y')");
  const auto replace = filter("replace \"old\" \"new\"\n");
  for (const std::string query : {"SELECT body FROM t", "SELECT code, body FROM t"}) {
    const auto columns = query == "SELECT body FROM t" ? std::vector<std::string>{"body"}
                                                       : std::vector<std::string>{"code", "body"};
    const std::string journal = (m_dir / (std::to_string(query.size()) + ".journal")).string();
    const auto ran =
        run(job(query, columns, std::vector<std::string>(columns.size(), replace)), journal);
    ASSERT_TRUE(ran->finished) << ran->error;
    ASSERT_EQ(ran->journalRows, 2);

    const auto undone = undoRun(journal);
    ASSERT_TRUE(undone->finished) << query << ": " << undone->error;
    EXPECT_THAT(undone->notices, Contains("2 rows put back as they were before the run.")) << query;
    auto db = db::connect(m_source);
    auto check = db->open("SELECT code || '|' || body FROM t ORDER BY code", {});
    check->moveFirst();
    EXPECT_EQ(check->value(0).text, "k-old|x old") << query;
  }
}

// A key of real numbers is written the same way by the run and by the undo,
// which reads its first rows before it writes.
TEST_F(JournalUndoSqliteTest, RowsWithARealNumberKeyAreFoundAgain) {
  execute("CREATE TABLE t (k REAL PRIMARY KEY, body TEXT)");
  execute("INSERT INTO t VALUES (0.1, 'old a'), (2.5, 'old b'), (1e300, 'old c'), (-3.0, 'd')");
  const std::string journal = (m_dir / "run.journal").string();
  const auto ran = run(
      job("select * from t", {"k", "body"}, {"", filter("replace \"old\" \"new\"\n")}), journal);
  ASSERT_TRUE(ran->finished) << ran->error;
  ASSERT_EQ(ran->journalRows, 3);

  const auto undone = undoRun(journal);
  ASSERT_TRUE(undone->finished) << undone->error;
  EXPECT_THAT(undone->notices, Contains("3 rows put back as they were before the run."));
  auto db = db::connect(m_source);
  std::vector<std::string> bodies;
  auto check = db->open("SELECT body FROM t ORDER BY k", {});
  for (check->moveFirst(); !check->eof(); check->moveNext()) bodies.push_back(check->value(0).text);
  EXPECT_EQ(bodies, (std::vector<std::string>{"d", "old a", "old b", "old c"}));
}

// The journal keeps each value in the form the run read it as text, numbers
// included, NULL as NULL, and only the rows written: a row the filter leaves
// as it was has no record.
TEST_F(JournalUndoSqliteTest, TheJournalKeepsTheValuesAsTheRunReadThem) {
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, v)");
  execute(
      "INSERT INTO t VALUES (1, 7), (2, 2.5), (3, 'a7'), (4, NULL), (5, 'same'), "
      "(6, 0.1), (7, -12345678901)");
  const std::string journal = (m_dir / "run.journal").string();
  const auto ran =
      run(job("select * from t", {"id", "v"},
              {"", filter("replace \"7\" \"70\"\nreplace \"5\" \"50\"\nreplace \"1\" \"10\"\n")}),
          journal);
  ASSERT_TRUE(ran->finished) << ran->error;
  EXPECT_EQ(ran->journalRows, 6);

  journal::JournalReader reader(journal);
  const std::pair<Cell, Cell> expected[] = {{"7", "70"},     {"2.5", "2.50"},
                                            {"a7", "a70"},   {std::nullopt, ""},
                                            {"0.1", "0.10"}, {"-12345678901", "-102345067089010"}};
  const char* keys[] = {"1", "2", "3", "4", "6", "7"};
  for (std::size_t i = 0; i < std::size(keys); ++i) {
    SCOPED_TRACE(keys[i]);
    journal::JournalReader::Row row;
    ASSERT_TRUE(reader.take({keys[i]}, row));
    ASSERT_EQ(row.changes.size(), 1u);
    EXPECT_EQ(row.changes[0].ordinal, 1);
    EXPECT_EQ(row.changes[0].oldValue, expected[i].first);
    EXPECT_EQ(row.changes[0].newValue, expected[i].second);
  }
  EXPECT_TRUE(reader.untaken().empty());
}

// A journal that cannot be written (here: the process may not make files
// that large) ends the run with that error, and no row is committed that the
// journal does not hold. The run is made in a child process, whose limit
// spares the database and its own journal but not the undo journal.
TEST_F(JournalUndoSqliteTest, AJournalThatCannotBeWrittenEndsTheRunAndCommitsNothingWithoutIt) {
  execute("CREATE TABLE t (id INTEGER PRIMARY KEY, v TEXT)");
  execute(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
      "INSERT INTO t SELECT i, 'old ' || i FROM n");
  const TSettings settings =
      job("select * from t", {"id", "v"}, {"", filter("replace \"old\" \"new\"\n")});
  const std::string journal = (m_dir / "run.journal").string();
  const fs::path errorPath = m_dir / "error.txt";
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The database is about 1 MB, the journal of its rows about 1.7 MB.
    const rlimit limit{1400 << 10, 1400 << 10};
    ::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    const auto ran = run(settings, journal);
    std::ofstream(errorPath) << ran->error;
    ::_exit(ran->finished ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  std::ifstream in(errorPath);
  const std::string error((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_THAT(error, HasSubstr("Cannot write the undo journal " + journal));
  EXPECT_THAT(error, HasSubstr("File too large"));
  // Every row the run kept is in the journal.
  journal::JournalReader reader(journal);
  auto db = db::connect(m_source);
  auto changed = db->open("SELECT id FROM t WHERE v LIKE 'new%'", {});
  long long kept = 0;
  for (changed->moveFirst(); !changed->eof(); changed->moveNext()) {
    journal::JournalReader::Row row;
    EXPECT_TRUE(reader.take({readFieldText(*changed, 0)}, row));
    ++kept;
  }
  changed->close();
  EXPECT_LT(kept, 40000);
}

// Appends one journal record, as a run writes it, to a journal made by hand.
void appendRecord(std::string& text, char type, const std::vector<Cell>& fields) {
  text += type;
  for (const auto& field : fields) journal::appendField(text, field);
  text += '\n';
}

// Journals made by hand, in a scratch folder.
class JournalFileTest : public ScratchFolderTest {
 protected:
  // The start of a journal: its header and the run's record.
  static std::string started() {
    std::string text(journal::kJournalHeader);
    appendRecord(text, 'S', {"conn", "job", "2026-12-11T00:00:00Z"});
    return text;
  }
  // Writes `text` to file `name` of the folder and gives its path.
  std::string write(const std::string& name, const std::string& text) const {
    const std::string path = (m_dir / name).string();
    std::ofstream(path) << text;
    return path;
  }
};

TEST_F(JournalFileTest, ARecordCutShortEndsTheJournalAndDamageIsNamed) {
  // What a run killed while it wrote its second row leaves.
  std::string head = started();
  appendRecord(head, 'T', {"\"t\"", "1", "id", "2", "id", "body"});
  appendRecord(head, 'R', {"7", "1", "1", "a", std::nullopt});
  appendRecord(head, 'R', {"8", "1", "1", "b", "c"});
  head.resize(head.size() - 3);
  journal::JournalReader cut(write("cut.journal", head));
  EXPECT_EQ(cut.rows(), 1);
  EXPECT_EQ(cut.connectionString(), "conn");
  EXPECT_EQ(cut.endStatus(), "");
  journal::JournalReader::Row row;
  ASSERT_TRUE(cut.take({"7"}, row));
  ASSERT_EQ(row.changes.size(), 1u);
  EXPECT_EQ(row.changes[0].oldValue, Cell("a"));
  EXPECT_EQ(row.changes[0].newValue, std::nullopt);

  const std::string bad = write("bad.journal", "rowsmith-journal 1\nS4:conn3:job1:x\nRx:1\n");
  EXPECT_THROW(
      {
        try {
          journal::JournalReader reader(bad);
        } catch (const Error& e) {
          EXPECT_THAT(e.what(), HasSubstr("is damaged at byte 35"));
          throw;
        }
      },
      Error);
  EXPECT_THROW(journal::JournalReader(write("job.rsm", "[Settings]\n")), Error);
}

// A field's length is written in decimal before its bytes, whatever the
// number of digits; NULL and empty text stay apart.
TEST_F(JournalFileTest, FieldsOfEveryLengthReadBackAsWritten) {
  std::string text = started();
  appendRecord(text, 'T', {"\"t\"", "1", "id", "2", "id", "body"});
  const std::vector<Cell> values = {std::nullopt,           "",
                                    std::string(9, 'a'),    std::string(10, 'b'),
                                    std::string(99, 'c'),   std::string(100, 'd'),
                                    std::string(12345, 'e')};
  for (std::size_t i = 0; i < values.size(); ++i)
    appendRecord(text, 'R',
                 {std::to_string(i), "1", "1", values[i], values[values.size() - 1 - i]});
  journal::JournalReader reader(write("lengths.journal", text));
  ASSERT_EQ(reader.rows(), static_cast<long long>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(i);
    journal::JournalReader::Row row;
    ASSERT_TRUE(reader.take({std::to_string(i)}, row));
    EXPECT_EQ(row.changes.at(0).oldValue, values[i]);
    EXPECT_EQ(row.changes.at(0).newValue, values[values.size() - 1 - i]);
  }
}

// Also when every key shares one hash, as two keys may by chance: the keys
// read back from the file tell the rows apart.
TEST_F(JournalFileTest, ARowRecordedTwiceIsTakenOnceFromItsFirstRecord) {
  std::string text = started();
  appendRecord(text, 'T', {"\"t\"", "2", "a", "b", "3", "a", "b", "body"});
  appendRecord(text, 'R', {"1", "x", "1", "2", "first", "mid"});
  appendRecord(text, 'R', {"2", "x", "1", "2", "other", "o2"});
  appendRecord(text, 'R', {"1", "x", "1", "2", "mid", "last"});
  appendRecord(text, 'R', {"1", "y", "1", "2", "", std::nullopt});
  const std::string path = write("twice.journal", text);
  const journal::JournalReader::KeyHash hashes[] = {
      &journal::JournalReader::standardKeyHash,
      [](const std::vector<std::string>&) -> std::uint64_t { return 7; }};
  for (const auto hash : hashes) {
    SCOPED_TRACE(hash == hashes[0] ? "standard hash" : "one hash for all keys");
    journal::JournalReader reader(path, hash);
    EXPECT_EQ(reader.rows(), 3);
    journal::JournalReader::Row row;
    ASSERT_TRUE(reader.take({"1", "x"}, row));
    EXPECT_EQ(row.changes.at(0).oldValue, Cell("first"));
    EXPECT_FALSE(reader.take({"1", "x"}, row));
    EXPECT_FALSE(reader.take({"1", "z"}, row));
    ASSERT_TRUE(reader.take({"1", "y"}, row));
    EXPECT_EQ(row.changes.at(0).oldValue, Cell(""));
    EXPECT_EQ(row.key, (std::vector<std::string>{"1", "y"}));
    EXPECT_EQ(reader.untaken(), (std::vector<std::vector<std::string>>{{"2", "x"}}));
  }
}

}  // namespace
}  // namespace rowsmith
