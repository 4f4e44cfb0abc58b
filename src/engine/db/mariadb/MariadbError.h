#pragma once

#include <string>

#include "engine/db/mariadb/MariadbHandles.h"

namespace rowsmith::db {

// The server's or the client library's own words for the last failure on
// `connection`, with the error number ("... (error 1205)").
std::string mariadbMessage(MYSQL* connection);
std::string mariadbMessage(MYSQL_STMT* statement);

// Raises rowsmith::Error "<context>: <mariadbMessage>".
[[noreturn]] void throwMariadbError(const std::string& context, MYSQL* connection);

// Runs a statement and discards what it returns; raises throwMariadbError
// with `context` when it fails.
void execMariadb(MYSQL* connection, const std::string& sql, const std::string& context);

// Runs a statement that returns rows and returns them all, read into
// memory (catalog queries); raises throwMariadbError with `context`.
MysqlResultPtr queryMariadb(MYSQL* connection, const std::string& sql, const std::string& context);

// `text` as a string literal for `connection` (quoted, escaped).
std::string mariadbLiteral(MYSQL* connection, const std::string& text);

// Whether the last error means the connection itself is gone.
bool mariadbConnectionLost(unsigned int error);

// Threading: these functions use only their arguments; the connection must
// belong to the calling thread.

}  // namespace rowsmith::db
