// The server objects of the built-in filter engine: the ProgID registry, the
// application object's state and filter windows working on real .fll files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/Error.h"
#include "wordmill/FilterServer.h"
#include "wordmill/FilterServerListener.h"
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

  static std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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

// A listener that writes down what it hears, and can be told to fail.
class RecordingListener : public FilterServerListener {
 public:
  void serverShown() override { hear("show"); }
  void windowFound(const std::string& path) override { hear("findWindow " + path); }
  void windowCreated(const std::shared_ptr<FilterWindow>& window) override {
    created.push_back(window);
    hear("newWindow");
  }

  std::vector<std::string> heard;
  std::vector<std::shared_ptr<FilterWindow>> created;
  std::string failWith;

 private:
  void hear(const std::string& call) {
    heard.push_back(call);
    if (!failWith.empty()) throw Error(failWith);
  }
};

TEST_F(ServerTest, ListenersHearShowFindWindowAndNewWindowInOrder) {
  auto server = newServer();
  FilterApplication& application = *server;
  auto first = std::make_shared<RecordingListener>();
  auto second = std::make_shared<RecordingListener>();
  application.addListener(first);
  application.addListener(second);

  application.hide();
  application.calledFrom("Rowsmith");
  application.findWindow("/data/names.fll");
  application.show();
  auto window = application.newWindow();
  const std::vector<std::string> expected{"findWindow /data/names.fll", "show", "newWindow"};
  EXPECT_EQ(first->heard, expected);
  EXPECT_EQ(second->heard, expected);
  // The listener gets the very window the caller gets.
  ASSERT_EQ(first->created.size(), 1u);
  EXPECT_EQ(first->created.front(), window);

  // Dropping a listener is enough to stop it listening.
  second.reset();
  application.show();
  EXPECT_EQ(first->heard.back(), "show");
  EXPECT_EQ(first->heard.size(), 4u);
}

TEST_F(ServerTest, AListenersErrorReachesTheCaller) {
  auto server = newServer();
  auto listener = std::make_shared<RecordingListener>();
  server->addListener(listener);
  listener->failWith = "Couldn't open /data/locked.fll";
  try {
    server->findWindow("/data/locked.fll");
    ADD_FAILURE() << "the listener's error was swallowed";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Couldn't open /data/locked.fll");
  }
  // The call itself was still recorded.
  EXPECT_EQ(server->lastFoundPath(), "/data/locked.fll");
}

TEST_F(ServerTest, WindowsAreListedThroughTheServerInterface) {
  auto server = newServer();
  FilterApplication& application = *server;
  auto a = application.newWindow();
  auto b = application.newWindow();
  ASSERT_TRUE(a->openFilter(writeFilter("a.fll", "upper\n")));
  EXPECT_EQ(application.windows(), (std::vector<std::shared_ptr<FilterWindow>>{a, b}));
  EXPECT_EQ(a->path(), m_dir / "a.fll");
  EXPECT_EQ(a->text(), "upper\n");
  EXPECT_EQ(b->path(), "");
  a->close();
  EXPECT_TRUE(a->isClosed());
  EXPECT_EQ(application.windows(), (std::vector<std::shared_ptr<FilterWindow>>{b}));
}

TEST_F(ServerTest, ReplacedTextIsCompiledAndProcessedLikeAnOpenedFile) {
  auto window = newServer()->newWindow();
  // A new window takes text without any file.
  window->replaceText("trim\nnull-if-empty\n");
  EXPECT_EQ(window->text(), "trim\nnull-if-empty\n");
  EXPECT_EQ(window->path(), "");
  ASSERT_EQ(window->compileFilter(), "");
  EXPECT_EQ(window->processStringWithCompiledFilter("  "), "<NULL>");

  // New text must be compiled before it processes anything.
  window->replaceText("upper\nfrist\n");
  EXPECT_THROW(window->processStringWithCompiledFilter("x"), Error);
  EXPECT_TRUE(window->compileFilter().starts_with("2:1: unknown step \"frist\""));

  // An opened file's text is replaced, not the file.
  const auto path = writeFilter("lower.fll", "lower\n");
  ASSERT_TRUE(window->openFilter(path));
  window->replaceText("upper\n");
  EXPECT_EQ(window->path(), path);
  ASSERT_EQ(window->compileFilter(), "");
  EXPECT_EQ(window->processStringWithCompiledFilter("abc"), "ABC");
  EXPECT_EQ(readFile(path), "lower\n");

  window->close();
  EXPECT_THROW(window->replaceText("upper\n"), Error);
  EXPECT_THROW(window->save(path), Error);
}

