#include "document/PreferenceStoreFile.h"

#include <cstdio>

#include "common/AsciiCase.h"
#include "common/Error.h"

namespace rowsmith {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";

[[noreturn]] void malformed(std::size_t lineNumber, const std::string& what) {
  throw Error("line " + std::to_string(lineNumber) + ": " + what);
}

bool hasControlCharacter(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 32) return true;
  }
  return false;
}

std::string quote(std::string_view text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::string hexBytes(std::string_view bytes) {
  std::string hex;
  char buffer[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buffer, sizeof buffer, "%02x", static_cast<unsigned char>(bytes[i]));
    if (i > 0) hex += ',';
    hex += buffer;
  }
  return hex;
}

std::string dataText(const PreferenceValue& value) {
  switch (value.type) {
    case PreferenceType::Text:
      if (!hasControlCharacter(value.data)) return quote(value.data);
      return "hex(1):" + hexBytes(value.data + std::string(1, '\0'));
    case PreferenceType::ExpandText:
      return "hex(2):" + hexBytes(value.data + std::string(1, '\0'));
    case PreferenceType::Integer: {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(value.integer));
      return buffer;
    }
    case PreferenceType::Binary: {
      if (value.binaryType == 3) return "hex:" + hexBytes(value.data);
      // The type number is hexadecimal, like the bytes.
      char type[16];
      std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.binaryType));
      return type + hexBytes(value.data);
    }
  }
  return {};
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text starting at text[pos] == '"'; leaves pos after the
// closing quote.
std::string unquote(std::string_view text, std::size_t& pos, std::size_t lineNumber) {
  std::string result;
  ++pos;
  while (pos < text.size() && text[pos] != '"') {
    if (text[pos] == '\\') {
      ++pos;
      if (pos >= text.size() || (text[pos] != '\\' && text[pos] != '"')) {
        malformed(lineNumber, "bad escape in quoted text");
      }
    }
    result += text[pos++];
  }
  if (pos >= text.size()) malformed(lineNumber, "unterminated quoted text");
  ++pos;
  return result;
}

std::string parseHexBytes(std::string_view text, std::size_t lineNumber) {
  std::string bytes;
  std::size_t pos = 0;
  auto skipBlanks = [&] {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  };
  skipBlanks();
  if (pos == text.size()) return bytes;
  while (true) {
    skipBlanks();
    if (pos + 2 > text.size() || hexDigit(text[pos]) < 0 || hexDigit(text[pos + 1]) < 0) {
      malformed(lineNumber, "bad hex data");
    }
    bytes += static_cast<char>(hexDigit(text[pos]) * 16 + hexDigit(text[pos + 1]));
    pos += 2;
    skipBlanks();
    if (pos == text.size()) return bytes;
    if (text[pos] != ',') malformed(lineNumber, "bad hex data");
    ++pos;
  }
}

PreferenceValue parseData(std::string_view data, std::size_t lineNumber) {
  PreferenceValue value;
  if (data.starts_with('"')) {
    std::size_t pos = 0;
    value.type = PreferenceType::Text;
    value.data = unquote(data, pos, lineNumber);
    if (pos != data.size()) malformed(lineNumber, "text after quoted value");
    return value;
  }
  if (data.starts_with("dword:")) {
    const std::string_view digits = data.substr(6);
    if (digits.empty() || digits.size() > 8) malformed(lineNumber, "bad dword");
    for (const char c : digits) {
      const int digit = hexDigit(c);
      if (digit < 0) malformed(lineNumber, "bad dword");
      value.integer = value.integer * 16 + static_cast<std::uint32_t>(digit);
    }
    value.type = PreferenceType::Integer;
    return value;
  }
  int hexType = -1;
  std::string_view bytes;
  if (data.starts_with("hex:")) {
    hexType = 3;
    bytes = data.substr(4);
  } else if (data.starts_with("hex(")) {
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos || close == 4 || close > 4 + 7)
      malformed(lineNumber, "bad hex type");
    hexType = 0;
    for (const char c : data.substr(4, close - 4)) {
      const int digit = hexDigit(c);
      if (digit < 0) malformed(lineNumber, "bad hex type");
      hexType = hexType * 16 + digit;
    }
    bytes = data.substr(close + 2);
  } else {
    malformed(lineNumber, "unknown value data");
  }
  value.data = parseHexBytes(bytes, lineNumber);
  if (hexType == 1 || hexType == 2) {
    value.type = hexType == 1 ? PreferenceType::Text : PreferenceType::ExpandText;
    if (!value.data.empty() && value.data.back() == '\0') value.data.pop_back();
  } else {
    value.type = PreferenceType::Binary;
    value.binaryType = hexType;
  }
  return value;
}

