// The sample and the preview of changes on a real SQLite file with the real
// filter engine: what the cells show, which are marked changed, and that
// nothing is written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "common/Error.h"
#include "document/Settings.h"
#include "engine/Preview.h"
#include "engine/db/ConnectionFactory.h"
#include "wordmill/FilterServer.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "rowsmith-preview-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    m_dir = pattern;
    const auto file = m_dir / "db.sqlite";
    std::ofstream{file};
    m_job.dataSource = "Provider=SQLite;Data Source=" + file.string();
    m_job.useTable = true;
    m_job.tableName = "t";
    m_db = db::connect(m_job.dataSource);
    m_db->execute("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, data BLOB)");
    m_db->execute("INSERT INTO t VALUES (1, ' a ', X'00FF'), (2, 'b', NULL), (3, NULL, NULL)");
    const auto filter = m_dir / "f.fll";
    std::ofstream(filter) << "trim\nupper\nnull-if \"B\"\n";
    m_filter = filter.string();
    m_server = wordmill::createObject(wordmill::kWordmillProgId);
  }
  void TearDown() override {
    m_db.reset();
    fs::remove_all(m_dir);
  }

  fs::path m_dir;
  TSettings m_job;
  std::unique_ptr<db::Connection> m_db;
  std::string m_filter;
  std::shared_ptr<wordmill::FilterApplication> m_server;
};

TEST_F(PreviewTest, CellsShowFilterOutputAndMarkOnlyRealChanges) {
  const SampleData sample = readJobSample(*m_db, m_job, 10);
  EXPECT_THAT(sample.columnNames, ElementsAre("id", "name", "data"));
  ASSERT_EQ(sample.rows.size(), 3u);
  EXPECT_TRUE(sample.rows[2][1].isNull);
  EXPECT_TRUE(sample.rows[0][2].opaque);

  PreviewData preview;
  // The binary column has a filter too: a run leaves it alone, so does the preview.
  previewChanges(*m_server, sample, {"", m_filter, m_filter}, preview);
  ASSERT_EQ(preview.rows.size(), 3u);
  const auto& first = preview.rows[0];
  EXPECT_EQ(first[1].value, "A");
  EXPECT_TRUE(first[1].changed);
  EXPECT_FALSE(first[0].changed);
  EXPECT_FALSE(first[2].changed);
  // "B" becomes NULL; NULL reaches the filter as "" and comes back as "".
  EXPECT_EQ(preview.rows[1][1].value, std::nullopt);
  EXPECT_TRUE(preview.rows[1][1].changed);
  EXPECT_EQ(preview.rows[2][1].value, "");
  EXPECT_TRUE(preview.rows[2][1].changed);

  // Nothing was written.
  auto check = m_db->open("SELECT name FROM t WHERE id = 1", {});
  check->moveFirst();
  EXPECT_EQ(check->value(0).text, " a ");
  check->close();
}

TEST_F(PreviewTest, LimitsAndListIndexError) {
  const SampleData none = readJobSample(*m_db, m_job, 0);
  EXPECT_EQ(none.columnNames.size(), 3u);
  EXPECT_TRUE(none.rows.empty());

  const SampleData sample = readJobSample(*m_db, m_job, 2);
  ASSERT_EQ(sample.rows.size(), 2u);
  PreviewData preview;
  try {
    previewChanges(*m_server, sample, {"", m_filter}, preview);
    FAIL() << "expected an error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (2)");
  }
  // The cells done before the error stay.
  ASSERT_EQ(preview.rows.size(), 1u);
  EXPECT_EQ(preview.rows[0].size(), 2u);
  EXPECT_EQ(preview.rows[0][1].value, "A");
}

}  // namespace
}  // namespace rowsmith
