#include "engine/db/DataLinksFolder.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace rowsmith::db {

namespace fs = std::filesystem;

std::string DataLinksFolder::path() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/')
    return std::string(dataHome) + "/rowsmith/Data Links";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0')
    return std::string(home) + "/.local/share/rowsmith/Data Links";
  return {};
}

std::vector<std::string> DataLinksFolder::list(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty()) return names;
  std::error_code error;
  fs::directory_iterator it(folder, error);
  if (error) return names;
  for (; it != fs::directory_iterator(); it.increment(error)) {
    if (error) break;
    const std::string name = it->path().filename().string();
    // The extension compares without regard to case, as the pattern "*.udl"
    // always has.
    if (name.size() < 4 || strcasecmp(name.c_str() + name.size() - 4, ".udl") != 0) continue;
    std::error_code statError;
    if (!it->is_regular_file(statError)) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace rowsmith::db
