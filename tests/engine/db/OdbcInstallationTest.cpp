#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/db/odbc/OdbcInstallation.h"

namespace rowsmith::db::odbc {
namespace {

namespace fs = std::filesystem;

// The lists come from unixODBC itself: the drivers of odbcinst.ini and the
// data sources of the system's and the user's odbc.ini, sorted.
TEST(OdbcInstallation, ListsTheDriversAndDataSourcesUnixOdbcKnows) {
  const fs::path folder =
      fs::temp_directory_path() / ("rowsmith-odbcinst-" + std::to_string(getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "odbcinst.ini") << "[SQLite3]\nDriver = libsqlite3odbc.so\n\n"
                                         << "[PostgreSQL Unicode]\nDriver = psqlodbcw.so\n";
  std::ofstream(folder / "odbc.ini") << "[warehouse]\nDriver = SQLite3\nDatabase = /x.db\n";
  std::ofstream(folder / "user.ini") << "[shop]\nDriver = SQLite3\nDatabase = /y.db\n";
  setenv("ODBCSYSINI", folder.c_str(), 1);
  setenv("ODBCINI", (folder / "user.ini").c_str(), 1);

  EXPECT_EQ(OdbcInstallation::driverNames(),
            (std::vector<std::string>{"PostgreSQL Unicode", "SQLite3"}));
  EXPECT_EQ(OdbcInstallation::dataSourceNames(), (std::vector<std::string>{"shop", "warehouse"}));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace rowsmith::db::odbc
