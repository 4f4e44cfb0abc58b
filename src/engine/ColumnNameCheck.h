#pragma once

#include <string>
#include <vector>

#include "engine/db/api/RecordSet.h"

namespace rowsmith {

// A job's filters belong to columns by name, but a run pairs filter i with
// field i of the live result. This check keeps the two together: before a
// run writes anything, and before a preview pairs filters with sample
// columns, the result's field names must agree with the job's column names
// at every position that both have, compared without regard to case. A
// result with more fields than the job lists is left to the run's own
// "List index out of bounds"; job entries beyond the last field are unused.
//
// Threading: stateless; call it on the thread that owns the record set.
class ColumnNameCheck {
 public:
  // Raises rowsmith::Error naming the first position that differs, what the
  // job expects there and what the database has.
  static void verify(const std::vector<std::string>& jobNames,
                     const std::vector<std::string>& resultNames);
  static void verify(const std::vector<std::string>& jobNames, const db::RecordSet& result);

  // Whether two column names stand for the same column.
  static bool sameName(const std::string& a, const std::string& b);
};

}  // namespace rowsmith
