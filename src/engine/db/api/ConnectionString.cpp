#include "engine/db/api/ConnectionString.h"

#include <strings.h>

#include <algorithm>

#include "common/Blanks.h"

namespace rowsmith::db {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

ConnectionString::ConnectionString(const std::string& text) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const std::size_t start = i;
    const std::size_t eq = text.find('=', i);
    const std::size_t semi = text.find(';', i);
    if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
      // A part without "=": skip it.
      const std::size_t end = semi == std::string::npos ? n : semi;
      if (!trimBlanks(std::string_view(text).substr(i, end - i)).empty()) m_complete = false;
      i = end == n ? n : end + 1;
      continue;
    }
    std::string key(trimBlanks(std::string_view(text).substr(i, eq - i)));
    i = eq + 1;
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::string value;
    std::size_t end = 0;
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
      end = std::min(text.find(';', i), n);
      if (!trimBlanks(std::string_view(text).substr(i, end - i)).empty()) m_complete = false;
    } else {
      end = std::min(text.find(';', i), n);
      value = trimBlanks(std::string_view(text).substr(i, end - i));
    }
    if (key.empty()) {
      m_complete = false;
    } else {
      m_pairs.emplace_back(std::move(key), std::move(value));
      m_texts.push_back(text.substr(start, end - start));
    }
    i = end == n ? n : end + 1;
  }
}

ConnectionString ConnectionString::fromPairs(
    std::vector<std::pair<std::string, std::string>> pairs) {
  ConnectionString out;
  out.m_pairs = std::move(pairs);
  out.m_texts.assign(out.m_pairs.size(), {});
  return out;
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
  if (value.empty()) return value;
  const bool needsQuotes = value.find(';') != std::string::npos || value.front() == '"' ||
                           value.front() == '\'' || isBlank(value.front()) || isBlank(value.back());
  if (!needsQuotes) return value;
  // The quote that the value does not hold, so that nothing is doubled.
  const char q =
      value.find('"') != std::string::npos && value.find('\'') == std::string::npos ? '\'' : '"';
  std::string out(1, q);
  for (char c : value) {
    if (c == q) out += q;
    out += c;
  }
  return out + q;
}

}  // namespace rowsmith::db
