#include "common/ConnectionStringText.h"

#include "common/AsciiCase.h"
#include "common/Blanks.h"

namespace rowsmith {

namespace {

bool hasValue(const ConnectionStringText::Part& part) {
  return part.valueStart != std::string::npos &&
         !trimBlanks(std::string_view(part.text).substr(part.valueStart)).empty();
}

}  // namespace

ConnectionStringText::ConnectionStringText(const std::string& text) : m_text(text) {
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const std::size_t start = i;
    // The key runs to "=" (or to ";" for a part without value).
    while (i < n && text[i] != '=' && text[i] != ';') ++i;
    std::string key(trimBlanks(std::string_view(text).substr(start, i - start)));
    std::size_t valueStart = std::string::npos;
    std::string value;
    if (i < n && text[i] == '=') {
      ++i;
      while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
      valueStart = i - start;
      const bool braced = i < n && text[i] == '{';
      bool closed = false;
      if (i < n && (braced || text[i] == '"' || text[i] == '\'')) {
        const char close = braced ? '}' : text[i];
        for (++i; i < n; ++i) {
          if (text[i] != close) {
            if (braced) value += text[i];
            continue;
          }
          if (i + 1 < n && text[i + 1] == close) {
            // A doubled closing character stands for itself.
            if (braced) value += close;
            ++i;
            continue;
          }
          ++i;
          closed = true;
          break;
        }
      }
      const std::size_t rest = i;
      while (i < n && text[i] != ';') ++i;
      if (braced) {
        // Nothing but blanks may follow the closing brace.
        if (!closed || !trimBlanks(std::string_view(text).substr(rest, i - rest)).empty())
          m_complete = false;
      } else {
        // Quotes mean nothing to an ODBC driver: it reads them as part of the value.
        value =
            trimBlanks(std::string_view(text).substr(start + valueStart, i - start - valueStart));
      }
    }
    std::string partText = text.substr(start, i - start);
    if (!trimBlanks(partText).empty()) {
      Part part{std::move(key), std::move(partText), valueStart, std::move(value)};
      if (!part.isPair()) m_complete = false;
      m_parts.push_back(std::move(part));
    }
    if (i < n) ++i;  // the ";"
  }
}

bool ConnectionStringText::isPasswordKey(std::string_view key) {
  const std::string folded = asciiLower(key);
  return folded == "pwd" || folded.find("password") != std::string::npos ||
         folded.find("passwd") != std::string::npos;
}

bool ConnectionStringText::hasPassword() const {
  for (const Part& part : m_parts)
    if (isPasswordKey(part.key) && hasValue(part)) return true;
  return false;
}

std::string ConnectionStringText::masked() const {
  if (!hasPassword()) return m_text;
  std::string out;
  for (const Part& part : m_parts) {
    if (!out.empty()) out += ';';
    if (isPasswordKey(part.key) && hasValue(part))
      out += part.text.substr(0, part.valueStart) + "********";
    else
      out += part.text;
  }
  return out;
}

}  // namespace rowsmith
