#include "engine/journal/JournalReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Error.h"

namespace rowsmith::journal {

namespace {

const std::string& text(const Field& field) {
  static const std::string empty;
  return field ? *field : empty;
}

}  // namespace

JournalReader::JournalReader(const std::string& path)
    : m_path(path), m_file(std::fopen(path.c_str(), "rbe"), &std::fclose) {
  if (!m_file) throw Error("Cannot open the undo journal " + path + ": " + std::strerror(errno));
  m_reader = std::make_unique<RecordReader>(m_file.get(), path);
  m_reader->readHeader();
  Record record;
  bool sawStart = false;
  while (m_reader->next(record)) {
    const auto& f = record.fields;
    switch (record.type) {
      case 'S':
        if (f.size() < 3) throw Error("The undo journal " + path + " is damaged: its start");
        m_connectionString = text(f[0]);
        m_jobPath = text(f[1]);
        m_started = text(f[2]);
        sawStart = true;
        break;
      case 'T': {
        std::size_t at = 1;
        if (f.empty()) throw Error("The undo journal " + path + " is damaged: its table");
        m_table = text(f[0]);
        for (int pass = 0; pass < 2; ++pass) {
          if (at >= f.size()) throw Error("The undo journal " + path + " is damaged: its table");
          const long long count = fieldNumber(f[at++], path);
          auto& names = pass == 0 ? m_keyColumns : m_columns;
          for (long long i = 0; i < count && at < f.size(); ++i) names.push_back(text(f[at++]));
        }
        break;
      }
      case 'N':
        m_whyNoUndo = f.empty() ? std::string("its rows have no key") : text(f[0]);
        break;
      case 'R': {
        if (m_table.empty() || f.size() < m_keyColumns.size())
          throw Error("The undo journal " + path + " is damaged: a row before its table");
        std::vector<std::string> key;
        for (std::size_t k = 0; k < m_keyColumns.size(); ++k) key.push_back(text(f[k]));
        // The first record of a row holds what it had before the run.
        m_index.emplace(indexKey(key), Entry{record.offset, false});
        break;
      }
      case 'E':
        m_endStatus = f.empty() ? std::string() : text(f[0]);
        break;
      default:
        break;  // a later kind of record: not needed to undo
    }
  }
  if (!sawStart)
    throw Error("The undo journal " + path + " is empty: the run did not start writing it");
}

JournalReader::~JournalReader() = default;

std::string JournalReader::indexKey(const std::vector<std::string>& key) {
  std::string joined;
  for (const std::string& part : key) appendField(joined, part);
  return joined;
}

JournalReader::Row JournalReader::rowFrom(const Record& record) const {
  Row row;
  const auto& f = record.fields;
  std::size_t at = m_keyColumns.size();
  for (std::size_t k = 0; k < at; ++k) row.key.push_back(text(f[k]));
  if (at >= f.size()) throw Error("The undo journal " + m_path + " is damaged: a row");
  const long long count = fieldNumber(f[at++], m_path);
  for (long long i = 0; i < count; ++i) {
    if (at + 3 > f.size()) throw Error("The undo journal " + m_path + " is damaged: a row");
    ColumnChange change;
    change.ordinal = static_cast<int>(fieldNumber(f[at], m_path));
    if (change.ordinal < 0 || static_cast<std::size_t>(change.ordinal) >= m_columns.size())
      throw Error("The undo journal " + m_path + " is damaged: a column number");
    change.oldValue = f[at + 1];
    change.newValue = f[at + 2];
    at += 3;
    row.changes.push_back(std::move(change));
  }
  return row;
}

bool JournalReader::take(const std::vector<std::string>& key, Row& row) {
  const auto found = m_index.find(indexKey(key));
  if (found == m_index.end() || found->second.taken) return false;
  found->second.taken = true;
  row = rowFrom(m_reader->readAt(found->second.offset));
  return true;
}

std::vector<std::vector<std::string>> JournalReader::untaken() {
  std::vector<long long> offsets;
  for (const auto& [joined, entry] : m_index)
    if (!entry.taken) offsets.push_back(entry.offset);
  std::sort(offsets.begin(), offsets.end());
  std::vector<std::vector<std::string>> keys;
  for (long long offset : offsets) keys.push_back(rowFrom(m_reader->readAt(offset)).key);
  return keys;
}

std::string JournalReader::keyText(const std::vector<std::string>& key) const {
  std::string out;
  for (std::size_t k = 0; k < key.size() && k < m_keyColumns.size(); ++k) {
    if (!out.empty()) out += ", ";
    out += m_keyColumns[k] + "=" + key[k];
  }
  return out;
}

}  // namespace rowsmith::journal
