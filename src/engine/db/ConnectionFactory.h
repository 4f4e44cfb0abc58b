#pragma once

#include <memory>
#include <string>

#include "engine/db/api/Connection.h"

namespace rowsmith::db {

// Opens a connection from a connection string as the user typed it:
// "Provider=SQLite;Data Source=PATH", "Provider=PostgreSQL;Host=...", ODBC
// strings ("Provider=MSDASQL;...", or DSN=/Driver= without a provider), and
// "FILE NAME=PATH" data link files. Raises rowsmith::Error saying what was
// tried (provider and host or file, never the password).
std::unique_ptr<Connection> connect(const std::string& connectionString);

}  // namespace rowsmith::db
