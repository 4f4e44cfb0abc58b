#include "document/RecentStrings.h"

#include <algorithm>

#include "document/PreferenceStore.h"

namespace rowsmith {

namespace {

std::string itemName(std::size_t number) { return "Item_" + std::to_string(number); }

// Values beyond this number are never read: the stored list is at most ten.
constexpr std::size_t kStoredItems = 10;

}  // namespace

TRecentStrings::TRecentStrings(std::size_t capacity) : m_capacity(capacity) {}

void TRecentStrings::add(std::string_view name) {
  const int found = indexOf(name);
  if (found >= 0) {
    std::rotate(m_entries.begin(), m_entries.begin() + found, m_entries.begin() + found + 1);
    return;
  }
  m_entries.insert(m_entries.begin(), std::string(name));
  trim();
}

int TRecentStrings::indexOf(std::string_view name) const {
  const auto found = std::find(m_entries.begin(), m_entries.end(), name);
  return found == m_entries.end() ? -1 : static_cast<int>(found - m_entries.begin());
}

void TRecentStrings::setCapacity(std::size_t capacity) {
  m_capacity = capacity;
  trim();
}

void TRecentStrings::trim() {
  if (m_entries.size() > m_capacity) m_entries.resize(m_capacity);
}

void TRecentStrings::load(const PreferenceStore& store, std::string_view keyPath) {
  clear();
  for (std::size_t n = kStoredItems; n-- > 0;) {
    const std::string text = store.readText(PreferenceRoot::CurrentUser, keyPath, itemName(n), "");
    if (!text.empty()) add(text);
  }
}

void TRecentStrings::save(PreferenceStore& store, std::string_view keyPath) const {
  store.deleteKey(PreferenceRoot::CurrentUser, keyPath);
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    store.writeText(PreferenceRoot::CurrentUser, keyPath, itemName(i), m_entries[i]);
  }
  store.save();
}

}  // namespace rowsmith
