#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/db/ConnectionFactory.h"
#include "engine/db/ConnectionField.h"

namespace rowsmith::db {

// A connection string being edited in the connection builder: its pairs in
// order, each with the text it was typed as, and the fields of its backend
// (ConnectionField), read from and written into those pairs the way that
// backend reads them. Until something changes, text() is the string exactly
// as it was given; after a change, every pair that was not touched keeps
// its text, and new or changed values are written so that they read back
// as they are: quoted for SQLite, PostgreSQL and MariaDB, in braces for
// ODBC.
//
// Threading: a plain value; no shared state.
class ConnectionStringEditor {
 public:
  struct Pair {
    std::string key;
    std::string value;
    std::string text;  // as typed; empty for a pair made or changed here
    bool operator==(const Pair&) const = default;
  };

  explicit ConnectionStringEditor(const std::string& text);

  std::string text() const;
  bool changed() const { return m_pairs != m_originalPairs; }
  // Whether the fields can show the string that was given: it is for
  // SQLite, PostgreSQL, MariaDB/MySQL or ODBC, and every part of it is a
  // pair.
  bool understood() const { return m_understood; }
  Backend backend() const;

  const std::vector<Pair>& pairs() const { return m_pairs; }
  // Renames a pair. Raises rowsmith::Error for a name that is empty or
  // holds "=" or ";", which no string can carry.
  void setKey(std::size_t index, const std::string& key);
  void setValue(std::size_t index, const std::string& value);
  // Adds a pair at the end (the name is checked as in setKey).
  void addPair(const std::string& key, const std::string& value);
  void removePair(std::size_t index);

  // A field's value: that of the pair the backend would read, empty when
  // there is none; for ODBC's other attributes, the remaining pairs joined.
  std::string field(ConnectionFieldId id) const;
  // Writes into the pair the backend reads, or adds one under the field's
  // name. An empty value removes every pair the field stands for, so that
  // none of them takes over. ODBC's other attributes replace the pairs that
  // no field takes; parts without "=" are left out.
  void setField(ConnectionFieldId id, const std::string& value);

  // Turns the string into one for another backend (SQLite, PostgreSQL,
  // MariaDB or Odbc). The pairs of the backend left are set aside and come back when
  // the user returns to it; a backend not met before starts with its
  // "Provider=" pair alone.
  void setBackend(Backend backend);

  // What "Provider=" says for a backend: SQLite, PostgreSQL, MySQL (which
  // MariaDB reads as well as "MariaDB"), MSDASQL.
  static const char* providerNameOf(Backend backend);

 private:
  std::optional<std::size_t> find(const ConnectionField& field) const;
  bool isRemaining(const Pair& pair, Backend backend) const;
  static std::string checkedKey(const std::string& key);

  std::string m_original;
  std::vector<Pair> m_originalPairs;
  std::vector<Pair> m_pairs;
  bool m_understood = false;
  std::map<Backend, std::vector<Pair>> m_setAside;
};

}  // namespace rowsmith::db
