#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/Error.h"
#include "engine/db/BackendModule.h"
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

// PostgreSQL and MariaDB come from modules loaded when first named; a
// module that is missing or foreign is named, with what puts it back.
TEST_F(ConnectionFactoryTest, BackendModulesLoadOnceNamedAndAMissingOneSaysWhatToDo) {
  EXPECT_EQ(&BackendModule::postgres(), &BackendModule::postgres());
  EXPECT_EQ(BackendModule::postgres().keywordOf("User ID"), "user");
  EXPECT_NE(BackendModule::mariadb().connect, nullptr);

  const auto missing = errorOf([] { BackendModule::load("Nothing", "rowsmith-backend-none.so"); });
  EXPECT_THAT(missing,
              AllOf(HasSubstr("Cannot use Nothing: its backend module could not be loaded"),
                    HasSubstr("rowsmith-backend-none.so"),
                    HasSubstr("reinstalling Rowsmith puts it back")));
  // A shared library of another kind under a module's name is not taken for one.
  void* sqlite = dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(sqlite, nullptr);
  link_map* loaded = nullptr;
  ASSERT_EQ(dlinfo(sqlite, RTLD_DI_LINKMAP, &loaded), 0);
  const std::string foreign = BackendModule::besideProgram() + "rowsmith-backend-foreign.so";
  fs::copy_file(loaded->l_name, foreign, fs::copy_options::overwrite_existing);
  dlclose(sqlite);
  const auto wrong = errorOf([] { BackendModule::load("Foreign", "rowsmith-backend-foreign.so"); });
  fs::remove(foreign);
  EXPECT_THAT(wrong, AllOf(HasSubstr("Cannot use Foreign"),
                           HasSubstr("is not a backend module of this build")));
}

}  // namespace
}  // namespace rowsmith::db
