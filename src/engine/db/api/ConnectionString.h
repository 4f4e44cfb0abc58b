#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rowsmith::db {

// An ADO-style connection string: key=value pairs separated by ";". Keys
// compare without regard to case; a value may be quoted with " or ' (a
// doubled quote inside stands for one). Pairs keep their order.
//
// Threading: a plain value; no shared state.
class ConnectionString {
 public:
  ConnectionString() = default;
  explicit ConnectionString(const std::string& text);

  // The value of the first pair named `key`, if there is one.
  std::optional<std::string> get(const std::string& key) const;
  // The first value found under any of `keys` (synonyms), or `fallback`.
  std::string get(std::initializer_list<const char*> keys, const std::string& fallback = {}) const;
  bool has(const std::string& key) const { return get(key).has_value(); }

  const std::vector<std::pair<std::string, std::string>>& pairs() const { return m_pairs; }

  // Quotes a value when it needs it, for building connection strings.
  static std::string quote(const std::string& value);

 private:
  std::vector<std::pair<std::string, std::string>> m_pairs;
};

}  // namespace rowsmith::db
