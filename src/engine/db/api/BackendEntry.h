#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "engine/db/api/Connection.h"
#include "engine/db/api/ConnectionString.h"

namespace rowsmith::db {

// What a backend module (rowsmith-backend-NAME.so) hands the program that
// loads it. Backends whose client libraries are slow to load (libpq brings
// in Kerberos, LDAP and TLS) live in modules, so a program pays for them
// only once a connection string names them. Module and program come from
// the same build; the version and size guard against a stray older file.
//
// Threading: the functions are safe from any thread, as the backends are.
struct BackendEntry {
  static constexpr int kVersion = 1;

  int version;
  std::size_t size;
  // Opens a connection, raising rowsmith::Error as the backend does.
  std::unique_ptr<Connection> (*connect)(const ConnectionString& connectionString);
  // The backend's own keyword for a connection string key ("User ID" ->
  // "user"); empty when the backend takes no such key. Null for backends
  // that read their keys by name as they stand.
  std::string (*keywordOf)(const std::string& key);
};

}  // namespace rowsmith::db

// Each module exports this one symbol.
extern "C" const rowsmith::db::BackendEntry* rowsmith_backend_entry();
