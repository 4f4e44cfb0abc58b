#include "wordmill/StepSequence.h"

#include <utility>

namespace rowsmith::wordmill {

StepSequence::StepSequence(std::vector<std::unique_ptr<const FilterStep>> steps)
    : m_steps(std::move(steps)) {}

StepSequence::~StepSequence() = default;
StepSequence::StepSequence(StepSequence&&) noexcept = default;
StepSequence& StepSequence::operator=(StepSequence&&) noexcept = default;

StepResult StepSequence::run(std::string_view in, std::string& out) const {
  if (m_steps.empty()) {
    out.assign(in);
    return StepResult::kValue;
  }
  // The buffers are the call's own, never a thread's shared ones: a step in
  // the sequence may hold a sequence of its own, which runs inside this call.
  std::string buffers[2];
  std::string_view current = in;
  int target = 0;
  const std::size_t last = m_steps.size() - 1;
  for (std::size_t i = 0; i < last; ++i) {
    std::string& next = buffers[target];
    if (m_steps[i]->apply(current, next) == StepResult::kNull) return StepResult::kNull;
    current = next;
    target ^= 1;
    buffers[target].clear();
  }
  return m_steps[last]->apply(current, out);
}

std::uint64_t StepSequence::valuesKeptAsTheyWere() const {
  std::uint64_t kept = 0;
  for (const auto& step : m_steps) kept += step->valuesKeptAsTheyWere();
  return kept;
}

}  // namespace rowsmith::wordmill
