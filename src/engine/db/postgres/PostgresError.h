#pragma once

#include <string>

#include "engine/db/postgres/PostgresHandles.h"

namespace rowsmith::db {

// The server's or libpq's own words for the last failure: the primary
// message, followed by the detail when there is one. `result` may be null.
std::string postgresMessage(const PGconn* connection, const PGresult* result);

// Raises rowsmith::Error "<context>: <postgresMessage>".
[[noreturn]] void throwPostgresError(const std::string& context, const PGconn* connection,
                                     const PGresult* result);

// Runs a statement without parameters and returns its result; raises
// throwPostgresError with `context` unless it succeeded (rows or a command).
PgResultPtr execPostgres(PGconn* connection, const std::string& sql, const std::string& context);

// Threading: these functions use only their arguments; the connection must
// belong to the calling thread.

}  // namespace rowsmith::db
