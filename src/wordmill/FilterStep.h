#pragma once

#include <string>
#include <string_view>

namespace rowsmith::wordmill {

// What a step made of the value.
enum class StepResult {
  kValue,  // `out` holds the new value; the next step goes on from it
  kNull,   // the value has become SQL NULL; the program stops here
};

// One step of a compiled filter (a line of a .fll file).
//
// Threading: steps are immutable once built; apply() may run on several
// threads at once and keeps any scratch space per thread.
class FilterStep {
 public:
  virtual ~FilterStep() = default;
  // Writes the step's result for `in` into `out`, which the caller has
  // cleared and which never shares memory with `in`.
  virtual StepResult apply(std::string_view in, std::string& out) const = 0;
};

}  // namespace rowsmith::wordmill
