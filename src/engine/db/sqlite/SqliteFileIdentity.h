#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <string>

namespace rowsmith::db {

// The file an SQLite connection opened, told apart from any other by its
// device and inode number. A file removed or replaced while a run writes to
// it takes the run's rows with it, though every commit succeeds: the end of
// a run checks that the path still names the file that was opened.
//
// Threading: a value; used by the thread of the connection it belongs to.
class SqliteFileIdentity {
 public:
  // No file: a database in memory, or one whose file could not be looked at.
  SqliteFileIdentity() = default;
  // The file of `database`'s main database as its path names it now; to be
  // called right after opening.
  static SqliteFileIdentity of(sqlite3* database);

  // Raises rowsmith::Error when the path no longer names the file noted:
  // it was removed, or another file took its place.
  void verifyStillInPlace() const;

 private:
  std::string m_path;
  dev_t m_device = 0;
  ino_t m_inode = 0;
};

}  // namespace rowsmith::db
