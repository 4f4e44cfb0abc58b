#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/CompiledFilters.h"

namespace rowsmith {

// What a person is told after a run or a filter pass about values that a
// filter left exactly as they were because writing them back would have
// broken their structure (serialized text that cannot be read, JSON keys
// that would fall together): one text per column whose filter left any.
// Those values are not wrong, but the user asked for them to change and
// should look at them.
//
// `columnNames[i]` names the column of `filters[i]`; a missing name is
// given as its position.
//
// Threading: reads the filters' counters, which other threads may still be
// adding to; any thread.
std::vector<std::string> keptValuesNotices(const CompiledFilterList& filters,
                                           const std::vector<std::string>& columnNames);

// The text for `count` values that filter `filterPath` left as they were;
// `column` is empty when the values came from no column.
std::string keptValuesNotice(std::uint64_t count, const std::string& column,
                             const std::string& filterPath);

}  // namespace rowsmith
