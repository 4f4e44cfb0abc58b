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

std::string FilterProgram::process(std::string_view input) const {
  if (m_steps.empty()) return std::string(input);
  // Each step reads the previous step's buffer and writes the other one; the
  // buffers stay with the thread, so a value costs no allocation but its output.
  thread_local std::string buffers[2];
  std::string_view current = input;
  int target = 0;
  for (const auto& step : m_steps) {
    std::string& out = buffers[target];
    out.clear();
    if (step->apply(current, out) == StepResult::kNull) return "<NULL>";
    current = out;
    target ^= 1;
  }
  return std::string(current);
}

}  // namespace rowsmith::wordmill
