#pragma once

#include <string>
#include <utility>

#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

// prepend "text", append "text": adds text before or after the value.
//
// Threading: immutable; apply() is safe from several threads at once.
class AffixStep : public FilterStep {
 public:
  enum class Side { kPrepend, kAppend };

  AffixStep(Side side, std::string text) : m_side(side), m_text(std::move(text)) {}

  StepResult apply(std::string_view in, std::string& out) const override;

  bool appendsOnly() const override { return true; }

 private:
  Side m_side;
  std::string m_text;
};

}  // namespace rowsmith::wordmill
