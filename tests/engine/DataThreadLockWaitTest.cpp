// A run on the throwaway PostgreSQL server that meets a lock another session
// holds: the write gives up after the lock timeout with a message that names
// the row, and a cancel (Ctrl+C, the Cancel button: Terminate) interrupts a
// wait of the writing or of the reading connection. The other session is a
// real second connection; the run is the real worker.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/RunObserver.h"
#include "engine/db/ConnectionFactory.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Column = std::vector<std::optional<std::string>>;

// What a run reported, and a way to wait for its end without hanging a test
// whose run never ends.
class EndObserver : public RunObserver {
 public:
  void showStatus(const std::string& text) override {
    std::lock_guard lock(m_mutex);
    m_lastStatus = text;
  }
  void showProgress(int) override {}
  void attachThread(const std::shared_ptr<TDataThread>&) override {}
  void setFinished() override { end(""); }
  void showError(const RunErrorReport& report) override { end(report.message); }
  void releaseSettings(std::unique_ptr<TSettings>) override {}

  // False when the run has not ended within `limit`.
  bool waitForEnd(std::chrono::seconds limit) {
    std::unique_lock lock(m_mutex);
    return m_ended.wait_for(lock, limit, [this] { return m_done; });
  }
  std::string lastStatus() {
    std::lock_guard lock(m_mutex);
    return m_lastStatus;
  }
  std::string error() {
    std::lock_guard lock(m_mutex);
    return m_error;
  }

 private:
  void end(const std::string& error) {
    std::lock_guard lock(m_mutex);
    m_error = error;
    m_done = true;
    m_ended.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_ended;
  bool m_done = false;
  std::string m_lastStatus;
  std::string m_error;
};

std::string serverConnectionString() {
  std::ifstream in(std::string(ROWSMITH_PG_DIR) + "/connection-string");
  std::string line;
  std::getline(in, line);
  return line;
}

class DataThreadLockWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_source = serverConnectionString();
    ASSERT_FALSE(m_source.empty()) << "no PostgreSQL test server";
    static int counter = 0;
    m_table = "lockwait_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
    m_dir = fs::temp_directory_path() / m_table;
    fs::create_directories(m_dir);
    m_db = db::connect(m_source);
    m_db->execute("CREATE TABLE " + m_table + " (id INTEGER PRIMARY KEY, name TEXT)");
    m_db->execute("INSERT INTO " + m_table + " VALUES (1, 'name1'), (2, 'name2'), (3, 'name3')");
    m_holder = db::connect(m_source);
  }
  void TearDown() override {
    m_holder.reset();
    if (m_db) m_db->execute("DROP TABLE IF EXISTS " + m_table);
    fs::remove_all(m_dir);
  }

  // A job that upper-cases the name of every row, in id order.
  TSettings job(const std::string& connectionOptions) {
    const auto filter = m_dir / "upper.fll";
    std::ofstream(filter) << "upper\n";
    TSettings settings;
    settings.dataSource = m_source + connectionOptions;
    settings.useTable = false;
    settings.query = "SELECT * FROM " + m_table + " ORDER BY id";
    settings.columnFilters = {"", filter.string()};
    settings.columnNames = {"id", "name"};
    return settings;
  }

  // Waits until a session of the run waits for a lock.
  bool runIsWaiting() {
    const std::string sql =
        "SELECT count(*) FROM pg_stat_activity WHERE wait_event_type = 'Lock' AND "
        "application_name = 'Rowsmith' AND query LIKE '%" +
        m_table + "%'";
    for (int attempt = 0; attempt < 600; ++attempt) {
      auto waiting = m_db->open(sql, {});
      const bool found = waiting->value(0).integer > 0;
      waiting->close();
      if (found) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  Column names() {
    Column values;
    auto result = m_db->open("SELECT name FROM " + m_table + " ORDER BY id", {});
    for (; !result->eof(); result->moveNext()) values.push_back(result->value(0).text);
    result->close();
    return values;
  }

  std::string m_source;
  std::string m_table;
  fs::path m_dir;
  std::unique_ptr<db::Connection> m_db;
  // The other session, which holds the lock.
  std::unique_ptr<db::Connection> m_holder;
};

// The row another session has locked is given up after the lock timeout; the
// message names it and the rows before it keep their new values.
TEST_F(DataThreadLockWaitTest, WriteGivesUpAfterTheLockTimeoutNamingTheRow) {
  m_holder->execute("BEGIN");
  m_holder->execute("UPDATE " + m_table + " SET name = name WHERE id = 2");
  auto observer = std::make_shared<EndObserver>();
  auto thread = TDataThread::create(std::make_unique<TSettings>(job(";Lock Timeout=1")), observer);
  const bool ended = observer->waitForEnd(std::chrono::seconds(120));
  m_holder->execute("ROLLBACK");
  thread->waitFor();
  ASSERT_TRUE(ended) << "the write waited for ever";
  EXPECT_EQ(observer->error(), "Cannot write to table " + m_table +
                                   ", key id=2: another session held a lock on the row (or its "
                                   "table) for longer than the lock timeout of 1s; end that "
                                   "session's transaction, or set a longer Lock Timeout (in "
                                   "seconds) in the connection string");
  EXPECT_THAT(names(), ElementsAre("NAME1", "name2", "name3"));
}

// A cancel while the run waits for a lock, with no time-out to end the wait:
// the wait ends at once, the run ends as cancelled with the row in hand
// keeping its old values, whether the writing connection waited for a row or
// the reading connection for the table.
TEST_F(DataThreadLockWaitTest, CancelInterruptsAWaitOfTheWriterOrTheReader) {
  struct Case {
    std::string lock;
    std::string status;
    Column names;
  };
  const Case cases[] = {
      {"UPDATE " + m_table + " SET name = name WHERE id = 2",
       "Terminated by user. 1 rows processed.",
       {"NAME1", "name2", "name3"}},
      {"LOCK TABLE " + m_table + " IN ACCESS EXCLUSIVE MODE",
       "Terminated by user. 0 rows processed.",
       {"name1", "name2", "name3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lock);
    m_db->execute("UPDATE " + m_table + " SET name = lower(name)");
    m_holder->execute("BEGIN");
    m_holder->execute(c.lock);
    auto observer = std::make_shared<EndObserver>();
    auto thread =
        TDataThread::create(std::make_unique<TSettings>(job(";Lock Timeout=0")), observer);
    EXPECT_TRUE(runIsWaiting());
    thread->Terminate();
    // Without the interrupt the run waits until the other session lets go.
    const bool ended = observer->waitForEnd(std::chrono::seconds(60));
    m_holder->execute("ROLLBACK");
    thread->waitFor();
    EXPECT_TRUE(ended) << "the cancel did not interrupt the wait";
    EXPECT_EQ(observer->error(), "");
    EXPECT_EQ(observer->lastStatus(), c.status);
    EXPECT_EQ(names(), c.names);
  }
}

}  // namespace
}  // namespace rowsmith
