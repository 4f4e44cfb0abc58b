// rowsmith-run new and show: real settings files in a temporary folder,
// written and read by the real runner.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "cli/CliSupport.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using cli_test::CliResult;
using cli_test::runRowsmith;

// The example job of the file format, byte for byte.
const std::string kExampleJob(
    "TPF0\x09TSettings\x00\x09TSettings\x02\x02\x06\x09"
    "DSN=Sales\x06\x00\x03\xE8\x03\x01\x06\x04NAME\x06\x0E"
    "C:\\f\\upper.fll\x06\x04"
    "CITY\x06\x00\x00\x06\x08"
    "CUSTOMER\x09\x00\x00",
    88);

class DocumentCommandsTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = testing::TempDir() + "rowsmith-doccmd-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
  }
  void TearDown() override { fs::remove_all(m_folder); }

  std::string file(const std::string& name) const { return (m_folder / name).string(); }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path m_folder;
};

TEST_F(DocumentCommandsTest, NewWritesTheExampleJobAndShowReadsItBack) {
  const std::string job = file("example.rsm");
  const CliResult created =
      runRowsmith({"new", "-o", job, "--data-source", "DSN=Sales", "--table", "CUSTOMER",
                   "--column", "NAME=C:\\f\\upper.fll", "--column", "CITY"});
  ASSERT_EQ(created.status, 0) << created.err;
  EXPECT_EQ(readFile(job), kExampleJob);

  const CliResult shown = runRowsmith({"show", job, "--json"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  const auto json = nlohmann::json::parse(shown.out);
  EXPECT_EQ(json, nlohmann::json::parse(R"({
    "dataSource": "DSN=Sales", "useTable": true, "tableName": "CUSTOMER", "query": "",
    "previewRows": 1000, "columnNames": ["NAME", "CITY"],
    "columnFilters": ["C:\\f\\upper.fll", ""]})"));
}

TEST_F(DocumentCommandsTest, QueryJobRoundTripsThroughBothCommands) {
  const std::string job = file("query.rsm");
  const std::string query = "select name, city\r\nfrom customer\r\nwhere a = 'x=y'";
  const CliResult created =
      runRowsmith({"new", "-o", job, "--data-source", "Provider=SQLite;Data Source=/tmp/a.db",
                   "--query", query, "--preview-rows", "40000", "--column", "a=/f/x=y.fll",
                   "--column", "a", "--column", "=empty.fll"});
  ASSERT_EQ(created.status, 0) << created.err;

  const auto json = nlohmann::json::parse(runRowsmith({"show", "--json", job}).out);
  EXPECT_EQ(json["dataSource"], "Provider=SQLite;Data Source=/tmp/a.db");
  EXPECT_EQ(json["useTable"], false);
  EXPECT_EQ(json["tableName"], "");
  EXPECT_EQ(json["query"], query);
  EXPECT_EQ(json["previewRows"], 40000);
  EXPECT_EQ(json["columnNames"], nlohmann::json({"a", "a", ""}));
  EXPECT_EQ(json["columnFilters"], nlohmann::json({"/f/x=y.fll", "", "empty.fll"}));

  const CliResult listing = runRowsmith({"show", job});
  ASSERT_EQ(listing.status, 0) << listing.err;
  EXPECT_NE(listing.out.find("dataSource    = Provider=SQLite;Data Source=/tmp/a.db\n"),
            std::string::npos)
      << listing.out;
  EXPECT_NE(listing.out.find("query         = select name, city\n"
                             "                from customer\n"),
            std::string::npos)
      << listing.out;
  EXPECT_NE(listing.out.find("  a = /f/x=y.fll\n  a =\n   = empty.fll\n"), std::string::npos)
      << listing.out;
}

TEST_F(DocumentCommandsTest, ReportsErrorsWithTheSystemsMessage) {
  const std::string missing = file("missing.rsm");
  CliResult result = runRowsmith({"show", missing});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "rowsmith-run: Cannot open file " + missing + "\n");
  EXPECT_EQ(result.out, "");

  const std::string broken = file("broken.rsm");
  std::ofstream(broken, std::ios::binary) << kExampleJob.substr(0, 30);
  result = runRowsmith({"show", "--json", broken});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "rowsmith-run: Error reading TSettings.TSettings: Stream read error\n");

  const std::string unwritable = file("no/such/folder/job.rsm");
  result = runRowsmith({"new", "-o", unwritable, "--data-source", "d", "--table", "t"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "rowsmith-run: Cannot create file " + unwritable + "\n");
}

mode_t permissions(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// `show` never prints a password; a job whose data source holds one is
// written readable by its owner only, and saving over a job keeps its mode.
TEST_F(DocumentCommandsTest, PasswordsAreMaskedAndJobsHoldingThemStayPrivate) {
  struct Case {
    std::string dataSource;
    std::string shown;
  };
  const Case cases[] = {
      {"Provider=PostgreSQL;Host=db;User ID=me;Password=s3cret;Port=5",
       "Provider=PostgreSQL;Host=db;User ID=me;Password=********;Port=5"},
      {"Driver={PostgreSQL Unicode};Uid=me;PWD={s3cret;x};Database=d",
       "Driver={PostgreSQL Unicode};Uid=me;PWD=********;Database=d"},
      {"host=db;password='s3cret' ;sslpassword=s3cret",
       "host=db;password=********;sslpassword=********"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dataSource);
    const std::string job = file("secret.rsm");
    fs::remove(job);
    ASSERT_EQ(runRowsmith({"new", "-o", job, "--data-source", c.dataSource, "--table", "t"}).status,
              0);
    EXPECT_EQ(permissions(job), 0600u);
    const CliResult listing = runRowsmith({"show", job});
    EXPECT_NE(listing.out.find("dataSource    = " + c.shown + "\n"), std::string::npos)
        << listing.out;
    const CliResult json = runRowsmith({"show", "--json", job});
    EXPECT_EQ(nlohmann::json::parse(json.out)["dataSource"], c.shown);
    EXPECT_EQ((listing.out + json.out).find("s3cret"), std::string::npos);
  }

  const mode_t umask = ::umask(0);
  ::umask(umask);
  const std::string plain = file("plain.rsm");
  ASSERT_EQ(
      runRowsmith({"new", "-o", plain, "--data-source", "DSN=Sales;PWD=", "--table", "t"}).status,
      0);
  EXPECT_EQ(permissions(plain), 0666u & ~umask);
  ::chmod(plain.c_str(), 0640);
  ASSERT_EQ(
      runRowsmith({"new", "-o", plain, "--data-source", "DSN=Sales;PWD=s3cret", "--table", "t"})
          .status,
      0);
  EXPECT_EQ(permissions(plain), 0640u);
}

// The connection string can come from a file or from standard input, so
// that a password never shows in the process list.
TEST_F(DocumentCommandsTest, DataSourceFromAFileOrStandardInput) {
  const std::string source = file("source.txt");
  std::ofstream(source, std::ios::binary) << "DSN=Sales;PWD=from file\r\n";
  const std::string job = file("job.rsm");
  ASSERT_EQ(runRowsmith({"new", "-o", job, "--data-source-file", source, "--table", "t"}).status,
            0);
  EXPECT_NE(readFile(job).find("\x06\x17"
                               "DSN=Sales;PWD=from file\x06"),
            std::string::npos);
  EXPECT_EQ(permissions(job), 0600u);

  ASSERT_EQ(runRowsmith({"new", "-o", job, "--data-source", "-", "--table", "t"},
                        "DSN=Sales;PWD=from input\n")
                .status,
            0);
  EXPECT_NE(readFile(job).find("\x06\x18"
                               "DSN=Sales;PWD=from input\x06"),
            std::string::npos);

  const std::string missing = file("missing.txt");
  const CliResult result =
      runRowsmith({"new", "-o", job, "--data-source-file", missing, "--table", "t"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "rowsmith-run: Cannot open file " + missing + "\n");
}

TEST_F(DocumentCommandsTest, BadArgumentsExitWithUsage) {
  const std::string job = file("job.rsm");
  const std::vector<std::vector<std::string>> cases = {
      {"new", "-o", job, "--data-source", "d"},
      {"new", "-o", job, "--data-source", "d", "--table", "t", "--query", "q"},
      {"new", "--data-source", "d", "--table", "t"},
      {"new", "-o", job, "--table", "t"},
      {"new", "-o", job, "--data-source", "d", "--data-source-file", "f", "--table", "t"},
      {"new", "-o", job, "--data-source", "d", "--table", "t", "--preview-rows", "many"},
      {"new", "-o", job, "--data-source", "d", "--table", "t", "--preview-rows", "3000000000"},
      {"show"},
      {"show", job, "extra"},
  };
  for (const auto& args : cases) {
    const CliResult result = runRowsmith(args);
    EXPECT_EQ(result.status, 2) << testing::PrintToString(args);
    EXPECT_NE(result.err.find("rowsmith-run --help"), std::string::npos) << result.err;
  }
  EXPECT_FALSE(fs::exists(job));
}

// The helper other runner tests build on: large input, both output streams
// and the exit status of any program.
TEST(CliSupport, FeedsInputAndCapturesBothStreamsAndStatus) {
  const std::string input(300000, 'x');
  cli_test::CliOptions options;
  options.input = input;
  options.environment = {"ROWSMITH_PROBE=here"};
  const CliResult result = cli_test::runProgram(
      "/bin/sh", {"-c", "cat; printf '%s' \"$ROWSMITH_PROBE\" >&2; exit 3"}, options);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(result.out, input);
  EXPECT_EQ(result.err, "here");
}

}  // namespace
}  // namespace rowsmith
