// Compiling a job's filters, releasing them and transforming single values.
// The order of server calls is checked against a recording server put in
// place of the built-in one through the ProgID registry; the last tests run
// the real engine on real filter files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "common/Error.h"
#include "engine/CompiledFilters.h"
#include "wordmill/FilterServer.h"
#include "wordmill/WordmillApplication.h"

namespace rowsmith {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using wordmill::FilterApplication;
using wordmill::FilterWindow;

// What the recording server is told to do, and what it saw.
struct ServerScript {
  std::set<std::string> unopenable;                    // openFilter answers false
  std::map<std::string, std::string> compileMessages;  // compileFilter answers this
  std::set<std::string> failingCalls;  // e.g. "newWindow 2", "close 1": raise "server gone"
  std::vector<std::string> log;

  void call(const std::string& entry) {
    log.push_back(entry);
    if (failingCalls.count(entry)) throw Error("server gone");
  }
};

// A filter window that records every call. Its filter echoes the input.
class RecordingWindow : public FilterWindow {
 public:
  RecordingWindow(ServerScript& script, int id) : m_script(script), m_id(std::to_string(id)) {}
  ~RecordingWindow() override { m_script.log.push_back("released " + m_id); }

  bool openFilter(const std::string& path) override {
    m_script.call("openFilter " + m_id + " " + path);
    m_path = path;
    return !m_script.unopenable.count(path);
  }
  std::string compileFilter() override {
    m_script.call("compileFilter " + m_id);
    auto found = m_script.compileMessages.find(m_path);
    return found == m_script.compileMessages.end() ? "" : found->second;
  }
  std::string processStringWithCompiledFilter(const std::string& input) override {
    m_script.call("process " + m_id + " " + input);
    return input;
  }
  void close() override { m_script.call("close " + m_id); }

 private:
  ServerScript& m_script;
  std::string m_id;
  std::string m_path;
};

class RecordingServer : public FilterApplication {
 public:
  explicit RecordingServer(ServerScript& script) : m_script(script) {}
  void hide() override { m_script.call("hide"); }
  void calledFrom(const std::string& caller) override { m_script.call("calledFrom " + caller); }
  void show() override { m_script.call("show"); }
  std::shared_ptr<FilterWindow> newWindow() override {
    const int id = ++m_windows;
    m_script.call("newWindow " + std::to_string(id));
    return std::make_shared<RecordingWindow>(m_script, id);
  }
  void findWindow(const std::string& path) override { m_script.call("findWindow " + path); }

 private:
  ServerScript& m_script;
  int m_windows = 0;
};

class CompiledFiltersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previous = wordmill::registerClass(
        wordmill::kWordmillProgId, [this] { return std::make_shared<RecordingServer>(m_script); });
    m_server = wordmill::createObject(wordmill::kWordmillProgId);
  }
  void TearDown() override {
    m_server.reset();
    wordmill::registerClass(wordmill::kWordmillProgId, m_previous);
  }

  ServerScript m_script;
  wordmill::FilterApplicationFactory m_previous;
  std::shared_ptr<FilterApplication> m_server;
};

TEST_F(CompiledFiltersTest, EmptyPathsGetEntriesWithoutServerCalls) {
  auto filters = compileFilters(*m_server, {"", "names.fll", ""});
  ASSERT_EQ(filters->size(), 3u);
  EXPECT_EQ((*filters)[0].path, "");
  EXPECT_EQ((*filters)[0].holder, nullptr);
  EXPECT_EQ((*filters)[1].path, "names.fll");
  ASSERT_NE((*filters)[1].holder, nullptr);
  EXPECT_NE((*filters)[1].holder->value, nullptr);
  EXPECT_EQ((*filters)[2].holder, nullptr);
  EXPECT_THAT(m_script.log,
              ElementsAre("newWindow 1", "openFilter 1 names.fll", "compileFilter 1"));

  freeCompiledFilters(filters);
  EXPECT_EQ(filters, nullptr);
  EXPECT_THAT(m_script.log, ElementsAre("newWindow 1", "openFilter 1 names.fll", "compileFilter 1",
                                        "close 1", "released 1"));
}

TEST_F(CompiledFiltersTest, DuplicatePathsEachGetAWindowOfTheirOwn) {
  auto filters = compileFilters(*m_server, {"a.fll", "a.fll"});
  ASSERT_EQ(filters->size(), 2u);
  EXPECT_NE((*filters)[0].holder->value, (*filters)[1].holder->value);
  freeCompiledFilters(filters);
  EXPECT_THAT(m_script.log, ElementsAre("newWindow 1", "openFilter 1 a.fll", "compileFilter 1",
                                        "newWindow 2", "openFilter 2 a.fll", "compileFilter 2",
                                        "close 1", "released 1", "close 2", "released 2"));
}

