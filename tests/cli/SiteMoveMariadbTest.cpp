// A web site moved to a new address in its MariaDB database, as its owner
// would do it: the shipped example filter, rowsmith-run new and run over the
// tables of options, post meta and posts, WordPress-shaped. PHP's own
// unserialize and json_decode judge every structured value afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cli/CliSupport.h"
#include "common/Error.h"
#include "engine/db/ConnectionFactory.h"
#include "support/MariadbTestServer.h"
#include "wordmill/PhpOracle.h"

namespace rowsmith {
namespace {

using cli_test::CliResult;
using cli_test::runRowsmith;
using wordmill::test::OracleRecord;

const std::string kOld = "http://old.example";
const std::string kNew = "https://new.example";

std::string serverSource() {
  return "Provider=MSDASQL;" + test::mariadbOdbcConnectionString() + ";Lock Timeout=30";
}

// The same server reached natively, by its port.
std::string nativeSource() { return test::mariadbNativeConnectionString() + ";Lock Timeout=30"; }

// A PHP string: its length in bytes, then the bytes.
std::string s(const std::string& text) {
  return "s:" + std::to_string(text.size()) + ":\"" + text + "\";";
}

// An SQL string literal for MariaDB.
std::string literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') out += c;
    out += c;
  }
  return out + "'";
}

struct Value {
  std::string kind;  // how PHP judges it: serialized-json, json, or "" for an exact text
  std::string before;
  std::string after;  // for an exact text
};

// Through the ODBC driver and through the native backend.
class SiteMoveMariadbTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    m_source = GetParam() == "Odbc" ? serverSource() : nativeSource();
    m_db = db::connect(m_source);
    m_prefix = "wp" + std::to_string(::getpid()) + "_";
  }
  void TearDown() override {
    for (const auto& table : m_tables) m_db->execute("DROP TABLE IF EXISTS " + table);
  }

  // A table with a key and one text column holding `values`.
  std::string table(const std::string& name, const std::string& column,
                    const std::vector<Value>& values) {
    const std::string full = m_prefix + name;
    m_db->execute("CREATE TABLE " + full + " (id BIGINT UNSIGNED AUTO_INCREMENT PRIMARY KEY, " +
                  column + " LONGTEXT, guid VARCHAR(255)) DEFAULT CHARSET=utf8mb4");
    m_tables.push_back(full);
    for (const auto& value : values)
      m_db->execute("INSERT INTO " + full + " (" + column + ", guid) VALUES (" +
                    literal(value.before) + ", " + literal(kOld + "/?p=1") + ")");
    return full;
  }

  // Runs the example filter over `column` of `full`; returns what run said.
  CliResult move(const std::string& full, const std::string& column) {
    const std::string job = (m_dir.path() / (full + ".rsm")).string();
    const CliResult made = runRowsmith(
        {"new", "-o", job, "--data-source", m_source, "--table", full, "--column",
         column + "=" + std::string(ROWSMITH_SOURCE_DIR) + "/examples/filters/move-site.fll"});
    EXPECT_EQ(made.status, 0) << made.err;
    return runRowsmith({"run", job});
  }

  std::vector<std::string> read(const std::string& sql) {
    std::vector<std::string> values;
    auto rows = m_db->open(sql, {});
    for (; !rows->eof(); rows->moveNext()) values.push_back(rows->value(0).text);
    rows->close();
    return values;
  }

  // Every value after the move: structured ones judged by PHP, the others
  // compared with the text expected.
  void expectMoved(const std::string& full, const std::string& column,
                   const std::vector<Value>& values) {
    const auto now = read("SELECT " + column + " FROM " + full + " ORDER BY id");
    ASSERT_EQ(now.size(), values.size());
    std::vector<OracleRecord> records;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (values[i].kind.empty())
        EXPECT_EQ(now[i], values[i].after) << "row " << i + 1;
      else
        records.push_back({values[i].kind, kOld, kNew, values[i].before, now[i]});
    }
    for (const auto& verdict : wordmill::test::askPhp(records)) EXPECT_EQ(verdict, "ok");
    // Addresses that identify posts are not the job's to change.
    EXPECT_THAT(read("SELECT DISTINCT guid FROM " + full), ::testing::ElementsAre(kOld + "/?p=1"));
  }

  std::string m_source;
  std::unique_ptr<db::Connection> m_db;
  std::string m_prefix;
  std::vector<std::string> m_tables;
  wordmill::test::TempFolder m_dir;
};

