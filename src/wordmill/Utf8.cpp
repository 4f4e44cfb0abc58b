#include "wordmill/Utf8.h"

#include <utf8proc.h>

namespace rowsmith::wordmill::utf8 {

std::size_t decode(std::string_view text, std::size_t pos, char32_t& cp) noexcept {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + pos;
  const std::size_t left = text.size() - pos;
  const unsigned char b0 = s[0];
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  std::size_t length;
  char32_t value;
  char32_t minimum;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    value = b0 & 0x1F;
    minimum = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    value = b0 & 0x0F;
    minimum = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    value = b0 & 0x07;
    minimum = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (s[i] & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  cp = value;
  return length;
}

std::size_t decodeBefore(std::string_view text, std::size_t pos, char32_t& cp) noexcept {
  std::size_t start = pos;
  for (int back = 0; back < 4 && start > 0; ++back) {
    --start;
    const auto byte = static_cast<unsigned char>(text[start]);
    if ((byte & 0xC0) != 0x80) {
      char32_t value = 0;
      const std::size_t length = decode(text, start, value);
      if (length != pos - start) return 0;
      cp = value;
      return length;
    }
  }
  return 0;
}

std::size_t unitLength(std::string_view text, std::size_t pos) noexcept {
  char32_t cp;
  const std::size_t length = decode(text, pos, cp);
  return length == 0 ? 1 : length;
}

void append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool isWhiteSpace(char32_t cp) noexcept {
  switch (cp) {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

bool isWordChar(char32_t cp) noexcept {
  if (cp < 0x80) {
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || (cp >= '0' && cp <= '9') ||
           cp == '_';
  }
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(cp))) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_MC:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
    case UTF8PROC_CATEGORY_PC:
      return true;
    default:
      return false;
  }
}

bool isCased(char32_t cp) noexcept {
  const auto c = static_cast<utf8proc_int32_t>(cp);
  switch (utf8proc_category(c)) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
      return true;
    default:
      return utf8proc_toupper(c) != c || utf8proc_tolower(c) != c;
  }
}

int columnOf(std::string_view line, std::size_t byteOffset) noexcept {
  int column = 1;
  std::size_t pos = 0;
  while (pos < byteOffset && pos < line.size()) {
    pos += unitLength(line, pos);
    ++column;
  }
  return column;
}

bool isValid(std::string_view text) noexcept {
  char32_t cp;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = decode(text, pos, cp);
    if (length == 0) return false;
    pos += length;
  }
  return true;
}

}  // namespace rowsmith::wordmill::utf8
