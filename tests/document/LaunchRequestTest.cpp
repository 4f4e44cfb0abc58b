// What the desktop program makes of its command line and of requests from
// other programs, and the small texts its window shows.
#include <gtest/gtest.h>

#include "common/Error.h"
#include "common/ErrorText.h"
#include "document/DdeChannel.h"
#include "document/DdeRequest.h"
#include "document/DocumentTitle.h"
#include "document/LaunchParameter.h"
#include "document/PreferenceTestFolder.h"

namespace rowsmith {
namespace {

using Kind = LaunchParameter::Kind;
using preference_test::TestFolder;
using preference_test::writeFile;

TEST(LaunchParameterTest, ClassifiesArguments) {
  struct Case {
    std::string argument;
    bool fromListFile;
    Kind kind;
    std::string text;
  };
  const std::string longPath = "/jobs/" + std::string(300, 'x') + ".rsm";
  const Case cases[] = {
      {"/F=/jobs/A.rsm", false, Kind::OpenFile, "/jobs/A.rsm"},
      {"/f=/Jobs/Mixed Case.rsm", false, Kind::OpenFile, "/Jobs/Mixed Case.rsm"},
      {"/F=" + longPath, false, Kind::OpenFile, longPath},  // never cut short
      {"/Z=/jobs/list.txt", false, Kind::ListFile, "/jobs/list.txt"},
      {"/z=list.txt", false, Kind::ListFile, "list.txt"},
      {"/Z=other.txt", true, Kind::Invalid, "/Z=other.txt"},  // list files do not nest
      {"/X", false, Kind::Invalid, "/X"},
      {"/Z", false, Kind::Invalid, "/Z"},
      {"/geometry=10x10", false, Kind::Invalid, "/geometry=10x10"},
      {"/home/me/job.rsm", false, Kind::Ignored, ""},  // a path is not a switch
      {"job.rsm", false, Kind::Ignored, ""},
      {"   ", true, Kind::Ignored, ""},
      {"/", false, Kind::Ignored, ""},
      {"/F=", false, Kind::Ignored, ""},  // a desktop start without a file
  };
  for (const Case& c : cases) {
    const LaunchParameter parameter = LaunchParameter::classify(c.argument, c.fromListFile);
    EXPECT_EQ(parameter.kind, c.kind) << c.argument;
    EXPECT_EQ(parameter.text, c.text) << c.argument;
  }
  EXPECT_EQ(LaunchParameter::invalidMessage("/X"), "Invalid command line parameter\r\n/X");
}

TEST(LaunchParameterTest, ReadsTheNonEmptyLinesOfAListFile) {
  TestFolder folder;
  const auto list = folder.path() / "list.txt";
  writeFile(list, "/F=a.rsm\r\n\r\n/F=b.rsm\rlast\n\n   \n");
  EXPECT_EQ(LaunchParameter::readListFile(list.string()),
            (std::vector<std::string>{"/F=a.rsm", "/F=b.rsm", "last", "   "}));
  const std::string missing = (folder.path() / "missing.txt").string();
  try {
    LaunchParameter::readListFile(missing);
    FAIL() << "a missing list file must be an error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file " + missing);
  }
}

TEST(DdeRequestTest, FindsThePathOfAFileOpenRequest) {
  struct Case {
    std::string text;
    std::optional<std::string> path;
  };
  const std::string longPath = "/jobs/" + std::string(300, 'y') + ".rsm";
  const Case cases[] = {
      {"[FileOpen(\"/jobs/a.rsm\")]\r\n", "/jobs/a.rsm"},
      {"[FileOpen(\"/jobs/a.rsm\"", "/jobs/a.rsm"},      // nothing after the quote is checked
      {"[FileOpen(\"/jobs/no quote", "/jobs/no quote"},  // no closing quote: the rest
      {"[FileOpen(\"" + longPath + "\")]", longPath},
      {"[fileopen(\"/jobs/a.rsm\")]", std::nullopt},  // the prefix keeps its case
      {"[FileOpen(/jobs/a.rsm)]", std::nullopt},      // the quote belongs to the prefix
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(DdeRequest::fileOpenPath(c.text), c.path) << c.text;
  EXPECT_EQ(DdeRequest::invalidMessage("x\r\n"), "Invalid DDE message x\r\n");
}

TEST(DdeChannelTest, FramesRoundTripAndBadBytesAreRefused) {
  DdeFrameReader reader;
  const std::string frame = DdeChannel::frame(DdeChannel::kExecute, "[FileOpen(\"a\")]\nline 2");
  reader.feed(frame.data(), 3);
  EXPECT_FALSE(reader.frame());
  reader.feed(frame.data() + 3, frame.size() - 3);
  ASSERT_TRUE(reader.frame());
  EXPECT_EQ(reader.frame()->kind, DdeChannel::kExecute);
  EXPECT_EQ(reader.frame()->payload, "[FileOpen(\"a\")]\nline 2");

  for (const std::string& bad : {std::string("X12a\nabc"), std::string("X\n"),
                                 std::string("X99999999999\n"), std::string(40, 'X')}) {
    DdeFrameReader broken;
    broken.feed(bad.data(), bad.size());
    EXPECT_TRUE(broken.malformed()) << bad;
  }
  EXPECT_EQ(DdeChannel::serviceName("/usr/bin/rowsmith"), "rowsmith");
  EXPECT_EQ(DdeChannel::serviceName("/opt/rs/rowsmith.bin.old"), "rowsmith");
}

TEST(DdeChannelTest, ClientReportsThatNoProgramListens) {
  TestFolder folder;
  try {
    sendDdeRequest((folder.path() / "nobody.socket").string(), DdeChannel::kExecute, "x");
    FAIL() << "expected an error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Rowsmith is not running");
  }
}

TEST(DocumentTitleTest, NamesTheFileAndItsState) {
  EXPECT_EQ(documentTitle("", false), "Untitled - Rowsmith by Morvane Software");
  EXPECT_EQ(documentTitle("", true), "Untitled (modified) - Rowsmith by Morvane Software");
  EXPECT_EQ(documentTitle("/home/me/Jobs/Sales.rsm", false),
            "Sales.rsm - Rowsmith by Morvane Software");
  EXPECT_EQ(documentTitle("/home/me/Jobs/Sales.rsm", true),
            "Sales.rsm (modified) - Rowsmith by Morvane Software");
}

TEST(ErrorTextTest, AddsAFullStopAfterLettersAndDigitsOnly) {
  EXPECT_EQ(messageWithFullStop("Cannot open file x.rsm"), "Cannot open file x.rsm.");
  EXPECT_EQ(messageWithFullStop("Error 42"), "Error 42.");
  EXPECT_EQ(messageWithFullStop("Already ends."), "Already ends.");
  EXPECT_EQ(messageWithFullStop("Failed (3)"), "Failed (3)");
  EXPECT_EQ(messageWithFullStop("Really!"), "Really!");
  EXPECT_EQ(messageWithFullStop(""), "");
}

}  // namespace
}  // namespace rowsmith
