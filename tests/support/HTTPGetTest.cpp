#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "support/HTTPGet.h"
#include "support/LocalHttpServer.h"
#include "support/RecordedEvents.h"

namespace rowsmith::support_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Cancelling must not wait for the server's silence to end, nor for the
// transfer's own time-outs (10 s to connect, 60 s in all).
constexpr auto kPrompt = 5s;

class HTTPGetTest : public ::testing::Test {
 protected:
  // One transfer with WaitThread, so its event has been raised on return.
  RecordedEvents::Snapshot fetch(const std::string& url, bool binaryData = false) {
    THTTPGet getter;
    RecordedEvents events;
    events.attach(getter);
    getter.setURL(url);
    getter.setBinaryData(binaryData);
    getter.setWaitThread(true);
    getter.FetchString();
    EXPECT_FALSE(getter.running());
    return events.snapshot();
  }

  static LocalHttpServer& server() {
    static LocalHttpServer instance;
    return instance;
  }
};

struct AnswerCase {
  const char* name;
  std::string url;
  bool binaryData;
  std::optional<std::string> expected;  // the text of OnDoneString, or OnError
};

TEST_F(HTTPGetTest, EachAnswerEndsInOneEventAsItsRulesSay) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(LocalHttpServer::refusedPort());
  const std::string hello = "Hello from the test server\n";
  const AnswerCase cases[] = {
      {"plain answer", server().url("/text"), false, hello},
      {"scheme in capitals", "HTTP://" + server().hostAndPort() + "/text", false, hello},
      {"no scheme", server().hostAndPort() + "/text", false, hello},
      {"the status is not looked at", server().url("/notfound"), false,
       "<html><body>404 Not Found</body></html>"},
      {"redirection followed", server().url("/redirect"), false, hello},
      {"empty body", server().url("/empty"), false, std::nullopt},
      {"no length, text", server().url("/nolength"), false, "a body without a length"},
      {"no length, BinaryData", server().url("/nolength"), true, std::nullopt},
      {"length not a number", server().url("/badlength"), false, ""},
      {"body cut short", server().url("/short"), false, std::nullopt},
      {"refused connection", refused + "/text", false, std::nullopt},
      {"no path, so no host", server().url(""), false, std::nullopt},
      {"port not a number", "http://127.0.0.1:http/text", false, std::nullopt},
  };
  for (const AnswerCase& c : cases) {
    SCOPED_TRACE(c.name);
    const RecordedEvents::Snapshot events = fetch(c.url, c.binaryData);
    ASSERT_EQ(events.endings(), 1);
    if (c.expected) {
      ASSERT_EQ(events.doneStrings.size(), 1u);
      EXPECT_EQ(events.doneStrings[0], *c.expected);
    } else {
      EXPECT_EQ(events.errors, 1);
    }
  }
}

TEST_F(HTTPGetTest, HttpsChecksTheServersCertificate) {
  EXPECT_EQ(fetch(server().secureUrl("/text")).errors, 1);
  // The client spoke TLS and broke the handshake off over the unknown issuer.
  const RecordedEvents::Snapshot refusals = fetch(server().url("/tls-refusals"));
  ASSERT_EQ(refusals.doneStrings.size(), 1u);
  EXPECT_THAT(refusals.doneStrings[0], ::testing::HasSubstr("UNKNOWN_CA"));
}

TEST_F(HTTPGetTest, ALongBodyWithZeroBytesArrivesWholeWithProgressOnTheWay) {
  std::string expected;
  for (int i = 0; i < 5000; ++i) expected += static_cast<char>(i % 3 ? (i * 7) % 256 : 0);

  const RecordedEvents::Snapshot events = fetch(server().url("/zeros"));
  ASSERT_EQ(events.doneStrings.size(), 1u);
  EXPECT_EQ(events.doneStrings[0].size(), 5000u);
  EXPECT_EQ(events.doneStrings[0], expected);

  // The server sends it in pieces of 700 bytes.
  ASSERT_GT(events.progress.size(), 1u);
  std::int64_t previous = 0;
  for (const auto& [total, readed] : events.progress) {
    EXPECT_EQ(total, 5000);
    EXPECT_GT(readed, previous);
    previous = readed;
  }
  EXPECT_EQ(previous, 5000);
}

TEST_F(HTTPGetTest, TheRequestCarriesTheProperties) {
  THTTPGet getter;
  EXPECT_EQ(getter.agent(), THTTPGet::kDefaultAgent);
  RecordedEvents events;
  events.attach(getter);
  getter.setWaitThread(true);
  getter.setURL(server().url("/echo/page?x=1"));
  getter.setAgent("Rowsmith");
  getter.setReferer("http://referrer.example/");
  getter.setPostQuery(std::string("a=1&b=\0two", 10));
  getter.FetchString();

  getter.setURL(server().url("/auth"));
  getter.setPostQuery("");
  getter.setUserName("user");
  getter.setPassword("secret");
  getter.FetchString();

  const RecordedEvents::Snapshot answers = events.snapshot();
  ASSERT_EQ(answers.doneStrings.size(), 2u);
  EXPECT_EQ(answers.doneStrings[0],
            "POST /echo/page?x=1 HTTP/1.0\nUser-Agent: Rowsmith\n"
            "Referer: http://referrer.example/\n\n" +
                std::string("a=1&b=\0two", 10));
  EXPECT_EQ(answers.doneStrings[1], "Basic dXNlcjpzZWNyZXQ=");
}

