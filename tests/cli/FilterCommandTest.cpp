// rowsmith-run filter: real filter files in a temporary folder, the real
// runner, values from arguments or standard input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "cli/CliSupport.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;

class FilterCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() /
            ("rowsmith-filtercmd-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(m_dir);
    fs::create_directories(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string writeFile(const std::string& name, const std::string& text) {
    const auto path = m_dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  static cli_test::CliResult run(const std::vector<std::string>& args,
                                 const std::string& input = "") {
    return cli_test::runRowsmith(args, input);
  }

  fs::path m_dir;
};

TEST_F(FilterCommandTest, EachArgumentGivesOneLine) {
  const auto filter = writeFile("tidy.fll", "trim\nreplace \"Mr \" \"Mister \"\nupper\n");
  const auto result = run({"filter", filter, "  Mr Smith", "Mr Ærø ", ""});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "MISTER SMITH\nMISTER ÆRØ\n\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(FilterCommandTest, WithoutArgumentsEachInputLineGivesOneLine) {
  const auto filter = writeFile("upper.fll", "upper\n");
  // Lines of any length; a last line without line feed still counts.
  const std::string longLine(3 << 20, 'x');
  const auto result = run({"filter", filter}, "one\n\ntwo ü\n" + longLine + "\nlast");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "ONE\n\nTWO Ü\n" + std::string(3 << 20, 'X') + "\nLAST\n");

  EXPECT_EQ(run({"filter", filter}, "").out, "");
}

// A serialized value that would come back broken stays as it was, on its
// line, and a note on standard error says how many did.
TEST_F(FilterCommandTest, ValuesKeptAsTheyWereAreCountedOnStandardError) {
  const auto filter = writeFile("move.fll", "php-serialized { replace \"old\" \"new one\" }\n");
  const auto result = run({"filter", filter}, "s:3:\"old\";\ns:9:\"old\";\nold\ns:4:\"old\";\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "s:7:\"new one\";\ns:9:\"old\";\nnew one\ns:4:\"old\";\n");
  EXPECT_EQ(result.err, "rowsmith-run: 2 values were left as they were: filter " + filter +
                            " could not change them without breaking their structure "
                            "(serialized or JSON text that does not read back as such).\n");

  // Long input goes through worker threads, whose filters count as well.
  std::string input;
  for (int i = 0; i < 50000; ++i) input += "s:3:\"old\";\ns:9:\"old\";\n";
  const auto longResult = run({"filter", filter}, input);
  EXPECT_EQ(longResult.status, 0) << longResult.err;
  EXPECT_EQ(longResult.out.size(), input.size() + 50000 * 4);
  EXPECT_EQ(longResult.err.rfind("rowsmith-run: 50000 values were left as they were: ", 0), 0u)
      << longResult.err;
}

// Long input goes in chunks over worker threads when the filter is slow per
// byte (the case steps), and stays on the main thread when it is cheap (one
// replace over long lines); either way the output keeps the input's order.
TEST_F(FilterCommandTest, LongInputKeepsItsOrder) {
  const auto slow = writeFile("slow.fll", "upper\nreplace \"LINE \" \"n=\"\nlower\n");
  const auto cheap = writeFile("cheap.fll", "replace \"line \" \"n=\"\n");
  const std::string dots(100, '.');
  std::string input;
  std::string expected;
  for (int i = 0; i < 100000; ++i) {
    input += "line " + std::to_string(i) + " " + dots + "\n";
    expected += "n=" + std::to_string(i) + " " + dots + "\n";
  }
  for (const auto& filter : {slow, cheap}) {
    const auto result = run({"filter", filter}, input);
    EXPECT_EQ(result.status, 0) << filter << ": " << result.err;
    EXPECT_TRUE(result.out == expected)
        << filter << ": output differs (" << result.out.size() << " bytes)";
  }
}

// A value that fails ends the run with the filter's message, after every
// value before it has been written: on worker threads (a regex tried at
// every position of short lines) and on the main thread (an anchored one
// over long lines, failing in the first chunk or far beyond it).
TEST_F(FilterCommandTest, FailureMidwayKeepsTheOutputBeforeIt) {
  const auto slow = writeFile("backtrack.fll", "regex \"(a+)+$\" \"x\"\n");
  const auto cheap = writeFile("anchored.fll", "regex \"^(a+)+$\" \"x\"\n");
  struct Case {
    std::string filter;
    std::size_t padding;
    int lines;
    int failing;
  };
  for (const auto& c : {Case{slow, 0, 200000, 150000}, Case{cheap, 100, 100000, 80000},
                        Case{cheap, 100, 100000, 10}}) {
    std::string input;
    std::string expected;
    for (int i = 0; i < c.lines; ++i) {
      const std::string line = i == c.failing
                                   ? std::string(40, 'a') + "b"
                                   : "ok " + std::to_string(i) + std::string(c.padding, '.');
      input += line + "\n";
      if (i < c.failing) expected += line + "\n";
    }
    const auto result = run({"filter", c.filter}, input);
    SCOPED_TRACE(c.filter + ", failing line " + std::to_string(c.failing));
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.out == expected) << "output differs (" << result.out.size() << " bytes)";
    EXPECT_TRUE(result.err.starts_with("rowsmith-run: ")) << result.err;
    EXPECT_NE(result.err.find("match limit"), std::string::npos) << result.err;
  }
}

TEST_F(FilterCommandTest, NullOutputIsPrintedAsItIs) {
  const auto filter = writeFile("blank.fll", "trim\nnull-if-empty\n");
  const auto fromArgs = run({"filter", filter, "  ", "kept"});
  EXPECT_EQ(fromArgs.status, 0) << fromArgs.err;
  EXPECT_EQ(fromArgs.out, "<NULL>\nkept\n");
  EXPECT_EQ(run({"filter", filter}, "kept\n \n").out, "kept\n<NULL>\n");
}

TEST_F(FilterCommandTest, FilterThatDoesNotOpenOrCompileFails) {
  const auto missing = (m_dir / "missing.fll").string();
  const auto notOpened = run({"filter", missing, "x"});
  EXPECT_EQ(notOpened.status, 1);
  EXPECT_EQ(notOpened.out, "");
  EXPECT_EQ(notOpened.err, "rowsmith-run: Couldn't open " + missing + "\n");

  const auto bad = writeFile("bad.fll", "upper\nfrobnicate\n");
  const auto notCompiled = run({"filter", bad, "x"});
  EXPECT_EQ(notCompiled.status, 1);
  EXPECT_EQ(notCompiled.out, "");
  EXPECT_TRUE(notCompiled.err.starts_with("rowsmith-run: 2:1: ")) << notCompiled.err;
}

TEST_F(FilterCommandTest, MissingFilterArgumentIsAUsageError) {
  const auto result = run({"filter"});
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err, "");
}

}  // namespace
}  // namespace rowsmith
