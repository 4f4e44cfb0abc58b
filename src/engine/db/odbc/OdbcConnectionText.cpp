#include "engine/db/odbc/OdbcConnectionText.h"

#include <strings.h>

#include "common/Blanks.h"

namespace rowsmith::db::odbc {

namespace {

bool keyIs(const std::string& key, const char* name) { return strcasecmp(key.c_str(), name) == 0; }

std::string join(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& text : texts) {
    if (!out.empty()) out += ';';
    out += text;
  }
  return out;
}

}  // namespace

OdbcConnectionText::OdbcConnectionText(const std::string& text) : m_text(text) {}

std::string OdbcConnectionText::driverString() const {
  std::vector<std::string> texts;
  for (const auto& part : m_text.parts())
    if (!keyIs(part.key, "Provider") && !keyIs(part.key, "Lock Timeout"))
      texts.push_back(part.text);
  return join(texts);
}

std::string OdbcConnectionText::lockTimeout() const {
  std::string value;
  for (const auto& part : m_text.parts())
    if (keyIs(part.key, "Lock Timeout")) value = part.value;
  return value;
}

std::string OdbcConnectionText::describe() const {
  std::vector<std::string> texts;
  for (const auto& part : m_text.parts())
    if (!keyIs(part.key, "Provider") && !ConnectionStringText::isPasswordKey(part.key))
      texts.emplace_back(trimBlanks(part.text));
  return "ODBC " + join(texts);
}

std::string OdbcConnectionText::brace(const std::string& key, const std::string& value) {
  const bool needsBraces =
      keyIs(key, "Driver") || value.find_first_of(";{}") != std::string::npos ||
      (!value.empty() && (value.front() == '"' || value.front() == '\'' || value.front() == ' ' ||
                          value.front() == '\t' || value.back() == ' ' || value.back() == '\t'));
  if (!needsBraces) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

}  // namespace rowsmith::db::odbc