// One failing compilation: the paths, what the server is told to do, the
// error, and every server call in order (the release of the partial list
// included).
struct FailureCase {
  const char* name;
  std::vector<std::string> paths;
  std::set<std::string> unopenable;
  std::map<std::string, std::string> compileMessages;
  std::set<std::string> failingCalls;
  std::string error;
  std::vector<std::string> calls;
};

class CompileFailureTest : public CompiledFiltersTest,
                           public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CompileFailureTest, RaisesAndLeavesNothingOfThePartialList) {
  const auto& c = GetParam();
  m_script.unopenable = c.unopenable;
  m_script.compileMessages = c.compileMessages;
  m_script.failingCalls = c.failingCalls;
  try {
    compileFilters(*m_server, c.paths);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), c.error);
  }
  EXPECT_THAT(m_script.log, ElementsAreArray(c.calls));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompileFailureTest,
    ::testing::Values(
        FailureCase{"NoPaths", {}, {}, {}, {}, "No transforms have been specified", {}},
        FailureCase{
            "OnlyEmptyPaths", {"", "", ""}, {}, {}, {}, "No transforms have been specified", {}},
        // The unopened window is dropped without close; the third path is never tried.
        FailureCase{"SecondOfThreeDoesNotOpen",
                    {"a.fll", "b.fll", "c.fll"},
                    {"b.fll"},
                    {},
                    {},
                    "Couldn't open b.fll",
                    {"newWindow 1", "openFilter 1 a.fll", "compileFilter 1", "newWindow 2",
                     "openFilter 2 b.fll", "released 2", "close 1", "released 1"}},
        // Paths are passed on as they stand, blanks and all.
        FailureCase{"PathWithBlanksDoesNotOpen",
                    {" a.fll "},
                    {" a.fll "},
                    {},
                    {},
                    "Couldn't open  a.fll ",
                    {"newWindow 1", "openFilter 1  a.fll ", "released 1"}},
        // The window whose compile failed is closed along with the earlier ones.
        FailureCase{"CompileMessageUnchanged",
                    {"a.fll", "", "b.fll", "c.fll"},
                    {},
                    {{"b.fll", "3:7: unknown step \"frob\""}},
                    {},
                    "3:7: unknown step \"frob\"",
                    {"newWindow 1", "openFilter 1 a.fll", "compileFilter 1", "newWindow 2",
                     "openFilter 2 b.fll", "compileFilter 2", "close 1", "released 1", "close 2",
                     "released 2"}},
        FailureCase{"NewWindowFails",
                    {"a.fll", "b.fll"},
                    {},
                    {},
                    {"newWindow 2"},
                    "server gone",
                    {"newWindow 1", "openFilter 1 a.fll", "compileFilter 1", "newWindow 2",
                     "close 1", "released 1"}},
        FailureCase{"OpenFilterCallFails",
                    {"a.fll"},
                    {},
                    {},
                    {"openFilter 1 a.fll"},
                    "server gone",
                    {"newWindow 1", "openFilter 1 a.fll", "released 1"}},
        FailureCase{
            "CompileFilterCallFails",
            {"a.fll"},
            {},
            {},
            {"compileFilter 1"},
            "server gone",
            {"newWindow 1", "openFilter 1 a.fll", "compileFilter 1", "close 1", "released 1"}},
        // A close that fails during the release neither hides the compile
        // message nor keeps the other windows open.
        FailureCase{"CloseFailsWhileReleasing",
                    {"a.fll", "b.fll"},
                    {},
                    {{"b.fll", "1:1: bad"}},
                    {"close 1"},
                    "1:1: bad",
                    {"newWindow 1", "openFilter 1 a.fll", "compileFilter 1", "newWindow 2",
                     "openFilter 2 b.fll", "compileFilter 2", "close 1", "released 1", "close 2",
                     "released 2"}}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

TEST_F(CompiledFiltersTest, FreeClosesEveryWindowEvenWhenOneCloseFails) {
  auto filters = compileFilters(*m_server, {"a.fll", "", "b.fll", "c.fll"});
  m_script.log.clear();
  m_script.failingCalls = {"close 2"};
  try {
    freeCompiledFilters(filters);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "server gone");
  }
  EXPECT_EQ(filters, nullptr);
  EXPECT_THAT(m_script.log, ElementsAre("close 1", "released 1", "close 2", "released 2", "close 3",
                                        "released 3"));

  std::unique_ptr<CompiledFilterList> none;
  EXPECT_NO_THROW(freeCompiledFilters(none));
}

