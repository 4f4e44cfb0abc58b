// Cases of the shared suite that run the row worker itself on the backend,
// with the real filter engine on real filter files: what a whole run writes,
// and what it leaves alone.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/Preview.h"
#include "engine/RunObserver.h"
#include "engine/db/BackendSuite.h"
#include "wordmill/FilterServer.h"

namespace rowsmith::db::testing {

BackendTarget::AuditTrigger sqliteAuditTrigger(const std::string& table, const std::string& audit) {
  return {{"CREATE TRIGGER " + audit + "_trigger AFTER UPDATE ON " + table + " BEGIN INSERT INTO " +
           audit + " (id) VALUES (new.id); END"},
          {}};
}

BackendTarget::AuditTrigger postgresAuditTrigger(const std::string& table,
                                                 const std::string& audit) {
  const std::string function = audit + "_row";
  return {{"CREATE FUNCTION " + function +
               "() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN INSERT INTO " + audit +
               " (id) VALUES (NEW.id); RETURN NEW; END$$",
           "CREATE TRIGGER " + audit + "_trigger AFTER UPDATE ON " + table +
               " FOR EACH ROW EXECUTE FUNCTION " + function + "()"},
          {"DROP FUNCTION IF EXISTS " + function + "()"}};
}

namespace {

namespace fs = std::filesystem;
using Column = std::vector<std::optional<std::string>>;

// Remembers how a run ended. Every call comes from the worker's thread; the
// test reads the fields once the run's thread has ended.
class RunRecorder : public RunObserver {
 public:
  void showStatus(const std::string& text) override { lastStatus = text; }
  void showProgress(int) override {}
  void attachThread(const std::shared_ptr<TDataThread>&) override {}
  void setFinished() override {}
  void showError(const RunErrorReport& report) override { errors.push_back(report.message); }
  void releaseSettings(std::unique_ptr<TSettings>) override {}

  std::string lastStatus;
  std::vector<std::string> errors;
};

// A filter file that is removed again when the object goes.
class FilterFile {
 public:
  FilterFile(const std::string& stem, const std::string& text)
      : m_path(fs::path(::testing::TempDir()) / (uniqueName(stem) + ".fll")) {
    std::ofstream(m_path) << text << "\n";
  }
  ~FilterFile() {
    std::error_code ignored;
    fs::remove(m_path, ignored);
  }
  std::string path() const { return m_path.string(); }

 private:
  fs::path m_path;
};

// A job on the whole of `table` that passes column "a" through `filter`.
TSettings upperCaseJob(const std::string& connectionString, const std::string& table,
                       const FilterFile& filter) {
  TSettings job;
  job.dataSource = connectionString;
  job.useTable = true;
  job.tableName = table;
  job.columnNames = {"id", "a"};
  job.columnFilters = {"", filter.path()};
  return job;
}

// Runs `job` to its end through the target's connect function: the last
// status text, or "error: " and the first error's message.
std::string runJob(const BackendTarget& target, const TSettings& job, RunOptions options = {}) {
  auto observer = std::make_shared<RunRecorder>();
  auto thread =
      TDataThread::create(std::make_unique<TSettings>(job), observer, target.connect, options);
  thread->waitFor();
  return observer->errors.empty() ? observer->lastStatus : "error: " + observer->errors.front();
}

}  // namespace

// A run writes only the values its filters change. A row whose values all
// come back as they were read is not written at all (no UPDATE reaches it,
// so an audit trigger does not fire), a NULL that comes back as empty text is
// stored as the empty string, and the preview marks exactly the cells the run
// writes. With writeEveryRow every row is written, as runs used to do.
TEST_P(BackendSuite, RunWritesOnlyTheValuesThatChange) {
  const auto table = createKeyedTable({"KEPT", "changed", std::nullopt, ""});
  const auto audit = uniqueName("audit");
  execute("CREATE TABLE " + audit + " (id INTEGER)");
  dropLater(audit);
  if (target().auditTrigger) {
    const auto trigger = target().auditTrigger(table, audit);
    for (const auto& sql : trigger.create) execute(sql);
    for (const auto& sql : trigger.drop) runAtEnd(sql);
  }
  const auto updatedRows = [&] {
    return readColumn(secondConnection(), "SELECT id FROM " + audit + " ORDER BY id");
  };
  const FilterFile upper("upper", "upper");
  const TSettings job = upperCaseJob(m_connectionString, table, upper);

  PreviewData preview;
  previewChanges(*wordmill::createObject(wordmill::kWordmillProgId),
                 readJobSample(connection(), job, 10), job.columnFilters, preview);
  std::vector<bool> marked;
  for (const auto& row : preview.rows) marked.push_back(row.at(1).changed);
  EXPECT_EQ(marked, (std::vector<bool>{false, true, true, false}));

  EXPECT_EQ(runJob(target(), job), "Complete. 4 rows processed.");
  EXPECT_EQ(columnA(table), (Column{"KEPT", "CHANGED", "", ""}));
  if (target().auditTrigger) {
    EXPECT_EQ(updatedRows(), (Column{"2", "3"}));
  }

  RunOptions everyRow;
  everyRow.writeEveryRow = true;
  EXPECT_EQ(runJob(target(), job, everyRow), "Complete. 4 rows processed.");
  EXPECT_EQ(columnA(table), (Column{"KEPT", "CHANGED", "", ""}));
  if (target().auditTrigger) {
    EXPECT_EQ(updatedRows(), (Column{"1", "2", "2", "3", "3", "4"}));
  }
}

// Progress counts a row once the database holds its change, or when it
// needed none: the count the display is given never exceeds what another
// connection already reads as changed, so it never runs ahead of the
// database by a group of rows on their way.
TEST_P(BackendSuite, ProgressCountsOnlyRowsTheDatabaseHolds) {
  constexpr int kRows = 1200;
  const auto table = createKeyedTable(Column(kRows, std::string("done")));
  const FilterFile upper("upper", "upper");
  const TSettings job = upperCaseJob(m_connectionString, table, upper);

  // Every call comes from the worker's thread, which waits for the answer.
  // Every 100th count is checked: a query may cost a connection.
  class Watcher : public RunRecorder {
   public:
    explicit Watcher(std::function<long long()> done) : m_done(std::move(done)) {}
    void rowDone(long long applied, long long) override {
      lastApplied = applied;
      if (++m_calls % 100 != 0 || !ahead.empty()) return;
      if (const long long done = m_done(); applied > done)
        ahead = std::to_string(applied) + " applied, " + std::to_string(done) + " done";
    }
    std::string ahead;
    long long lastApplied = -1;

   private:
    std::function<long long()> m_done;
    long long m_calls = 0;
  };
  const std::string countDone = "SELECT COUNT(*) FROM " + table + " WHERE a = 'DONE'";
  const auto run = [&] {
    auto watcher = std::make_shared<Watcher>(
        [&] { return std::stoll(readColumn(secondConnection(), countDone).at(0).value()); });
    TDataThread::create(std::make_unique<TSettings>(job), watcher, target().connect, {})->waitFor();
    EXPECT_THAT(watcher->errors, ::testing::IsEmpty());
    return watcher;
  };

  const auto first = run();
  EXPECT_EQ(first->ahead, "");
  EXPECT_EQ(readColumn(secondConnection(), countDone), (Column{std::to_string(kRows)}));
  // Rows that need no change count as soon as they are handled.
  EXPECT_EQ(run()->lastApplied, kRows);
}

}  // namespace rowsmith::db::testing
