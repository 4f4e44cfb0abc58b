#include "engine/db/ConnectionFactory.h"

#include <strings.h>

#include "common/Error.h"
#include "engine/db/DataLinkFile.h"
#include "engine/db/api/ConnectionString.h"
#include "engine/db/odbc/OdbcConnection.h"
#include "engine/db/postgres/PostgresConnection.h"
#include "engine/db/sqlite/SqliteConnection.h"

namespace rowsmith::db {

namespace {

const char* const kKnownProviders =
    "use Provider=SQLite, Provider=PostgreSQL or Provider=MSDASQL (ODBC), or FILE NAME= a data "
    "link file";

bool equalsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

// The string without its "Provider=" pair, everything else left exactly as
// typed (ODBC values may be braced, "{...}", and hold ";").
std::string withoutProvider(const std::string& text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t i = start;
    char quote = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (quote != 0) {
        if (c == quote) quote = 0;
      } else if (c == '{') {
        quote = '}';
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == ';') {
        break;
      }
    }
    const std::string part = text.substr(start, i - start);
    const auto eq = part.find('=');
    const bool isProvider =
        eq != std::string::npos && equalsNoCase(trim(part.substr(0, eq)), "Provider");
    if (!isProvider && !trim(part).empty()) out += (out.empty() ? "" : ";") + part;
    start = i + 1;
  }
  return out;
}

std::unique_ptr<Connection> connectTo(const std::string& text, const std::string& fromFile) {
  const ConnectionString connectionString(text);
  if (auto file = connectionString.get("File Name")) {
    if (!fromFile.empty())
      throw Error("Data link file \"" + fromFile + "\" names another data link file (\"" + *file +
                  "\")");
    return connectTo(DataLinkFile::read(*file), *file);
  }
  const auto provider = connectionString.get("Provider");
  if (!provider) {
    if (connectionString.has("DSN") || connectionString.has("Driver") ||
        connectionString.has("FILEDSN"))
      return openOdbcConnection(text);
    if (trim(text).empty())
      throw Error(std::string("No connection string given; ") + kKnownProviders);
    throw Error(std::string("The connection string names no provider; ") + kKnownProviders);
  }
  if (equalsNoCase(*provider, "SQLite")) return openSqliteConnection(connectionString);
  if (equalsNoCase(*provider, "PostgreSQL")) return openPostgresConnection(connectionString);
  if (equalsNoCase(*provider, "MSDASQL") || strncasecmp(provider->c_str(), "MSDASQL.", 8) == 0)
    return openOdbcConnection(withoutProvider(text));
  throw Error("Unknown provider \"" + *provider + "\"; " + kKnownProviders);
}

}  // namespace

std::unique_ptr<Connection> connect(const std::string& connectionString) {
  return connectTo(connectionString, {});
}

}  // namespace rowsmith::db
