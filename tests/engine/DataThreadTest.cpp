// The row worker against real SQLite files and the throwaway PostgreSQL
// server, with the real filter engine on real filter files. Two stand-ins
// inject what the real things cannot show: a connection whose record sets
// announce a row count (both backends stream and never know it), and a
// filter server that logs its windows or fails on a given value.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/DataThread.h"
#include "engine/RunObserver.h"
#include "engine/db/ConnectionFactory.h"
#include "wordmill/FilterServer.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using Column = std::vector<std::optional<std::string>>;

// What one run told its observer (and, in some tests, what its server and
// connection did), in order.
class EventLog {
 public:
  void add(const std::string& event) {
    std::lock_guard lock(m_mutex);
    m_events.push_back(event);
  }
  std::vector<std::string> events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
  }
  // The events that start with `prefix`, without it.
  std::vector<std::string> with(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const auto& event : events()) {
      if (event.rfind(prefix, 0) == 0) found.push_back(event.substr(prefix.size()));
    }
    return found;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<std::string> m_events;
};

class RecordingObserver : public RunObserver {
 public:
  explicit RecordingObserver(std::shared_ptr<EventLog> log) : m_log(std::move(log)) {}

  void showStatus(const std::string& text) override {
    m_log->add("status:" + text);
    if (onStatus && m_thread) onStatus(text, *m_thread);
  }
  void showProgress(int percent) override { m_log->add("progress:" + std::to_string(percent)); }
  void attachThread(const std::shared_ptr<TDataThread>& thread) override {
    m_log->add("attach");
    m_thread = thread;
  }
  void showNotice(const std::string& text) override { m_log->add("notice:" + text); }
  void setFinished() override { m_log->add("finished"); }
  void showError(const RunErrorReport& report) override {
    m_log->add("error:" + report.text);
    reports.push_back(report);
  }
  void releaseSettings(std::unique_ptr<TSettings>) override {
    m_log->add("release settings");
    m_thread.reset();
  }

  // Called on the worker's thread with every status text once attached.
  std::function<void(const std::string&, TDataThread&)> onStatus;
  std::vector<RunErrorReport> reports;

 private:
  std::shared_ptr<EventLog> m_log;
  std::shared_ptr<TDataThread> m_thread;
};

// Called before each write to a field: may throw, as a database can.
using WriteHook = std::function<void()>;

// Forwards to a real record set but announces `count` rows.
class AnnouncingRecordSet : public db::RecordSet {
 public:
  AnnouncingRecordSet(std::unique_ptr<db::RecordSet> inner, long long count,
                      std::shared_ptr<EventLog> log, WriteHook beforeWrite = {})
      : m_inner(std::move(inner)),
        m_count(count),
        m_log(std::move(log)),
        m_beforeWrite(std::move(beforeWrite)) {}
  ~AnnouncingRecordSet() override {
    if (m_log) m_log->add("query released");
  }
  bool isOpen() const override { return m_inner->isOpen(); }
  bool eof() const override { return m_inner->eof(); }
  void moveFirst() override { m_inner->moveFirst(); }
  void moveNext() override { m_inner->moveNext(); }
  void close() override { m_inner->close(); }
  int fieldCount() const override { return m_inner->fieldCount(); }
  const std::string& fieldName(int i) const override { return m_inner->fieldName(i); }
  db::DataType fieldType(int i) const override { return m_inner->fieldType(i); }
  const db::Value& value(int i) override { return m_inner->value(i); }
  void setValue(int i, std::optional<std::string_view> v) override {
    if (m_beforeWrite) m_beforeWrite();
    m_inner->setValue(i, v);
  }
  bool supportsUpdates() const override { return m_inner->supportsUpdates(); }
  long long recordCount() const override { return m_count; }

 private:
  std::unique_ptr<db::RecordSet> m_inner;
  long long m_count;
  std::shared_ptr<EventLog> m_log;
  WriteHook m_beforeWrite;
};

