#include "engine/TableReference.h"

#include <algorithm>
#include <vector>

#include "common/Blanks.h"
#include "common/Error.h"

namespace rowsmith {

namespace {

bool isNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}

bool isNamePart(unsigned char c) { return isNameStart(c) || (c >= '0' && c <= '9') || c == '$'; }

// Moves `pos` past one plain or quoted name; false when there is none.
bool skipName(std::string_view text, std::size_t& pos) {
  if (pos >= text.size()) return false;
  const char open = text[pos];
  if (open == '"' || open == '`' || open == '[') {
    const char close = open == '[' ? ']' : open;
    for (std::size_t i = pos + 1; i < text.size(); ++i) {
      if (text[i] != close) continue;
      // A doubled quote stands for itself inside "..." and `...`.
      if (close != ']' && i + 1 < text.size() && text[i + 1] == close) {
        ++i;
        continue;
      }
      pos = i + 1;
      return true;
    }
    return false;
  }
  if (!isNameStart(static_cast<unsigned char>(open))) return false;
  while (pos < text.size() && isNamePart(static_cast<unsigned char>(text[pos]))) ++pos;
  return true;
}

}  // namespace

bool TableReference::isTableReference(std::string_view text) {
  text = trimBlanks(text);
  std::size_t pos = 0;
  for (int part = 0; part < 3; ++part) {
    if (!skipName(text, pos)) return false;
    if (pos == text.size()) return true;
    if (text[pos++] != '.') return false;
  }
  return false;
}

std::string TableReference::resolve(const std::string& typed, db::Connection& connection) {
  const std::vector<std::string> listed = connection.tableNames();
  if (std::find(listed.begin(), listed.end(), typed) != listed.end()) {
    std::string quoted = connection.quoteIdentifier(typed);
    if (isTableReference(quoted)) return quoted;
  }
  if (isTableReference(typed)) return typed;
  const std::string quoted = connection.quoteIdentifier(typed);
  throw Error("The table name '" + typed +
              "' is not a table the database lists, and as typed it would not be read as one "
              "table name" +
              (isTableReference(quoted) ? "; if it names a table, type it quoted: " + quoted
                                        : "; if it names a table, type it quoted"));
}

}  // namespace rowsmith
