#pragma once

#include <functional>
#include <string>
#include <utility>

namespace rowsmith::db {

// The rows a record set has written since its last commit (the open group)
// and the last row it has made permanent, so that a failure that loses the
// whole group (a full disk, an I/O error, a lost connection) is reported as
// it is: the key of the last row kept, or that no row was kept. The words of
// the row in hand alone would claim that the rows before it were kept.
//
// Threading: belongs to one record set; its thread only.
class CommitGroup {
 public:
  // A row of the open group was written; `key` names it as messages do
  // ("id=7").
  void rowWritten(std::string key);
  // `rows` rows of the open group were written, the last one named `lastKey`.
  void rowsWritten(long long rows, std::string lastKey);
  // Called by the backend just before it commits (or sends the commit of)
  // written rows: runs the hook set with setBeforeCommit, if any (its
  // exceptions pass through).
  void beforeCommit() const {
    if (m_beforeCommit) m_beforeCommit();
  }
  void setBeforeCommit(std::function<void()> hook) { m_beforeCommit = std::move(hook); }
  // The open group was made permanent.
  void committed();
  // Rows written since the last commit.
  long long openRows() const { return m_openRows; }
  // Rows written and made permanent since the record set opened.
  long long keptRows() const { return m_keptRows; }

  // The open group was rolled back as a whole: what remains, to follow a
  // message ("; the last row kept is key id=2: the 5 rows written after it
  // were rolled back", or "; no row was kept: ..."). Empty when the group
  // held no row. The group is then closed.
  std::string rolledBack();
  // The commit of the open group was sent, but the connection was lost
  // before the database confirmed it: which rows are known to be kept.
  // Empty when the group held no row. The group is then closed.
  std::string unconfirmed();

 private:
  std::string m_lastKept;
  bool m_anyKept = false;
  std::string m_lastWritten;
  long long m_openRows = 0;
  long long m_keptRows = 0;
  std::function<void()> m_beforeCommit;
};

}  // namespace rowsmith::db
