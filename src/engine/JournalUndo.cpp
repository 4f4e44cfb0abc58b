#include "engine/JournalUndo.h"

#include <cctype>
#include <utility>

#include "common/AsciiCase.h"
#include "common/Error.h"
#include "document/Settings.h"
#include "engine/FieldText.h"

namespace rowsmith {

namespace {

constexpr std::size_t kKeysShown = 20;

std::string rowsText(long long rows) {
  return std::to_string(rows) + (rows == 1 ? " row" : " rows");
}

std::string keyList(const std::vector<std::string>& keys, long long total) {
  std::string out;
  for (std::size_t i = 0; i < keys.size() && i < kKeysShown; ++i)
    out += (i == 0 ? "" : "; ") + keys[i];
  if (total > static_cast<long long>(kKeysShown))
    out += "; and " + std::to_string(total - static_cast<long long>(kKeysShown)) + " more";
  return out;
}

// Whether the stored field holds `value` (NULL as std::nullopt).
bool holds(db::RecordSet& recordSet, int field, const std::optional<std::string>& value) {
  const bool isNull = recordSet.value(field).isNull();
  if (isNull || !value) return isNull && !value;
  return readFieldText(recordSet, field) == *value;
}

}  // namespace

JournalUndo::JournalUndo(const std::string& journalPath, Options options)
    : m_journal(std::make_unique<journal::JournalReader>(journalPath)),
      m_options(std::move(options)) {}

JournalUndo::~JournalUndo() = default;

std::unique_ptr<TSettings> JournalUndo::undoSettings() const {
  if (!m_journal->whyNoUndo().empty())
    throw Error("The run of " + m_journal->path() +
                " cannot be undone: its rows cannot be found again (" + m_journal->whyNoUndo() +
                ")");
  auto settings = std::make_unique<TSettings>();
  settings->dataSource = m_journal->connectionString();
  const auto& key = m_journal->keyColumns();
  if (key.size() == 1 && equalsIgnoringAsciiCase(key[0], "rowid")) {
    // Rows the run found by their rowid are found by it again, whatever key
    // the whole table would be read by.
    settings->query = "SELECT rowid, * FROM " + m_journal->table();
  } else {
    settings->useTable = true;
    settings->tableName = m_journal->table();
  }
  return settings;
}

namespace {

int fieldNamed(db::RecordSet& recordSet, const std::string& name) {
  for (int i = 0; i < recordSet.fieldCount(); ++i)
    if (equalsIgnoringAsciiCase(recordSet.fieldName(i), name)) return i;
  return -1;
}

bool sameNames(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!equalsIgnoringAsciiCase(a[i], b[i])) return false;
  return true;
}

}  // namespace

void JournalUndo::prepare(db::RecordSet& recordSet) {
  m_fields.clear();
  for (const std::string& column : m_journal->columns())
    m_fields.push_back(fieldNamed(recordSet, column));
  m_keyFields.clear();
  for (const std::string& column : m_journal->keyColumns())
    m_keyFields.push_back(fieldNamed(recordSet, column));
}

bool JournalUndo::keyOf(db::RecordSet& recordSet, std::vector<std::string>& key) {
  db::RowLocation where;
  if (!recordSet.locateRow(where))
    throw Error("Cannot undo the run: the rows of table " + m_journal->table() +
                " cannot be found again (" + where.table + ")");
  if (sameNames(where.keyColumns, m_journal->keyColumns())) {
    key = std::move(where.keyValues);
    return true;
  }
  // The table is read by another key than the run's: read the run's key
  // from the fields.
  key.clear();
  for (std::size_t k = 0; k < m_keyFields.size(); ++k) {
    if (m_keyFields[k] < 0) {
      std::string names;
      for (const auto& name : m_journal->keyColumns()) names += (names.empty() ? "" : ", ") + name;
      throw Error("Cannot undo the run: it found the rows of table " + m_journal->table() +
                  " by (" + names + "), which the table no longer has");
    }
    key.push_back(readFieldText(recordSet, m_keyFields[k]));
  }
  return true;
}

int JournalUndo::fieldFor(int journalColumn) const {
  const int field = m_fields[static_cast<std::size_t>(journalColumn)];
  if (field < 0)
    throw Error("Cannot undo the run: table " + m_journal->table() + " no longer has column " +
                m_journal->columns()[static_cast<std::size_t>(journalColumn)] +
                "; nothing more was changed");
  return field;
}

void JournalUndo::restoreRow(db::RecordSet& recordSet) {
  keyOf(recordSet, m_key);
  journal::JournalReader::Row row;
  if (!m_journal->take(m_key, row)) return;

  bool allNew = true;
  bool allOld = true;
  for (const auto& change : row.changes) {
    const int field = fieldFor(change.ordinal);
    allNew = allNew && holds(recordSet, field, change.newValue);
    allOld = allOld && holds(recordSet, field, change.oldValue);
  }
  const std::string key = m_journal->keyText(row.key);
  if (allNew) {
    ++m_restored;
    if (m_options.dryRun) {
      list("would put back " + key);
      return;
    }
    for (const auto& change : row.changes) {
      const int field = fieldFor(change.ordinal);
      if (change.oldValue)
        recordSet.setValue(field, std::string_view(*change.oldValue));
      else
        recordSet.setValue(field, std::nullopt);
    }
  } else if (allOld) {
    ++m_alreadyOld;
  } else {
    ++m_changedSince;
    if (m_changedKeys.size() < kKeysShown) m_changedKeys.push_back(key);
    list("left alone, changed since the run: " + key);
  }
}

std::vector<std::string> JournalUndo::notices() {
  std::vector<std::string> out;
  const bool dry = m_options.dryRun;
  out.push_back(rowsText(m_restored) + (dry ? " would be put back" : " put back") +
                " as they were before the run.");
  if (m_alreadyOld > 0)
    out.push_back(rowsText(m_alreadyOld) +
                  " already held their old values (the run did not keep them, or they were "
                  "undone before) and were left as they are.");
  if (m_changedSince > 0)
    out.push_back(rowsText(m_changedSince) + (dry ? " would be left alone" : " were left alone") +
                  ": they were changed since the run: " + keyList(m_changedKeys, m_changedSince) +
                  ".");
  const auto missing = m_journal->untaken();
  if (!missing.empty()) {
    std::vector<std::string> keys;
    for (const auto& key : missing) {
      if (keys.size() >= kKeysShown) break;
      keys.push_back(m_journal->keyText(key));
    }
    for (const auto& key : missing) list("not found: " + m_journal->keyText(key));
    out.push_back(rowsText(static_cast<long long>(missing.size())) +
                  " the run wrote are no longer in table " + m_journal->table() +
                  " (deleted, or their key changed since): " +
                  keyList(keys, static_cast<long long>(missing.size())) + ".");
  }
  return out;
}

void JournalUndo::list(const std::string& line) const {
  if (m_options.listing) m_options.listing(line);
}

}  // namespace rowsmith
