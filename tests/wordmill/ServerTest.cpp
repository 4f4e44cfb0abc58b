// The server objects of the built-in filter engine: the ProgID registry, the
// application object's state and filter windows working on real .fll files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/Error.h"
#include "wordmill/FilterServer.h"
#include "wordmill/WordmillApplication.h"
#include "wordmill/WordmillWindow.h"

namespace rowsmith::wordmill {
namespace {

namespace fs = std::filesystem;

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("rowsmith-server-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string writeFilter(const std::string& name, const std::string& text) {
    const auto path = m_dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  static std::shared_ptr<WordmillApplication> newServer() {
    auto server = std::dynamic_pointer_cast<WordmillApplication>(createObject(kWordmillProgId));
    EXPECT_NE(server, nullptr);
    return server;
  }

  fs::path m_dir;
};

TEST_F(ServerTest, WordmillProgIdGivesTheBuiltInEngineInAnyLetterCase) {
  for (const char* progId :
       {"Wordmill.Application", "wordmill.application", "WORDMILL.APPLICATION"}) {
    auto server = createObject(progId);
    EXPECT_NE(std::dynamic_pointer_cast<WordmillApplication>(server), nullptr) << progId;
  }
  // Each call gives a server object of its own.
  EXPECT_NE(createObject(kWordmillProgId), createObject(kWordmillProgId));
}

TEST_F(ServerTest, UnknownProgIdIsAnInvalidClassString) {
  for (const char* progId : {"", "Wordmill", "Wordmill.Application.1", " Wordmill.Application"}) {
    try {
      createObject(progId);
      ADD_FAILURE() << "no error for '" << progId << "'";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "Invalid class string") << progId;
    }
  }
}

TEST_F(ServerTest, RegisterClassReplacesAndRestoresAFactory) {
  auto replacement = std::make_shared<WordmillApplication>();
  auto previous = registerClass(kWordmillProgId, [replacement] { return replacement; });
  ASSERT_TRUE(previous);
  EXPECT_EQ(createObject("wordmill.APPLICATION"), replacement);
  registerClass(kWordmillProgId, previous);
  EXPECT_NE(createObject(kWordmillProgId), replacement);

  // A new ProgID can be added and taken out again with an empty factory.
  EXPECT_FALSE(
      registerClass("Test.Server", [] { return std::make_shared<WordmillApplication>(); }));
  EXPECT_NE(createObject("Test.Server"), nullptr);
  EXPECT_TRUE(registerClass("Test.Server", nullptr));
  EXPECT_THROW(createObject("Test.Server"), Error);
}

TEST_F(ServerTest, SeveralThreadsCreateServersWhileClassesChange) {
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&created] {
      for (int i = 0; i < 500; ++i) {
        auto server = createObject(kWordmillProgId);
        server->newWindow();
        ++created;
      }
    });
  }
  threads.emplace_back([] {
    for (int i = 0; i < 500; ++i) {
      registerClass("Test.Churn", [] { return std::make_shared<WordmillApplication>(); });
      registerClass("Test.Churn", nullptr);
    }
  });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(created.load(), 2000);
}

TEST_F(ServerTest, ApplicationKeepsTheStateTheFilterEditorReads) {
  auto server = newServer();
  EXPECT_FALSE(server->isVisible());
  server->show();
  EXPECT_TRUE(server->isVisible());
  server->hide();
  EXPECT_FALSE(server->isVisible());
  server->calledFrom("Rowsmith");
  EXPECT_EQ(server->caller(), "Rowsmith");
  server->findWindow("/data/names.fll");
  EXPECT_EQ(server->lastFoundPath(), "/data/names.fll");
}

