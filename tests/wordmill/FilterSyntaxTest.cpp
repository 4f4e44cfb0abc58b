// The filter source itself: texts and their escapes, comments, line ends,
// the order of steps, and the messages of compile errors.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FilterRun.h"
#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill::test {
namespace {

TEST(FilterSyntax, TextsDecodeTheirEscapesAndKeepAnyOtherBackslashPair) {
  expectCases({
      {R"~(append "[\\|\"|\n|\r|\t|\x41|\x7e]")~", "", "[\\|\"|\n|\r|\t|A|~]"},
      {R"~(append "[\d|\.|\w|\$|\x4|\xZ1|\é]")~", "", "[\\d|\\.|\\w|\\$|\\x4|\\xZ1|\\é]"},
      {R"~(append "\xC3\xA9")~", "", "é"},  // bytes of one UTF-8 character
      {R"~(append "#not a comment")~", "", "#not a comment"},
      {R"~(append "tab	inside")~", "", "tab\tinside"},
      {R"~(append "")~", "x", "x"},
  });
}

TEST(FilterSyntax, CommentsBlankLinesAndLineEndsAreIgnored) {
  expectCases({
      {"# header\n\n  upper # shout\n\t\nappend \"#1\" # a comment after a text\n", "a", "A#1"},
      {"\xEF\xBB\xBFupper\r\nappend \"!\"\r\n", "a", "A!"},
      {"upper#no space needed\nappend\"!\"", "a", "A!"},
      {"", "as is", "as is"},
      {"# only a comment", "as is", "as is"},
      {"replace \"a\" \"b\"\nreplace \"b\" \"c\"", "a", "c"},  // steps run in order
  });
}

// The list every unknown step names, and the usage of replace.
const std::string steps =
    "the steps are: replace, regex, pairs, upper, lower, title, trim, trim-start, trim-end, "
    "collapse-spaces, prepend, append, null-if-empty, null-if, php-serialized, json-strings";
const std::string replaceUsage =
    "write it as: replace \"find\" \"with\" [ignore-case] [whole-word] [first]";

TEST(FilterSyntax, CompileErrorsGiveLineColumnAndWhatToDo) {
  struct Case {
    std::string source, message;
  };
  const std::vector<Case> cases = {
      {"uper", "1:1: unknown step \"uper\"; " + steps},
      {"# comment\n\n  Upper", "3:3: unknown step \"Upper\"; " + steps},
      {"\"upper\"",
       "1:1: a line must start with a step name, not a text in double quotes; " + steps},
      {"upper\nreplace \"a",
       "2:9: unterminated text: add the closing \" (write \\\" for a quote "
       "inside the text)"},
      {R"~(append "a\")~",
       "1:8: unterminated text: add the closing \" (write \\\" for a quote "
       "inside the text)"},
      {R"~(replace "a" "b" frist)~",
       "1:17: unknown option \"frist\" for replace; its options are: ignore-case, whole-word, "
       "first"},
      {R"~(regex "a" "b" whole-word)~",
       "1:15: unknown option \"whole-word\" for regex; its options are: ignore-case, multiline, "
       "dotall, extended, first"},
      {R"~(replace "a")~", "1:12: replace needs 2 texts in double quotes; " + replaceUsage},
      {R"~(replace "a"   # comment)~",
       "1:12: replace needs 2 texts in double quotes; " + replaceUsage},
      {"prepend", "1:8: prepend needs 1 text in double quotes; write it as: prepend \"text\""},
      {R"~(replace a "b")~",
       "1:9: replace expects a text in double quotes here, not a; " + replaceUsage},
      {R"~(upper "x")~", "1:7: upper takes no text; write it as: upper"},
      {"trim both", "1:6: trim takes no options; write it as: trim"},
      {R"~(append "a" "b")~",
       "1:12: too many texts: append takes 1 text; write it as: append \"text\""},
      {R"~(replace "" "x")~", "1:9: the text to find is empty"},
      {R"~(regex "a(b" "x")~", "1:11: bad regex: missing closing parenthesis"},
      {R"~(regex "a)" "")~", "1:9: bad regex: unmatched closing parenthesis"},
      {R"~(regex "éé)" "")~", "1:10: bad regex: unmatched closing parenthesis"},
      {R"~(regex "\x41)" "")~", "1:12: bad regex: unmatched closing parenthesis"},
      {R"~(regex "[z-a]" "")~", "1:11: bad regex: range out of order in character class"},
      {R"~(regex "(a)" "$2")~",
       "1:14: the replacement refers to group 2 but the pattern has 1 group"},
      {R"~(regex "a" "x$y")~",
       "1:13: a \"$\" must be followed by a group number, {name} or another \"$\" (write $$ for a "
       "dollar sign)"},
      {R"~(regex "(?<n>a)" "${m}")~", "1:18: the pattern has no group named \"m\""},
      {R"~(regex "a" "${1")~", "1:12: \"${\" without its closing \"}\""},
      {R"~(pairs "missing.tsv")~",
       "1:7: cannot open pairs file \"/no/such/folder/missing.tsv\": No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    try {
      FilterProgram::compile(c.source, "/no/such/folder/f.fll");
      ADD_FAILURE() << "no error";
    } catch (const FilterCompileError& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

TEST(FilterSyntax, StepsInBracesMayShareTheLineOrTakeLinesOfTheirOwnAndNest) {
  const std::string serialized = R"(a:2:{i:0;s:3:"abc";i:1;s:2:"ab";})";
  expectCases({
      {R"(php-serialized { replace "b" "bb" })", serialized,
       R"(a:2:{i:0;s:4:"abbc";i:1;s:3:"abb";})"},
      {"php-serialized {\n  # a comment\n\n  replace \"b\" \"bb\"\n  upper\n}\nappend \"!\"",
       serialized, R"(a:2:{i:0;s:4:"ABBC";i:1;s:3:"ABB";}!)"},
      {"php-serialized{replace \"b\" \"bb\"\nupper}", serialized,
       R"(a:2:{i:0;s:4:"ABBC";i:1;s:3:"ABB";})"},
      {"php-serialized {\n}", serialized, serialized},
      {R"(json-strings keys { upper })", R"({"a": ["b", 1]})", R"({"A": ["B", 1]})"},
      {"php-serialized {\n  json-strings { upper }\n  append \"!\"\n}",
       R"(a:1:{i:0;s:11:"{"a":["b"]}";})", R"(a:1:{i:0;s:12:"{"a":["B"]}!";})"},
      {R"(json-strings { php-serialized { json-strings { upper } } })",
       R"(["s:9:\"[\"x\",\"y\"]\";"])", R"(["s:9:\"[\"X\",\"Y\"]\";"])"},
  });
}

TEST(FilterSyntax, BraceErrorsSayWhereTheBraceIsMissingOrWrong) {
  struct Case {
    std::string source, message;
  };
  const std::vector<Case> cases = {
      {"php-serialized\n{\n  replace \"a\" \"b\"\n}",
       "1:15: php-serialized needs the steps it holds in braces, opened on its line; write it as: "
       "php-serialized [keys] { steps }"},
      {"json-strings keys",
       "1:18: json-strings needs the steps it holds in braces, opened on its line; write it as: "
       "json-strings [keys] { steps }"},
      {"upper\n{ lower }",
       "2:1: a { must follow the step that holds the steps, on its line: php-serialized { or "
       "json-strings {"},
      {"upper {\n}", "1:7: upper holds no steps in braces; write it as: upper"},
      {"php-serialized {\n  replace \"a\" \"b\" {\n  }\n}",
       "2:19: replace holds no steps in braces; " + replaceUsage},
      {"php-serialized {\n  upper\n\n",
       "1:16: php-serialized { is never closed: add a } after the steps it holds"},
      // The } closes the inner step, so the outer one is the one left open.
      {"json-strings {\n  php-serialized {\n    upper\n}",
       "1:14: json-strings { is never closed: add a } after the steps it holds"},
      {"upper\n}", "2:1: this } has no { to close"},
      {"php-serialized { upper }}", "1:25: this } has no { to close"},
      {"php-serialized { upper } lower",
       "1:26: only another } may follow a } on its line; start the next step on a new line"},
      {"php-serialized { upper lower }", "1:24: upper takes no options; write it as: upper"},
      {"php-serialized { \"x\" }",
       "1:18: a step must start with a step name, not a text in double quotes; " + steps},
      {"php-serialized all { upper }",
       "1:16: unknown option \"all\" for php-serialized; its options are: keys"},
      {"json-strings \"x\" { upper }",
       "1:14: json-strings takes no text; write it as: json-strings [keys] { steps }"},
      {"php-serialized {\n  replace \"a\" }",
       "2:14: replace needs 2 texts in double quotes; " + replaceUsage},
      {"json-strings {\n  regex \"(\" \"\"\n}", "2:11: bad regex: missing closing parenthesis"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    try {
      FilterProgram::compile(c.source, "f.fll");
      ADD_FAILURE() << "no error";
    } catch (const FilterCompileError& error) {
      EXPECT_EQ(error.what(), c.message);
    }
  }
}

TEST(FilterSyntax, CompileErrorIsARowsmithErrorWithItsPosition) {
  try {
    FilterProgram::compile("\n\n   lower x", "f.fll");
    FAIL() << "no error";
  } catch (const Error& error) {
    const auto* compileError = dynamic_cast<const FilterCompileError*>(&error);
    ASSERT_NE(compileError, nullptr);
    EXPECT_EQ(compileError->line(), 3);
    EXPECT_EQ(compileError->column(), 10);
    EXPECT_EQ(compileError->reason(), "lower takes no options; write it as: lower");
  }
}

// Every filter in examples/filters compiles, and the "# test: INPUT => OUTPUT"
// lines of those that have them hold.
TEST(ShippedExamples, CompileAndDoWhatTheySay) {
  const std::filesystem::path folder =
      std::filesystem::path(ROWSMITH_SOURCE_DIR) / "examples/filters";
  int filters = 0;
  int tests = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".fll") continue;
    ++filters;
    SCOPED_TRACE(entry.path().string());
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream source;
    source << file.rdbuf();
    const auto program = FilterProgram::compile(source.str(), entry.path().string());
    std::string line;
    while (std::getline(source, line)) {
      const std::string prefix = "# test: ";
      const std::size_t arrow = line.find(" => ");
      if (!line.starts_with(prefix) || arrow == std::string::npos) continue;
      ++tests;
      const std::string input = line.substr(prefix.size(), arrow - prefix.size());
      EXPECT_EQ(program->process(input), line.substr(arrow + 4)) << "input: " << input;
    }
  }
  EXPECT_GE(filters, 5);
  EXPECT_GE(tests, 15);
}

}  // namespace
}  // namespace rowsmith::wordmill::test