TEST_F(HTTPGetTest, AnAgentOrRefererWithALineBreakIsNotSent) {
  THTTPGet getter;
  RecordedEvents events;
  events.attach(getter);
  getter.setWaitThread(true);
  getter.setURL(server().url("/echo"));
  getter.setAgent("Rowsmith\r\nX-Injected: 1");
  getter.FetchString();
  getter.setAgent("Rowsmith");
  getter.setReferer("http://a.example/\nX-Injected: 1");
  getter.FetchString();
  EXPECT_EQ(events.snapshot().errors, 2);
}

TEST_F(HTTPGetTest, FetchStringStartsNothingWhileATransferRuns) {
  THTTPGet getter;
  RecordedEvents events;
  events.attach(getter);
  getter.setURL(server().url("/stall"));
  getter.FetchString();
  ASSERT_TRUE(events.waitForProgress());

  // Had it started a second transfer, WaitThread would return after its event.
  getter.setURL(server().url("/text"));
  getter.setWaitThread(true);
  getter.FetchString();
  EXPECT_TRUE(getter.running());
  EXPECT_EQ(events.snapshot().endings(), 0);

  getter.Abort();
  ASSERT_TRUE(waitUntilIdle(getter));
  getter.FetchString();
  EXPECT_EQ(events.snapshot().doneStrings,
            std::vector<std::string>{"Hello from the test server\n"});
}

TEST_F(HTTPGetTest, AbortCancelsASilentServerAtOnceAndRaisesNothing) {
  for (const char* path : {"/hang", "/stall"}) {
    SCOPED_TRACE(path);
    THTTPGet getter;
    RecordedEvents events;
    events.attach(getter);
    getter.setURL(server().url(path));
    getter.FetchString();
    if (std::string(path) == "/stall") {
      ASSERT_TRUE(events.waitForProgress());
    }

    const auto start = Clock::now();
    getter.Abort();
    ASSERT_TRUE(waitUntilIdle(getter));
    EXPECT_LT(Clock::now() - start, kPrompt);
    EXPECT_EQ(events.snapshot().endings(), 0);
  }
}

TEST_F(HTTPGetTest, AProgressHandlerMayAbortItsTransfer) {
  THTTPGet getter;
  RecordedEvents events;
  events.attach(getter);
  getter.setOnProgress([&](THTTPGet& sender, std::int64_t, std::int64_t) { sender.Abort(); });
  getter.setURL(server().url("/zeros"));
  getter.FetchString();
  ASSERT_TRUE(waitUntilIdle(getter));
  EXPECT_EQ(events.snapshot().endings(), 0);
}

TEST_F(HTTPGetTest, DestroyingTheGetterDuringATransferIsPromptAndSilent) {
  for (const char* path : {"/hang", "/stall"}) {
    SCOPED_TRACE(path);
    RecordedEvents events;
    auto getter = std::make_unique<THTTPGet>();
    events.attach(*getter);
    getter->setURL(server().url(path));
    getter->FetchString();
    if (std::string(path) == "/stall") {
      ASSERT_TRUE(events.waitForProgress());
    }
    const std::size_t progressBefore = events.snapshot().progress.size();

    const auto start = Clock::now();
    getter.reset();
    EXPECT_LT(Clock::now() - start, kPrompt);
    // The worker has ended with the getter: nothing can follow.
    EXPECT_EQ(events.snapshot().endings(), 0);
    EXPECT_EQ(events.snapshot().progress.size(), progressBefore);
  }
}

TEST_F(HTTPGetTest, AHandlerMayDestroyItsGetter) {
  RecordedEvents events;
  std::atomic<THTTPGet*> getter = new THTTPGet;
  events.attach(*getter);
  // The token lives in every copy of the handlers: once it has expired, the
  // worker, which holds a copy, has ended too.
  auto token = std::make_shared<int>(0);
  const std::weak_ptr<int> worker = token;
  getter.load()->setOnProgress(
      [&getter, token](THTTPGet&, std::int64_t, std::int64_t) { delete getter.exchange(nullptr); });
  getter.load()->setURL(server().url("/zeros"));
  getter.load()->FetchString();
  token.reset();

  const auto deadline = Clock::now() + 1min;
  while (!worker.expired() && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(worker.expired());
  EXPECT_EQ(getter.load(), nullptr);
  EXPECT_EQ(events.snapshot().endings(), 0);
  delete getter.load();
}

}  // namespace
}  // namespace rowsmith::support_test
