// replace and pairs: literal replacement, one key or many.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "FilterRun.h"
#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill::test {
namespace {

TEST(ReplaceStep, ReplacesLiteralText) {
  expectCases({
      {R"~(replace "cat" "dog")~", "cat catalog", "dog dogalog"},
      {R"~(replace "a" "b" first)~", "aaa", "baa"},
      {R"~(replace "aa" "b")~", "aaa", "ba"},
      {R"~(replace "a" "aa")~", "aa", "aaaa"},  // the replacement is not searched again
      {R"~(replace " " "")~", "a b c", "abc"},
      {R"~(replace "x" "y")~", "", ""},
      {R"~(replace "abc" "X")~", "ababc", "abX"},  // a near miss just before a match
      {R"~(replace "abc" "X")~", "xxab", "xxab"},  // the text ends inside the key
      {R"~(replace "abc" "X")~", "abcabc", "XX"},
      {R"~(replace "." "!")~", "a.b", "a!b"},  // no pattern characters in literal text
      {R"~(replace "🙂" ":)")~", "hi 🙂🙂", "hi :):)"},
      {R"~(replace "ß" "ss")~", "Straße", "Strasse"},
      {R"~(replace "a" "b")~",
       "\xff"
       "a\xc3",
       "\xff"
       "b\xc3"},  // invalid UTF-8 kept
      {R"~(replace "\xff" "?")~",
       "a\xff"
       "b",
       "a?b"},  // bytes can be searched
  });
}

TEST(ReplaceStep, WholeWordNeedsNoWordCharacterOnEitherSide) {
  expectCases({
      {R"~(replace "cat" "dog" whole-word)~", "cat catalog bobcat cat. cat_",
       "dog catalog bobcat dog. cat_"},
      {R"~(replace "an" "AN" whole-word)~", "an ñan anñ 1an an", "AN ñan anñ 1an AN"},
      {R"~(replace "cafe" "X" whole-word)~", "cafe\u0301 cafe",
       "cafe\u0301 X"},  // a mark continues a word
      {R"~(replace "Σ" "S" whole-word)~", "Σ ΣΑ", "S ΣΑ"},
      {R"~(replace "a" "b" whole-word first)~", "xa a a", "xa b a"},
      {R"~(replace "-" "+" whole-word)~", "a-b - c", "a-b + c"},
      {R"~(replace "a" "b" whole-word)~",
       "\xff"
       "a\xff",
       "\xff"
       "b\xff"},
  });
}

TEST(ReplaceStep, IgnoreCaseUsesFullUnicodeFolding) {
  expectCases({
      {R"~(replace "straße" "street" ignore-case)~", "STRASSE Straße strasse",
       "street street street"},
      {R"~(replace "σοφία" "wisdom" ignore-case)~", "ΣΟΦΊΑ", "wisdom"},
      {R"~(replace "ÉCOLE" "school" ignore-case)~", "école", "school"},
      {"replace \"i\u0307stanbul\" \"X\" ignore-case", "İSTANBUL", "X"},
      // Plain "i" is not the folding of "İ", so this one stays.
      {R"~(replace "istanbul" "X" ignore-case)~", "İstanbul", "İstanbul"},
      // A match never ends inside the folding of one character ("ß" folds to "ss").
      {R"~(replace "s" "z" ignore-case)~", "ß S s", "ß z z"},
      {R"~(replace "A" "b" ignore-case)~",
       "\xff"
       "a\xc3(",
       "\xff"
       "b\xc3("},
      {R"~(replace "cat" "dog" ignore-case whole-word first)~", "CATS Cat cat", "CATS dog cat"},
      {R"~(replace "🙂" "x" ignore-case)~", "🙂", "x"},
  });
}

class PairsStepTest : public ::testing::Test {
 protected:
  // Writes the table as "table.tsv" beside a filter and runs `filterLine` over `input`.
  std::string run(std::string_view table, const std::string& filterLine, std::string_view input) {
    m_folder.write("table.tsv", table);
    return runFilter(filterLine, input, (m_folder.path() / "f.fll").string());
  }

  TempFolder m_folder;
};

