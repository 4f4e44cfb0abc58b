#include "engine/db/DataLinkFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "engine/db/api/ConnectionString.h"

namespace rowsmith::db {

namespace {

const char* const kHeader = "[oledb]";
const char* const kComment = "; Everything after this line is an OLE DB initstring";

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 bytes (without their mark) to UTF-8; an unpaired surrogate
// becomes U+FFFD.
std::string utf16ToUtf8(const std::string& bytes, bool littleEndian, const std::string& path) {
  if (bytes.size() % 2 != 0)
    throw Error("Data link file \"" + path + "\" is not valid UTF-16 (odd number of bytes)");
  auto unit = [&](std::size_t i) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(littleEndian ? (a | (b << 8)) : ((a << 8) | b));
  };
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    const char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
      const char16_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : char32_t{u});
  }
  return out;
}

// UTF-8 to UTF-16LE bytes.
std::string utf8ToUtf16le(const std::string& text) {
  std::string out;
  auto put = [&](char16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    char32_t code = 0xFFFD;
    std::size_t length = 1;
    if (c < 0x80) {
      code = c;
    } else if ((c >> 5) == 0x6) {
      length = 2;
    } else if ((c >> 4) == 0xE) {
      length = 3;
    } else if ((c >> 3) == 0x1E) {
      length = 4;
    }
    if (length > 1) {
      if (i + length > text.size()) {
        length = 1;
      } else {
        code = c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
          const auto next = static_cast<unsigned char>(text[i + k]);
          if ((next >> 6) != 0x2) {
            code = 0xFFFD;
            length = 1;
            break;
          }
          code = (code << 6) | (next & 0x3F);
        }
      }
    }
    if (code >= 0x10000) {
      put(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    } else {
      put(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string DataLinkFile::connectionStringOf(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
      line.pop_back();
    const auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    line.erase(0, first);
    // Section lines and comment lines are no connection string.
    if (line.front() == '[' || line.front() == ';') continue;
    return line;
  }
  return {};
}

std::string DataLinkFile::read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("Cannot open data link file \"" + path + "\": " + std::strerror(errno));
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Error("Cannot read data link file \"" + path + "\"");

  std::string text;
  if (bytes.rfind("\xFF\xFE", 0) == 0)
    text = utf16ToUtf8(bytes.substr(2), true, path);
  else if (bytes.rfind("\xFE\xFF", 0) == 0)
    text = utf16ToUtf8(bytes.substr(2), false, path);
  else if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
    text = bytes.substr(3);
  else
    text = bytes;

  std::string connectionString = connectionStringOf(text);
  if (connectionString.empty())
    throw Error("Data link file \"" + path + "\" holds no connection string");
  return connectionString;
}

std::string DataLinkFile::problemWith(const std::string& connectionString) {
  if (connectionString.find_first_not_of(" \t") == std::string::npos)
    return "the connection string is empty";
  if (connectionString.find_first_of("\r\n") != std::string::npos)
    return "a connection string cannot hold a line break";
  // A file that names another one could never be opened.
  if (ConnectionString(connectionString).has("File Name"))
    return "a data link file cannot name another data link file";
  return {};
}

void DataLinkFile::write(const std::string& path, const std::string& connectionString) {
  const std::string problem = problemWith(connectionString);
  if (!problem.empty()) throw Error("Cannot write data link file \"" + path + "\": " + problem);
  const std::string text =
      std::string(kHeader) + "\r\n" + kComment + "\r\n" + connectionString + "\r\n";
  try {
    // The string may hold a password: the file is the user's alone.
    writeFileAtomically(path, "\xFF\xFE" + utf8ToUtf16le(text), 0600);
  } catch (const std::system_error& error) {
    throw Error("Cannot write data link file \"" + path + "\": " + error.code().message());
  }
}

}  // namespace rowsmith::db
