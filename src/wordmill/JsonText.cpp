#include "wordmill/JsonText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace rowsmith::wordmill {

namespace {

using Edit = JsonText::Edit;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The four hex digits at `at`, or -1.
long hex4(std::string_view text, std::size_t at) {
  if (at + 4 > text.size()) return -1;
  long value = 0;
  for (std::size_t i = at; i < at + 4; ++i) {
    const int digit = hexValue(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// UTF-8 for a code point; a lone surrogate gets the three bytes its number
// would have, so that it can be escaped again unchanged.
void appendUtf8(std::uint32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void appendEscapedUnit(unsigned code, std::string& out) {
  static const char digits[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(digits[(code >> shift) & 0xF]);
}

// The text of a string's inside whose escapes were checked while reading.
std::string decode(std::string_view raw) {
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\') {
      text.push_back(raw[i]);
      continue;
    }
    const char escape = raw[++i];
    switch (escape) {
      case 'b':
        text.push_back('\b');
        break;
      case 'f':
        text.push_back('\f');
        break;
      case 'n':
        text.push_back('\n');
        break;
      case 'r':
        text.push_back('\r');
        break;
      case 't':
        text.push_back('\t');
        break;
      case 'u': {
        auto code = static_cast<std::uint32_t>(hex4(raw, i + 1));
        i += 4;
        if (code >= 0xD800 && code < 0xDC00 && raw.substr(i + 1, 2) == "\\u") {
          const long low = hex4(raw, i + 3);
          if (low >= 0xDC00 && low < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + static_cast<std::uint32_t>(low - 0xDC00);
            i += 6;
          }
        }
        appendUtf8(code, text);
        break;
      }
      default:  // " \ /
        text.push_back(escape);
        break;
    }
  }
  return text;
}

std::size_t distinctCount(std::vector<std::string> keys) {
  std::sort(keys.begin(), keys.end());
  return static_cast<std::size_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
}

// Reads one JSON text; given an output and an editor it also writes the
// text again with the edited strings.
class Walker {
 public:
  Walker(std::string_view text, std::string* out, const JsonText::StringEditor* editor, bool keys)
      : m_text(text), m_out(out), m_editor(editor), m_keys(keys) {}

  bool whole() {
    skipSpace();
    if (m_pos >= m_text.size() ||
        (m_text[m_pos] != '{' && m_text[m_pos] != '[' && m_text[m_pos] != '"')) {
      return false;
    }
    if (!value(0)) return false;
    skipSpace();
    if (m_pos != m_text.size()) return false;
    if (m_out) m_out->append(m_text.substr(m_copied));
    return true;
  }

  bool tooDeep() const { return m_tooDeep; }

 private:
  // An object key before and after the editor saw it.
  struct KeyRecord {
    std::string before;
    std::string after;
  };

  bool value(int depth) {
    if (m_pos >= m_text.size()) return false;
    switch (m_text[m_pos]) {
      case '{':
        return object(depth + 1);
      case '[':
        return array(depth + 1);
      case '"':
        return string(false, nullptr);
      case 't':
        return literal("true");
      case 'f':
        return literal("false");
      case 'n':
        return literal("null");
      default:
        return number();
    }
  }

  bool object(int depth) {
    if (depth > JsonText::kMaxDepth) {
      m_tooDeep = true;
      return false;
    }
    ++m_pos;
    skipSpace();
    if (literal("}")) return true;
    const bool checkKeys = m_out && m_keys;
    std::vector<std::string> before;
    std::vector<std::string> after;
    bool changed = false;
    for (;;) {
      if (m_pos >= m_text.size() || m_text[m_pos] != '"') return false;
      KeyRecord key;
      if (!string(true, checkKeys ? &key : nullptr)) return false;
      if (checkKeys) {
        changed = changed || key.before != key.after;
        before.push_back(std::move(key.before));
        after.push_back(std::move(key.after));
      }
      skipSpace();
      if (!literal(":")) return false;
      skipSpace();
      if (!value(depth)) return false;
      skipSpace();
      if (literal("}")) break;
      if (!literal(",")) return false;
      skipSpace();
    }
    // Two keys that become one would lose a member.
    return !changed || distinctCount(std::move(after)) == distinctCount(std::move(before));
  }

  bool array(int depth) {
    if (depth > JsonText::kMaxDepth) {
      m_tooDeep = true;
      return false;
    }
    ++m_pos;
    skipSpace();
    if (literal("]")) return true;
    for (;;) {
      if (!value(depth)) return false;
      skipSpace();
      if (literal("]")) return true;
      if (!literal(",")) return false;
      skipSpace();
    }
  }

  bool string(bool isKey, KeyRecord* key) {
    const std::size_t start = m_pos++;
    bool escaped = false;
    for (;;) {
      if (m_pos >= m_text.size()) return false;
      const auto c = static_cast<unsigned char>(m_text[m_pos]);
      if (c == '"') break;
      if (c < 0x20) return false;
      if (c != '\\') {
        ++m_pos;
        continue;
      }
      escaped = true;
      if (m_pos + 1 >= m_text.size()) return false;
      const char escape = m_text[m_pos + 1];
      if (escape == 'u') {
        if (hex4(m_text, m_pos + 2) < 0) return false;
        m_pos += 6;
      } else if (std::string_view("\"\\/bfnrt").find(escape) != std::string_view::npos) {
        m_pos += 2;
      } else {
        return false;
      }
    }
    ++m_pos;
    if (!m_out || (isKey && !m_keys)) return true;
    const std::string_view raw = m_text.substr(start + 1, m_pos - start - 2);
    std::string decoded;
    const std::string_view text = escaped ? std::string_view(decoded = decode(raw)) : raw;
    if (key) key->before = key->after = std::string(text);
    std::string edited;
    switch ((*m_editor)(text, edited, isKey)) {
      case Edit::kKeep:
        return true;
      case Edit::kReplace: {
        std::string quoted;
        JsonText::appendQuoted(edited, quoted);
        if (key) key->after = std::move(edited);
        replace(start, quoted);
        return true;
      }
      case Edit::kNull:
        if (isKey) return false;
        replace(start, "null");
        return true;
      case Edit::kFail:
        return false;
    }
    return false;
  }

  // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
  bool number() {
    literal("-");
    if (literal("0")) {
      // no more digits after a leading zero
    } else if (m_pos < m_text.size() && isDigit(m_text[m_pos])) {
      digits();
    } else {
      return false;
    }
    if (literal(".") && !digits()) return false;
    if (literal("e") || literal("E")) {
      if (!literal("+")) literal("-");
      if (!digits()) return false;
    }
    return true;
  }

  bool digits() {
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && isDigit(m_text[m_pos])) ++m_pos;
    return m_pos > start;
  }

  bool literal(std::string_view text) {
    if (m_text.substr(m_pos, text.size()) != text) return false;
    m_pos += text.size();
    return true;
  }

  void skipSpace() {
    while (m_pos < m_text.size() && isSpace(m_text[m_pos])) ++m_pos;
  }

  // Puts `text` in place of what was read from `start` up to here.
  void replace(std::size_t start, std::string_view text) {
    m_out->append(m_text.substr(m_copied, start - m_copied));
    m_out->append(text);
    m_copied = m_pos;
  }

  std::string_view m_text;
  std::string* m_out;
  const JsonText::StringEditor* m_editor;
  bool m_keys;
  std::size_t m_pos = 0;
  // Everything before this has been written to m_out.
  std::size_t m_copied = 0;
  bool m_tooDeep = false;
};

}  // namespace

JsonText::Kind JsonText::classify(std::string_view text) {
  Walker walker(text, nullptr, nullptr, false);
  if (walker.whole()) return Kind::kJson;
  return walker.tooDeep() ? Kind::kTooDeep : Kind::kNotJson;
}

bool JsonText::rewrite(std::string_view text, std::string& out, const StringEditor& editor,
                       bool keys) {
  return Walker(text, &out, &editor, keys).whole();
}

void JsonText::appendQuoted(std::string_view text, std::string& out) {
  out.reserve(out.size() + text.size() + 2);
  out.push_back('"');
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          appendEscapedUnit(c, out);
        } else if (c == 0xED && i + 2 < text.size() &&
                   (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0xA0 &&
                   (static_cast<unsigned char>(text[i + 2]) & 0xC0) == 0x80) {
          // A lone surrogate: not UTF-8, so only its escape can stand in JSON.
          appendEscapedUnit(0xD000 | ((text[i + 1] & 0x3F) << 6) | (text[i + 2] & 0x3F), out);
          i += 2;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

}  // namespace rowsmith::wordmill