TEST_F(PairsStepTest, ReplacesLongestKeyFirstInOnePass) {
  struct Case {
    std::string table, options, input, expected;
  };
  const std::vector<Case> cases = {
      {"a\t1\nab\t2\nabc\t3\n", "", "abcabxa", "32x1"},
      {"a\tb\nb\ta\n", "", "abba", "baab"},  // swapped in one pass, never re-read
      {"St\tSaint\nSt.\tStreet\n", "", "St. St", "Street Saint"},
      {"foo\t\n", "", "a foo b", "a  b"},  // empty replacement deletes
      {"Ä\tAe\nÖ\tOe\nß\tss\n", "", "Äußerst Öde", "Aeusserst Oede"},
      {"a\\tb\tTAB\n\\x23\thash\n", "", "a\tb #", "TAB hash"},  // escapes in fields
      {"\xEF\xBB\xBF# comment\r\n\r\nx\ty\r\n", "", "x", "y"},  // BOM, comments, CRLF
      {"", "", "unchanged", "unchanged"},
      {"straße\tstreet\n", "ignore-case", "STRASSE", "street"},
      {"St\tSaint\n", "whole-word", "St Kilda Street", "Saint Kilda Street"},
      // The longest key fails the word test, so the shorter one at the same place counts.
      {"new\tNEW\nnew york\tNYC\n", "whole-word", "new yorker, new york", "NEW yorker, NYC"},
      {"Mr\tMister\nMRS\tMistress\n", "ignore-case whole-word", "mr and mrs mrx",
       "Mister and Mistress mrx"},
      {"a\tb\n", "",
       "\xff"
       "a\xc3",
       "\xff"
       "b\xc3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table + " / " + c.options + " / " + c.input);
    EXPECT_EQ(run(c.table, "pairs \"table.tsv\" " + c.options, c.input), c.expected);
  }
}

TEST_F(PairsStepTest, ThousandsOfPairsGiveTheSameResultsAsOne) {
  std::string table;
  for (int i = 0; i < 5000; ++i)
    table += "key" + std::to_string(i) + "\tv" + std::to_string(i) + "\n";
  const std::string input = "key1 key42 key4999 key5000 xkey7";
  EXPECT_EQ(run(table, R"~(pairs "table.tsv")~", input), "v1 v42 v4999 v5000 xv7");
  EXPECT_EQ(run(table, R"~(pairs "table.tsv" whole-word)~", input), "v1 v42 v4999 key5000 xkey7");
}

TEST_F(PairsStepTest, RelativeTablePathsStartAtTheFilterFolder) {
  m_folder.write("sub/names.tsv", "Bob\tRobert\n");
  const std::string filter = m_folder.write("sub/f.fll", "pairs \"names.tsv\"\n");
  EXPECT_EQ(runFilter("pairs \"names.tsv\"", "Bob", filter), "Robert");
  EXPECT_EQ(runFilter("pairs \"sub/names.tsv\"", "Bob", (m_folder.path() / "g.fll").string()),
            "Robert");
  const std::string absolute = (m_folder.path() / "sub/names.tsv").string();
  EXPECT_EQ(runFilter("pairs \"" + absolute + "\"", "Bob", "/elsewhere/h.fll"), "Robert");
}

TEST_F(PairsStepTest, BadTablesNameTheFileAndItsLine) {
  const std::string table = (m_folder.path() / "table.tsv").string();
  const std::string filter = (m_folder.path() / "f.fll").string();
  struct Case {
    std::string content, message;
  };
  const std::vector<Case> cases = {
      {"a\tb\nno tab here\n", "line 2: no tab between the text to find and its replacement"},
      {"a\tb\tc\n", "line 1: more than one tab (write a tab inside a text as \\t)"},
      {"# c\n\tx\n", "line 2: the text to find is empty"},
      {"a\tb\nc\td\na\te\n", "line 3: the text to find repeats line 1"},
  };
  for (const auto& c : cases) {
    m_folder.write("table.tsv", c.content);
    try {
      FilterProgram::compile("upper\n  pairs \"table.tsv\"", filter);
      ADD_FAILURE() << "no error for " << c.content;
    } catch (const FilterCompileError& error) {
      EXPECT_EQ(error.what(), "2:9: pairs file \"" + table + "\" " + c.message);
    }
  }
}

TEST(ParallelProcessing, OneProgramServesManyThreads) {
  TempFolder folder;
  folder.write("t.tsv", "uno\tone\ndos\ttwo\n");
  const auto program = FilterProgram::compile(
      "pairs \"t.tsv\" ignore-case\nregex \"(\\w+)@(\\w+)\" \"$2 at $1\"\nreplace \"É\" \"e\" "
      "ignore-case\ntitle",
      (folder.path() / "f.fll").string());
  std::vector<std::string> inputs;
  for (int i = 0; i < 200; ++i) inputs.push_back("UNO dos é" + std::to_string(i) + " x@y");
  std::vector<std::string> expected;
  for (const auto& input : inputs) expected.push_back(program->process(input));
  EXPECT_EQ(expected.front(), "One Two E0 Y At X");

  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
          if (program->process(inputs[i]) != expected[i]) ++mismatches[t];
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace rowsmith::wordmill::test
