#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Error.h"
#include "engine/db/BackendSuite.h"
#include "engine/db/ConnectionFactory.h"
#include "engine/db/DataLinkFile.h"

namespace rowsmith::db {
namespace {

namespace fs = std::filesystem;
using rowsmith::db::testing::errorOf;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

class ConnectionFactoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "rowsmith-factory-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_folder = pattern;
    m_database = (m_folder / "base.sqlite").string();
    auto setUp = connect("Provider=SQLite;Mode=ReadWriteCreate;Data Source=" + m_database);
    setUp->execute("CREATE TABLE marker (a TEXT)");
  }
  void TearDown() override { fs::remove_all(m_folder); }

  fs::path m_folder;
  std::string m_database;
};

// Every way of naming the SQLite file reaches the same database.
TEST_F(ConnectionFactoryTest, SqliteStringsAndDataLinkFilesReachTheDatabase) {
  const auto udl = (m_folder / "base link.udl").string();
  DataLinkFile::write(udl, "Provider=SQLite;Data Source=\"" + m_database + "\"");
  for (const std::string& text : {"Provider=SQLite;Data Source=" + m_database,
                                  "provider=sqlite; data source = '" + m_database + "'",
                                  "FILE NAME=" + udl, "File Name=\"" + udl + "\""}) {
    SCOPED_TRACE(text);
    auto connection = connect(text);
    EXPECT_EQ(connection->tableNames(), std::vector<std::string>{"marker"});
    EXPECT_THAT(connection->describe(), HasSubstr(m_database));
  }
}

TEST_F(ConnectionFactoryTest, UnusableStringsSayWhatIsKnown) {
  const auto nested = (m_folder / "nested.udl").string();
  // Written by hand: Rowsmith itself refuses to write such a file.
  std::ofstream(nested) << "[oledb]\n; comment\nFILE NAME=" << nested << "\n";
  const struct {
    std::string text;
    std::string part;
  } cases[] = {
      {"Provider=Jet.4.0;Data Source=x.mdb", "Unknown provider \"Jet.4.0\""},
      {"Data Source=x.db", "names no provider"},
      {"", "No connection string given"},
      {"FILE NAME=" + (m_folder / "absent.udl").string(), "absent.udl"},
      {"FILE NAME=" + nested, "names another data link file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto message = errorOf([&] { connect(c.text); });
    EXPECT_THAT(message, HasSubstr(c.part));
    if (c.part.find("provider") != std::string::npos) {
      EXPECT_THAT(message, AllOf(HasSubstr("SQLite"), HasSubstr("PostgreSQL"), HasSubstr("MySQL"),
                                 HasSubstr("MSDASQL")));
    }
  }
}

// ODBC strings go to the driver manager as typed, minus a Provider pair.
TEST_F(ConnectionFactoryTest, OdbcStringsReachTheDriver) {
  for (const std::string& text : {"Driver=SQLite3;Database=" + m_database,
                                  "Provider=MSDASQL;Driver={SQLite3};Database=" + m_database,
                                  "DRIVER={SQLite3};Provider=MSDASQL.1;Database=" + m_database}) {
    SCOPED_TRACE(text);
    auto connection = connect(text);
    EXPECT_THAT(connection->tableNames(), ::testing::Contains("marker"));
  }
}

TEST_F(ConnectionFactoryTest, PostgresFailureNamesTheServerNotThePassword) {
  const auto message = errorOf([] {
    connect("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=none;User ID=me;Password=sekrit");
  });
  EXPECT_THAT(message, AllOf(HasSubstr("127.0.0.1"), Not(HasSubstr("sekrit"))));
}

}  // namespace
}  // namespace rowsmith::db
