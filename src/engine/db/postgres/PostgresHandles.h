#pragma once

#include <libpq-fe.h>

#include <memory>

namespace rowsmith::db {

// Owning handles for libpq's connection and result objects.
//
// Threading: a handle is used by one thread at a time, like what it owns.
struct PgConnectionCloser {
  void operator()(PGconn* connection) const noexcept { PQfinish(connection); }
};
struct PgResultClearer {
  void operator()(PGresult* result) const noexcept { PQclear(result); }
};

using PgConnectionPtr = std::unique_ptr<PGconn, PgConnectionCloser>;
using PgResultPtr = std::unique_ptr<PGresult, PgResultClearer>;

}  // namespace rowsmith::db
