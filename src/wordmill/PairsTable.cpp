#include "wordmill/PairsTable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <unordered_map>

#include "wordmill/FilterLexer.h"
#include "wordmill/StepArgumentError.h"

namespace rowsmith::wordmill {

namespace {

std::string readWholeFile(const std::string& path) {
  const std::string quoted = "pairs file \"" + path + "\"";
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file)
    throw StepArgumentError(0, StepArgumentError::kWholeText,
                            "cannot open " + quoted + ": " + std::strerror(errno));
  std::string content;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) content.append(buffer, got);
  if (std::ferror(file.get())) {
    throw StepArgumentError(0, StepArgumentError::kWholeText,
                            "cannot read " + quoted + ": " + std::strerror(errno));
  }
  return content;
}

}  // namespace

std::string PairsTable::resolve(const std::string& file, const std::string& filterPath) {
  const std::filesystem::path path(file);
  if (path.is_absolute()) return path.lexically_normal().string();
  const std::filesystem::path folder = std::filesystem::path(filterPath).parent_path();
  const std::filesystem::path base = folder.empty() ? std::filesystem::current_path()
                                     : folder.is_absolute()
                                         ? folder
                                         : std::filesystem::current_path() / folder;
  return (base / path).lexically_normal().string();
}

PairsTable PairsTable::load(const std::string& file, const std::string& filterPath) {
  const std::string path = resolve(file, filterPath);
  const std::string content = readWholeFile(path);
  std::string_view rest(content);
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);

  PairsTable table;
  std::unordered_map<std::string, int> lineOfKey;
  int lineNumber = 0;
  while (!rest.empty()) {
    const std::size_t lineEnd = rest.find('\n');
    std::string_view line = rest.substr(0, lineEnd);
    rest.remove_prefix(lineEnd == std::string_view::npos ? rest.size() : lineEnd + 1);
    ++lineNumber;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    const std::string where = "pairs file \"" + path + "\" line " + std::to_string(lineNumber);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) {
      throw StepArgumentError(0, StepArgumentError::kWholeText,
                              where + ": no tab between the text to find and its replacement");
    }
    if (line.find('\t', tab + 1) != std::string_view::npos) {
      throw StepArgumentError(0, StepArgumentError::kWholeText,
                              where + ": more than one tab (write a tab inside a text as \\t)");
    }
    std::string key = FilterLexer::decodeEscapes(line.substr(0, tab));
    if (key.empty())
      throw StepArgumentError(0, StepArgumentError::kWholeText,
                              where + ": the text to find is empty");
    const auto [known, added] = lineOfKey.emplace(key, lineNumber);
    if (!added) {
      throw StepArgumentError(
          0, StepArgumentError::kWholeText,
          where + ": the text to find repeats line " + std::to_string(known->second));
    }
    table.keys.push_back(std::move(key));
    table.replacements.push_back(FilterLexer::decodeEscapes(line.substr(tab + 1)));
  }
  return table;
}

}  // namespace rowsmith::wordmill
