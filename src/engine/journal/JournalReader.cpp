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

JournalReader::JournalReader(const std::string& path, KeyHash keyHash)
    : m_path(path), m_keyHash(keyHash), m_file(std::fopen(path.c_str(), "rbe"), &std::fclose) {
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
        m_index.push_back(Entry{m_keyHash(keyIn(f)), record.offset});
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
  finishIndex();
}

void JournalReader::finishIndex() {
  std::sort(m_index.begin(), m_index.end(), [](const Entry& a, const Entry& b) {
    return a.hash != b.hash ? a.hash < b.hash : a.offset < b.offset;
  });
  // The first record of a row holds what it had before the run: a later
  // record of the same key is left out. Keys that only share a hash stay.
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m_index.size();) {
    std::size_t end = i + 1;
    while (end < m_index.size() && m_index[end].hash == m_index[i].hash) ++end;
    std::vector<std::vector<std::string>> keys;
    for (std::size_t j = i; j < end; ++j) {
      if (end - i > 1) {
        std::vector<std::string> key = keyAt(m_index[j].offset);
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) continue;
        keys.push_back(std::move(key));
      }
      m_index[kept++] = m_index[j];
    }
    i = end;
  }
  m_index.resize(kept);
  m_taken.assign(m_index.size(), false);
}

JournalReader::~JournalReader() = default;

std::uint64_t JournalReader::standardKeyHash(const std::vector<std::string>& key) {
  std::string joined;
  for (const std::string& part : key) appendField(joined, part);
  return std::hash<std::string>{}(joined);
}

std::vector<std::string> JournalReader::keyAt(long long offset) {
  const Record record = m_reader->readAt(offset);
  if (record.fields.size() < m_keyColumns.size())
    throw Error("The undo journal " + m_path + " is damaged: a row");
  return keyIn(record.fields);
}

std::vector<std::string> JournalReader::keyIn(const std::vector<Field>& fields) const {
  std::vector<std::string> key;
  for (std::size_t k = 0; k < m_keyColumns.size(); ++k) key.push_back(text(fields[k]));
  return key;
}

JournalReader::Row JournalReader::rowFrom(const Record& record) const {
  Row row;
  const auto& f = record.fields;
  std::size_t at = m_keyColumns.size();
  if (at >= f.size()) throw Error("The undo journal " + m_path + " is damaged: a row");
  row.key = keyIn(f);
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
  const std::uint64_t hash = m_keyHash(key);
  auto at = std::lower_bound(
      m_index.begin(), m_index.end(), hash,
      [](const Entry& entry, std::uint64_t wanted) { return entry.hash < wanted; });
  for (; at != m_index.end() && at->hash == hash; ++at) {
    Row found = rowFrom(m_reader->readAt(at->offset));
    if (found.key != key) continue;
    const auto index = static_cast<std::size_t>(at - m_index.begin());
    if (m_taken[index]) return false;
    m_taken[index] = true;
    row = std::move(found);
    return true;
  }
  return false;
}

std::vector<std::vector<std::string>> JournalReader::untaken() {
  std::vector<long long> offsets;
  for (std::size_t i = 0; i < m_index.size(); ++i)
    if (!m_taken[i]) offsets.push_back(m_index[i].offset);
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
