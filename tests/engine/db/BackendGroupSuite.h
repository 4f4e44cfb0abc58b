#pragma once

#include <functional>
#include <string>

#include "engine/db/BackendSuite.h"

namespace rowsmith::db::testing {

// Cases of the shared suite on a table of a few thousand rows, for backends
// that write rows in groups (BackendSuiteGroupSupport.cpp). Backend test
// files instantiate it like BackendSuite.
class BackendGroupSuite : public BackendSuite {
 protected:
  // A table "(id, a)" of rows 1, 2, ... holding "a1", "a2", ..., with
  // `constraint` after the type of "a".
  std::string createTable(const std::string& constraint = "");
  // Visits the rows of `sql` (in order of id) and writes "n<id>" to each,
  // calling `before(id)` on each row before writing it, until the first
  // error; then closes. The error's message, or empty.
  std::string writeAll(const std::string& sql, const std::function<void(int)>& before);
};

}  // namespace rowsmith::db::testing
