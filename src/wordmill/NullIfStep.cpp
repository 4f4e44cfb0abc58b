#include "wordmill/NullIfStep.h"

namespace rowsmith::wordmill {

StepResult NullIfStep::apply(std::string_view in, std::string& out) const {
  if (in == m_text) return StepResult::kNull;
  out.append(in);
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
