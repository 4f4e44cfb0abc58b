#include "engine/FilterCarryOver.h"

#include "common/AsciiCase.h"

namespace rowsmith {

std::vector<std::string> carryOverFilters(const std::vector<std::string>& oldNames,
                                          const std::vector<std::string>& oldFilters,
                                          const std::vector<std::string>& newNames) {
  std::vector<std::string> filters;
  filters.reserve(newNames.size());
  for (const std::string& name : newNames) {
    std::string filter;
    for (std::size_t i = 0; i < oldNames.size(); ++i) {
      if (equalsIgnoringAsciiCase(oldNames[i], name)) {
        if (i < oldFilters.size()) filter = oldFilters[i];
        break;
      }
    }
    filters.push_back(std::move(filter));
  }
  return filters;
}

}  // namespace rowsmith
