#include "wordmill/JsonStringsStep.h"

#include "wordmill/JsonText.h"

namespace rowsmith::wordmill {

StepResult JsonStringsStep::apply(std::string_view in, std::string& out) const {
  switch (JsonText::classify(in)) {
    case JsonText::Kind::kNotJson:
      return inner().run(in, out);
    case JsonText::Kind::kTooDeep:
      countKept();
      out.assign(in);
      return StepResult::kValue;
    case JsonText::Kind::kJson:
      break;
  }
  using Edit = JsonText::Edit;
  const auto editor = [&](std::string_view text, std::string& edited, bool) {
    if (inner().run(text, edited) == StepResult::kNull) return Edit::kNull;
    return edited == text ? Edit::kKeep : Edit::kReplace;
  };
  if (!JsonText::rewrite(in, out, editor, keys())) {
    countKept();
    out.assign(in);
  }
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
