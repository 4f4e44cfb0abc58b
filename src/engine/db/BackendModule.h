#pragma once

#include <string>

#include "engine/db/api/BackendEntry.h"

namespace rowsmith::db {

// Loads the backend modules on first use: rowsmith-backend-postgres.so and
// rowsmith-backend-mariadb.so, looked for beside the program, in lib/rowsmith
// beside the program's bin folder, and in the folder this build installs to.
// A module, once loaded, stays for the life of the process: its connections
// and record sets may outlive any caller.
//
// Threading: safe from any thread; the first call loads, the others wait.
class BackendModule {
 public:
  // Raise rowsmith::Error naming the file and what went wrong when the module
  // cannot be loaded.
  static const BackendEntry& postgres();
  static const BackendEntry& mariadb();

  // Loads the module file `fileName` of the backend named `backend` (as
  // messages name it), raising rowsmith::Error when it cannot be loaded.
  // Each call loads afresh; postgres() and mariadb() keep what they load.
  static const BackendEntry& load(const std::string& backend, const std::string& fileName);

  // Where modules are looked for, in order.
  static std::string besideProgram();
  static std::string installedFolder();
};

}  // namespace rowsmith::db
