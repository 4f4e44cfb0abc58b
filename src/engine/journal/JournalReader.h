#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/journal/JournalFormat.h"
#include "engine/journal/RunJournal.h"

namespace rowsmith::journal {

// A run's undo journal, read back: what the run was, its table, and an index
// of the rows it wrote by key (each row's values, and its key, are read from
// the file when asked for: the index holds 16 bytes per row, whatever the
// size of its key and values). A
// record cut short at the end, as a killed run leaves it, ends the rows;
// every row committed before the kill is complete.
//
// Threading: used by one thread at a time.
class JournalReader {
 public:
  // How the index hashes a key: the standard hash of its fields. Another
  // one is for tests, which make keys share a hash.
  using KeyHash = std::uint64_t (*)(const std::vector<std::string>& key);
  static std::uint64_t standardKeyHash(const std::vector<std::string>& key);

  // Reads and indexes the journal at `path`; throws rowsmith::Error when it
  // cannot be read or is not a journal.
  explicit JournalReader(const std::string& path, KeyHash keyHash = &standardKeyHash);
  ~JournalReader();
  JournalReader(const JournalReader&) = delete;
  JournalReader& operator=(const JournalReader&) = delete;

  struct Row {
    std::vector<std::string> key;
    std::vector<ColumnChange> changes;
  };

  const std::string& path() const { return m_path; }
  const std::string& connectionString() const { return m_connectionString; }
  const std::string& jobPath() const { return m_jobPath; }
  const std::string& started() const { return m_started; }
  // Empty when the run wrote no row.
  const std::string& table() const { return m_table; }
  const std::vector<std::string>& keyColumns() const { return m_keyColumns; }
  // The record set's fields by their names in the table, in the run's order.
  const std::vector<std::string>& columns() const { return m_columns; }
  // Why the run's rows cannot be found again; empty when they can.
  const std::string& whyNoUndo() const { return m_whyNoUndo; }
  // The run's last status, or empty when it did not end (killed).
  const std::string& endStatus() const { return m_endStatus; }
  long long rows() const { return static_cast<long long>(m_index.size()); }

  // The row recorded under `key`, marked as found; false when there is none.
  bool take(const std::vector<std::string>& key, Row& row);
  // The keys of the rows never taken, in no particular order.
  std::vector<std::vector<std::string>> untaken();
  // "id=7" or "a=1, b=x": a key as messages show it.
  std::string keyText(const std::vector<std::string>& key) const;

 private:
  Row rowFrom(const Record& record) const;
  // The key of a row's record: its first fields, which it must hold.
  std::vector<std::string> keyIn(const std::vector<Field>& fields) const;
  // The key of the row recorded at `offset`.
  std::vector<std::string> keyAt(long long offset);
  // Sorts the index and drops the later records of a key recorded twice.
  void finishIndex();

  std::string m_path;
  KeyHash m_keyHash;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
  std::unique_ptr<RecordReader> m_reader;
  std::string m_connectionString, m_jobPath, m_started, m_table, m_whyNoUndo, m_endStatus;
  std::vector<std::string> m_keyColumns, m_columns;
  // One entry per row, in order of its key's hash (then of its place in the
  // file); a hash is shared by two keys only by chance, and the key read from
  // the file tells them apart.
  struct Entry {
    std::uint64_t hash;
    long long offset;
  };
  std::vector<Entry> m_index;
  std::vector<bool> m_taken;
};

}  // namespace rowsmith::journal
