#pragma once

#include <string>
#include <utility>

#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

// null-if-empty, null-if "text": the value becomes SQL NULL when it is empty,
// or exactly equal to the text (bytes compared, case as written). The
// program stops there and answers "<NULL>".
//
// Threading: immutable; apply() is safe from several threads at once.
class NullIfStep : public FilterStep {
 public:
  // With an empty text the step is null-if-empty.
  explicit NullIfStep(std::string text) : m_text(std::move(text)) {}

  StepResult apply(std::string_view in, std::string& out) const override;

  bool appendsOnly() const override { return true; }

 private:
  std::string m_text;
};

}  // namespace rowsmith::wordmill
