#pragma once

#include "wordmill/StructuredStep.h"

namespace rowsmith::wordmill {

// php-serialized [keys] { steps }: runs the steps in the braces over each
// string inside a value in PHP's serialize format and writes the value back
// with every string's length fixed. A string that itself holds serialized
// text is rewritten the same way, to any depth. With `keys` the string keys
// of arrays go through the steps too; property names and class names never
// do. A value that is not serialized text goes through the steps whole. A
// value that looks serialized but cannot be read (a wrong length, a cut-off
// end) or whose keys would fall together is left exactly as it was and
// counted; so is a broken serialized text inside a string, while the rest of
// its value is rewritten. A string the steps turn into NULL becomes PHP's
// null (N;).
//
// Threading: immutable apart from the atomic count; apply() is safe from
// several threads at once.
class PhpSerializedStep : public StructuredStep {
 public:
  PhpSerializedStep(StepSequence inner, bool keys) : StructuredStep(std::move(inner), keys) {}

  StepResult apply(std::string_view in, std::string& out) const override;
};

}  // namespace rowsmith::wordmill
