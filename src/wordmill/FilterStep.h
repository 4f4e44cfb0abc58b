#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rowsmith::wordmill {

// What a step made of the value.
enum class StepResult {
  kValue,  // `out` holds the new value; the next step goes on from it
  kNull,   // the value has become SQL NULL; the program stops here
};

// One step of a compiled filter: a line of a .fll file, or a step with the
// steps it holds in braces.
//
// Threading: steps are immutable once built (apart from the atomic count of
// values kept as they were); apply() may run on several threads at once and
// keeps any scratch space per thread.
class FilterStep {
 public:
  virtual ~FilterStep() = default;
  // Writes the step's result for `in` into `out`, which the caller has
  // cleared and which never shares memory with `in`.
  virtual StepResult apply(std::string_view in, std::string& out) const = 0;
  // True when apply() only ever appends to `out`, so that it may also be
  // given a buffer that already holds text (the output of earlier values):
  // the last step of a filter then writes there directly, without a copy.
  virtual bool appendsOnly() const { return false; }

  // How many values this step, with the steps inside it, has left exactly as
  // they were because writing them back would have broken their structure
  // (php-serialized, json-strings). Grows while values are processed; safe
  // to read from any thread.
  virtual std::uint64_t valuesKeptAsTheyWere() const { return 0; }
};

}  // namespace rowsmith::wordmill