TEST_F(CompiledFiltersTest, HolderKeepsAReferenceAndClosesOnDestruction) {
  std::shared_ptr<FilterWindow> window = m_server->newWindow();
  {
    TVariantHolder holder(window);
    EXPECT_EQ(window.use_count(), 2);
  }
  EXPECT_EQ(window.use_count(), 1);
  window.reset();
  EXPECT_THAT(m_script.log, ElementsAre("newWindow 1", "close 1", "released 1"));
}

TEST_F(CompiledFiltersTest, TransformValueRecognisesOnlyTheWholeNullMarker) {
  auto filters = compileFilters(*m_server, {"echo.fll"});
  const auto& window = (*filters)[0].holder->value;
  // The recording filter echoes its input, so the input is the server's output.
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"<NULL>", std::nullopt},
      {"<null>", "<null>"},
      {"<Null>", "<Null>"},
      {" <NULL>", " <NULL>"},
      {"<NULL> ", "<NULL> "},
      {"<NULL><NULL>", "<NULL><NULL>"},
      {"", ""},
      {"Grüße", "Grüße"},
  };
  for (const auto& [output, expected] : cases) {
    EXPECT_EQ(transformValue(output, window), expected) << "output '" << output << "'";
  }
  freeCompiledFilters(filters);
}

TEST_F(CompiledFiltersTest, TransformValueWithoutFilterReturnsTheTextAsItIs) {
  for (const std::string text : {"", "plain", "<NULL>"}) {
    EXPECT_EQ(transformValue(text, nullptr), std::optional<std::string>(text));
  }
  EXPECT_TRUE(m_script.log.empty());
}

TEST_F(CompiledFiltersTest, TransformValueRaisesTheServersError) {
  auto filters = compileFilters(*m_server, {"a.fll"});
  m_script.failingCalls = {"process 1 boom"};
  try {
    transformValue("boom", (*filters)[0].holder->value);
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "server gone");
  }
  freeCompiledFilters(filters);
}

// The built-in engine, through the same calls.
class CompiledFiltersRealEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() /
            ("rowsmith-compiled-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override { std::filesystem::remove_all(m_dir); }

  std::string writeFilter(const std::string& name, const std::string& text) {
    const auto path = m_dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  std::filesystem::path m_dir;
};

TEST_F(CompiledFiltersRealEngineTest, CompilesAndTransformsEndToEnd) {
  auto server = wordmill::createObject(wordmill::kWordmillProgId);
  server->hide();
  server->calledFrom("Rowsmith");
  const auto upper = writeFilter("upper.fll", "trim\nupper\n");
  const auto blankToNull = writeFilter("blank.fll", "trim\nnull-if-empty\n");
  auto filters = compileFilters(*server, {"", upper, blankToNull});
  ASSERT_EQ(filters->size(), 3u);
  auto* app = dynamic_cast<wordmill::WordmillApplication*>(server.get());
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->windowPaths(), (std::vector<std::string>{upper, blankToNull}));

  EXPECT_EQ(transformValue(" café ", nullptr), " café ");
  EXPECT_EQ(transformValue(" café ", (*filters)[1].holder->value), "CAFÉ");
  EXPECT_EQ(transformValue("   ", (*filters)[2].holder->value), std::nullopt);
  // A filter that leaves empty text alone yields the empty string, not NULL.
  EXPECT_EQ(transformValue("", (*filters)[1].holder->value), "");

  freeCompiledFilters(filters);
  EXPECT_TRUE(app->windowPaths().empty());
}

TEST_F(CompiledFiltersRealEngineTest, RealFailuresKeepTheirMessages) {
  auto server = wordmill::createObject(wordmill::kWordmillProgId);
  auto* app = dynamic_cast<wordmill::WordmillApplication*>(server.get());
  const auto good = writeFilter("good.fll", "upper\n");
  const auto missing = (m_dir / "missing.fll").string();
  EXPECT_THROW(
      {
        try {
          compileFilters(*server, {good, missing});
        } catch (const Error& e) {
          EXPECT_EQ(std::string(e.what()), "Couldn't open " + missing);
          throw;
        }
      },
      Error);
  EXPECT_TRUE(app->windowPaths().empty());

  const auto bad = writeFilter("bad.fll", "upper\n\nfrobnicate \"x\"\n");
  auto window = server->newWindow();
  ASSERT_TRUE(window->openFilter(bad));
  const std::string message = window->compileFilter();
  window->close();
  ASSERT_FALSE(message.empty());
  try {
    compileFilters(*server, {good, bad});
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), message);
    EXPECT_TRUE(message.starts_with("3:")) << message;
  }
  EXPECT_TRUE(app->windowPaths().empty());
}

}  // namespace
}  // namespace rowsmith
