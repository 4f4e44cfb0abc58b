#include "cli/SafeText.h"

#include <cstdio>

#include "wordmill/Utf8.h"

namespace rowsmith::cli {

namespace {

void appendEscape(std::string& out, const char* format, unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

}  // namespace

std::string SafeText::forTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t cp = 0;
    const std::size_t length = wordmill::utf8::decode(text, pos, cp);
    if (length == 0) {
      appendEscape(out, "\\x%02x", static_cast<unsigned char>(text[pos]));
      ++pos;
      continue;
    }
    if (cp == '\n') {
      out += "\\n";
    } else if (cp == '\r') {
      out += "\\r";
    } else if (cp == '\t') {
      out += "\\t";
    } else if (cp < 0x20 || cp == 0x7F) {
      appendEscape(out, "\\x%02x", static_cast<unsigned>(cp));
    } else if (cp >= 0x80 && cp <= 0x9F) {
      appendEscape(out, "\\u%04x", static_cast<unsigned>(cp));
    } else {
      out.append(text.substr(pos, length));
    }
    pos += length;
  }
  return out;
}

std::string SafeText::hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

}  // namespace rowsmith::cli
