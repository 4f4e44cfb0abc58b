#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "localisation/IniDocument.h"

namespace rowsmith {
namespace {

using namespace std::string_literals;
using ::testing::ElementsAre;

TEST(IniDocumentTest, ReadsSectionsAndLinesByTheFileRules) {
  const IniDocument document = IniDocument::parse(
      "dropped=before any section\r\n"
      "[TForm1]\r\n"
      "; a comment\r\n"
      "\r\n"
      "Open1.Caption=&Open\n"
      "Label1 .Caption = spaced\r"
      "no equals sign\n"
      "[ spaced ]\n"
      "[]\n"
      "band=text\n"
      "[\n"
      "[global]\n"
      "190=About %s\n"
      "300=cut\0after the nul"s);
  ASSERT_EQ(document.sections().size(), 4u);
  EXPECT_EQ(document.sections()[0].name, "TForm1");
  EXPECT_THAT(document.sections()[0].lines,
              ElementsAre("Open1.Caption=&Open", "Label1 .Caption = spaced", "no equals sign"));
  EXPECT_EQ(document.sections()[1].name, " spaced ");
  EXPECT_EQ(document.sections()[2].name, "");
  EXPECT_THAT(document.sections()[2].lines, ElementsAre("band=text", "["));
  EXPECT_THAT(document.sections()[3].lines, ElementsAre("190=About %s", "300=cut"));

  EXPECT_EQ(document.find("TForm1", "Open1.Caption"), "&Open");
  EXPECT_EQ(document.find("TForm1", "Label1 .Caption "), " spaced");
  EXPECT_EQ(document.find("TForm1", "Label1.Caption"), std::nullopt);
  EXPECT_EQ(document.find("TForm1", ""), "");
  EXPECT_EQ(document.find("", "band"), "text");
  EXPECT_EQ(document.find("spaced", "x"), std::nullopt);
}

TEST(IniDocumentTest, FindsTheFirstSectionAndKeyWithoutRegardToCase) {
  const IniDocument document = IniDocument::parse(
      "[tform1]\nOPEN1.CAPTION=first\nopen1.caption=second\n"
      "[TFORM1]\nExit1.Caption=in the second section\n");
  EXPECT_EQ(document.find("TForm1", "Open1.Caption"), "first");
  EXPECT_EQ(document.find("TForm1", "Exit1.Caption"), std::nullopt);
}

TEST(IniDocumentTest, AppendsAtTheEndOfTheFirstSectionOrAddsOne) {
  IniDocument document = IniDocument::parse("[A]\nx=1\n[b]\n[a]\ny=2\n");
  document.append("a", "z", "3");
  document.append("global", "190", "About %s");
  EXPECT_EQ(document.serialize(),
            "[A]\r\nx=1\r\nz=3\r\n\r\n"
            "[b]\r\n\r\n"
            "[a]\r\ny=2\r\n\r\n"
            "[global]\r\n190=About %s\r\n\r\n");
  EXPECT_EQ(IniDocument::parse(document.serialize()).serialize(), document.serialize());
}

}  // namespace
}  // namespace rowsmith
