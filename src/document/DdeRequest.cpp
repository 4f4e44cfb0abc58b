#include "document/DdeRequest.h"

#include <string_view>

namespace rowsmith {

std::optional<std::string> DdeRequest::fileOpenPath(const std::string& text) {
  const std::string_view prefix = kFileOpenPrefix;
  if (text.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  const std::string rest = text.substr(prefix.size());
  return rest.substr(0, rest.find('"'));
}

std::string DdeRequest::invalidMessage(const std::string& text) {
  return "Invalid DDE message " + text;
}

}  // namespace rowsmith
