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
  // The pairs as they are, without a text.
  static ConnectionString fromPairs(std::vector<std::pair<std::string, std::string>> pairs);

  // The value of the first pair named `key`, if there is one.
  std::optional<std::string> get(const std::string& key) const;
  // The first value found under any of `keys` (synonyms), or `fallback`.
  std::string get(std::initializer_list<const char*> keys, const std::string& fallback = {}) const;
  bool has(const std::string& key) const { return get(key).has_value(); }

  const std::vector<std::pair<std::string, std::string>>& pairs() const { return m_pairs; }
  // Each pair's text as typed, between its separators, in the order of
  // pairs(): joined with ";" they give a string that reads the same.
  const std::vector<std::string>& pairTexts() const { return m_texts; }
  // Whether every part of the text was read into a pair. A part without
  // "=" or without a name, and text after a closing quote, are skipped.
  bool complete() const { return m_complete; }

  // A value as it must be written after "name=" to read back unchanged:
  // quoted only when it holds ";", begins with a quote or has blanks at
  // either end. An empty value needs nothing.
  static std::string quote(const std::string& value);

 private:
  std::vector<std::pair<std::string, std::string>> m_pairs;
  std::vector<std::string> m_texts;
  bool m_complete = true;
};

}  // namespace rowsmith::db
