// The settings reader: what it accepts beyond what the writer produces, and
// how it fails.
#include <gtest/gtest.h>

#include <sstream>

#include "common/Error.h"
#include "document/Settings.h"
#include "document/SettingsStream.h"
#include "document/SettingsTestHelpers.h"

namespace rowsmith {
namespace {

using settings_test::StreamBytes;

// The property list of a job, after the header.
StreamBytes job() { return StreamBytes().header().name("TSettings").dataBlock(); }

void read(const std::string& bytes, TSettings& settings) {
  std::istringstream in(bytes);
  SettingsStream::read(in, settings);
}

std::string readError(const std::string& bytes, TSettings& settings) {
  try {
    read(bytes, settings);
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(SettingsReader, AcceptsWhatTheWriterNeverWrites) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string end = std::string(2, '\0');
  const Case cases[] = {
      {"flags byte", StreamBytes()
                         .raw("TPF0")
                         .byte(0xF0)
                         .name("TSettings")
                         .name("")
                         .name("TSettings")
                         .dataBlock()
                         .raw(end)
                         .str()},
      {"flags byte with an index", StreamBytes()
                                       .raw("TPF0")
                                       .byte(0xF2)
                                       .int32(7)
                                       .name("TSettings")
                                       .name("")
                                       .name("TSettings")
                                       .dataBlock()
                                       .raw(end)
                                       .str()},
      {"wider integer tags and long strings", StreamBytes()
                                                  .header()
                                                  .name("TSettings")
                                                  .int32(2)
                                                  .longString("DSN=Sales")
                                                  .longString("select 1")
                                                  .int16(50)
                                                  .byte(0x01)
                                                  .longString("A")
                                                  .shortString("/f/a.fll")
                                                  .byte(0x00)
                                                  .longString("T")
                                                  .byte(0x09)
                                                  .raw(end)
                                                  .str()},
      {"property name in another case",
       StreamBytes().header().name("tSETTINGS").dataBlock().raw(end).str()},
      {"bytes after the end", job().raw(end).raw("trailing garbage").str()},
      {"version above 2", StreamBytes()
                              .header()
                              .name("TSettings")
                              .int8(3)
                              .shortString("DSN=Sales")
                              .shortString("select 1")
                              .int8(50)
                              .byte(0x01)
                              .shortString("A")
                              .shortString("/f/a.fll")
                              .byte(0x00)
                              .shortString("T")
                              .byte(0x09)
                              .raw(end)
                              .str()},
  };
  for (const Case& c : cases) {
    TSettings settings;
    ASSERT_NO_THROW(read(c.bytes, settings)) << c.what;
    EXPECT_EQ(settings.dataSource, "DSN=Sales") << c.what;
    EXPECT_EQ(settings.query, "select 1") << c.what;
    EXPECT_EQ(settings.previewRows, 50) << c.what;
    EXPECT_EQ(settings.columnNames, std::vector<std::string>{"A"}) << c.what;
    EXPECT_EQ(settings.columnFilters, std::vector<std::string>{"/f/a.fll"}) << c.what;
    EXPECT_EQ(settings.tableName, "T") << c.what;
    EXPECT_TRUE(settings.useTable) << c.what;
  }
}

TEST(SettingsReader, VersionOneKeepsTableNameAndMode) {
  TSettings settings;
  settings.tableName = "before";
  settings.useTable = true;
  read(StreamBytes()
           .header()
           .name("TSettings")
           .int8(1)
           .shortString("DSN=x")
           .shortString("q")
           .int8(9)
           .byte(0x01)
           .byte(0x00)
           .byte(0x00)
           .byte(0x00)
           .str(),
       settings);
  EXPECT_EQ(settings.formatVersion, 1);
  EXPECT_EQ(settings.dataSource, "DSN=x");
  EXPECT_EQ(settings.tableName, "before");
  EXPECT_TRUE(settings.useTable);
}

TEST(SettingsReader, BooleanIsTrueOnlyForTag09) {
  for (int tag : {0x08, 0x00, 0x02, 0x06, 0x0C, 0xFF}) {
    TSettings settings;
    settings.useTable = true;
    // The Boolean is one tag byte with no payload.
    const std::string bytes = StreamBytes()
                                  .header()
                                  .name("TSettings")
                                  .int8(2)
                                  .shortString("")
                                  .shortString("")
                                  .int8(0)
                                  .byte(0x01)
                                  .byte(0x00)
                                  .shortString("T")
                                  .byte(tag)
                                  .byte(0x00)
                                  .byte(0x00)
                                  .str();
    read(bytes, settings);
    EXPECT_FALSE(settings.useTable) << tag;
  }
}

TEST(SettingsReader, ReadsNameAndTagProperties) {
  TSettings settings;
  read(StreamBytes()
           .header("Header")
           .name("tag")
           .int16(-300)
           .name("NAME")
           .shortString("Job1")
           .name("TSettings")
           .dataBlock()
           .byte(0x00)
           .byte(0x00)
           .str(),
       settings);
  EXPECT_EQ(settings.tag, -300);
  EXPECT_EQ(settings.name, "Job1");
  EXPECT_EQ(settings.dataSource, "DSN=Sales");
}

TEST(SettingsReader, FailsWithTheMessageOfEachFault) {
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const std::string end = std::string(2, '\0');
  const Case cases[] = {
      {"empty file", "", "Stream read error"},
      {"short signature", "TP", "Stream read error"},
      {"only the signature", "TPF0", "Stream read error"},
      {"other signature", "TPF1\x09TSettings", "Invalid stream format"},
      {"flags index not an integer", StreamBytes().raw("TPF0").byte(0xF2).shortString("x").str(),
       "Invalid property value"},
      {"type name cut short", StreamBytes().raw("TPF0").byte(9).raw("TSet").str(),
       "Stream read error"},
      {"no property list", StreamBytes().header().str(), "Stream read error"},
      {"property name cut short", StreamBytes().header().byte(9).raw("TSe").str(),
       "Stream read error"},
      {"unknown property", StreamBytes().header().name("Left").int8(5).raw(end).str(),
       "Error reading TSettings.Left: Property does not exist"},
      {"unknown property with a list value",
       StreamBytes()
           .header()
           .name("Items")
           .byte(0x01)
           .byte(0x01)
           .int8(1)
           .byte(0x00)
           .byte(0x00)
           .raw(end)
           .str(),
       "Error reading TSettings.Items: Property does not exist"},
      {"unknown property cut short", StreamBytes().header().name("Left").byte(0x03).str(),
       "Error reading TSettings.Left: Stream read error"},
      {"bad tag for the version", StreamBytes().header().name("TSettings").byte(0x05).str(),
       "Error reading TSettings.TSettings: Invalid property value"},
      {"bad tag for a string", StreamBytes().header().name("TSettings").int8(2).int8(1).str(),
       "Error reading TSettings.TSettings: Invalid property value"},
      {"no list start",
       StreamBytes()
           .header()
           .name("TSettings")
           .int8(2)
           .shortString("")
           .shortString("")
           .int8(0)
           .byte(0x00)
           .str(),
       "Error reading TSettings.TSettings: Invalid property value"},
      {"odd number of column strings",
       StreamBytes()
           .header()
           .name("TSettings")
           .int8(2)
           .shortString("")
           .shortString("")
           .int8(0)
           .byte(0x01)
           .shortString("A")
           .shortString("")
           .shortString("B")
           .byte(0x00)
           .shortString("")
           .byte(0x08)
           .raw(end)
           .str(),
       "Error reading TSettings.TSettings: Invalid property value"},
      {"string longer than the file",
       StreamBytes()
           .header()
           .name("TSettings")
           .int8(2)
           .raw("\x0C\xFF\xFF\xFF\xFF"
                "abc")
           .str(),
       "Error reading TSettings.TSettings: Stream read error"},
      {"block cut short", job().str().substr(0, 60),
       "Error reading TSettings.TSettings: Stream read error"},
      {"property name as it stands in the file",
       StreamBytes().header().name("tsettings").byte(0x07).str(),
       "Error reading TSettings.tsettings: Invalid property value"},
      {"object name from the header",
       StreamBytes().header("Obj").name("Top").int8(1).raw(end).str(),
       "Error reading Obj.Top: Property does not exist"},
      {"object name from a Name property",
       StreamBytes().header().name("Name").shortString("Job1").name("Top").int8(1).raw(end).str(),
       "Error reading Job1.Top: Property does not exist"},
      {"Tag with a string", StreamBytes().header().name("Tag").shortString("1").raw(end).str(),
       "Error reading TSettings.Tag: Invalid property value"},
      {"no end of contained objects", job().byte(0x00).str(), "Stream read error"},
      {"a contained object", job().byte(0x00).byte(0x09).str(), "Invalid property value"},
  };
  for (const Case& c : cases) {
    TSettings settings;
    EXPECT_EQ(readError(c.bytes, settings), c.message) << c.what;
  }
}

TEST(SettingsReader, FailureKeepsFieldsReadBeforeIt) {
  TSettings settings;
  settings.dataSource = "old source";
  settings.query = "old query";
  settings.previewRows = 7;
  settings.columnNames = {"old"};
  settings.columnFilters = {"old.fll"};
  settings.tableName = "old table";
  settings.useTable = true;
  // The preview rows carry a string tag.
  const std::string bytes = StreamBytes()
                                .header()
                                .name("TSettings")
                                .int8(2)
                                .shortString("new")
                                .shortString("new query")
                                .shortString("x")
                                .str();
  EXPECT_EQ(readError(bytes, settings),
            "Error reading TSettings.TSettings: Invalid property value");
  EXPECT_EQ(settings.formatVersion, 2);
  EXPECT_EQ(settings.dataSource, "new");
  EXPECT_EQ(settings.query, "new query");
  EXPECT_EQ(settings.previewRows, 7);
  EXPECT_EQ(settings.columnNames, std::vector<std::string>{"old"});
  EXPECT_EQ(settings.tableName, "old table");
  EXPECT_TRUE(settings.useTable);
}

// A column list cut off between a name and its filter must not leave the two
// parallel lists of different lengths.
TEST(SettingsReader, ColumnListsStayPairedWhenAFilterIsMissing) {
  TSettings settings;
  const std::string bytes = StreamBytes()
                                .header()
                                .name("TSettings")
                                .int8(2)
                                .shortString("")
                                .shortString("")
                                .int8(0)
                                .byte(0x01)
                                .shortString("A")
                                .shortString("a.fll")
                                .shortString("B")
                                .byte(0x00)
                                .str();
  EXPECT_EQ(readError(bytes, settings),
            "Error reading TSettings.TSettings: Invalid property value");
  EXPECT_EQ(settings.columnNames, std::vector<std::string>{"A"});
  EXPECT_EQ(settings.columnFilters, std::vector<std::string>{"a.fll"});
}

}  // namespace
}  // namespace rowsmith
