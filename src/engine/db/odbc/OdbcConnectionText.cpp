#include "engine/db/odbc/OdbcConnectionText.h"

#include <strings.h>

namespace rowsmith::db::odbc {

namespace {

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool keyIs(const std::string& key, const char* name) { return strcasecmp(key.c_str(), name) == 0; }

bool isPasswordKey(const std::string& key) {
  return keyIs(key, "PWD") || keyIs(key, "Password") || keyIs(key, "Passwd");
}

std::string join(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& text : texts) {
    if (!out.empty()) out += ';';
    out += text;
  }
  return out;
}

}  // namespace

OdbcConnectionText::OdbcConnectionText(const std::string& text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t start = i;
    // The key runs to "=" (or to ";" for a part without value).
    while (i < n && text[i] != '=' && text[i] != ';') ++i;
    std::string key = trim(text.substr(start, i - start));
    if (i < n && text[i] == '=') {
      ++i;
      while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
      if (i < n && (text[i] == '{' || text[i] == '"' || text[i] == '\'')) {
        const char close = text[i] == '{' ? '}' : text[i];
        for (++i; i < n; ++i) {
          if (text[i] != close) continue;
          if (i + 1 < n && text[i + 1] == close) {
            ++i;  // a doubled closing character stands for itself
            continue;
          }
          ++i;
          break;
        }
      }
      while (i < n && text[i] != ';') ++i;
    }
    std::string partText = text.substr(start, i - start);
    if (!trim(partText).empty()) m_parts.push_back({std::move(key), std::move(partText)});
    if (i < n) ++i;  // the ";"
  }
}

std::string OdbcConnectionText::driverString() const {
  std::vector<std::string> texts;
  for (const auto& part : m_parts)
    if (!keyIs(part.key, "Provider")) texts.push_back(part.text);
  return join(texts);
}

std::string OdbcConnectionText::describe() const {
  std::vector<std::string> texts;
  for (const auto& part : m_parts)
    if (!keyIs(part.key, "Provider") && !isPasswordKey(part.key)) texts.push_back(trim(part.text));
  return "ODBC " + join(texts);
}

}  // namespace rowsmith::db::odbc
