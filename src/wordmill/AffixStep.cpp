#include "wordmill/AffixStep.h"

namespace rowsmith::wordmill {

StepResult AffixStep::apply(std::string_view in, std::string& out) const {
  out.reserve(in.size() + m_text.size());
  if (m_side == Side::kPrepend) out.append(m_text);
  out.append(in);
  if (m_side == Side::kAppend) out.append(m_text);
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
