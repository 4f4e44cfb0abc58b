#include "localisation/TextPattern.h"

namespace rowsmith {

std::string formatPattern(std::string_view pattern,
                          std::initializer_list<std::string_view> values) {
  std::string text;
  text.reserve(pattern.size());
  auto next = values.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char following = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '%' && (following == 's' || following == 'd')) {
      if (next != values.end()) text += *next++;
      ++i;
    } else if (c == '%' && following == '%') {
      text += '%';
      ++i;
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace rowsmith
