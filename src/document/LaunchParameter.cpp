#include "document/LaunchParameter.h"

#include <fstream>
#include <iterator>

#include "common/AsciiCase.h"
#include "common/Error.h"

namespace rowsmith {

namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "/" + letters + ("=" or end).
bool isSwitch(const std::string& text) {
  if (text.size() < 2 || text[0] != '/') return false;
  std::size_t i = 1;
  while (i < text.size() && isAsciiLetter(text[i])) ++i;
  if (i == 1) return false;
  return i == text.size() || text[i] == '=';
}

bool startsWithSwitch(const std::string& text, const char* prefix) {
  return text.size() >= 3 && equalsIgnoringAsciiCase(std::string_view(text).substr(0, 3), prefix);
}

}  // namespace

LaunchParameter LaunchParameter::classify(const std::string& argument, bool fromListFile) {
  if (!fromListFile && startsWithSwitch(argument, "/Z="))
    return {Kind::ListFile, argument.substr(3)};
  if (startsWithSwitch(argument, "/F=")) {
    // A desktop entry's "/F=%f" started without a file names nothing to open.
    if (argument.size() == 3) return {Kind::Ignored, {}};
    return {Kind::OpenFile, argument.substr(3)};
  }
  if (isSwitch(argument)) return {Kind::Invalid, argument};
  return {Kind::Ignored, {}};
}

std::string LaunchParameter::invalidMessage(const std::string& argument) {
  return "Invalid command line parameter\r\n" + argument;
}

std::vector<std::string> LaunchParameter::readListFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("Cannot open file " + path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw Error("Cannot open file " + path);
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size() || text[i] == '\r' || text[i] == '\n';
    if (!end) {
      line += text[i];
      continue;
    }
    if (!line.empty()) lines.push_back(line);
    line.clear();
    if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  return lines;
}

}  // namespace rowsmith
