// Case mapping, white space, prepend/append and null-if.

#include <gtest/gtest.h>

#include <string>

#include "FilterRun.h"

namespace rowsmith::wordmill::test {
namespace {

TEST(CaseStep, UpperUsesFullMappings) {
  expectCases({
      {"upper", "straße", "STRASSE"},
      {"upper", "ﬁne ﬂow", "FINE FLOW"},
      {"upper", "σοφία çé", "ΣΟΦΊΑ ÇÉ"},
      {"upper", "istanbul ı", "ISTANBUL I"},
      {"upper", "ǆ e\u0301 🙂", "Ǆ E\u0301 🙂"},
      {"upper",
       "a\xff"
       "b\xc3",
       "A\xff"
       "B\xc3"},
      {"upper", "", ""},
  });
}

TEST(CaseStep, LowerKnowsTheDottedCapitalAndFinalSigma) {
  expectCases({
      {"lower", "ABC ÀÉ Ǆ", "abc àé ǆ"},
      {"lower", "İSTANBUL", "i\u0307stanbul"},
      {"lower", "ΟΔΟΣ ΟΔΟΣ. ΣΑ Σ", "οδος οδος. σα σ"},
      {"lower", "ΟΔΟΣ\u0301 x",
       "οδος\u0301 x"},  // marks after the sigma do not hide the word's end
      {"lower",
       "A\xff"
       "B",
       "a\xff"
       "b"},
  });
}

TEST(CaseStep, TitleCapitalisesTheFirstLetterOfEachWord) {
  expectCases({
      {"title", "hello wORLD", "Hello World"},
      {"title", "jean-luc o'brien", "Jean-Luc O'brien"},
      {"title", "don't  stop", "Don't  Stop"},
      {"title", "don’t", "Don’t"},
      {"title", "'quoted' words", "'Quoted' Words"},
      {"title", "élan ÉCOLE", "Élan École"},
      {"title", "ßig ǆungla ﬁsh", "Ssig ǅungla Fish"},
      {"title", "3rd street", "3rd Street"},
      {"title", "e\u0301cole", "E\u0301cole"},
      {"title", "ΟΔΟΣ", "Οδος"},
      {"title",
       "a\xff"
       "b",
       "A\xff"
       "B"},
  });
}

TEST(WhiteSpaceStep, TrimsAndCollapsesUnicodeWhiteSpace) {
  expectCases({
      {"trim", " \t a b \r\n", "a b"},
      {"trim", "\u00A0\u3000x\u2003", "x"},
      {"trim", "   ", ""},
      {"trim", "", ""},
      {"trim", "\u200Bx", "\u200Bx"},  // a zero-width space is not white space
      {"trim", "\xff ", "\xff"},
      {"trim-start", "  a  ", "a  "},
      {"trim-end", "  a  ", "  a"},
      {"trim-end", "a\xff \u2029", "a\xff"},
      {"collapse-spaces", "a  \t\n b\u00A0\u00A0c", "a b c"},
      {"collapse-spaces", "  a  ", " a "},
      {"collapse-spaces\ntrim", "  a \u3000 b  ", "a b"},
  });
}

TEST(AffixAndNullSteps, AddTextOrTurnTheValueIntoNull) {
  expectCases({
      {R"~(prepend "Mr ")~", "Smith", "Mr Smith"},
      {R"~(append " ✓")~", "done", "done ✓"},
      {"prepend \"<\"\nappend \">\"", "", "<>"},
      {"null-if-empty", "", "<NULL>"},
      {"null-if-empty", " ", " "},
      {R"~(null-if "N/A")~", "N/A", "<NULL>"},
      {R"~(null-if "N/A")~", "n/a", "n/a"},
      {R"~(null-if "N/A")~", " N/A", " N/A"},
      {"trim\nnull-if-empty", " \t ", "<NULL>"},
      {"null-if-empty\nappend \"x\"", "", "<NULL>"},  // NULL ends the program
      {"append \"x\"\nnull-if-empty", "", "x"},
  });
}

}  // namespace
}  // namespace rowsmith::wordmill::test
