#pragma once

#include <string>
#include <vector>

namespace rowsmith {

// The filters of a new set of result columns, carried over by column name
// from the columns they were given to before: a name found among the old
// names (without regard to ASCII letter case) takes the filter of its first
// match; any other column gets none (empty text).
//
// Threading: a pure function.
std::vector<std::string> carryOverFilters(const std::vector<std::string>& oldNames,
                                          const std::vector<std::string>& oldFilters,
                                          const std::vector<std::string>& newNames);

}  // namespace rowsmith
