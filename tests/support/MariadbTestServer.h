#pragma once

#include <fstream>
#include <map>
#include <string>

#include "common/Error.h"

namespace rowsmith::test {

// What scripts/start-mariadb wrote for the throwaway MariaDB server that
// the CTest fixture "mariadb" runs, in ROWSMITH_MARIADB_DIR.
//
// Threading: plain functions reading files; any thread.

[[noreturn]] inline void noMariadbServer(const std::string& path) {
  throw Error("No MariaDB test server: " + path +
              " is missing (run the tests through ctest, or scripts/start-mariadb " +
              ROWSMITH_MARIADB_DIR + ")");
}

// MARIADB_SOCKET and MARIADB_PORT.
inline std::map<std::string, std::string> mariadbServerEnv() {
  const std::string path = std::string(ROWSMITH_MARIADB_DIR) + "/env";
  std::ifstream in(path);
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);)
    if (const auto equals = line.find('='); equals != std::string::npos)
      values[line.substr(0, equals)] = line.substr(equals + 1);
  if (values["MARIADB_PORT"].empty()) noMariadbServer(path);
  return values;
}

// The server through its ODBC driver: "Driver={MariaDB Unicode};Server=...".
inline std::string mariadbOdbcConnectionString() {
  const std::string path = std::string(ROWSMITH_MARIADB_DIR) + "/odbc-connection-string";
  std::ifstream in(path);
  std::string text;
  if (!std::getline(in, text) || text.empty()) noMariadbServer(path);
  return text;
}

// The server natively, by its port.
inline std::string mariadbNativeConnectionString() {
  return "Provider=MariaDB;Server=127.0.0.1;Port=" + mariadbServerEnv()["MARIADB_PORT"] +
         ";Database=rowsmith;User ID=root;Password=";
}

}  // namespace rowsmith::test
