// Random bytes through every step: nothing throws, and bytes that are not
// valid UTF-8 come out exactly as they went in.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "FilterRun.h"
#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill::test {
namespace {

std::string randomText(std::mt19937& random, bool invalidOnly) {
  // Mostly pieces that matter to the steps, with stray bytes in between.
  static const std::string pieces[] = {"a",     "A",   " ",       "\t",   "\n",       "ß",
                                       "İ",     "Σ",   "e\u0301", "🙂", "\u00A0",   "cat",
                                       "Cat",   "1",   "\xff",    "\xc3", "\xe2\x82", "s:1:\"",
                                       "a:1:{", "\";", "}",       "[\"",  "\"]"};
  std::string text;
  const int length = static_cast<int>(random() % 24);
  for (int i = 0; i < length; ++i) {
    if (invalidOnly) {
      // Continuation bytes and bytes that never start a sequence stay invalid in any order.
      static const unsigned char invalid[] = {0x80, 0x9d, 0xbf, 0xc0, 0xc1, 0xf5, 0xfe, 0xff};
      text.push_back(static_cast<char>(invalid[random() % sizeof invalid]));
    } else {
      text += pieces[random() % std::size(pieces)];
    }
  }
  return text;
}

TEST(RandomInput, EveryStepCopesWithAnyBytes) {
  TempFolder folder;
  folder.write("t.tsv", "cat\tdog\nß\tss\n🙂\t:)\n");
  const std::string path = (folder.path() / "f.fll").string();
  const auto everything = FilterProgram::compile(
      "replace \"cat\" \"dog\" ignore-case whole-word\nregex \"\\w+|\" \"<$0>\"\n"
      "pairs \"t.tsv\" ignore-case\nupper\nlower\ntitle\ntrim\ncollapse-spaces\n"
      "prepend \"[\"\nappend \"]\"",
      path);
  const auto structured = FilterProgram::compile(
      "php-serialized keys {\n  json-strings keys { replace \"a\" \"\\\"\" }\n}", path);
  const auto unchanging = FilterProgram::compile(
      "replace \"a\" \"b\" ignore-case whole-word\nregex \"\\w|\\s\" \"x\"\npairs \"t.tsv\" "
      "ignore-case\nupper\nlower\ntitle\ntrim\ncollapse-spaces\n"
      "php-serialized { json-strings { upper } }",
      path);
  std::mt19937 random(20240601);
  for (int round = 0; round < 20000; ++round) {
    const std::string mixed = randomText(random, false);
    EXPECT_NO_THROW(everything->process(mixed)) << mixed;
    EXPECT_NO_THROW(structured->process(mixed)) << mixed;
    const std::string invalid = randomText(random, true);
    EXPECT_EQ(unchanging->process(invalid), invalid);
  }
}

}  // namespace
}  // namespace rowsmith::wordmill::test
