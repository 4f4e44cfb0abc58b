#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/db/api/RecordSet.h"
#include "engine/journal/JournalReader.h"

namespace rowsmith {

class TSettings;

// Puts back what a run's undo journal says the run changed. The worker reads
// the journal's table as a whole (undoSettings) and hands every row to
// restoreRow: a row the run wrote gets its old values back when it still
// holds exactly what the run wrote (the record set's own check then guards
// the write as in any run); a row that holds something else was changed
// since and is left alone and listed; a row that still holds its old values
// (the run did not keep it, or it was undone already) is left as it is.
// Rows of the journal that the table no longer has are listed at the end.
//
// Threading: used by the worker's thread only.
class JournalUndo {
 public:
  struct Options {
    // Only says what would be done; nothing is written.
    bool dryRun = false;
    // Called with a line for each row left alone or not found ("left alone,
    // changed since the run: id=9") and, in a dry run, for each row that
    // would be put back ("would put back id=7"). May be empty.
    std::function<void(const std::string& line)> listing;
  };

  // Reads and indexes the journal; throws rowsmith::Error when it cannot be
  // used.
  JournalUndo(const std::string& journalPath, Options options);
  ~JournalUndo();

  const journal::JournalReader& journal() const { return *m_journal; }
  const Options& options() const { return m_options; }
  // The job that reads the journal's table. Throws when the run's rows
  // cannot be found again.
  std::unique_ptr<TSettings> undoSettings() const;

  // Pairs the journal's columns with `recordSet`'s fields by name.
  void prepare(db::RecordSet& recordSet);
  void restoreRow(db::RecordSet& recordSet);
  // What happened, to show after the last row.
  std::vector<std::string> notices();

  long long restored() const { return m_restored; }
  long long changedSince() const { return m_changedSince; }

 private:
  void list(const std::string& line) const;
  int fieldFor(int journalColumn) const;
  // The current row's key, as the journal names rows.
  bool keyOf(db::RecordSet& recordSet, std::vector<std::string>& key);

  std::unique_ptr<journal::JournalReader> m_journal;
  Options m_options;
  std::vector<int> m_fields;
  std::vector<int> m_keyFields;
  std::vector<std::string> m_key;
  std::string m_table;
  long long m_restored = 0;
  long long m_alreadyOld = 0;
  long long m_changedSince = 0;
  std::vector<std::string> m_changedKeys;
};

}  // namespace rowsmith
