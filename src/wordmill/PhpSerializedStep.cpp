#include "wordmill/PhpSerializedStep.h"

#include "wordmill/PhpSerializedText.h"

namespace rowsmith::wordmill {

StepResult PhpSerializedStep::apply(std::string_view in, std::string& out) const {
  if (!PhpSerializedText::looksSerialized(in)) return inner().run(in, out);
  using Edit = PhpSerializedText::Edit;
  PhpSerializedText::StringEditor editor;
  editor = [&](std::string_view text, std::string& edited, bool isKey, int depth) {
    if (!isKey && PhpSerializedText::looksSerialized(text)) {
      // Serialized text inside a string: its own strings are rewritten, and
      // when it cannot be read it stays as it is.
      if (PhpSerializedText::isValid(text, depth + 1) &&
          PhpSerializedText::rewrite(text, edited, editor, keys(), depth + 1)) {
        return edited == text ? Edit::kKeep : Edit::kReplace;
      }
      countKept();
      return Edit::kKeep;
    }
    if (inner().run(text, edited) == StepResult::kNull) return Edit::kNull;
    return edited == text ? Edit::kKeep : Edit::kReplace;
  };
  // Read first, so that the steps never run over a value that is then kept.
  if (!PhpSerializedText::isValid(in) || !PhpSerializedText::rewrite(in, out, editor, keys())) {
    countKept();
    out.assign(in);
  }
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
