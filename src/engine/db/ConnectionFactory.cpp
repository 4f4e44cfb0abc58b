#include "engine/db/ConnectionFactory.h"

#include <strings.h>

#include "common/Error.h"
#include "engine/db/BackendModule.h"
#include "engine/db/DataLinkFile.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/odbc/OdbcConnection.h"
#include "engine/db/sqlite/SqliteConnection.h"

namespace rowsmith::db {

namespace {

const char* const kKnownProviders =
    "use Provider=SQLite, Provider=PostgreSQL, Provider=MySQL (or MariaDB) or Provider=MSDASQL "
    "(ODBC), or FILE NAME= a data link file";

bool equalsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

std::unique_ptr<Connection> connectTo(const std::string& text, const std::string& fromFile) {
  const ConnectionString connectionString(text);
  switch (backendOf(connectionString)) {
    case Backend::DataLinkFile: {
      const std::string file = *connectionString.get("File Name");
      if (!fromFile.empty())
        throw Error("Data link file \"" + fromFile + "\" names another data link file (\"" + file +
                    "\")");
      return connectTo(DataLinkFile::read(file), file);
    }
    case Backend::SQLite:
      return openSqliteConnection(connectionString);
    case Backend::PostgreSQL:
      return BackendModule::postgres().connect(connectionString);
    case Backend::MariaDB:
      return BackendModule::mariadb().connect(connectionString);
    case Backend::Odbc:
      // The ODBC backend leaves "Provider=" out of what the driver sees.
      return openOdbcConnection(text);
    case Backend::NoProvider:
      if (trim(text).empty())
        throw Error(std::string("No connection string given; ") + kKnownProviders);
      throw Error(std::string("The connection string names no provider; ") + kKnownProviders);
    case Backend::UnknownProvider:
      break;
  }
  throw Error("Unknown provider \"" + *connectionString.get("Provider") + "\"; " + kKnownProviders);
}

}  // namespace

Backend backendOf(const ConnectionString& connectionString) {
  if (connectionString.has("File Name")) return Backend::DataLinkFile;
  const auto provider = connectionString.get("Provider");
  if (!provider) {
    if (connectionString.has("DSN") || connectionString.has("Driver") ||
        connectionString.has("FILEDSN"))
      return Backend::Odbc;
    return Backend::NoProvider;
  }
  if (equalsNoCase(*provider, "SQLite")) return Backend::SQLite;
  if (equalsNoCase(*provider, "PostgreSQL")) return Backend::PostgreSQL;
  if (equalsNoCase(*provider, "MySQL") || equalsNoCase(*provider, "MariaDB"))
    return Backend::MariaDB;
  if (equalsNoCase(*provider, "MSDASQL") || strncasecmp(provider->c_str(), "MSDASQL.", 8) == 0)
    return Backend::Odbc;
  return Backend::UnknownProvider;
}

std::unique_ptr<Connection> connect(const std::string& connectionString) {
  return connectTo(connectionString, {});
}

}  // namespace rowsmith::db
