// The PostgreSQL backend as a module: its one exported symbol.
#include "engine/db/api/BackendEntry.h"
#include "engine/db/postgres/PostgresConnection.h"
#include "engine/db/postgres/PostgresConnectionInfo.h"

extern "C" __attribute__((visibility("default"))) const rowsmith::db::BackendEntry*
rowsmith_backend_entry() {
  using namespace rowsmith::db;
  static const BackendEntry entry{BackendEntry::kVersion, sizeof(BackendEntry),
                                  &openPostgresConnection, &PostgresConnectionInfo::keywordOf};
  return &entry;
}
