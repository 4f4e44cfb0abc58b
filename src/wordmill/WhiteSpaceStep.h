#pragma once

#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

// trim, trim-start, trim-end, collapse-spaces. White space is Unicode's:
// spaces, tabs, line breaks, no-break and ideographic spaces and the like.
// collapse-spaces turns every run of white space, line breaks included, into
// one plain space and leaves the ends to trim.
//
// Threading: immutable; apply() is safe from several threads at once.
class WhiteSpaceStep : public FilterStep {
 public:
  enum class Mode { kTrim, kTrimStart, kTrimEnd, kCollapse };

  explicit WhiteSpaceStep(Mode mode) : m_mode(mode) {}

  StepResult apply(std::string_view in, std::string& out) const override;

  bool appendsOnly() const override { return true; }

 private:
  Mode m_mode;
};

}  // namespace rowsmith::wordmill
