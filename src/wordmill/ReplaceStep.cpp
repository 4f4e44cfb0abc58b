#include "wordmill/ReplaceStep.h"

#include <utility>

#include "wordmill/StepArgumentError.h"

namespace rowsmith::wordmill {

namespace {

const std::string& nonEmpty(const std::string& find) {
  if (find.empty())
    throw StepArgumentError(0, StepArgumentError::kWholeText, "the text to find is empty");
  return find;
}

}  // namespace

ReplaceStep::ReplaceStep(const std::string& find, std::string with, LiteralMatcher::Options options,
                         bool firstOnly)
    : m_matcher({nonEmpty(find)}, {std::move(with)}, options), m_firstOnly(firstOnly) {}

StepResult ReplaceStep::apply(std::string_view in, std::string& out) const {
  m_matcher.replace(in, out, m_firstOnly);
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
