#pragma once

#include <string>
#include <vector>

namespace rowsmith::db::odbc {

// What unixODBC knows on this computer: the data source names of odbc.ini
// (the user's and the system's) and the drivers of odbcinst.ini, each list
// sorted and without repeats, as the connection builder offers them.
//
// Threading: stateless; callable from any thread (each call uses an
// environment handle of its own).
class OdbcInstallation {
 public:
  // Raise rowsmith::Error when the driver manager cannot be asked.
  static std::vector<std::string> dataSourceNames();
  static std::vector<std::string> driverNames();
};

}  // namespace rowsmith::db::odbc
