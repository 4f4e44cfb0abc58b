#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/Error.h"
#include "engine/db/DataLinkFile.h"
#include "engine/db/DataLinksFolder.h"

namespace rowsmith::db {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class DataLinkFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rowsmith-udl-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
  }
  void TearDown() override { fs::remove_all(m_folder); }

  std::string writeBytes(const std::string& name, const std::string& bytes) {
    const auto path = (m_folder / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  fs::path m_folder;
};

std::string utf16le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

const std::string kLayout =
    "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
    "Provider=SQLite;Data Source=/data/x.db\r\n";

struct EncodingCase {
  const char* name;
  std::string bytes;
};

TEST_F(DataLinkFileTest, ReadsTheConnectionStringInEveryEncoding) {
  const std::vector<EncodingCase> cases = {
      {"utf8", kLayout},
      {"utf8-bom", "\xEF\xBB\xBF" + kLayout},
      {"utf8-lf-only", "[oledb]\n; comment\nProvider=SQLite;Data Source=/data/x.db\n"},
      {"utf16le-bom", "\xFF\xFE" + utf16le(kLayout)},
      {"utf16be-bom",
       [] {
         std::string out = "\xFE\xFF";
         for (char c : kLayout) {
           out += '\0';
           out += c;
         }
         return out;
       }()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DataLinkFile::read(writeBytes(std::string(c.name) + ".udl", c.bytes)),
              "Provider=SQLite;Data Source=/data/x.db");
  }
}

TEST_F(DataLinkFileTest, WritesUtf16WithMarkAndReadsItBack) {
  const std::string connection = "Provider=SQLite;Data Source=/données/base 😀.db";
  const auto path = (m_folder / "out.udl").string();
  DataLinkFile::write(path, connection);

  const std::string bytes = bytesOf(path);
  const std::string start = "\xFF\xFE" + utf16le("[oledb]\r\n");
  EXPECT_EQ(bytes.substr(0, start.size()), start);
  EXPECT_EQ(DataLinkFile::read(path), connection);
}

// The string may hold a password, and a string that could not be read back
// is refused before the old file is touched.
TEST_F(DataLinkFileTest, WritesPrivatelyAndRefusesStringsThatCannotBeReadBack) {
  const auto path = (m_folder / "shop.udl").string();
  DataLinkFile::write(path, "Provider=PostgreSQL;Host=db;Password=s3cret");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);

  const struct {
    std::string text;
    const char* reason;
  } refused[] = {
      {"", "empty"},
      {"  ", "empty"},
      {"Provider=SQLite;Data Source=a\nb", "line break"},
      {"FILE NAME=" + path, "cannot name another data link file"},
      {"Provider=SQLite;file name=/x.udl", "cannot name another data link file"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.text);
    try {
      DataLinkFile::write(path, c.text);
      ADD_FAILURE() << "written";
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(path));
      EXPECT_THAT(e.what(), HasSubstr(c.reason));
    }
  }
  EXPECT_EQ(DataLinkFile::read(path), "Provider=PostgreSQL;Host=db;Password=s3cret");
}

TEST_F(DataLinkFileTest, FailuresNameTheFile) {
  const auto missing = (m_folder / "missing.udl").string();
  EXPECT_THAT(
      [&] {
        try {
          DataLinkFile::read(missing);
        } catch (const Error& e) {
          return std::string(e.what());
        }
        return std::string();
      }(),
      HasSubstr(missing));

  for (const std::string& bytes :
       {std::string("[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"),
        std::string("\xFF\xFE[\0o", 5)}) {
    const auto path = writeBytes("bad.udl", bytes);
    try {
      DataLinkFile::read(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const Error& e) {
      EXPECT_THAT(e.what(), HasSubstr(path));
    }
  }
}

class DataLinksFolderTest : public DataLinkFileTest {
 protected:
  void SetUp() override {
    DataLinkFileTest::SetUp();
    for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : m_saved) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    DataLinkFileTest::TearDown();
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(DataLinksFolderTest, FolderFollowsXdgDataHomeThenHome) {
  setenv("HOME", "/home/someone", 1);
  setenv("XDG_DATA_HOME", "/srv/data", 1);
  EXPECT_EQ(DataLinksFolder::path(), "/srv/data/rowsmith/Data Links");
  setenv("XDG_DATA_HOME", "relative/data", 1);  // only absolute paths count
  EXPECT_EQ(DataLinksFolder::path(), "/home/someone/.local/share/rowsmith/Data Links");
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DataLinksFolder::path(), "/home/someone/.local/share/rowsmith/Data Links");
  unsetenv("HOME");
  EXPECT_EQ(DataLinksFolder::path(), "");
}

TEST_F(DataLinksFolderTest, ListsDataLinkFilesOnly) {
  setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
  const fs::path folder = DataLinksFolder::path();
  EXPECT_TRUE(DataLinksFolder::list().empty());  // not made yet

  fs::create_directories(folder / "folder.udl");
  for (const char* name : {"b.udl", "A.UDL", "notes.txt", "udl", "c.udl.bak"})
    std::ofstream(folder / name) << kLayout;
  EXPECT_EQ(DataLinksFolder::list(), (std::vector<std::string>{"A.UDL", "b.udl"}));
}

}  // namespace
}  // namespace rowsmith::db
