#include "engine/db/mariadb/MariadbConnectionInfo.h"

#include <cctype>
#include <charconv>
#include <optional>

#include "common/Error.h"
#include "engine/db/mariadb/MariadbError.h"

namespace rowsmith::db {

namespace {

// Whole or decimal seconds ("10", "0.5") rounded up to whole seconds; empty
// when the text is no such number or more than a year.
std::optional<long long> wholeSeconds(const std::string& text) {
  long long whole = 0;
  bool fraction = false;
  std::size_t i = 0, digits = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > 31536000) return std::nullopt;
  }
  if (i < text.size() && text[i] == '.')
    for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
      fraction = fraction || text[i] != '0';
  if (digits == 0 || i != text.size()) return std::nullopt;
  return whole + (fraction ? 1 : 0);
}

}  // namespace

MariadbConnectionInfo::MariadbConnectionInfo(const ConnectionString& connectionString) {
  m_provider = connectionString.get({"Provider"}, "MariaDB");
  m_host = connectionString.get({"Server", "Host", "Data Source", "Hostname"});
  m_socket = connectionString.get({"Socket"});
  m_database = connectionString.get({"Database", "Initial Catalog", "DB"});
  m_user = connectionString.get({"User ID", "UID", "User", "Username", "User Name"});
  m_password = connectionString.get({"Password", "PWD"});
  const std::string port = connectionString.get({"Port"});
  if (!port.empty()) {
    unsigned int value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
      throw Error("Cannot connect to " + m_provider + ": Port \"" + port +
                  "\" is not a port number (1 to 65535)");
    m_port = value;
  }
  if (const auto text = connectionString.get(kLockTimeoutKey); text && !text->empty()) {
    const auto seconds = wholeSeconds(*text);
    if (!seconds)
      throw Error("Cannot connect to " + m_provider + ": Lock Timeout \"" + *text +
                  "\" is not a number of seconds (0 waits without limit)");
    m_lockTimeoutSeconds = *seconds;
  }
}

std::string MariadbConnectionInfo::describe() const {
  auto orDefault = [](const std::string& value) {
    return value.empty() ? std::string("(default)") : value;
  };
  std::string where = m_socket.empty() ? "host " + orDefault(m_host) + ", port " +
                                             (m_port ? std::to_string(m_port) : "(default)")
                                       : "socket " + m_socket;
  return m_provider + ", " + where + ", database " + orDefault(m_database) + ", user " +
         orDefault(m_user);
}

MysqlPtr MariadbConnectionInfo::open() const {
  MysqlPtr connection(mysql_init(nullptr));
  if (!connection) throw Error("Cannot connect to " + m_provider + ": out of memory");
  const unsigned int timeout = kConnectTimeout;
  const my_bool no = 0;
  mysql_optionsv(connection.get(), MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
  mysql_optionsv(connection.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
  mysql_optionsv(connection.get(), MYSQL_OPT_LOCAL_INFILE, &no);
  mysql_optionsv(connection.get(), MYSQL_OPT_RECONNECT, &no);
  if (!m_socket.empty()) {
    const unsigned int protocol = MYSQL_PROTOCOL_SOCKET;
    mysql_optionsv(connection.get(), MYSQL_OPT_PROTOCOL, &protocol);
  }
  const char* host = m_socket.empty() ? (m_host.empty() ? nullptr : m_host.c_str()) : "localhost";
  if (!mysql_real_connect(connection.get(), host, m_user.empty() ? nullptr : m_user.c_str(),
                          m_password.c_str(), m_database.empty() ? nullptr : m_database.c_str(),
                          m_port, m_socket.empty() ? nullptr : m_socket.c_str(), CLIENT_FOUND_ROWS))
    throw Error("Cannot connect to " + describe() + ": " + mariadbMessage(connection.get()));
  // A lock held by another session (a row, or the table's definition) is
  // waited for only so long. Values are stored as given or refused, never
  // cut short. A reading connection that waits on its caller between rows
  // must not be dropped by the server.
  const long long lockWait = m_lockTimeoutSeconds == 0 ? 31536000 : m_lockTimeoutSeconds;
  execMariadb(connection.get(),
              "SET SESSION innodb_lock_wait_timeout = " + std::to_string(lockWait) +
                  ", SESSION lock_wait_timeout = " + std::to_string(lockWait) +
                  ", SESSION sql_mode = CONCAT_WS(',', NULLIF(@@SESSION.sql_mode, ''), "
                  "'STRICT_ALL_TABLES'), SESSION net_write_timeout = 31536000",
              "Cannot set up the session on " + describe());
  execMariadb(connection.get(), "SET SESSION TRANSACTION ISOLATION LEVEL REPEATABLE READ",
              "Cannot set up the session on " + describe());
  return connection;
}

}  // namespace rowsmith::db
