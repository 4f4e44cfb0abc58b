#include "engine/db/api/ConnectionString.h"

#include <strings.h>

#include "common/Blanks.h"

namespace rowsmith::db {

ConnectionString::ConnectionString(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const std::size_t eq = text.find('=', i);
    const std::size_t semi = text.find(';', i);
    if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
      // A part without "=": skip it.
      if (semi == std::string::npos) break;
      i = semi + 1;
      continue;
    }
    std::string key(trimBlanks(std::string_view(text).substr(i, eq - i)));
    i = eq + 1;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string value;
    if (i < n && (text[i] == '"' || text[i] == '\'')) {
      const char q = text[i++];
      while (i < n) {
        if (text[i] == q) {
          if (i + 1 < n && text[i + 1] == q) {
            value += q;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += text[i++];
      }
      const std::size_t next = text.find(';', i);
      i = next == std::string::npos ? n : next + 1;
    } else {
      const std::size_t next = text.find(';', i);
      value = trimBlanks(std::string_view(text).substr(
          i, next == std::string::npos ? std::string::npos : next - i));
      i = next == std::string::npos ? n : next + 1;
    }
    if (!key.empty()) m_pairs.emplace_back(std::move(key), std::move(value));
  }
}

std::optional<std::string> ConnectionString::get(const std::string& key) const {
  for (const auto& [k, v] : m_pairs)
    if (strcasecmp(k.c_str(), key.c_str()) == 0) return v;
  return std::nullopt;
}

std::string ConnectionString::get(std::initializer_list<const char*> keys,
                                  const std::string& fallback) const {
  for (const char* key : keys)
    if (auto v = get(key)) return *v;
  return fallback;
}

std::string ConnectionString::quote(const std::string& value) {
  if (value.find_first_of(";\"' \t") == std::string::npos && !value.empty()) return value;
  std::string out = "\"";
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace rowsmith::db