TEST_F(ServerTest, ApplicationListsOnlyItsLiveOpenWindows) {
  auto server = newServer();
  const auto first = writeFilter("first.fll", "upper\n");
  const auto second = writeFilter("second.fll", "lower\n");
  auto a = server->newWindow();
  auto b = server->newWindow();
  auto c = server->newWindow();
  ASSERT_TRUE(a->openFilter(first));
  ASSERT_TRUE(b->openFilter(second));
  EXPECT_EQ(server->windowPaths(), (std::vector<std::string>{first, second, ""}));

  b->close();
  c.reset();  // dropped without close: the server holds it only weakly
  EXPECT_EQ(server->windowPaths(), (std::vector<std::string>{first}));
}

TEST_F(ServerTest, WindowOpensCompilesAndProcessesARealFilter) {
  const auto path =
      writeFilter("names.fll", "# tidy a name\ntrim\nreplace \"Mr \" \"Mister \"\nupper\n");
  auto window = newServer()->newWindow();
  ASSERT_TRUE(window->openFilter(path));
  EXPECT_EQ(window->compileFilter(), "");
  EXPECT_EQ(window->processStringWithCompiledFilter("  Mr Jones "), "MISTER JONES");
  EXPECT_EQ(window->processStringWithCompiledFilter("Mr Øster"), "MISTER ØSTER");
  // The same window serves any number of values.
  EXPECT_EQ(window->processStringWithCompiledFilter(""), "");
}

TEST_F(ServerTest, WindowAnswersFalseForAFileItCannotRead) {
  auto window = newServer()->newWindow();
  const auto unreadable = writeFilter("locked.fll", "upper\n");
  fs::permissions(unreadable, fs::perms::none);
  const bool runAsRoot = ::geteuid() == 0;
  for (const auto& path :
       {(m_dir / "missing.fll").string(), m_dir.string(), std::string(), unreadable}) {
    if (path == unreadable && runAsRoot) continue;  // root reads it all the same
    EXPECT_FALSE(window->openFilter(path)) << path;
  }
}

TEST_F(ServerTest, CompileFailureAnswersTheCompilersMessageWithLineAndColumn) {
  const auto path = writeFilter("bad.fll", "upper\nfrobnicate\n");
  auto window = newServer()->newWindow();
  ASSERT_TRUE(window->openFilter(path));
  const std::string message = window->compileFilter();
  EXPECT_TRUE(message.starts_with("2:1: ")) << message;
  // Nothing compiled: processing is refused with a clear error.
  EXPECT_THROW(window->processStringWithCompiledFilter("x"), Error);
}

TEST_F(ServerTest, WindowRefusesWorkOutOfOrder) {
  auto window = newServer()->newWindow();
  EXPECT_EQ(window->compileFilter(), "No filter has been opened in this window");
  EXPECT_THROW(window->processStringWithCompiledFilter("x"), Error);

  const auto path = writeFilter("upper.fll", "upper\n");
  ASSERT_TRUE(window->openFilter(path));
  try {
    window->processStringWithCompiledFilter("x");
    ADD_FAILURE() << "processing before compiling succeeded";
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()), "The filter " + path + " has not been compiled");
  }

  ASSERT_EQ(window->compileFilter(), "");
  window->close();
  EXPECT_THROW(window->processStringWithCompiledFilter("x"), Error);
  EXPECT_FALSE(window->openFilter(path));
}

TEST_F(ServerTest, FailedOpenKeepsTheFilterAlreadyCompiled) {
  auto window = newServer()->newWindow();
  ASSERT_TRUE(window->openFilter(writeFilter("upper.fll", "upper\n")));
  ASSERT_EQ(window->compileFilter(), "");
  EXPECT_FALSE(window->openFilter((m_dir / "missing.fll").string()));
  EXPECT_EQ(window->processStringWithCompiledFilter("abc"), "ABC");

  // Opening another file drops the old program until the new one compiles.
  ASSERT_TRUE(window->openFilter(writeFilter("lower.fll", "lower\n")));
  EXPECT_THROW(window->processStringWithCompiledFilter("ABC"), Error);
  ASSERT_EQ(window->compileFilter(), "");
  EXPECT_EQ(window->processStringWithCompiledFilter("ABC"), "abc");
}

}  // namespace
}  // namespace rowsmith::wordmill
