#pragma once

#include "wordmill/StructuredStep.h"

namespace rowsmith::wordmill {

// json-strings [keys] { steps }: runs the steps in the braces over each
// string value of a JSON object, array or string and writes the JSON back
// with the same layout: only strings the steps changed are written again
// (escaping only what JSON requires); everything else, the escapes of the
// other strings included, stays byte for byte. With `keys` object keys go
// through the steps too. A value that is not JSON goes through the steps
// whole. JSON nested too deep to read, or whose edited keys would fall
// together, is left exactly as it was and counted. A string the steps turn
// into NULL becomes JSON's null.
//
// Threading: immutable apart from the atomic count; apply() is safe from
// several threads at once.
class JsonStringsStep : public StructuredStep {
 public:
  JsonStringsStep(StepSequence inner, bool keys) : StructuredStep(std::move(inner), keys) {}

  StepResult apply(std::string_view in, std::string& out) const override;
};

}  // namespace rowsmith::wordmill
