#include "wordmill/PhpSerializedText.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

namespace rowsmith::wordmill {

namespace {

using Edit = PhpSerializedText::Edit;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Whether PHP turns this string key into an integer key: "0", or digits
// without a leading zero after an optional minus, within 64 bits.
bool isIntegerKey(std::string_view key) {
  if (key == "0") return true;
  const bool negative = key.starts_with('-');
  if (negative) key.remove_prefix(1);
  if (key.empty() || key.size() > 19 || key[0] == '0') return false;
  if (!std::all_of(key.begin(), key.end(), isDigit)) return false;
  return key.size() < 19 || key <= (negative ? "9223372036854775808" : "9223372036854775807");
}

// The key PHP makes of an array key, as a text that equals another key's
// exactly when PHP holds them as one key.
std::string stringKeyIdentity(std::string_view key) {
  return (isIntegerKey(key) ? "i" : "s") + std::string(key);
}

std::string integerKeyIdentity(std::string_view number) {
  const bool negative = number.starts_with('-');
  if (number.starts_with('-') || number.starts_with('+')) number.remove_prefix(1);
  while (number.size() > 1 && number[0] == '0') number.remove_prefix(1);
  return (negative && number != "0" ? "i-" : "i") + std::string(number);
}

std::size_t distinctCount(std::vector<std::string> keys) {
  std::sort(keys.begin(), keys.end());
  return static_cast<std::size_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
}

// Reads one serialized value from the start of a text; given an output and
// an editor it also writes the value again with the edited strings.
class Walker {
 public:
  Walker(std::string_view text, std::string* out, const PhpSerializedText::StringEditor* editor,
         bool keys)
      : m_text(text), m_out(out), m_editor(editor), m_keys(keys) {}

  // Reads the value at the start of the text. Whatever follows it is copied
  // as it is: PHP's unserialize does not look at it either.
  bool whole(int depth) {
    if (!value(depth)) return false;
    if (m_out) m_out->append(m_text.substr(m_copied));
    return true;
  }

 private:
  enum class Role { kValue, kKey, kPropertyName };

  // An array key as PHP holds it, before and after the editor saw it.
  struct KeyRecord {
    std::string before;
    std::string after;
  };

  bool value(int depth) {
    if (depth > PhpSerializedText::kMaxDepth || m_pos >= m_text.size()) return false;
    const char kind = m_text[m_pos];
    // PHP numbers every value but R: from 1, in the order it reads them;
    // references point back at those numbers.
    if (kind != 'R') m_slots.push_back(kind == 'O' || kind == 'C' || kind == 'E' || kind == 'r');
    std::size_t count = 0;
    switch (kind) {
      case 'N':
        return literal("N;");
      case 'b':
        return literal("b:0;") || literal("b:1;");
      case 'i':
        return literal("i:") && integer() && literal(";");
      case 'd':
        return literal("d:") && real() && literal(";");
      case 's':
        return string(Role::kValue, depth, nullptr);
      case 'r':
        // An object read before this one.
        return literal("r:") && number(count) && literal(";") && count >= 1 &&
               count < m_slots.size() && m_slots[count - 1];
      case 'R':
        return literal("R:") && number(count) && literal(";") && count >= 1 &&
               count <= m_slots.size();
      case 'a':
        return literal("a:") && number(count) && literal(":{") && members(count, true, depth + 1) &&
               literal("}");
      case 'O':
        return literal("O:") && className() && literal(":") && number(count) && literal(":{") &&
               members(count, false, depth + 1) && literal("}");
      case 'C':
        // A class's own format: its payload is kept as it is.
        return literal("C:") && className() && literal(":") && number(count) && literal(":{") &&
               skip(count) && literal("}");
      case 'E':
        return literal("E:") && enumCase() && literal(";");
      default:
        return false;
    }
  }

  // `count` pairs of a key and a value: the elements of an array, the
  // properties of an object.
  bool members(std::size_t count, bool isArray, int depth) {
    const bool checkKeys = isArray && m_out && m_keys;
    std::vector<std::string> before;
    std::vector<std::string> after;
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
      if (m_pos >= m_text.size()) return false;
      KeyRecord key;
      if (m_text[m_pos] == 'i') {
        const std::size_t start = m_pos + 2;
        if (!(literal("i:") && integer() && literal(";"))) return false;
        if (checkKeys)
          key.before = key.after = integerKeyIdentity(m_text.substr(start, m_pos - 1 - start));
      } else if (m_text[m_pos] == 's') {
        if (!string(isArray ? Role::kKey : Role::kPropertyName, depth,
                    checkKeys ? &key : nullptr)) {
          return false;
        }
      } else {
        return false;
      }
      if (checkKeys) {
        changed = changed || key.before != key.after;
        before.push_back(std::move(key.before));
        after.push_back(std::move(key.after));
      }
      if (!value(depth)) return false;
    }
    // Two keys that become one would lose an element.
    return !changed || distinctCount(std::move(after)) == distinctCount(std::move(before));
  }

