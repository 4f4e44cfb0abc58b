#pragma once

#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/db/api/RecordSet.h"

namespace rowsmith::journal {

// One value a run wrote: the field's number in the record set, the value it
// held (as text, NULL as std::nullopt) and the value written.
struct ColumnChange {
  int ordinal = 0;
  std::optional<std::string> oldValue;
  std::optional<std::string> newValue;
};

// The undo journal of one run (see JournalFormat for the file): what every
// written row held before, appended as the run goes. Entries are buffered
// and made durable (written and synced) by makeDurable(), which the run
// calls just before each commit, so that every committed row is in the
// journal even when the process is killed. The file is created for this
// run alone (never overwriting one) and readable by its owner only: it
// holds the connection string.
//
// Threading: used by one thread at a time (the run's worker).
class RunJournal : public db::WrittenRowSink {
 public:
  // Creates the journal at `path`; an existing file is an error.
  RunJournal(const std::string& path, const std::string& connectionString,
             const std::string& jobPath, std::time_t started);
  // Creates the journal beside the job file as JOB.YYYYMMDD-HHMMSS.journal
  // (with -2, -3, ... when taken), or, when the job has no file or its
  // folder cannot be written, in the user's state folder
  // ($XDG_STATE_HOME/rowsmith/journals, by default ~/.local/state/...).
  static RunJournal besideJob(const std::string& jobPath, const std::string& connectionString,
                              std::time_t started);
  RunJournal(RunJournal&& other) noexcept;
  RunJournal& operator=(RunJournal&&) = delete;
  RunJournal(const RunJournal&) = delete;
  ~RunJournal() override;

  const std::string& path() const { return m_path; }
  // Rows recorded so far.
  long long rows() const { return m_rows; }
  // Why the rows cannot be found again, when the table has no lasting key;
  // empty otherwise. Such rows are not recorded.
  const std::string& whyNoUndo() const { return m_whyNoUndo; }

  // Has `recordSet`, standing on its first row, tell the journal of each
  // row it writes (rowWritten), where it can: true then, and the caller
  // records no row itself; false when the caller must (recordRow).
  bool follow(db::RecordSet& recordSet);
  // Records the current row of `recordSet`, whose `changes` were just set.
  void recordRow(db::RecordSet& recordSet, std::span<const ColumnChange> changes);
  // A row written, told by the record set followed.
  void rowWritten(std::span<const std::string_view> key,
                  std::span<const db::WrittenField> fields) noexcept override;
  // Writes what is buffered and syncs it to disk. Throws rowsmith::Error.
  void makeDurable();
  // Records the run's last status and makes everything durable.
  void finish(const std::string& status);

 private:
  explicit RunJournal(int fd, std::string path);
  static int createFile(const std::string& path);
  void start(const std::string& connectionString, const std::string& jobPath, std::time_t started);
  void writeTable(db::RecordSet& recordSet, const db::RowLocation& where);
  // The buffer's free space from the end of what is in use, at least
  // `room` bytes of it.
  char* makeRoom(std::size_t room);
  void append(std::string_view record);
  // Writes a row's record into the buffer.
  void writeRow(std::span<const std::string_view> key, std::span<const db::WrittenField> fields);
  void writeOut();
  // writeOut() that gives back errno instead of raising it (0 when done);
  // what was not written stays in the buffer.
  int tryWriteOut() noexcept;
  [[noreturn]] void fail(int error) const;

  int m_fd = -1;
  std::string m_path;
  // Records not yet written: the first m_used bytes of m_buffer, which is
  // kept at its full size so that a record is written straight into place.
  std::string m_buffer;
  std::size_t m_used = 0;
  // Bytes written to the file so far.
  long long m_written = 0;
  bool m_tableWritten = false;
  std::string m_whyNoUndo;
  long long m_rows = 0;
  // For each key column, the field that writes to it, or -1.
  std::vector<int> m_keyFields;
  // The current row's place; its strings are reused from row to row.
  db::RowLocation m_scratch;
  // A row's key and fields as writeRow takes them.
  std::vector<std::string_view> m_keyViews;
  std::vector<db::WrittenField> m_fields;
  // A write of the buffer failed while a record set told of its rows.
  bool m_writeFailed = false;
  // A row told of could not be buffered: nothing may be committed any more.
  bool m_rowLost = false;
};

}  // namespace rowsmith::journal
