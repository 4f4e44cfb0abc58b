#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "common/DayNumber.h"
#include "common/ProgramDir.h"
#include "document/PreferenceStore.h"
#include "document/PreferenceTestFolder.h"
#include "localisation/LangString.h"
#include "localisation/StringLoader.h"
#include "support/HTTPGet.h"
#include "support/LocalHttpServer.h"
#include "support/Product.h"
#include "support/RecordedEvents.h"
#include "support/UpdateCheck.h"

namespace rowsmith::support_test {
namespace {

using Kind = UpdateVerdict::Kind;
using preference_test::TestFolder;

constexpr auto kMachine = PreferenceRoot::LocalMachine;
const std::string kKey = "SOFTWARE\\Morvane Software\\Rowsmith";
const std::string kUpToDate =
    "You already have the latest version of Rowsmith - no download is necessary";
const std::string kUpdate = "A Rowsmith update is available - would you like to download it now?";
const std::string kNotFound = "Rowsmith update information not found";

class UpdateCheckTest : public ::testing::Test {
 protected:
  UpdateCheckTest() : m_store(m_folder.path()), m_check(m_store, [this] { return m_today; }) {}

  static LocalHttpServer& server() {
    static LocalHttpServer instance;
    return instance;
  }

  void setServer(const std::string& address) {
    m_store.writeText(kMachine, kKey, UpdateCheck::kServerValue, address);
  }
  // Makes the test server answer the update request with answer.
  void serveAnswer(const std::string& answer) {
    setServer(server().hostAndPort() + "/answer/" + hexDigits(answer));
  }
  // Asks the server as the update dialog does; the answer, or nothing after OnError.
  std::optional<std::string> askServer() {
    THTTPGet getter;
    RecordedEvents events;
    events.attach(getter);
    getter.setWaitThread(true);
    m_check.fetchPage(getter);
    const RecordedEvents::Snapshot ended = events.snapshot();
    EXPECT_EQ(ended.endings(), 1);
    if (ended.doneStrings.empty()) return std::nullopt;
    return ended.doneStrings[0];
  }

  TestFolder m_folder;
  PreferenceStore m_store;
  double m_today = dayNumberOf({2024, 1, 5});
  UpdateCheck m_check;
};

struct AnswerCase {
  std::string answer;
  Kind kind;
  std::string message;
};

TEST_F(UpdateCheckTest, TheServersStampIsJudgedAgainstTheBuildStamp) {
  const AnswerCase cases[] = {
      {"Rowsmith,37187.7920719907", Kind::UpToDate, kUpToDate},
      {"Rowsmith,37200,notes", Kind::UpdateAvailable, kUpdate},
      {"Rowsmith,2.3", Kind::UpToDate, kUpToDate},  // a day number, not a version
      {"Rowsmith,37187.7920720000\r\n", Kind::UpdateAvailable, kUpdate},
      {"rowsmith,37200", Kind::NotFound, kNotFound},
      {"Rowsmith\r\nRowsmith 37200\r\n", Kind::NotFound, kNotFound},
      {"Other,1\nRowsmith,37200\nRowsmith,1", Kind::UpdateAvailable, kUpdate},
      {"Other,40000\rRowsmith,37000\r", Kind::UpToDate, kUpToDate},
      {std::string("Other,1\0Rowsmith,37200", 22), Kind::NotFound, kNotFound},
      {"Rowsmith, 37200", Kind::UpdateAvailable, kUpdate},
      {"Rowsmith,37200 ", Kind::InvalidStamp,
       "Rowsmith date information found in invalid format 37200 "},
      {"Rowsmith,37200 ,notes", Kind::InvalidStamp,
       "Rowsmith date information found in invalid format 37200 "},
      {"Rowsmith,", Kind::InvalidStamp, "Rowsmith date information found in invalid format "},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.answer);
    serveAnswer(c.answer);
    const std::optional<std::string> answer = askServer();
    ASSERT_EQ(answer, c.answer);
    const UpdateVerdict verdict = m_check.answerArrived(*answer);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_EQ(verdict.message, c.message);
    EXPECT_EQ(verdict.shownWhenHidden(), c.kind == Kind::UpdateAvailable);
  }
}

TEST_F(UpdateCheckTest, AnErrorPageIsAnAnswerWithoutTheProduct) {
  setServer(server().hostAndPort() + "/missing");
  const std::optional<std::string> answer = askServer();
  ASSERT_EQ(answer, "no such test page");
  EXPECT_EQ(m_check.answerArrived(*answer).kind, Kind::NotFound);
}

TEST_F(UpdateCheckTest, TheRequestNamesProductAndVersion) {
  setServer("http://" + server().hostAndPort() + "/echo/");
  EXPECT_EQ(m_check.requestURL(),
            "http://" + server().hostAndPort() + "/echo/versions.txt?application=Rowsmith&ver=2.2");
  EXPECT_THAT(askServer().value_or(""),
              ::testing::StartsWith("GET /echo/versions.txt?application=Rowsmith&ver=2.2 "
                                    "HTTP/1.0\nUser-Agent: Rowsmith\n"));
}

struct AddressCase {
  std::string stored;
  std::string address;
  std::string homePage;
};

TEST_F(UpdateCheckTest, TheServerAddressComesFromTheMachineStore) {
  EXPECT_EQ(m_check.serverAddress(), "http://updates.example.invalid");
  EXPECT_EQ(m_check.requestURL(),
            "http://updates.example.invalid/versions.txt?application=Rowsmith&ver=2.2");
  const AddressCase cases[] = {
      {"updates.example.com:8080", "http://updates.example.com:8080",
       "http://updates.example.com:8080/"},
      {" https://updates.example.com/ ", "https://updates.example.com",
       "https://updates.example.com/"},
      {"HTTP://www.example.com/rowsmith/", "HTTP://www.example.com/rowsmith",
       "HTTP://www.example.com/"},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.stored);
    setServer(c.stored);
    EXPECT_EQ(m_check.serverAddress(), c.address);
    EXPECT_EQ(m_check.homePageURL(), c.homePage);
  }
}