TEST_P(SiteMoveMariadbTest, OptionsMetaAndPostsMoveAndStayValid) {
  const std::string logo = kOld + "/wp-content/uploads/2024/01/logo.png";
  const std::string widget = "a:2:{i:2;a:3:{s:3:\"url\";" + s(logo) + "s:5:\"title\";" +
                             s("Über uns — Café") +
                             "s:4:\"size\";i:300;}s:12:\"_multiwidget\";i:1;}";
  const std::string nested = "a:1:{s:3:\"url\";" + s(kOld + "/shop") + "}";
  const std::string themeMods = "O:8:\"stdClass\":2:{s:10:\"header_url\";" + s(kOld + "/h.jpg") +
                                "s:6:\"nested\";" + s(nested) + "}";
  const std::string jsonInside =
      "a:1:{s:4:\"data\";" + s("{\"url\":\"http:\\/\\/old.example\\/\",\"n\":\"\\u00e9\"}") + "}";
  const std::string broken = "s:5:\"" + kOld + "\";";  // a length left wrong long ago
  const std::vector<Value> options = {
      {"", kOld, kNew},
      {"serialized-json", widget, ""},
      {"serialized-json", themeMods, ""},
      {"serialized-json", jsonInside, ""},
      {"json",
       "{\"logo\":\"http:\\/\\/old.example\\/logo.png\",\"name\":\"Caf\\u00e9 \\\"Zed\\\"\"}", ""},
      {"", broken, broken},
  };
  const std::vector<Value> meta = {
      {"serialized-json",
       "a:3:{s:5:\"width\";i:800;s:4:\"file\";" + s("2024/01/photo.jpg") +
           "s:5:\"sizes\";a:1:{s:5:" + "\"thumb\";a:1:{s:3:\"url\";" + s(kOld + "/photo-150.jpg") +
           "}}}",
       ""},
      {"json", "[{\"settings\":{\"link\":{\"url\":\"http:\\/\\/old.example\\/shop\"}}}]", ""},
  };
  const std::string content =
      "<!-- wp:image {\"id\":41,\"url\":\"http:\\/\\/old.example\\/a.png\"} "
      "-->\n<figure><img src=\"http://old.example/a.png\" alt=\"Café\"/>"
      "</figure>\n<!-- /wp:image -->";
  const std::string moved =
      "<!-- wp:image {\"id\":41,\"url\":\"https:\\/\\/new.example\\/a.png\"} "
      "-->\n<figure><img src=\"https://new.example/a.png\" alt=\"Café\"/>"
      "</figure>\n<!-- /wp:image -->";
  const std::vector<Value> posts = {{"", content, moved}};

  const std::string optionsTable = table("options", "option_value", options);
  const std::string metaTable = table("postmeta", "meta_value", meta);
  const std::string postsTable = table("posts", "post_content", posts);
  // Every byte of every row, to compare after the undo.
  auto dump = [this](const std::string& full, const std::string& column) {
    return read("SELECT CONCAT(id, ':', HEX(" + column + "), ':', guid) FROM " + full +
                " ORDER BY id");
  };
  const std::vector<std::vector<std::string>> before = {dump(optionsTable, "option_value"),
                                                        dump(metaTable, "meta_value"),
                                                        dump(postsTable, "post_content")};
  std::vector<std::string> journals;
  auto journalOf = [&journals](const std::string& err) {
    const std::string mark = "in the undo journal ";
    const auto at = err.find(mark);
    ASSERT_NE(at, std::string::npos) << err;
    const auto end = err.find(" (rowsmith-run undo", at);
    journals.push_back(err.substr(at + mark.size(), end - at - mark.size()));
  };

  const CliResult optionsRun = move(optionsTable, "option_value");
  EXPECT_EQ(optionsRun.status, 0) << optionsRun.err;
  EXPECT_EQ(optionsRun.out, "Complete. 6 rows processed.\n");
  // The broken value is left as it was, and the run says so.
  EXPECT_THAT(optionsRun.err,
              ::testing::HasSubstr("1 value of column option_value was left as it was"));
  expectMoved(optionsTable, "option_value", options);
  journalOf(optionsRun.err);

  for (const auto& [full, column, values, rows] :
       {std::tuple{metaTable, std::string("meta_value"), meta, 2},
        std::tuple{postsTable, std::string("post_content"), posts, 1}}) {
    SCOPED_TRACE(full);
    const CliResult run = move(full, column);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Complete. " + std::to_string(rows) + " rows processed.\n");
    EXPECT_THAT(run.err, ::testing::StartsWith("rowsmith-run: the changes of " +
                                               std::to_string(rows) + " row"));
    expectMoved(full, column, values);
    journalOf(run.err);
  }

  // The journals put every table back byte for byte.
  ASSERT_EQ(journals.size(), 3u);
  for (const std::string& journal : journals) {
    const CliResult undone = runRowsmith({"undo", journal});
    EXPECT_EQ(undone.status, 0) << undone.err;
    EXPECT_THAT(undone.err, ::testing::HasSubstr("put back as they were before the run."));
  }
  EXPECT_EQ(dump(optionsTable, "option_value"), before[0]);
  EXPECT_EQ(dump(metaTable, "meta_value"), before[1]);
  EXPECT_EQ(dump(postsTable, "post_content"), before[2]);
}

INSTANTIATE_TEST_SUITE_P(Providers, SiteMoveMariadbTest, ::testing::Values("Odbc", "Native"),
                         [](const auto& suite) { return suite.param; });

}  // namespace
}  // namespace rowsmith
