#include "engine/db/BackendModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "common/Error.h"
#include "common/ProgramDir.h"

namespace rowsmith::db {

namespace {

using EntryFunction = const BackendEntry* (*)();

}  // namespace

// Loads the first of the candidate files that exists. A file that exists
// but does not load is reported, not passed over for another.
const BackendEntry& BackendModule::load(const std::string& backend, const std::string& fileName) {
  std::string failure;
  const std::string program = besideProgram();
  // Beside the program (the build folder), then where an installation
  // under any prefix puts it, then where this build installs it.
  for (const std::string& folder :
       {program, program.empty() ? program : program + "../" ROWSMITH_MODULE_SUBDIR,
        installedFolder()}) {
    if (folder.empty()) continue;
    const std::string path = folder + fileName;
    if (::access(path.c_str(), F_OK) != 0) {
      if (failure.empty()) failure = "not found beside the program nor in " + installedFolder();
      continue;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* text = ::dlerror();
      failure = text ? text : path + " cannot be loaded";
      break;
    }
    auto entryFunction = reinterpret_cast<EntryFunction>(::dlsym(handle, "rowsmith_backend_entry"));
    const BackendEntry* entry = entryFunction ? entryFunction() : nullptr;
    if (!entry || entry->version != BackendEntry::kVersion || entry->size != sizeof(BackendEntry) ||
        !entry->connect) {
      // Left loaded: unloading code that may have run is not safe.
      failure = path + " is not a backend module of this build";
      break;
    }
    return *entry;
  }
  throw Error("Cannot use " + backend + ": its backend module could not be loaded (" + failure +
              "). " + fileName + " ships with Rowsmith beside the program or in " +
              installedFolder() + "; reinstalling Rowsmith puts it back");
}

std::string BackendModule::besideProgram() { return programDir(); }

std::string BackendModule::installedFolder() { return ROWSMITH_MODULE_DIR; }

const BackendEntry& BackendModule::postgres() {
  static const BackendEntry& entry = load("PostgreSQL", "rowsmith-backend-postgres.so");
  return entry;
}

const BackendEntry& BackendModule::mariadb() {
  static const BackendEntry& entry = load("MySQL/MariaDB", "rowsmith-backend-mariadb.so");
  return entry;
}

}  // namespace rowsmith::db
