// The job settings model: Validate, and what the writer puts in a settings
// stream, read back through the reader.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "common/Error.h"
#include "document/Settings.h"
#include "document/SettingsStream.h"
#include "document/SettingsTestHelpers.h"

namespace rowsmith {
namespace {

using settings_test::exampleJob;
using settings_test::exampleJobBytes;
using settings_test::expectSameJob;
using settings_test::hex;

TSettings readBack(const std::string& bytes) {
  std::istringstream in(bytes);
  TSettings settings;
  SettingsStream::read(in, settings);
  return settings;
}

std::string validationMessage(const TSettings& settings) {
  try {
    settings.Validate();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

TEST(SettingsValidate, ReportsTheFirstBlankFieldOfTheChosenMode) {
  struct Case {
    const char* dataSource;
    bool useTable;
    const char* tableName;
    const char* query;
    const char* message;
  };
  const Case cases[] = {
      {"", false, "", "", "The data source is blank"},
      {"", true, "T", "select 1", "The data source is blank"},
      {"DSN=x", true, "", "select 1", "The table name is blank"},
      {"DSN=x", false, "T", "", "The query is blank"},
      {"DSN=x", true, "T", "", ""},
      {"DSN=x", false, "", "select 1", ""},
      // Only emptiness counts.
      {"DSN=x", false, "", "   ", ""},
      {" ", true, " ", "", ""},
  };
  for (const Case& c : cases) {
    TSettings settings;
    settings.dataSource = c.dataSource;
    settings.useTable = c.useTable;
    settings.tableName = c.tableName;
    settings.query = c.query;
    EXPECT_EQ(validationMessage(settings), c.message)
        << "data source '" << c.dataSource << "', table mode " << c.useTable;
  }
}

TEST(SettingsValidate, FreshObjectIsInQueryModeWithNoPreviewRows) {
  const TSettings settings;
  EXPECT_FALSE(settings.useTable);
  EXPECT_EQ(settings.previewRows, 0);
  EXPECT_EQ(settings.formatVersion, 0);
}

TEST(SettingsWriter, WritesTheExampleJobByteForByte) {
  const std::string bytes = SettingsStream::write(exampleJob());
  EXPECT_EQ(bytes.size(), 88u);
  EXPECT_EQ(hex(bytes), hex(exampleJobBytes()));

  const TSettings back = readBack(bytes);
  expectSameJob(back, exampleJob());
  EXPECT_EQ(back.formatVersion, 2);
  EXPECT_EQ(back.name, "");
}

// The preview rows sit at offset 40 of a job with the example's data source
// and an empty query.
TEST(SettingsWriter, WritesEachIntegerWithTheSmallestTag) {
  struct Case {
    std::int32_t value;
    const char* bytes;
  };
  const Case cases[] = {
      {0, "02 00"},
      {100, "02 64"},
      {127, "02 7F"},
      {-1, "02 FF"},
      {-128, "02 80"},
      {128, "03 80 00"},
      {-129, "03 7F FF"},
      {1000, "03 E8 03"},
      {32767, "03 FF 7F"},
      {-32768, "03 00 80"},
      {32768, "04 00 80 00 00"},
      {-32769, "04 FF 7F FF FF"},
      {INT32_MAX, "04 FF FF FF 7F"},
      {INT32_MIN, "04 00 00 00 80"},
  };
  for (const Case& c : cases) {
    TSettings job = exampleJob();
    job.previewRows = c.value;
    const std::string bytes = SettingsStream::write(job);
    const std::string expected = c.bytes;
    EXPECT_EQ(hex(bytes.substr(40, (expected.size() + 1) / 3)), expected) << c.value;
    EXPECT_EQ(readBack(bytes).previewRows, c.value);
  }
}

TEST(SettingsWriter, Writes255BytesAsShortString256AsLongString) {
  TSettings job = exampleJob();
  job.query = std::string(255, 'q');
  std::string bytes = SettingsStream::write(job);
  EXPECT_EQ(hex(bytes.substr(38, 2)), "06 FF");
  EXPECT_EQ(readBack(bytes).query, job.query);

  job.query = std::string(256, 'q');
  bytes = SettingsStream::write(job);
  EXPECT_EQ(hex(bytes.substr(38, 5)), "0C 00 01 00 00");
  EXPECT_EQ(bytes.substr(43, 256), job.query);
  EXPECT_EQ(readBack(bytes).query, job.query);
}

TEST(SettingsWriter, WritesAnEmptyColumnListAsStartAndEnd) {
  TSettings job = exampleJob();
  job.columnNames.clear();
  job.columnFilters.clear();
  const std::string bytes = SettingsStream::write(job);
  EXPECT_EQ(hex(bytes.substr(43, 2)), "01 00");

  TSettings back;
  back.columnNames = {"old"};
  back.columnFilters = {"old.fll"};
  std::istringstream in(bytes);
  SettingsStream::read(in, back);
  EXPECT_TRUE(back.columnNames.empty());
  EXPECT_TRUE(back.columnFilters.empty());
}

TEST(SettingsWriter, RoundTripsEveryField) {
  TSettings job;
  job.dataSource = "Provider=SQLite;Data Source=/tmp/sales.db";
  job.query = "select name, city\r\nfrom customer\r\nwhere city <> ''";
  job.tableName = "";
  job.useTable = false;
  job.previewRows = 70000;
  // Duplicates and empty strings are kept, in order.
  job.columnNames = {"name", "name", "", "Größe"};
  job.columnFilters = {"/f/upper.fll", "/f/lower.fll", "", ""};
  expectSameJob(readBack(SettingsStream::write(job)), job);

  job.useTable = true;
  job.tableName = "customer";
  job.columnNames.clear();
  job.columnFilters.clear();
  expectSameJob(readBack(SettingsStream::write(job)), job);
}

TEST(SettingsWriter, WritesDefaultValuesToo) {
  const std::string bytes = SettingsStream::write(TSettings());
  EXPECT_EQ(hex(bytes.substr(25)), "02 02 06 00 06 00 02 00 01 00 06 00 08 00 00");
}

}  // namespace
}  // namespace rowsmith
