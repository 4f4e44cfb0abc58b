#include "engine/ColumnNameCheck.h"

#include <algorithm>

#include "common/Error.h"
#include "wordmill/CaseFolding.h"

namespace rowsmith {

bool ColumnNameCheck::sameName(const std::string& a, const std::string& b) {
  return a == b || wordmill::CaseFolding::fold(a) == wordmill::CaseFolding::fold(b);
}

void ColumnNameCheck::verify(const std::vector<std::string>& jobNames,
                             const std::vector<std::string>& resultNames) {
  const std::size_t common = std::min(jobNames.size(), resultNames.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (sameName(jobNames[i], resultNames[i])) continue;
    throw Error("The job's columns do not match the result: column " + std::to_string(i + 1) +
                " is \"" + resultNames[i] + "\" in the database, but the job expects \"" +
                jobNames[i] +
                "\" there. The table or query has changed since the job was saved; refresh the "
                "sample and save the job again");
  }
}

void ColumnNameCheck::verify(const std::vector<std::string>& jobNames,
                             const db::RecordSet& result) {
  std::vector<std::string> names;
  const int count = result.fieldCount();
  for (int i = 0; i < count && static_cast<std::size_t>(i) < jobNames.size(); ++i)
    names.push_back(result.fieldName(i));
  verify(jobNames, names);
}

}  // namespace rowsmith