void setValue(PreferenceKey& key, PreferenceValue value) {
  for (PreferenceValue& existing : key.values) {
    if (equalsIgnoringAsciiCase(existing.name, value.name)) {
      value.name = existing.name;
      existing = std::move(value);
      return;
    }
  }
  key.values.push_back(std::move(value));
}

// The key path below the root of a header line's inside, or false when the
// header names another root.
bool relativePath(std::string_view inside, std::string_view rootName, std::string& path) {
  if (inside.size() < rootName.size() ||
      !equalsIgnoringAsciiCase(inside.substr(0, rootName.size()), rootName)) {
    return false;
  }
  std::string_view rest = inside.substr(rootName.size());
  if (!rest.empty() && rest.front() != '\\') return false;
  path = compactKeyPath(rest);
  return true;
}

}  // namespace

std::string compactKeyPath(std::string_view path) {
  std::string result;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos) {
      if (!result.empty()) result += '\\';
      result += path.substr(pos, end - pos);
    }
    pos = end + 1;
  }
  return result;
}

PreferenceHive PreferenceStoreFile::parse(std::string_view text, std::string_view rootName) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  PreferenceHive hive;
  PreferenceKey* current = nullptr;
  bool headerSeen = false;
  std::size_t pos = 0;
  std::size_t lineNumber = 0;
  auto nextLine = [&](std::string_view& line) {
    if (pos >= text.size()) return false;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    line = text.substr(pos, end - pos);
    if (line.ends_with('\r')) line.remove_suffix(1);
    pos = end + 1;
    ++lineNumber;
    return true;
  };

  std::string_view raw;
  while (nextLine(raw)) {
    const std::size_t firstLine = lineNumber;
    std::string line(raw);
    // Hex data may go on over several lines, each but the last ending in "\".
    while (!line.empty() && line.back() == '\\' && !line.starts_with('[')) {
      line.pop_back();
      std::string_view more;
      if (!nextLine(more)) malformed(firstLine, "continued line at end of file");
      while (!more.empty() && (more.front() == ' ' || more.front() == '\t')) more.remove_prefix(1);
      line += more;
    }
    if (line.empty() || line.front() == ';') continue;
    if (!headerSeen) {
      if (line != kHeader) malformed(firstLine, "not a REGEDIT4 file");
      headerSeen = true;
      continue;
    }
    if (line.front() == '[') {
      std::string path;
      if (line.back() != ']' ||
          !relativePath(std::string_view(line).substr(1, line.size() - 2), rootName, path)) {
        malformed(firstLine, "bad key header");
      }
      PreferenceKey& key = hive[asciiLower(path)];
      if (key.path.empty()) key.path = path;
      current = &key;
      continue;
    }
    if (current == nullptr) malformed(firstLine, "value outside a key");
    std::string name;
    std::size_t at = 0;
    if (line.front() == '@') {
      at = 1;
    } else if (line.front() == '"') {
      name = unquote(line, at, firstLine);
    } else {
      malformed(firstLine, "unrecognised line");
    }
    if (at >= line.size() || line[at] != '=') malformed(firstLine, "missing '='");
    PreferenceValue value = parseData(std::string_view(line).substr(at + 1), firstLine);
    value.name = std::move(name);
    setValue(*current, std::move(value));
  }
  if (!headerSeen) malformed(lineNumber, "not a REGEDIT4 file");
  return hive;
}

std::string PreferenceStoreFile::serialize(const PreferenceHive& hive, std::string_view rootName) {
  std::string text(kHeader);
  text += "\n\n";
  for (const auto& [folded, key] : hive) {
    text += '[';
    text += rootName;
    if (!key.path.empty()) {
      text += '\\';
      text += key.path;
    }
    text += "]\n";
    for (const PreferenceValue& value : key.values) {
      text += value.name.empty() ? std::string("@") : quote(value.name);
      text += '=';
      text += dataText(value);
      text += '\n';
    }
    text += '\n';
  }
  return text;
}

}  // namespace rowsmith
