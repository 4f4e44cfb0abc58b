#include "engine/db/sqlite/SqliteFileIdentity.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace rowsmith::db {

SqliteFileIdentity SqliteFileIdentity::of(sqlite3* database) {
  SqliteFileIdentity identity;
  // The full path SQLite opened; empty for a database in memory.
  const char* path = sqlite3_db_filename(database, "main");
  struct stat status {};
  if (path == nullptr || *path == '\0' || ::stat(path, &status) != 0) return identity;
  identity.m_path = path;
  identity.m_device = status.st_dev;
  identity.m_inode = status.st_ino;
  return identity;
}

void SqliteFileIdentity::verifyStillInPlace() const {
  if (m_path.empty()) return;
  struct stat status {};
  const std::string file = "The database file \"" + m_path + "\"";
  if (::stat(m_path.c_str(), &status) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR)
      throw Error(file +
                  " was removed during the run: the rows written went to a file that no longer "
                  "exists");
    throw Error(file + " cannot be checked after the run: " + std::strerror(error) +
                "; the rows written may have gone to a file that is no longer there");
  }
  if (status.st_dev != m_device || status.st_ino != m_inode)
    throw Error(file +
                " was replaced by another file during the run: the rows written went to the file "
                "that was there before, not to the one there now");
}

}  // namespace rowsmith::db
