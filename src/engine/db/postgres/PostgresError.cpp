#include "engine/db/postgres/PostgresError.h"

#include "common/Error.h"

namespace rowsmith::db {

namespace {

std::string trimmed(const char* text) {
  std::string out = text ? text : "";
  while (!out.empty() && (out.back() == '\n' || out.back() == ' ' || out.back() == '\r'))
    out.pop_back();
  return out;
}

}  // namespace

std::string postgresMessage(const PGconn* connection, const PGresult* result) {
  if (result) {
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    if (primary && *primary) {
      std::string message = primary;
      const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL);
      if (detail && *detail) message += " (" + trimmed(detail) + ")";
      return message;
    }
    std::string message = trimmed(PQresultErrorMessage(result));
    if (!message.empty()) return message;
  }
  std::string message = trimmed(connection ? PQerrorMessage(connection) : nullptr);
  return message.empty() ? "unknown PostgreSQL error" : message;
}

void throwPostgresError(const std::string& context, const PGconn* connection,
                        const PGresult* result) {
  throw Error(context + ": " + postgresMessage(connection, result));
}

PgResultPtr execPostgres(PGconn* connection, const std::string& sql, const std::string& context) {
  PgResultPtr result(PQexec(connection, sql.c_str()));
  const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
    throwPostgresError(context, connection, result.get());
  return result;
}

}  // namespace rowsmith::db
