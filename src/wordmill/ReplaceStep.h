#pragma once

#include <string>

#include "wordmill/FilterStep.h"
#include "wordmill/LiteralMatcher.h"

namespace rowsmith::wordmill {

// replace "find" "with" [ignore-case] [whole-word] [first]: literal
// replacement of every occurrence (or only the first).
//
// Threading: immutable; apply() is safe from several threads at once.
class ReplaceStep : public FilterStep {
 public:
  // Throws StepArgumentError when `find` is empty.
  ReplaceStep(const std::string& find, std::string with, LiteralMatcher::Options options,
              bool firstOnly);

  StepResult apply(std::string_view in, std::string& out) const override;

  bool appendsOnly() const override { return true; }

 private:
  LiteralMatcher m_matcher;
  bool m_firstOnly;
};

}  // namespace rowsmith::wordmill