class AnnouncingConnection : public db::Connection {
 public:
  AnnouncingConnection(std::unique_ptr<db::Connection> inner, long long count,
                       std::shared_ptr<EventLog> log, WriteHook beforeWrite = {})
      : m_inner(std::move(inner)),
        m_count(count),
        m_log(std::move(log)),
        m_beforeWrite(std::move(beforeWrite)) {}
  ~AnnouncingConnection() override {
    if (m_log) m_log->add("connection released");
  }
  std::vector<std::string> tableNames() override { return m_inner->tableNames(); }
  std::unique_ptr<db::RecordSet> open(const std::string& sql,
                                      const db::OpenOptions& options) override {
    return std::make_unique<AnnouncingRecordSet>(m_inner->open(sql, options), m_count, m_log,
                                                 m_beforeWrite);
  }
  void execute(const std::string& sql) override { m_inner->execute(sql); }
  std::string describe() const override { return m_inner->describe(); }

 private:
  std::unique_ptr<db::Connection> m_inner;
  long long m_count;
  std::shared_ptr<EventLog> m_log;
  WriteHook m_beforeWrite;
};

TDataThread::ConnectFunction announcing(long long count, std::shared_ptr<EventLog> log = {},
                                        WriteHook beforeWrite = {}) {
  return [count, log, beforeWrite](const std::string& connectionString) {
    return std::make_unique<AnnouncingConnection>(db::connect(connectionString), count, log,
                                                  beforeWrite);
  };
}

// A filter window of the real engine that logs its close and can be told
// to fail on its n-th value.
class LoggingWindow : public wordmill::FilterWindow {
 public:
  LoggingWindow(std::shared_ptr<wordmill::FilterWindow> inner, std::shared_ptr<EventLog> log,
                int failOnCall)
      : m_inner(std::move(inner)), m_log(std::move(log)), m_failOnCall(failOnCall) {}
  bool openFilter(const std::string& path) override {
    m_name = fs::path(path).filename().string();
    return m_inner->openFilter(path);
  }
  std::string compileFilter() override { return m_inner->compileFilter(); }
  std::string processStringWithCompiledFilter(const std::string& input) override {
    if (++m_calls == m_failOnCall) throw Error("server gone", "EOleException");
    return m_inner->processStringWithCompiledFilter(input);
  }
  void close() override {
    m_log->add("close window " + m_name);
    m_inner->close();
  }

 private:
  std::shared_ptr<wordmill::FilterWindow> m_inner;
  std::shared_ptr<EventLog> m_log;
  int m_failOnCall;
  int m_calls = 0;
  std::string m_name;
};

class LoggingServer : public wordmill::FilterApplication {
 public:
  LoggingServer(std::shared_ptr<wordmill::FilterApplication> inner, std::shared_ptr<EventLog> log,
                int failOnCall)
      : m_inner(std::move(inner)), m_log(std::move(log)), m_failOnCall(failOnCall) {}
  ~LoggingServer() override { m_log->add("server released"); }
  void hide() override { m_inner->hide(); }
  void calledFrom(const std::string& caller) override { m_inner->calledFrom(caller); }
  void show() override { m_inner->show(); }
  std::shared_ptr<wordmill::FilterWindow> newWindow() override {
    return std::make_shared<LoggingWindow>(m_inner->newWindow(), m_log, m_failOnCall);
  }
  void findWindow(const std::string& path) override { m_inner->findWindow(path); }

 private:
  std::shared_ptr<wordmill::FilterApplication> m_inner;
  std::shared_ptr<EventLog> m_log;
  int m_failOnCall;
};

// Puts the logging server in place of the built-in one while it lives.
class LoggingServerInPlace {
 public:
  LoggingServerInPlace(std::shared_ptr<EventLog> log, int failOnCall = 0) {
    m_real = wordmill::registerClass(wordmill::kWordmillProgId, {});
    auto real = m_real;
    wordmill::registerClass(wordmill::kWordmillProgId, [real, log, failOnCall] {
      return std::make_shared<LoggingServer>(real(), log, failOnCall);
    });
  }
  ~LoggingServerInPlace() { wordmill::registerClass(wordmill::kWordmillProgId, m_real); }

