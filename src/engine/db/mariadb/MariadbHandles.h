#pragma once

#include <mysql.h>

#include <memory>

namespace rowsmith::db {

// Owning handles for libmariadb's connection, result and prepared statement
// objects.
//
// Threading: a handle is used by one thread at a time, like what it owns.
struct MysqlCloser {
  void operator()(MYSQL* connection) const noexcept { mysql_close(connection); }
};
struct MysqlResultFreer {
  void operator()(MYSQL_RES* result) const noexcept { mysql_free_result(result); }
};
struct MysqlStatementCloser {
  void operator()(MYSQL_STMT* statement) const noexcept { mysql_stmt_close(statement); }
};

using MysqlPtr = std::unique_ptr<MYSQL, MysqlCloser>;
using MysqlResultPtr = std::unique_ptr<MYSQL_RES, MysqlResultFreer>;
using MysqlStatementPtr = std::unique_ptr<MYSQL_STMT, MysqlStatementCloser>;

}  // namespace rowsmith::db
