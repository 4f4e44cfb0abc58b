#include "wordmill/FilterProgram.h"

#include <utility>

#include "wordmill/FilterParser.h"
#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

std::shared_ptr<const FilterProgram> FilterProgram::compile(std::string_view source,
                                                            const std::string& path) {
  auto steps = FilterParser(path).parse(source);
  return std::make_shared<const FilterProgram>(path, std::move(steps));
}

FilterProgram::FilterProgram(std::string path, std::vector<std::unique_ptr<const FilterStep>> steps)
    : m_path(std::move(path)), m_steps(std::move(steps)) {}

FilterProgram::~FilterProgram() = default;

bool FilterProgram::runSteps(std::size_t count, std::string_view input,
                             std::string_view& result) const {
  result = input;
  // A filter of one step runs none here, and needs no buffers.
  if (count == 0) return true;
  // Each step reads the previous step's buffer and writes the other one; the
  // buffers stay with the thread, so the steps cost no allocation.
  thread_local std::string buffers[2];
  int target = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::string& out = buffers[target];
    out.clear();
    if (m_steps[i]->apply(result, out) == StepResult::kNull) return false;
    result = out;
    target ^= 1;
  }
  return true;
}

std::string FilterProgram::process(std::string_view input) const {
  if (m_steps.empty()) return std::string(input);
  // The last step writes straight into the returned string, so a value is
  // copied no more than its steps copy it.
  const std::size_t last = m_steps.size() - 1;
  std::string_view current;
  if (!runSteps(last, input, current)) return "<NULL>";
  std::string result;
  // Room for the usual case, where a value grows by a few bytes at most.
  result.reserve(current.size() + 16);
  if (m_steps[last]->apply(current, result) == StepResult::kNull) return "<NULL>";
  return result;
}

void FilterProgram::processAppending(std::string_view input, std::string& output) const {
  if (m_steps.empty() || !m_steps.back()->appendsOnly()) {
    std::string_view result;
    output += runSteps(m_steps.size(), input, result) ? result : std::string_view("<NULL>");
    return;
  }
  // The last step writes onto the end of `output` itself; a value that
  // becomes NULL or fails there takes back what it wrote.
  const std::size_t mark = output.size();
  std::string_view current = input;
  try {
    if ((m_steps.size() == 1 || runSteps(m_steps.size() - 1, input, current)) &&
        m_steps.back()->apply(current, output) != StepResult::kNull)
      return;
  } catch (...) {
    output.resize(mark);
    throw;
  }
  output.resize(mark);
  output += "<NULL>";
}

std::uint64_t FilterProgram::valuesKeptAsTheyWere() const {
  std::uint64_t kept = 0;
  for (const auto& step : m_steps) kept += step->valuesKeptAsTheyWere();
  return kept;
}

}  // namespace rowsmith::wordmill
