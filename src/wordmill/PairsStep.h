#pragma once

#include "wordmill/FilterStep.h"
#include "wordmill/LiteralMatcher.h"
#include "wordmill/PairsTable.h"

namespace rowsmith::wordmill {

// pairs "table.tsv" [ignore-case] [whole-word]: many literal replacements in
// one pass, the longest key first at each position.
//
// Threading: immutable; apply() is safe from several threads at once.
class PairsStep : public FilterStep {
 public:
  PairsStep(PairsTable table, LiteralMatcher::Options options);

  StepResult apply(std::string_view in, std::string& out) const override;

  bool appendsOnly() const override { return true; }

 private:
  bool m_empty;
  LiteralMatcher m_matcher;
};

}  // namespace rowsmith::wordmill
