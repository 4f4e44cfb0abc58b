#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith {

class PreferenceStore;

// A most-recently-used list of names (settings files, filter files), newest
// first, holding at most capacity() entries. Adding a name that is already
// listed moves that entry to the top with its stored spelling; comparison is
// exact, since file names on this system are case-sensitive: two names that
// differ only in letter case are two files and both stay.
//
// Kept in the preference store (current user) as the text values "Item_0"
// (newest) to "Item_9" of one key.
//
// Threading: not thread-safe; used on the UI thread.
class TRecentStrings {
 public:
  static constexpr std::size_t kDefaultCapacity = 10;

  explicit TRecentStrings(std::size_t capacity = kDefaultCapacity);

  // Puts name at the top; an empty name is accepted like any other.
  void add(std::string_view name);
  void clear() { m_entries.clear(); }

  std::size_t count() const { return m_entries.size(); }
  const std::string& at(std::size_t index) const { return m_entries.at(index); }
  const std::vector<std::string>& entries() const { return m_entries; }
  // Position of name, or -1.
  int indexOf(std::string_view name) const;

  std::size_t capacity() const { return m_capacity; }
  // Drops the oldest entries beyond the new capacity.
  void setCapacity(std::size_t capacity);

  // Replaces the list with the key's values "Item_9" down to "Item_0", each
  // non-empty text added at the top, so "Item_0" ends first. A missing key,
  // a missing value and a value that is not text are skipped.
  void load(const PreferenceStore& store, std::string_view keyPath);
  // Rebuilds the key: deletes it with all its values, writes one "Item_%d"
  // per entry, and saves the store. An empty list leaves no key.
  void save(PreferenceStore& store, std::string_view keyPath) const;

 private:
  void trim();

  std::size_t m_capacity;
  std::vector<std::string> m_entries;
};

}  // namespace rowsmith