  // s:N:"bytes"; in one of its roles.
  bool string(Role role, int depth, KeyRecord* key) {
    const std::size_t start = m_pos;
    std::size_t length = 0;
    if (!(literal("s:") && number(length) && literal(":\"") && skip(length) && literal("\";"))) {
      return false;
    }
    const std::string_view bytes = m_text.substr(m_pos - 2 - length, length);
    if (key) key->before = key->after = stringKeyIdentity(bytes);
    const bool isKey = role == Role::kKey;
    if (!m_out || role == Role::kPropertyName || (isKey && !m_keys)) return true;
    std::string edited;
    switch ((*m_editor)(bytes, edited, isKey, depth)) {
      case Edit::kKeep:
        return true;
      case Edit::kReplace:
        if (key) key->after = stringKeyIdentity(edited);
        replace(start, "s:" + std::to_string(edited.size()) + ":\"" + edited + "\";");
        return true;
      case Edit::kNull:
        if (isKey) return false;
        replace(start, "N;");
        return true;
      case Edit::kFail:
        return false;
    }
    return false;
  }

  // Puts `text` in place of what was read from `start` up to here.
  void replace(std::size_t start, const std::string& text) {
    m_out->append(m_text.substr(m_copied, start - m_copied));
    m_out->append(text);
    m_copied = m_pos;
  }

  bool literal(std::string_view text) {
    if (m_text.substr(m_pos, text.size()) != text) return false;
    m_pos += text.size();
    return true;
  }

  bool digits() {
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && isDigit(m_text[m_pos])) ++m_pos;
    return m_pos > start;
  }

  bool integer() {
    if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
    return digits();
  }

  // A float as PHP writes and reads it: 1.5, -.5, 5., 1.0E+25, INF, -INF, NAN.
  bool real() {
    if (literal("NAN") || literal("INF") || literal("-INF")) return true;
    if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
    const bool whole = digits();
    const bool fraction = literal(".") && digits();
    if (!whole && !fraction) return false;
    if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
      ++m_pos;
      return integer();
    }
    return true;
  }

  // A length or a count. Nothing in the text can be longer than the text,
  // so a larger number is refused before it can overflow.
  bool number(std::size_t& value) {
    const std::size_t start = m_pos;
    value = 0;
    while (m_pos < m_text.size() && isDigit(m_text[m_pos])) {
      value = value * 10 + static_cast<std::size_t>(m_text[m_pos] - '0');
      if (value > m_text.size()) return false;
      ++m_pos;
    }
    return m_pos > start;
  }

  // N:"bytes"; false or the bytes.
  std::optional<std::string_view> quoted() {
    std::size_t length = 0;
    if (!(number(length) && literal(":\"") && skip(length) && literal("\""))) return std::nullopt;
    return m_text.substr(m_pos - 1 - length, length);
  }

  // N:"Name", with only the bytes PHP allows in a class name.
  bool className() {
    const auto name = quoted();
    return name && isName(*name, true);
  }

  // N:"Class:Case".
  bool enumCase() {
    const auto name = quoted();
    if (!name) return false;
    const std::size_t colon = name->find(':');
    return colon != std::string_view::npos && isName(name->substr(0, colon), true) &&
           isName(name->substr(colon + 1), false) && !isDigit((*name)[colon + 1]);
  }

  static bool isName(std::string_view name, bool withBackslash) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [&](char c) {
      return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_' ||
             (withBackslash && c == '\\') || static_cast<unsigned char>(c) >= 0x80;
    });
  }

  bool skip(std::size_t length) {
    if (length > m_text.size() - m_pos) return false;
    m_pos += length;
    return true;
  }

  std::string_view m_text;
  std::string* m_out;
  const PhpSerializedText::StringEditor* m_editor;
  bool m_keys;
  // For each value read so far, whether it is an object.
  std::vector<bool> m_slots;
  std::size_t m_pos = 0;
  // Everything before this has been written to m_out.
  std::size_t m_copied = 0;
};

}  // namespace

bool PhpSerializedText::looksSerialized(std::string_view text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  // A string, an array, an object or a kept form: its letter and a colon
  // are enough, so that a value whose length or count was damaged is still
  // taken for what it was meant to be.
  if (text.size() >= 2 && text[1] == ':' &&
      std::string_view("saOCES").find(text[0]) != std::string_view::npos) {
    return true;
  }
  // A scalar only when it is all there is.
  return isValid(text);
}

bool PhpSerializedText::isValid(std::string_view text, int depth) {
  return Walker(text, nullptr, nullptr, false).whole(depth);
}

bool PhpSerializedText::rewrite(std::string_view text, std::string& out, const StringEditor& editor,
                                bool keys, int depth) {
  return Walker(text, &out, &editor, keys).whole(depth);
}

}  // namespace rowsmith::wordmill
