#include "wordmill/PairsStep.h"

#include <utility>

namespace rowsmith::wordmill {

PairsStep::PairsStep(PairsTable table, LiteralMatcher::Options options)
    : m_empty(table.keys.empty()), m_matcher(table.keys, std::move(table.replacements), options) {}

StepResult PairsStep::apply(std::string_view in, std::string& out) const {
  if (m_empty) {
    out.append(in);
  } else {
    m_matcher.replace(in, out, false);
  }
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
