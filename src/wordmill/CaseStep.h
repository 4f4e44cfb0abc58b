#pragma once

#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

// upper, lower, title: Unicode case mapping. Upper-casing uses the full
// mappings where one letter becomes several ("ß" gives "SS", "ﬁ" gives "FI");
// lower-casing turns "İ" into "i" with a combining dot above and a final
// capital sigma into "ς". Title puts the first letter of every word in title
// case and the rest in lower case; a word is a run of letters, marks and
// digits, and an apostrophe inside a word does not end it ("don't" gives
// "Don't"). Bytes that are not valid UTF-8 pass unchanged.
//
// Threading: immutable; apply() is safe from several threads at once.
class CaseStep : public FilterStep {
 public:
  enum class Mode { kUpper, kLower, kTitle };

  explicit CaseStep(Mode mode) : m_mode(mode) {}

  StepResult apply(std::string_view in, std::string& out) const override;

  bool appendsOnly() const override { return true; }

 private:
  Mode m_mode;
};

}  // namespace rowsmith::wordmill
