#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/db/ConnectionFactory.h"
#include "engine/db/ConnectionProbe.h"
#include "engine/db/ProcessExit.h"
#include "engine/db/SilentServerSupport.h"

namespace rowsmith::db {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using State = ConnectionProbe::State;
using ::testing::HasSubstr;
using testing::SilentServer;

std::string postgresString() {
  std::ifstream in(std::string(ROWSMITH_PG_DIR) + "/connection-string");
  std::string line;
  std::getline(in, line);
  return line;
}

State outcomeOf(const ConnectionProbe& probe) {
  EXPECT_TRUE(probe.waitForWorker(60s));
  return probe.state();
}

TEST(ConnectionProbe, ReportsWhatItReachedOrTheError) {
  const fs::path folder =
      fs::temp_directory_path() / ("rowsmith-probe-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string file = (folder / "shop.sqlite").string();
  connect("Provider=SQLite;Mode=ReadWriteCreate;Data Source=" + file)
      ->execute("CREATE TABLE t (a)");

  const struct {
    std::string text;
    State state;
    std::string message;
  } cases[] = {
      {"Provider=SQLite;Data Source=" + file, State::Succeeded, "SQLite database \"" + file},
      {postgresString(), State::Succeeded, "PostgreSQL, "},
      {"Provider=SQLite;Data Source=" + file + ".missing", State::Failed, "does not exist"},
      {"Provider=Jet.4.0", State::Failed, "Unknown provider"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ConnectionProbe probe(c.text);
    EXPECT_EQ(outcomeOf(probe), c.state);
    EXPECT_THAT(probe.message(), HasSubstr(c.message));
  }
  fs::remove_all(folder);
}

// A server that does not answer gives TimedOut at the time limit; the
// worker ends later with the database's own time-out, which the probe may
// still report, or may be dropped with the probe.
TEST(ConnectionProbe, AServerThatDoesNotAnswerRunsOutOfTime) {
  const SilentServer server;
  const std::string text = server.postgresString(2);
  const ConnectionProbe probe(text, 300ms);
  EXPECT_EQ(probe.state(), State::Connecting);
  EXPECT_FALSE(probe.waitForWorker(500ms));
  EXPECT_EQ(probe.state(), State::TimedOut);
  EXPECT_EQ(probe.message(), "The database did not answer within 1 second");
  EXPECT_EQ(outcomeOf(probe), State::Failed);
  EXPECT_THAT(probe.message(), HasSubstr("timeout"));

  { const ConnectionProbe dropped(text, 100ms); }
  // The dropped worker is still counted until it ends, at the database's
  // time-out, and the process must not end before it does.
  EXPECT_FALSE(ConnectionProbe::waitForAllWorkers(100ms));
  EXPECT_TRUE(ConnectionProbe::waitForAllWorkers(60s));
}

// The program's exit path with a worker stuck on a server that does not
// answer: once the wait runs out, the process ends at once with the
// program's status, without waiting for the database's time-out and without
// running exit handlers under the worker. Were the worker waited for, the
// process would end by exit() without the line on stderr.
TEST(ConnectionProbeDeathTest, TheExitPathEndsWithoutAStuckWorker) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const SilentServer server;
  EXPECT_EXIT(
      {
        { const ConnectionProbe dropped(server.postgresString(60), 100ms); }
        std::exit(waitForProbesOrEndProcess(7, 300ms));
      },
      ::testing::ExitedWithCode(7), "still waiting for its database");
}

}  // namespace
}  // namespace rowsmith::db
