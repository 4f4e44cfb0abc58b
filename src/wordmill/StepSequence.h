#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

// The steps inside the braces of a structured step (php-serialized,
// json-strings), run in order over each string that step hands them.
//
// Threading: immutable; run() is safe from several threads at once.
class StepSequence {
 public:
  explicit StepSequence(std::vector<std::unique_ptr<const FilterStep>> steps);
  ~StepSequence();
  StepSequence(StepSequence&&) noexcept;
  StepSequence& operator=(StepSequence&&) noexcept;

  // Runs every step over `in` and writes the result into `out`, which the
  // caller has cleared and which never shares memory with `in`. kNull when a
  // step turned the text into NULL; the remaining steps are not run.
  StepResult run(std::string_view in, std::string& out) const;

  // The sum over the steps.
  std::uint64_t valuesKeptAsTheyWere() const;

 private:
  std::vector<std::unique_ptr<const FilterStep>> m_steps;
};

}  // namespace rowsmith::wordmill
