#include "engine/db/mariadb/MariadbError.h"

#include <errmsg.h>

#include "common/Error.h"

namespace rowsmith::db {

namespace {

std::string withNumber(const char* text, unsigned int number) {
  std::string message = text && *text ? text : "unknown error";
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return number ? message + " (error " + std::to_string(number) + ")" : message;
}

}  // namespace

std::string mariadbMessage(MYSQL* connection) {
  return withNumber(mysql_error(connection), mysql_errno(connection));
}

std::string mariadbMessage(MYSQL_STMT* statement) {
  return withNumber(mysql_stmt_error(statement), mysql_stmt_errno(statement));
}

void throwMariadbError(const std::string& context, MYSQL* connection) {
  throw Error(context + ": " + mariadbMessage(connection));
}

void execMariadb(MYSQL* connection, const std::string& sql, const std::string& context) {
  if (mysql_real_query(connection, sql.data(), sql.size()) != 0)
    throwMariadbError(context, connection);
  // Whatever the statement returns is read and dropped, so that the
  // connection is free for the next one.
  do {
    MysqlResultPtr result(mysql_store_result(connection));
    if (!result && mysql_field_count(connection) != 0) throwMariadbError(context, connection);
  } while (mysql_next_result(connection) == 0);
  if (mysql_errno(connection) != 0) throwMariadbError(context, connection);
}

MysqlResultPtr queryMariadb(MYSQL* connection, const std::string& sql, const std::string& context) {
  if (mysql_real_query(connection, sql.data(), sql.size()) != 0)
    throwMariadbError(context, connection);
  MysqlResultPtr result(mysql_store_result(connection));
  if (!result) throwMariadbError(context, connection);
  return result;
}

std::string mariadbLiteral(MYSQL* connection, const std::string& text) {
  std::string out(text.size() * 2 + 1, '\0');
  const unsigned long length =
      mysql_real_escape_string(connection, out.data(), text.data(), text.size());
  out.resize(length);
  return "'" + out + "'";
}

bool mariadbConnectionLost(unsigned int error) {
  return error == CR_SERVER_GONE_ERROR || error == CR_SERVER_LOST || error == CR_CONNECTION_ERROR ||
         error == CR_CONN_HOST_ERROR;
}

}  // namespace rowsmith::db