 private:
  wordmill::FilterApplicationFactory m_real;
};

struct Backend {
  std::string name;
  std::function<std::string(const fs::path& dir)> connectionString;
  std::string binaryType;
  std::function<std::string(const std::string& hex)> binaryLiteral;
};

void PrintTo(const Backend& backend, std::ostream* out) { *out << backend.name; }

std::string postgresConnectionString(const fs::path&) {
  std::ifstream in(std::string(ROWSMITH_PG_DIR) + "/connection-string");
  std::string line;
  std::getline(in, line);
  return line;
}

const Backend kBackends[] = {
    {"Sqlite",
     [](const fs::path& dir) {
       // An empty file is an empty database.
       std::ofstream(dir / "db.sqlite");
       return "Provider=SQLite;Data Source=" + (dir / "db.sqlite").string();
     },
     "BLOB", [](const std::string& hex) { return "X'" + hex + "'"; }},
    {"Postgres", postgresConnectionString, "BYTEA",
     [](const std::string& hex) { return "decode('" + hex + "', 'hex')"; }},
};

class DataThreadTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    const std::string suffix = std::to_string(::getpid()) + "_" + std::to_string(++counter);
    m_dir = fs::temp_directory_path() / ("rowsmith-datathread-" + suffix);
    fs::create_directories(m_dir);
    m_connectionString = GetParam().connectionString(m_dir);
    ASSERT_FALSE(m_connectionString.empty()) << "no PostgreSQL test server";
    m_db = db::connect(m_connectionString);
    m_table = "dt_" + suffix;
  }
  void TearDown() override {
    if (m_db) {
      for (const auto& table : m_tables) {
        try {
          m_db->execute("DROP TABLE " + table);
        } catch (const Error&) {
        }
      }
    }
    m_db.reset();
    fs::remove_all(m_dir);
  }

  // A table of `rows` rows: id 1.., name "name<id>", note "note<id>".
  void createTable(const std::string& table, int rows, const std::string& extraColumns = "") {
    m_db->execute("CREATE TABLE " + table + " (id INTEGER PRIMARY KEY, name TEXT, note TEXT" +
                  extraColumns + ")");
    m_tables.push_back(table);
    for (int id = 1; id <= rows; ++id) {
      const std::string n = std::to_string(id);
      m_db->execute("INSERT INTO " + table + " (id, name, note) VALUES (" + n + ", 'name" + n +
                    "', 'note" + n + "')");
    }
  }

  std::string filter(const std::string& name, const std::string& text) {
    const auto path = m_dir / name;
    std::ofstream(path) << text << "\n";
    return path.string();
  }

  // A job on the whole of `table` with one filter per column, the columns
  // named as createTable and the extra columns of the tests make them.
  TSettings tableJob(const std::string& table, std::vector<std::string> filters) {
    static const std::vector<std::string> kNames = {"id", "name", "note", "data", "calc", "plain"};
    TSettings job;
    job.dataSource = m_connectionString;
    job.useTable = true;
    job.tableName = table;
    job.columnFilters = std::move(filters);
    for (std::size_t i = 0; i < job.columnFilters.size(); ++i)
      job.columnNames.push_back(i < kNames.size() ? kNames[i] : "");
    return job;
  }

  // Runs a job to its end. `onStatus` sees every status text once the
  // worker has attached itself.
  std::shared_ptr<EventLog> run(const TSettings& job, TDataThread::ConnectFunction connect = {},
                                std::function<void(const std::string&, TDataThread&)> onStatus = {},
                                std::shared_ptr<EventLog> log = std::make_shared<EventLog>()) {
    auto observer = std::make_shared<RecordingObserver>(log);
    observer->onStatus = std::move(onStatus);
    auto thread =
        TDataThread::create(std::make_unique<TSettings>(job), observer, std::move(connect));
    thread->waitFor();
    m_reports = observer->reports;
    return log;
  }

  Column column(const std::string& table, const std::string& name) {
    Column values;
    auto result = m_db->open("SELECT " + name + " FROM " + table + " ORDER BY id", {});
    if (!result->eof()) result->moveFirst();
    for (; !result->eof(); result->moveNext()) {
      const db::Value& value = result->value(0);
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
  std::string m_connectionString;
  std::unique_ptr<db::Connection> m_db;
  std::string m_table;
  std::vector<std::string> m_tables;
  std::vector<RunErrorReport> m_reports;
};

const std::vector<std::string> kStartTexts = {
    "Connecting to Wordmill Pro...", "Connecting to database...", "Generating result set..."};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_P(DataThreadTest, EmptyRecordSetCompletesWithZeroRowsAndNoProgress) {
  createTable(m_table, 0);
  const auto log = run(tableJob(m_table, {"", filter("u.fll", "upper"), ""}));
  EXPECT_EQ(log->with("status:"), concat(kStartTexts, {"Complete. 0 rows processed."}));
  EXPECT_TRUE(log->with("progress:").empty());
  EXPECT_EQ(log->with("finished").size(), 1u);
  EXPECT_TRUE(m_reports.empty());
}

TEST_P(DataThreadTest, UnknownCountNamesRowsWithoutTotalAndLeavesProgressAlone) {
  createTable(m_table, 2);
  TSettings job = tableJob(m_table, {"", filter("u.fll", "upper"), ""});
  job.useTable = false;
  job.query = "SELECT * FROM " + m_table + " ORDER BY id";
  const auto log = run(job, announcing(-1));
  EXPECT_EQ(log->with("status:"),
            concat(kStartTexts, {"Processing row 1 of (Unknown)", "Processing row 2 of (Unknown)",
                                 "Complete. 2 rows processed."}));
  EXPECT_TRUE(log->with("progress:").empty());
  EXPECT_THAT(column(m_table, "name"), ElementsAre("NAME1", "NAME2"));
}

TEST_P(DataThreadTest, KnownTotalsGiveRowTextsAndTruncatedPercentages) {
  struct Case {
    long long announced;
    std::vector<std::string> rowTexts;
    std::vector<std::string> progress;
  };
  // Three rows announced as three, and as two: the row number then runs
  // past the total and the percentage past 100.
  const Case cases[] = {
      {3,
       {"Processing row 1 of 3", "Processing row 2 of 3", "Processing row 3 of 3"},
       {"33", "66", "100"}},
      {2,
       {"Processing row 1 of 2", "Processing row 2 of 2", "Processing row 3 of 2"},
       {"50", "100", "150"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.announced);
    const std::string table = m_table + "_" + std::to_string(c.announced);
    createTable(table, 3);
    const auto log =
        run(tableJob(table, {"", filter("u.fll", "upper"), ""}), announcing(c.announced));
    EXPECT_EQ(log->with("status:"),
              concat(concat(kStartTexts, c.rowTexts), {"Complete. 3 rows processed."}));
    EXPECT_EQ(log->with("progress:"), c.progress);
    EXPECT_THAT(column(table, "name"), ElementsAre("NAME1", "NAME2", "NAME3"));
  }
}

TEST_P(DataThreadTest, RowTextsNameEveryRowAcrossNewDigits) {
  // The row number is counted up in the text: 9 to 10 and 99 to 100 too.
  createTable(m_table, 101);
  const auto log = run(tableJob(m_table, {"", filter("u.fll", "upper"), ""}));
  std::vector<std::string> expected = kStartTexts;
  for (int row = 1; row <= 101; ++row)
    expected.push_back("Processing row " + std::to_string(row) + " of 101");
  expected.push_back("Complete. 101 rows processed.");
  EXPECT_EQ(log->with("status:"), expected);
}

TEST_P(DataThreadTest, CancelOnRowFiveKeepsRowsOneToFourAndDiscardsRowFive) {
  createTable(m_table, 8);
  TSettings job =
      tableJob(m_table, {"", filter("u.fll", "upper"), filter("a.fll", "append \"!\"")});
  job.useTable = false;
  job.query = "SELECT * FROM " + m_table + " ORDER BY id";
  const auto log = run(job, {}, [](const std::string& text, TDataThread& thread) {
    if (text == "Processing row 5 of 8") thread.Terminate();
  });
  const auto statuses = log->with("status:");
  ASSERT_GE(statuses.size(), 2u);
  EXPECT_EQ(statuses[statuses.size() - 2], "Processing row 5 of 8");
  EXPECT_EQ(statuses.back(), "Terminated by user. 4 rows processed.");
  EXPECT_EQ(log->with("finished").size(), 1u);
  EXPECT_THAT(column(m_table, "name"),
              ElementsAre("NAME1", "NAME2", "NAME3", "NAME4", "name5", "name6", "name7", "name8"));
  EXPECT_THAT(column(m_table, "note"), ElementsAre("note1!", "note2!", "note3!", "note4!", "note5",
                                                   "note6", "note7", "note8"));
}

// A cancel may reach the database while a value of the row in hand is
// written (a record set that reads the rest of its rows on the first write
// is interrupted there): the run ends as cancelled, not with an error, the
// rows before keep their new values and the row in hand its old ones.
TEST_P(DataThreadTest, CancelInterruptingAWriteOfTheRowInHandEndsAsCancelled) {
  createTable(m_table, 5);
  auto thread = std::make_shared<std::atomic<TDataThread*>>(nullptr);
  auto writes = std::make_shared<int>(0);
  const WriteHook interruptThirdRow = [thread, writes] {
    if (++*writes != 3) return;
    (*thread).load()->Terminate();
    throw Cancelled("Cancelled: reading the rows");
  };
  const auto log = run(tableJob(m_table, {"", filter("u.fll", "upper"), ""}),
                       announcing(5, {}, interruptThirdRow),
                       [thread](const std::string&, TDataThread& running) { *thread = &running; });
  ASSERT_TRUE(m_reports.empty()) << m_reports[0].text;
  EXPECT_EQ(log->with("status:").back(), "Terminated by user. 2 rows processed.");
  EXPECT_THAT(column(m_table, "name"), ElementsAre("NAME1", "NAME2", "name3", "name4", "name5"));
}

TEST_P(DataThreadTest, FailuresBeforeAnyRowAreReportedAndChangeNothing) {
  createTable(m_table, 2);
  const std::string upper = filter("u.fll", "upper");
  struct Case {
    std::string name;
    std::function<void(TSettings&)> change;
    std::string messagePart;
    std::string lastStatus;
    bool attached;
  };
  const Case cases[] = {
      // Refused before it is sent: "select * from missing table" would
      // read (and write) table "missing".
      {"table name", [](TSettings& job) { job.tableName = "missing table"; },
       "The table name 'missing table' is not a table the database lists",
       "Generating result set...", true},
      {"filter file", [&](TSettings& job) { job.columnFilters[1] = upper + ".gone"; },
       "Couldn't open " + upper + ".gone", "Connecting to Wordmill Pro...", false},
      {"no filters",
       [](TSettings& job) {
         job.columnFilters = {"", "", ""};
       },
       "No transforms have been specified", "Connecting to Wordmill Pro...", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TSettings job = tableJob(m_table, {"", upper, ""});
    c.change(job);
    const auto log = run(job);
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_THAT(m_reports[0].message, HasSubstr(c.messagePart));
    EXPECT_FALSE(m_reports[0].message.empty());
    EXPECT_THAT(m_reports[0].text, StartsWith("Exception " + m_reports[0].className +
                                              " in module engine_DataThreadTest at 00000000.\n"));
    EXPECT_EQ(log->with("status:").back(), c.lastStatus);
    EXPECT_TRUE(log->with("finished").empty());
    EXPECT_EQ(log->with("attach").size(), c.attached ? 1u : 0u);
    EXPECT_EQ(log->with("release settings").size(), 1u);
    EXPECT_THAT(column(m_table, "name"), ElementsAre("name1", "name2"));
  }
}

// Filters pair with fields by position: a job whose column names no longer
// agree with the result (the table changed, or the job lists its columns in
// another order) ends before any row is written. Letter case does not count.
TEST_P(DataThreadTest, ColumnNamesMustAgreeWithTheResultBeforeAnyRowIsWritten) {
  createTable(m_table, 2);
  const std::string upper = filter("u.fll", "upper");
  struct Case {
    std::vector<std::string> names;
    std::string message;  // empty: the run completes
  };
  const Case cases[] = {
      {{"id", "note", "name"},
       "The job's columns do not match the result: column 2 is \"name\" in the database, but "
       "the job expects \"note\" there. The table or query has changed since the job was saved; "
       "refresh the sample and save the job again"},
      {{"id", "nam"}, "column 2 is \"name\" in the database, but the job expects \"nam\""},
      {{"ID", "Name", "NOTE", "beyond the result"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.names[1]);
    TSettings job = tableJob(m_table, {"", upper, "", ""});
    job.columnNames = c.names;
    job.columnFilters.resize(c.names.size());
    const auto log = run(job);
    if (c.message.empty()) {
      EXPECT_TRUE(m_reports.empty());
      EXPECT_THAT(column(m_table, "name"), ElementsAre("NAME1", "NAME2"));
      continue;
    }
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_THAT(m_reports[0].message, HasSubstr(c.message));
    EXPECT_EQ(log->with("status:").back(), "Generating result set...");
    EXPECT_THAT(column(m_table, "name"), ElementsAre("name1", "name2"));
    EXPECT_THAT(column(m_table, "note"), ElementsAre("note1", "note2"));
  }
}

TEST_P(DataThreadTest, ListIndexErrorNamesTheFirstFieldBeyondTheFilters) {
  createTable(m_table, 1);
  run(tableJob(m_table, {"", filter("u.fll", "upper")}));
  ASSERT_EQ(m_reports.size(), 1u);
  EXPECT_EQ(m_reports[0].className, "EStringListError");
  EXPECT_EQ(m_reports[0].message, "List index out of bounds (2)");
  EXPECT_THAT(m_reports[0].text, HasSubstr("\nList index out of bounds (2)."));
}

TEST_P(DataThreadTest, ServerErrorOnThirdValueKeepsTheRowsMovedPast) {
  createTable(m_table, 4);
  auto log = std::make_shared<EventLog>();
  LoggingServerInPlace server(log, 3);
  TSettings job = tableJob(m_table, {"", filter("u.fll", "upper"), ""});
  job.useTable = false;
  job.query = "SELECT * FROM " + m_table + " ORDER BY id";
  run(job, {}, {}, log);
  ASSERT_EQ(m_reports.size(), 1u);
  EXPECT_EQ(m_reports[0].text,
            "Exception EOleException in module engine_DataThreadTest at 00000000.\nserver gone.");
  EXPECT_EQ(log->with("status:").back(), "Processing row 2 of 4");
  EXPECT_THAT(column(m_table, "name"), ElementsAre("NAME1", "NAME2", "name3", "name4"));
}

TEST_P(DataThreadTest, NullOutputNullInputAndUntouchedColumns) {
  const Backend& backend = GetParam();
  createTable(m_table, 0,
              ", data " + backend.binaryType +
                  ", calc TEXT GENERATED ALWAYS AS (name || '?') STORED, plain TEXT");
  m_db->execute("INSERT INTO " + m_table + " (id, name, note, data, plain) VALUES (1, 'x', NULL, " +
                backend.binaryLiteral("00ff42") + ", ' keep ')");
  m_db->execute("INSERT INTO " + m_table +
                " (id, name, note, data, plain) VALUES (2, ' y ', ' a ', " +
                backend.binaryLiteral("0000") + ", NULL)");
  // name: "x" becomes NULL; note: NULL reaches the filter as empty text and
  // comes back as an empty string; data: binary, never written; calc (a
  // computed column) and plain have no filter and are never touched.
  const std::string trimNullX = filter("t.fll", "trim\nnull-if \"x\"");
  const std::string trim = filter("trim.fll", "trim");
  const auto log =
      run(tableJob(m_table, {"", trimNullX, trim, filter("b.fll", "append \"!\""), "", ""}));
  EXPECT_TRUE(m_reports.empty()) << (m_reports.empty() ? "" : m_reports[0].text);
  EXPECT_EQ(log->with("status:").back(), "Complete. 2 rows processed.");
  EXPECT_THAT(column(m_table, "name"), ElementsAre(std::nullopt, "y"));
  EXPECT_THAT(column(m_table, "note"), ElementsAre("", "a"));
  EXPECT_THAT(column(m_table, "data"),
              ElementsAre(std::string("\x00\xff\x42", 3), std::string("\x00\x00", 2)));
  EXPECT_THAT(column(m_table, "plain"), ElementsAre(" keep ", std::nullopt));
}

// Values that a structured step could not change without breaking them
// are left as they were, and the run says how many, per column, before it
// finishes.
TEST_P(DataThreadTest, ValuesKeptAsTheyWereAreToldPerColumnBeforeTheEnd) {
  createTable(m_table, 0);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"s:18:\"http://old.example\";", "s:2:\"ok\";"},
      {"s:99:\"http://old.example\";", "s:5:\"broken\";"},  // lengths that lie
      {"a:1:{i:0;s:5:\"trunc", "s:18:\"http://old.example\";"}};
  for (std::size_t i = 0; i < rows.size(); ++i)
    m_db->execute("INSERT INTO " + m_table + " (id, name, note) VALUES (" + std::to_string(i + 1) +
                  ", '" + rows[i].first + "', '" + rows[i].second + "')");
  const std::string move = filter(
      "move.fll", "php-serialized {\n  replace \"http://old.example\" \"https://new.example\"\n}");
  const auto log = run(tableJob(m_table, {"", move, move}));
  EXPECT_TRUE(m_reports.empty()) << (m_reports.empty() ? "" : m_reports[0].text);
  EXPECT_THAT(column(m_table, "name"),
              ElementsAre("s:19:\"https://new.example\";", rows[1].first, rows[2].first));
  EXPECT_THAT(column(m_table, "note"),
              ElementsAre(rows[0].second, rows[1].second, "s:19:\"https://new.example\";"));
  const auto notices = log->with("notice:");
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(notices[0],
            "2 values of column name were left as they were: filter " + move +
                " could not change them without breaking their structure (serialized or JSON "
                "text that does not read back as such).");
  EXPECT_EQ(notices[1].substr(0, 41), "1 value of column note was left as it was");
  const auto events = log->events();
  EXPECT_LT(std::find(events.begin(), events.end(), "notice:" + notices[1]),
            std::find(events.begin(), events.end(), "finished"));
}

// A database file removed or replaced while a run writes to it takes the
// run's rows with it, though every commit succeeds: the run ends with an
// error that says what happened, never with "Complete".
TEST_P(DataThreadTest, SqliteFileRemovedOrReplacedDuringTheRunEndsWithAnError) {
  if (GetParam().name != "Sqlite") GTEST_SKIP() << "only SQLite keeps a database in a file";
  const std::string upper = filter("u.fll", "upper");
  struct Case {
    std::string name;
    std::function<void(const fs::path& file, const fs::path& copy)> change;
    std::string words;
  };
  const Case cases[] = {
      {"removed", [](const fs::path& file, const fs::path&) { fs::remove(file); },
       "\" was removed during the run: the rows written went to a file that no longer exists"},
      {"replaced", [](const fs::path& file, const fs::path& copy) { fs::rename(copy, file); },
       "\" was replaced by another file during the run: the rows written went to the file that "
       "was there before, not to the one there now"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = m_dir / (c.name + ".sqlite");
    const fs::path copy = m_dir / (c.name + "-copy.sqlite");
    std::ofstream{file};
    TSettings job = tableJob("t", {"", upper, ""});
    job.dataSource = "Provider=SQLite;Data Source=" + file.string();
    db::connect(job.dataSource)
        ->execute(
            "CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, note TEXT); INSERT INTO t VALUES "
            "(1, 'name1', 'note1'), (2, 'name2', 'note2'), (3, 'name3', 'note3')");
    fs::copy_file(file, copy);

    const auto log = run(job, {}, [&](const std::string& text, TDataThread&) {
      if (text == "Processing row 2 of 3") c.change(file, copy);
    });
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_THAT(m_reports[0].message, HasSubstr(file.filename().string() + c.words));
    EXPECT_TRUE(log->with("finished").empty());
    EXPECT_THAT(log->with("status:"), Not(Contains(StartsWith("Complete"))));
  }
}

TEST_P(DataThreadTest, CleanUpReleasesSettingsFiltersServerQueryConnectionInOrder) {
  createTable(m_table, 3);
  auto log = std::make_shared<EventLog>();
  LoggingServerInPlace server(log);
  run(tableJob(m_table, {"", filter("u.fll", "upper"), filter("a.fll", "append \"!\"")}),
      announcing(3, log), {}, log);
  const auto events = log->events();
  const std::vector<std::string> tail(events.end() - 8, events.end());
  EXPECT_THAT(tail, ElementsAre("status:Complete. 3 rows processed.", "finished",
                                "release settings", "close window u.fll", "close window a.fll",
                                "server released", "query released", "connection released"));
  EXPECT_THAT(column(m_table, "note"), ElementsAre("note1!", "note2!", "note3!"));
}

TEST_P(DataThreadTest, SeveralRunsAtOnceEachCompleteOnTheirOwn) {
  const std::string upper = filter("u.fll", "upper");
  std::vector<std::shared_ptr<TDataThread>> threads;
  std::vector<std::shared_ptr<EventLog>> logs;
  for (int i = 0; i < 3; ++i) {
    const std::string table = m_table + "_" + std::to_string(i);
    createTable(table, 50);
    logs.push_back(std::make_shared<EventLog>());
    threads.push_back(
        TDataThread::create(std::make_unique<TSettings>(tableJob(table, {"", upper, ""})),
                            std::make_shared<RecordingObserver>(logs.back())));
  }
  for (auto& thread : threads) thread->waitFor();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(logs[i]->with("status:").back(), "Complete. 50 rows processed.");
    const Column names = column(m_table + "_" + std::to_string(i), "name");
    EXPECT_EQ(names.front(), "NAME1");
    EXPECT_EQ(names.back(), "NAME50");
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, DataThreadTest, ::testing::ValuesIn(kBackends),
                         [](const auto& param) { return param.param.name; });

TEST(DataThreadReportTest, FullStopIsAddedUnlessEmptyOrPresent) {
  const std::pair<std::string, std::string> cases[] = {
      {"no such table", "no such table."},
      {"already ends.", "already ends."},
      {"", ""},
      {"ends with a blank ", "ends with a blank ."},
  };
  for (const auto& [message, line] : cases) {
    EXPECT_EQ(TDataThread::errorReportText("EDatabaseError", "rowsmith", message),
              "Exception EDatabaseError in module rowsmith at 00000000.\n" + line);
  }
  EXPECT_EQ(TDataThread::moduleName(), "engine_DataThreadTest");
}

}  // namespace
}  // namespace rowsmith
