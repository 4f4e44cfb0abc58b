// rowsmith-bench-progress RUNNER FOLDER ROWS: what the desktop program's
// progress window costs a run.
//
// Builds a SQLite table of ROWS rows in FOLDER, each holding "street", and a
// job that replaces "street" by "road" in it. Then, on a fresh copy of the
// table each time, in alternating rounds:
//   window    the run as Go starts it: the worker reporting to a progress
//             window through its observer, the window shown (offscreen)
//   runner    RUNNER run JOB, the headless runner on the same job
//   bare      the same worker in this process with an observer that shows
//             nothing
// Prints the median of each and the ratios; the goal is a window that costs
// the run less than 5 % against the runner.
#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/RunObserver.h"
#include "engine/db/ConnectionFactory.h"
#include "shell/StatusForm.h"
#include "shell/StatusFormObserver.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Passes every call on and ends the event loop when the worker lets go of
// it, which it does once it has closed the database.
class EndOfRun : public rowsmith::RunObserver {
 public:
  EndOfRun(std::shared_ptr<rowsmith::RunObserver> inner, QEventLoop* loop)
      : m_inner(std::move(inner)), m_loop(loop) {}
  ~EndOfRun() override {
    QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
  }
  void showStatus(const std::string& text) override {
    if (std::getenv("BENCH_DEBUG")) std::fprintf(stderr, "%s\n", text.c_str());
    if (m_inner) m_inner->showStatus(text);
  }
  void showProgress(int percent) override {
    if (m_inner) m_inner->showProgress(percent);
  }
  void rowDone(long long row, long long total) override {
    if (m_inner) m_inner->rowDone(row, total);
  }
  void attachThread(const std::shared_ptr<rowsmith::TDataThread>& thread) override {
    if (m_inner) m_inner->attachThread(thread);
  }
  void setFinished() override {
    if (m_inner) m_inner->setFinished();
  }
  void showError(const rowsmith::RunErrorReport& report) override {
    std::fprintf(stderr, "run failed: %s\n", report.message.c_str());
    if (m_inner) m_inner->showError(report);
  }
  void releaseSettings(std::unique_ptr<rowsmith::TSettings> settings) override {
    if (m_inner) m_inner->releaseSettings(std::move(settings));
  }

 private:
  std::shared_ptr<rowsmith::RunObserver> m_inner;
  QEventLoop* m_loop;
};

std::string sourceFor(const fs::path& database) {
  return "Provider=SQLite;Data Source=" + database.string();
}

void makeTable(const fs::path& database, long long rows) {
  std::ofstream{database};  // the backend opens only files that exist
  auto connection = rowsmith::db::connect(sourceFor(database));
  connection->execute(
      "create table people (id integer primary key, name text);"
      "insert into people select i, 'Main street ' || i from (with recursive n(i) as (select 1 "
      "union all select i + 1 from n where i < " +
      std::to_string(rows) + ") select i from n)");
}

long long changedRows(const fs::path& database) {
  auto connection = rowsmith::db::connect(sourceFor(database));
  auto rows = connection->open(
      "select cast(count(*) as text) from people where name like 'Main road %'", {});
  rows->moveFirst();
  return std::atoll(rows->value(0).text.c_str());
}

rowsmith::TSettings jobFor(const fs::path& database, const fs::path& filter) {
  rowsmith::TSettings job;
  job.dataSource = sourceFor(database);
  job.useTable = true;
  job.tableName = "people";
  job.columnNames = {"id", "name"};
  job.columnFilters = {"", filter.string()};
  return job;
}

// One run in this process; with a window, the run reports to it.
double runInProcess(const rowsmith::TSettings& job, bool withWindow) {
  QEventLoop loop;
  std::unique_ptr<rowsmith::gui::TTstatusForm> form;
  std::shared_ptr<rowsmith::RunObserver> inner;
  if (withWindow) {
    form = std::make_unique<rowsmith::gui::TTstatusForm>();
    form->show();
    inner = std::make_shared<rowsmith::gui::StatusFormObserver>(form.get());
  }
  const auto start = Clock::now();
  rowsmith::TDataThread::create(std::make_unique<rowsmith::TSettings>(job),
                                std::make_shared<EndOfRun>(inner, &loop));
  loop.exec();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double runRunner(const std::string& runner, const fs::path& jobFile, const fs::path& folder) {
  const std::string command = "'" + runner + "' run '" + jobFile.string() + "' >'" +
                              (folder / "runner.out").string() + "' 2>&1";
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "runner failed, see %s\n", (folder / "runner.out").c_str());
    std::exit(1);
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: rowsmith-bench-progress RUNNER FOLDER ROWS\n");
    return 2;
  }
  const std::string runner = argv[1];
  const fs::path folder = argv[2];
  const long long rows = std::atoll(argv[3]);
  try {
    const fs::path original = folder / "original.sqlite";
    const fs::path database = folder / "run.sqlite";
    const fs::path filter = folder / "street.fll";
    const fs::path jobFile = folder / "job.rsm";
    makeTable(original, rows);
    std::ofstream(filter) << "replace \"street\" \"road\"\n";
    rowsmith::TSettings job = jobFor(database, filter);
    job.SaveToFile(jobFile.string());

    std::vector<double> window, runnerTimes, bare;
    for (int round = 0; round < 3; ++round) {
      for (int way = 0; way < 3; ++way) {
        fs::copy_file(original, database, fs::copy_options::overwrite_existing);
        if (way == 0) window.push_back(runInProcess(job, true));
        if (way == 1) runnerTimes.push_back(runRunner(runner, jobFile, folder));
        if (way == 2) bare.push_back(runInProcess(job, false));
        if (changedRows(database) != rows) {
          std::fprintf(stderr, "way %d changed %lld of %lld rows\n", way, changedRows(database),
                       rows);
          return 1;
        }
      }
    }
    const double w = median(window), r = median(runnerTimes), b = median(bare);
    std::printf("SQLite, %lld rows, median of 3 runs each:\n", rows);
    std::printf("  progress window   %7.3f s\n", w);
    std::printf("  rowsmith-run run  %7.3f s   window/runner %.3f (goal below 1.05)\n", r, w / r);
    std::printf("  no display        %7.3f s   window/no display %.3f\n", b, w / b);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "rowsmith-bench-progress: %s\n", error.what());
    return 1;
  }
  return 0;
}
