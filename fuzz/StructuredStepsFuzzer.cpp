// Feeds arbitrary bytes to php-serialized and json-strings. Any crash or
// sanitizer report is a fault, and so is a value that the step took for
// serialized text or JSON and wrote back as something its own reader no
// longer accepts: the steps must never write a structured value broken.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "wordmill/FilterProgram.h"
#include "wordmill/JsonText.h"
#include "wordmill/PhpSerializedText.h"

namespace {

using rowsmith::wordmill::FilterProgram;
using rowsmith::wordmill::JsonText;
using rowsmith::wordmill::PhpSerializedText;

// Replacements that change lengths and need escapes in JSON; keys too.
const std::shared_ptr<const FilterProgram>& serializedProgram() {
  static const auto program = FilterProgram::compile(
      "php-serialized keys {\n  replace \"a\" \"\\\"}\\\\\"\n  null-if \"N\"\n}", "fuzz.fll");
  return program;
}

const std::shared_ptr<const FilterProgram>& jsonProgram() {
  static const auto program = FilterProgram::compile(
      "json-strings keys {\n  replace \"a\" \"\\\"\\\\\\n\\x01\"\n  null-if \"N\"\n}", "fuzz.fll");
  return program;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string serialized = serializedProgram()->process(input);
  if (PhpSerializedText::looksSerialized(input) && PhpSerializedText::isValid(input) &&
      !PhpSerializedText::isValid(serialized)) {
    std::abort();
  }
  // A value that cannot be read stays exactly as it was.
  if (PhpSerializedText::looksSerialized(input) && !PhpSerializedText::isValid(input) &&
      serialized != input) {
    std::abort();
  }

  // A whole JSON string that became NULL is JSON's null.
  const std::string json = jsonProgram()->process(input);
  std::string_view bare = json;
  bare.remove_prefix(std::min(bare.find_first_not_of(" \t\r\n"), bare.size()));
  bare = bare.substr(0, bare.find_last_not_of(" \t\r\n") + 1);
  if (JsonText::classify(input) == JsonText::Kind::kJson &&
      JsonText::classify(json) != JsonText::Kind::kJson && bare != "null") {
    std::abort();
  }
  return 0;
}
