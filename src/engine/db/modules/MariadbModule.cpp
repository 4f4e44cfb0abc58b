// The MariaDB/MySQL backend as a module: its one exported symbol.
#include "engine/db/api/BackendEntry.h"
#include "engine/db/mariadb/MariadbConnection.h"

extern "C" __attribute__((visibility("default"))) const rowsmith::db::BackendEntry*
rowsmith_backend_entry() {
  using namespace rowsmith::db;
  static const BackendEntry entry{BackendEntry::kVersion, sizeof(BackendEntry),
                                  &openMariadbConnection, nullptr};
  return &entry;
}
