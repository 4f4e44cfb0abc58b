#include "engine/KeptValuesNotice.h"

namespace rowsmith {

std::vector<std::string> keptValuesNotices(const CompiledFilterList& filters,
                                           const std::vector<std::string>& columnNames) {
  std::vector<std::string> notices;
  for (std::size_t i = 0; i < filters.size(); ++i) {
    const CompiledFilter& filter = filters[i];
    if (!filter.holder || !filter.holder->value) continue;
    const std::uint64_t count = filter.holder->value->valuesKeptAsTheyWere();
    if (count == 0) continue;
    const std::string column =
        i < columnNames.size() ? columnNames[i] : "number " + std::to_string(i + 1);
    notices.push_back(keptValuesNotice(count, column, filter.path));
  }
  return notices;
}

std::string keptValuesNotice(std::uint64_t count, const std::string& column,
                             const std::string& filterPath) {
  const bool one = count == 1;
  std::string text = std::to_string(count) + (one ? " value" : " values");
  if (!column.empty()) text += " of column " + column;
  text += one ? " was" : " were";
  text += " left as " + std::string(one ? "it was" : "they were") + ": filter " + filterPath +
          " could not change " + (one ? "it" : "them") + " without breaking " +
          (one ? "its" : "their") +
          " structure (serialized or JSON text that does not read back as such).";
  return text;
}

}  // namespace rowsmith
