#pragma once

#include <memory>
#include <string>

#include "engine/db/api/Connection.h"
#include "engine/db/api/ConnectionString.h"

namespace rowsmith::db {

// What a connection string asks for, by the rules connect() follows: a
// data link file ("File Name"), a backend named by "Provider" (MSDASQL for
// ODBC), ODBC when there is no provider but a DSN, Driver or FILEDSN,
// otherwise nothing known.
enum class Backend { DataLinkFile, SQLite, PostgreSQL, MariaDB, Odbc, NoProvider, UnknownProvider };
Backend backendOf(const ConnectionString& connectionString);

// Opens a connection from a connection string as the user typed it:
// "Provider=SQLite;Data Source=PATH", "Provider=PostgreSQL;Host=...",
// "Provider=MySQL;Server=..." (or "Provider=MariaDB;..."), ODBC
// strings ("Provider=MSDASQL;...", or DSN=/Driver= without a provider), and
// "FILE NAME=PATH" data link files. Raises rowsmith::Error saying what was
// tried (provider and host or file, never the password).
std::unique_ptr<Connection> connect(const std::string& connectionString);

}  // namespace rowsmith::db
