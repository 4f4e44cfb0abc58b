#include "engine/db/postgres/PostgresConnectionInfo.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <set>

#include "common/Error.h"
#include "engine/db/postgres/PostgresError.h"

namespace rowsmith::db {

namespace {

struct Synonym {
  const char* name;
  const char* keyword;
};

// ADO-style names and the libpq keyword each stands for.
constexpr Synonym kSynonyms[] = {
    {"server", "host"},
    {"data source", "host"},
    {"hostname", "host"},
    {"database", "dbname"},
    {"initial catalog", "dbname"},
    {"db", "dbname"},
    {"user id", "user"},
    {"uid", "user"},
    {"username", "user"},
    {"user name", "user"},
    {"pwd", "password"},
};

// libpq's keywords, from the library itself.
const std::set<std::string>& libpqKeywords() {
  static const std::set<std::string> keywords = [] {
    std::set<std::string> out;
    PQconninfoOption* options = PQconndefaults();
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
      out.insert(option->keyword);
    PQconninfoFree(options);
    return out;
  }();
  return keywords;
}

std::string lowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string orDefault(const char* value) {
  return value && *value ? std::string(value) : std::string("(default)");
}

// Whole or decimal seconds ("10", "0.5") as milliseconds; empty when the
// text is no such number or more than a day.
std::optional<long long> secondsAsMilliseconds(const std::string& text) {
  long long whole = 0, fraction = 0, scale = 1000;
  std::size_t i = 0, digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > 86400) return std::nullopt;
  }
  if (i < text.size() && text[i] == '.') {
    for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
      if (scale > 1) fraction += (text[i] - '0') * (scale /= 10);
  }
  if (digits == 0 || i != text.size()) return std::nullopt;
  return whole * 1000 + fraction;
}

}  // namespace

PostgresConnectionInfo::PostgresConnectionInfo(const ConnectionString& connectionString) {
  auto set = [this](const std::string& keyword, const std::string& value) {
    for (auto& [k, v] : m_parameters)
      if (k == keyword) return;  // the first pair wins, as in ConnectionString::get
    m_parameters.emplace_back(keyword, value);
  };
  for (const auto& [key, value] : connectionString.pairs()) {
    const std::string keyword = keywordOf(key);
    if (!keyword.empty()) set(keyword, value);
  }
  if (const auto text = connectionString.get(kLockTimeoutKey); text && !text->empty()) {
    const auto milliseconds = secondsAsMilliseconds(*text);
    if (!milliseconds)
      throw Error("Cannot connect to PostgreSQL: Lock Timeout \"" + *text +
                  "\" is not a number of seconds (0 waits without limit)");
    m_lockTimeoutMs = *milliseconds;
  }
  set("connect_timeout", kDefaultConnectTimeout);
  set("application_name", "Rowsmith");
  // Rowsmith's text is UTF-8 throughout; a client_encoding pair is overruled.
  m_parameters.erase(std::remove_if(m_parameters.begin(), m_parameters.end(),
                                    [](const auto& p) { return p.first == "client_encoding"; }),
                     m_parameters.end());
  m_parameters.emplace_back("client_encoding", "UTF8");
}

std::string PostgresConnectionInfo::keywordOf(const std::string& name) {
  std::string keyword = lowerCase(name);
  for (const Synonym& synonym : kSynonyms)
    if (keyword == synonym.name) keyword = synonym.keyword;
  // The URI form of dbname would let a value bring in further parameters.
  if (!libpqKeywords().count(keyword) || keyword == "service") return {};
  return keyword;
}

PgConnectionPtr PostgresConnectionInfo::open() const {
  std::vector<const char*> keywords, values;
  for (const auto& [keyword, value] : m_parameters) {
    keywords.push_back(keyword.c_str());
    values.push_back(value.c_str());
  }
  keywords.push_back(nullptr);
  values.push_back(nullptr);
  PgConnectionPtr connection(PQconnectdbParams(keywords.data(), values.data(), 0));
  if (!connection) throw Error("Cannot connect to PostgreSQL: out of memory");
  if (PQstatus(connection.get()) != CONNECTION_OK)
    throw Error("Cannot connect to " + describe(connection.get()) + ": " +
                postgresMessage(connection.get(), nullptr));
  // Notices ("table ... does not exist, skipping") are not errors; libpq
  // would print them on stderr.
  PQsetNoticeProcessor(
      connection.get(), [](void*, const char*) {}, nullptr);
  // Value texts the record set relies on: ISO dates, hexadecimal bytea and
  // floating-point text that reads back to the same number. A lock held by
  // another session is waited for only so long.
  execPostgres(connection.get(),
               "SET DateStyle = 'ISO, YMD'; SET bytea_output = 'hex'; "
               "SET extra_float_digits = 3; SET lock_timeout = " +
                   std::to_string(m_lockTimeoutMs),
               "Cannot set up the session on " + describe(connection.get()));
  return connection;
}

std::string PostgresConnectionInfo::describe(const PGconn* connection) {
  const char* host = PQhost(connection);
  const bool socket = host && host[0] == '/';
  return std::string("PostgreSQL, ") + (socket ? "socket folder " : "host ") + orDefault(host) +
         ", port " + orDefault(PQport(connection)) + ", database " + orDefault(PQdb(connection)) +
         ", user " + orDefault(PQuser(connection));
}

}  // namespace rowsmith::db
