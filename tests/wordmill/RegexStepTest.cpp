// regex: PCRE2 patterns, their options and the replacement syntax.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "FilterRun.h"
#include "common/Error.h"
#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill::test {
namespace {

TEST(RegexStep, MatchesUnicodeText) {
  expectCases({
      {R"~(regex "\w+" "<$0>")~", "naïve 東京 ok", "<naïve> <東京> <ok>"},
      {R"~(regex "\p{Lu}" "_")~", "ÀbÇ", "_b_"},
      {R"~(regex "\d+" "#")~", "12 ٣٤", "# #"},  // Arabic-Indic digits are digits too
      {R"~(regex "\bé" "E")~", "é bé", "E bé"},
      {R"~(regex "." "x")~", "a🙂e\u0301", "xxxx"},  // one character each, a combining mark too
      {R"~(regex "\X" "x")~", "a🙂e\u0301", "xxx"},  // \X takes a whole grapheme
      {R"~(regex "(?<=\$)\d+" "N")~", "$12 12", "$N 12"},  // \$ reaches PCRE2 as written
      {R"~(regex "\s+" " ")~", "a\u00A0\t b", "a b"},
  });
}

TEST(RegexStep, InvalidUtf8PassesThroughWhereNothingMatches) {
  expectCases({
      {R"~(regex "a" "b")~",
       "\xff\xfe"
       "a\xc3",
       "\xff\xfe"
       "b\xc3"},
      {R"~(regex "." "x")~",
       "a\xff"
       "b",
       "x\xffx"},
      {R"~(regex "\w+" "[$0]")~",
       "ab\xc3\x28"
       "cd",
       "[ab]\xc3([cd]"},
      {R"~(regex "" "|")~", "a\xff", "|a|\xff|"},
  });
}

TEST(RegexStep, OptionsChangeHowThePatternReads) {
  expectCases({
      {R"~(regex "σοφία" "X" ignore-case)~", "ΣΟΦΊΑ σοφία", "X X"},
      {R"~(regex "abc" "X")~", "ABC", "ABC"},
      {R"~(regex "^x" "y")~", "x\nx", "y\nx"},
      {R"~(regex "^x" "y" multiline)~", "x\nx", "y\ny"},
      {R"~(regex "a$" "b" multiline)~", "a\na", "b\nb"},
      {R"~(regex "a.b" "X")~", "a\nb", "a\nb"},
      {R"~(regex "a.b" "X" dotall)~", "a\nb", "X"},
      {R"~(regex "\d+ \s* x  # digits, then x" "N" extended)~", "12x", "N"},
      {R"~(regex "\d" "#" first)~", "1 2 3", "# 2 3"},
      {R"~(regex "a" "b" ignore-case multiline dotall extended first)~", "A a", "b a"},
  });
}

TEST(RegexStep, ReplacementTakesGroupsNamesAndDollars) {
  expectCases({
      {R"~(regex "(\d+)-(\d+)" "$2-$1")~", "12-34 5-6", "34-12 6-5"},
      {R"~(regex "(?<y>\d{4})-(?<m>\d\d)" "${m}/${y}")~", "2024-05", "05/2024"},
      {R"~(regex "(a)" "${1}0")~", "a", "a0"},
      {R"~(regex "(a)" "$10")~", "a", "a0"},  // no group 10: $1, then "0"
      {R"~(regex "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)" "$12$1$11")~", "abcdefghijkl", "lak"},
      {R"~(regex "\d+" "$$$0$$")~", "5", "$5$"},
      {R"~(regex "(a)|(b)" "[$1$2]")~", "ab", "[a][b]"},  // a group that did not take part is empty
      {R"~(regex "(?J)(?<n>a)|(?<n>b)" "<${n}>")~", "ab", "<a><b>"},
      {R"~(regex "x" "\n\t\\")~", "x", "\n\t\\"},
      {R"~(regex "x" "\1")~", "x", "\\1"},  // backslash-digit is not a group reference
  });
}

TEST(RegexStep, EmptyMatchesAdvanceOneCharacter) {
  expectCases({
      {R"~(regex "x*" "-")~", "abc", "-a-b-c-"},
      {R"~(regex "a*" "-")~", "baac", "-b--c-"},
      {R"~(regex "" "|")~", "é🙂", "|é|🙂|"},
      {R"~(regex "\b" "|")~", "ab cd", "|ab| |cd|"},
      {R"~(regex "^" ">" multiline)~", "a\nb", ">a\n>b"},
  });
}

TEST(RegexStep, RunawayBacktrackingEndsWithAnErrorNamingTheFilter) {
  const auto program = FilterProgram::compile("lower\nregex \"(a+)+$\" \"\"", "/jobs/runaway.fll");
  const std::string input = std::string(40, 'A') + "!";
  const auto started = std::chrono::steady_clock::now();
  try {
    program->process(input);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what())
                  .rfind("filter /jobs/runaway.fll, line 2: regex \"(a+)+$\" "
                         "exceeded the match limit",
                         0),
              0u)
        << error.what();
  }
  // A generous bound: only an unlimited search would take longer.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
  // The program stays usable for the next value.
  EXPECT_EQ(program->process("aaa"), "");
  // Written onto a buffer, the failing value leaves nothing of itself.
  std::string buffer = "earlier value\n";
  EXPECT_THROW(program->processAppending(input, buffer), Error);
  EXPECT_EQ(buffer, "earlier value\n");
}

}  // namespace
}  // namespace rowsmith::wordmill::test