TEST_F(ServerTest, SaveReplacesTheFileWholeAndKeepsItsPermissions) {
  const auto path = writeFilter("names.fll", "lower\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  auto window = newServer()->newWindow();
  ASSERT_TRUE(window->openFilter(path));
  window->replaceText("# tidy\r\ntrim\r\nupper\r\n");
  window->save(path);
  EXPECT_EQ(readFile(path), "# tidy\r\ntrim\r\nupper\r\n");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  // No temporary file is left beside it.
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"names.fll"});

  // A new window saves under a new name and then belongs to it.
  auto fresh = newServer()->newWindow();
  fresh->replaceText("title\n");
  const auto created = (m_dir / "new.fll").string();
  fresh->save(created);
  EXPECT_EQ(fresh->path(), created);
  EXPECT_EQ(readFile(created), "title\n");
}

TEST_F(ServerTest, SaveThroughALinkReplacesTheFileItPointsTo) {
  const auto target = writeFilter("real.fll", "lower\n");
  const auto link = m_dir / "link.fll";
  fs::create_symlink(target, link);
  auto window = newServer()->newWindow();
  ASSERT_TRUE(window->openFilter(link.string()));
  window->replaceText("upper\n");
  window->save(link.string());
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(target), "upper\n");
  EXPECT_EQ(window->path(), link.string());
}

TEST_F(ServerTest, SaveFailsWithTheReasonAndLeavesTheOldFile) {
  const auto readOnly = writeFilter("locked.fll", "lower\n");
  fs::permissions(readOnly, fs::perms::owner_read);
  fs::create_directories(m_dir / "folder.fll");
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {readOnly, "the file is read-only"},
      {(m_dir / "folder.fll").string(), "it is not a file"},
      {(m_dir / "missing" / "x.fll").string(), "No such file or directory"},
      {"", ""},
  };
  auto window = newServer()->newWindow();
  window->replaceText("upper\n");
  for (const auto& c : cases) {
    try {
      window->save(c.path);
      ADD_FAILURE() << "saved " << c.path;
    } catch (const Error& e) {
      const std::string expected = c.path.empty()
                                       ? "The filter has no file name to be saved under"
                                       : "Cannot save the filter " + c.path + ": " + c.reason;
      EXPECT_EQ(e.what(), expected);
    }
  }
  EXPECT_EQ(readFile(readOnly), "lower\n");
  EXPECT_EQ(window->path(), "");
  fs::permissions(readOnly, fs::perms::owner_all);
}

TEST_F(ServerTest, SavingUnderAnotherNameFindsPairsFromTheNewFolder) {
  // A relative pairs table is read from the folder of the filter.
  fs::create_directories(m_dir / "a");
  fs::create_directories(m_dir / "b");
  std::ofstream(m_dir / "a" / "t.tsv") << "x\ty\n";
  std::ofstream(m_dir / "b" / "t.tsv") << "x\tz\n";
  auto window = newServer()->newWindow();
  window->replaceText("pairs \"t.tsv\"\n");
  window->save((m_dir / "a" / "f.fll").string());
  ASSERT_EQ(window->compileFilter(), "");
  EXPECT_EQ(window->processStringWithCompiledFilter("x"), "y");
  window->save((m_dir / "b" / "f.fll").string());
  EXPECT_THROW(window->processStringWithCompiledFilter("x"), Error);
  ASSERT_EQ(window->compileFilter(), "");
  EXPECT_EQ(window->processStringWithCompiledFilter("x"), "z");
}

}  // namespace
}  // namespace rowsmith::wordmill