TEST_F(UpdateCheckTest, AFailedTransferLeavesTheNextCheckDateAlone) {
  m_check.setNextCheckDate(m_today - 10);
  setServer("127.0.0.1:" + std::to_string(LocalHttpServer::refusedPort()));
  EXPECT_EQ(askServer(), std::nullopt);
  serveAnswer("");
  EXPECT_EQ(askServer(), std::nullopt);
  EXPECT_EQ(m_check.nextCheckDate(), m_today - 10);
  EXPECT_EQ(UpdateCheck::connectionErrorText(), "Error connecting to web site");
}

TEST_F(UpdateCheckTest, AnAnswerPutsTheNextCheckOffByThreeDaysStoredAtTheEnd) {
  m_check.answerArrived("nothing for us");
  EXPECT_EQ(m_check.nextCheckDate(), m_today + 3);
  EXPECT_EQ(m_store.readInteger(kMachine, kKey, UpdateCheck::kDateValue, -1), -1);

  m_check.saveNextCheckDate();
  PreferenceStore reopened(m_folder.path());
  EXPECT_EQ(reopened.readInteger(kMachine, kKey, UpdateCheck::kDateValue, -1), m_today + 3);
  EXPECT_EQ(reopened.readText(kMachine, kKey, UpdateCheck::kRootDirValue, ""), programDir());
}

TEST_F(UpdateCheckTest, PostponingUntilTheFifthStoresTheSixthAtOnce) {
  EXPECT_EQ(m_check.initialPickerDate(), m_today + 30);
  m_check.postponeUntil(m_today);

  PreferenceStore reopened(m_folder.path());
  const double sixth = dayNumberOf({2024, 1, 6});
  EXPECT_EQ(reopened.readInteger(kMachine, kKey, UpdateCheck::kDateValue, -1), sixth);
  EXPECT_EQ(reopened.readText(kMachine, kKey, UpdateCheck::kRootDirValue, ""), programDir());
  EXPECT_EQ(m_check.initialPickerDate(), m_today);

  double today = m_today;
  UpdateCheck nextStart(reopened, [&] { return today; });
  nextStart.loadNextCheckDate();
  EXPECT_EQ(nextStart.nextCheckDate(), sixth);
  EXPECT_FALSE(nextStart.isDue());
  today = sixth;
  EXPECT_TRUE(nextStart.isDue());
}

