#include "document/DocumentTitle.h"

namespace rowsmith {

std::string documentTitle(const std::string& fileName, bool modified) {
  const auto slash = fileName.find_last_of('/');
  std::string title = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  if (title.empty()) title = "Untitled";
  if (modified) title += " (modified)";
  return title + " - Rowsmith by Morvane Software";
}

}  // namespace rowsmith