TEST_F(UpdateCheckTest, AMissingOrMistypedStoredDateMeansTheCheckIsDue) {
  m_check.setNextCheckDate(50000);
  m_check.loadNextCheckDate();
  EXPECT_EQ(m_check.nextCheckDate(), 0);
  EXPECT_TRUE(m_check.isDue());

  m_store.writeText(kMachine, kKey, UpdateCheck::kDateValue, "45000");
  m_check.loadNextCheckDate();
  EXPECT_EQ(m_check.nextCheckDate(), 0);
}

TEST_F(UpdateCheckTest, AStoreThatCannotBeWrittenIsPassedOverInSilence) {
  const std::filesystem::path blocked = m_folder.path() / "blocked";
  preference_test::writeFile(blocked, "a file where the store's folder should be");
  PreferenceStore store(blocked);
  UpdateCheck check(store, [this] { return m_today; });
  EXPECT_NO_THROW(check.postponeUntil(m_today));
}

TEST(UpdateStampTest, TheStampMustBeADecimalNumber) {
  const struct {
    const char* field;
    Kind kind;
  } cases[] = {
      {"37200", Kind::UpdateAvailable},
      {"   37200", Kind::UpdateAvailable},
      {"+37200.5", Kind::UpdateAvailable},
      {"3.72e4", Kind::UpdateAvailable},
      {"3.72E+4", Kind::UpdateAvailable},
      {"37187.", Kind::UpToDate},
      {".5", Kind::UpToDate},
      {"-40000", Kind::UpToDate},
      {"37200,notes", Kind::UpdateAvailable},
      {"", Kind::InvalidStamp},
      {"   ", Kind::InvalidStamp},
      {"37200 ", Kind::InvalidStamp},
      {"37 200", Kind::InvalidStamp},
      {"37200.5.1", Kind::InvalidStamp},
      {"1e", Kind::InvalidStamp},
      {"e5", Kind::InvalidStamp},
      {".", Kind::InvalidStamp},
      {"0x9999", Kind::InvalidStamp},
      {"inf", Kind::InvalidStamp},
      {"1e999", Kind::InvalidStamp},
      {"\t37200", Kind::InvalidStamp},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(UpdateCheck::checkVersion(c.field).kind, c.kind);
  }
}

TEST(UpdateStampTest, TheBuildStampIsTheReleaseDateAndTime) {
  EXPECT_EQ(calendarDateOf(product::kBuildStamp), (CalendarDate{2001, 10, 23}));
  const double seconds = (product::kBuildStamp - std::floor(product::kBuildStamp)) * 86400;
  EXPECT_EQ(std::lround(seconds), 19 * 3600 + 35);
  EXPECT_EQ(dayNumberOf({1899, 12, 30}), 0);
  EXPECT_EQ(calendarDateOf(dayNumberOf({2024, 2, 29}) + 0.99), (CalendarDate{2024, 2, 29}));
}

TEST(UpdateRequestTest, URLEncodeKeepsOnlyTheSafeCharacters) {
  EXPECT_EQ(UpdateCheck::URLEncode("Rowsmith"), "Rowsmith");
  EXPECT_EQ(UpdateCheck::URLEncode("2.2"), "2.2");
  EXPECT_EQ(UpdateCheck::URLEncode("a b*c-d.e_f"), "a+b*c-d.e_f");
  EXPECT_EQ(UpdateCheck::URLEncode("/,&=~%+"), "%2F%2C%26%3D%7E%25%2B");
  EXPECT_EQ(UpdateCheck::URLEncode("Zürich"), "Z%C3%BCrich");
  EXPECT_EQ(UpdateCheck::URLEncode(std::string("\0\n", 2)), "%00%0A");
}

TEST(UpdateTextsTest, TheMessagesComeThroughTheLanguageFile) {
  TestFolder folder;
  const std::filesystem::path file = folder.path() / "Languages" / "English.ini";
  preference_test::writeFile(file, "[global]\r\n340=Sie haben die neueste Version von %s\r\n");
  TStringLoader loader(file);
  setStringLoader(&loader);
  EXPECT_EQ(UpdateCheck::checkVersion("1").message, "Sie haben die neueste Version von Rowsmith");
  EXPECT_EQ(UpdateCheck::checkingText(), "Checking for update...please wait");
  setStringLoader(nullptr);
  EXPECT_THAT(preference_test::readFile(file),
              ::testing::HasSubstr("300=Checking for update...please wait\r\n"));
}

}  // namespace
}  // namespace rowsmith::support_test
