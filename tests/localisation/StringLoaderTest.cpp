#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "common/Error.h"
#include "common/ProgramDir.h"
#include "localisation/LangString.h"
#include "localisation/StringLoader.h"

namespace rowsmith {
namespace {

class StringLoaderTest : public ::testing::Test {
 protected:
  StringLoaderTest() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "rowsmith-lang-XXXXXX").string();
    m_folder = ::mkdtemp(pattern.data());
  }
  ~StringLoaderTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }

  std::filesystem::path languageFile() const { return m_folder / "Languages" / "English.ini"; }
  std::string fileText() const {
    std::ifstream in(languageFile(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  void writeLanguageFile(const std::string& text) const {
    std::filesystem::create_directories(languageFile().parent_path());
    std::ofstream(languageFile(), std::ios::binary) << text;
  }

  std::filesystem::path m_folder;
};

TEST_F(StringLoaderTest, AMissingNumberedTextIsWrittenEscapedAndSavedAtOnce) {
  TStringLoader loader(languageFile());
  EXPECT_FALSE(loader.unavailable());
  EXPECT_TRUE(std::filesystem::is_directory(languageFile().parent_path()));
  EXPECT_FALSE(std::filesystem::exists(languageFile()));

  EXPECT_EQ(loader.GetString(300, "Checking for update...please wait"),
            "Checking for update...please wait");
  EXPECT_EQ(fileText(), "[global]\r\n300=Checking for update...please wait\r\n\r\n");
  EXPECT_EQ(loader.GetString(190, "Line1\r\nC:\\x"), "Line1\r\nC:\\x");
  EXPECT_EQ(fileText(),
            "[global]\r\n300=Checking for update...please wait\r\n190=Line1\\r\\nC:\\\\x\r\n\r\n");

  TStringLoader reopened(languageFile());
  EXPECT_EQ(reopened.GetString(190, "other default"), "Line1\r\nC:\\x");
}

TEST_F(StringLoaderTest, AStoredNumberedTextWinsEvenWhenEmpty) {
  writeLanguageFile(
      "; translator's note\r\n"
      "[GLOBAL]\r\n"
      "190=Über %s\r\n"
      "310=\r\n"
      "190=second line of the key\r\n"
      "[global]\r\n"
      "320=in a later section of the same name\r\n");
  TStringLoader loader(languageFile());
  const std::string before = fileText();
  EXPECT_EQ(loader.GetString(190, "About %s"), "Über %s");
  EXPECT_EQ(loader.GetString(310, "Error connecting to web site"), "");
  EXPECT_EQ(fileText(), before);

  // Adding a missing text rewrites the file: the comment goes, the text is
  // added to the first section of the name.
  EXPECT_EQ(loader.GetString(320, "%s update"), "%s update");
  EXPECT_EQ(fileText(),
            "[GLOBAL]\r\n190=Über %s\r\n310=\r\n190=second line of the key\r\n320=%s update\r\n\r\n"
            "[global]\r\n320=in a later section of the same name\r\n\r\n");
}

TEST_F(StringLoaderTest, TranslatesPropertiesInTheCurrentSection) {
  writeLanguageFile(
      "[tform1]\r\n"
      "OPEN1.CAPTION=&Öffnen\r\n"
      "Save1.Caption=\r\n"
      "Exit1.Caption =blank before the equals sign\r\n"
      "query.Hint=A hint from the translator\r\n"
      "Label1.Caption=Multi\\r\\nline\r\n");
  TStringLoader loader(languageFile());
  loader.setCurrentSection("TForm1");

  struct Case {
    std::string component, property, builtIn, expected;
  };
  const std::vector<Case> cases = {
      {"Open1", "Caption", "&Open", "&Öffnen"},
      {"Save1", "Caption", "&Save", "&Save"},  // an empty value keeps the built-in text
      {"Exit1", "Caption", "E&xit", "E&xit"},  // no match: appended below
      {"query", "Hint", "", "A hint from the translator"},
      {"Label1", "Caption", "Data source", "Multi\r\nline"},
      {"dbConnection", "Hint", "", ""},         // looked up, never written
      {"Label3", "Caption", "", ""},            // empty: not even looked up
      {"", "Caption", "nameless", "nameless"},  // no name: nothing written
      {"Saveas1", "Caption", "Save &as...", "Save &as..."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(loader.TranslateProperty(c.component, c.property, c.builtIn), c.expected)
        << c.component << "." << c.property;
  }
  EXPECT_EQ(fileText(),
            "[tform1]\r\nOPEN1.CAPTION=&Öffnen\r\nSave1.Caption=\r\n"
            "Exit1.Caption =blank before the equals sign\r\n"
            "query.Hint=A hint from the translator\r\nLabel1.Caption=Multi\\r\\nline\r\n"
            "Exit1.Caption=E&xit\r\nSaveas1.Caption=Save &as...\r\n\r\n");

  loader.setCurrentSection("TABox");
  EXPECT_EQ(loader.TranslateProperty("ABox", "Caption", "About"), "About");
  EXPECT_THAT(fileText(), ::testing::EndsWith("[TABox]\r\nABox.Caption=About\r\n\r\n"));
}

TEST_F(StringLoaderTest, ABandTextIsLookedUpInTheSectionWithoutANameAndNeverWritten) {
  writeLanguageFile("[]\r\nTools=Werkzeuge\r\nEmpty=\r\n");
  TStringLoader loader(languageFile());
  const std::string before = fileText();
  EXPECT_EQ(loader.TranslateBandText("Tools"), "Werkzeuge");
  EXPECT_EQ(loader.TranslateBandText("Empty"), "Empty");
  EXPECT_EQ(loader.TranslateBandText("Other"), "Other");
  EXPECT_EQ(fileText(), before);
}

TEST_F(StringLoaderTest, ABadEscapeInAStoredTextIsReported) {
  writeLanguageFile("[TForm1]\r\nOpen1.Caption=\\\r\n[global]\r\n190=\\12\r\n");
  TStringLoader loader(languageFile());
  loader.setCurrentSection("TForm1");
  try {
    loader.TranslateProperty("Open1", "Caption", "&Open");
    ADD_FAILURE() << "should fail";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Trailing \\ needs to be followed by another \\ or 3 Octal digits");
  }
  try {
    loader.GetString(190, "About %s");
    ADD_FAILURE() << "should fail";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "\\OOO Expecting 3 trailing octal digits");
  }
}

TEST_F(StringLoaderTest, AnUnreadableFileMakesTheLoaderUnavailable) {
  std::filesystem::create_directories(languageFile());  // a folder: exists but cannot be read
  TStringLoader loader(languageFile());
  EXPECT_TRUE(loader.unavailable());
  loader.setCurrentSection("TForm1");
  EXPECT_EQ(loader.GetString(190, "About %s"), "About %s");
  EXPECT_EQ(loader.TranslateProperty("Open1", "Caption", "&Open"), "&Open");
  EXPECT_TRUE(std::filesystem::is_directory(languageFile()));

  EXPECT_TRUE(TStringLoader("English.ini").unavailable());  // no folder part
}

TEST_F(StringLoaderTest, AFileThatCannotBeSavedIsReportedOnceAndTheTextKept) {
  // The folder cannot be created below a regular file, not even by root.
  std::ofstream(m_folder / "blocker") << "";
  const auto path = m_folder / "blocker" / "Languages" / "English.ini";
  TStringLoader loader(path);
  EXPECT_FALSE(loader.unavailable());
  try {
    loader.GetString(190, "About %s");
    ADD_FAILURE() << "should fail";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file " + path.string());
  }
  // The line stays in memory, so it is not written (nor reported) again.
  EXPECT_EQ(loader.GetString(190, "About %s"), "About %s");
}

TEST_F(StringLoaderTest, AReadOnlyFileIsNotReplaced) {
  writeLanguageFile("[global]\r\n190=About %s\r\n");
  ::chmod(languageFile().c_str(), 0444);
  TStringLoader loader(languageFile());
  EXPECT_THROW(loader.GetString(300, "Checking"), Error);
  EXPECT_EQ(fileText(), "[global]\r\n190=About %s\r\n");
}

TEST_F(StringLoaderTest, LangStringUsesTheInstalledLoader) {
  EXPECT_EQ(LangString(190, "About %s"), "About %s");
  writeLanguageFile("[global]\r\n190=Über %s\r\n");
  TStringLoader loader(languageFile());
  setStringLoader(&loader);
  EXPECT_EQ(LangString(190, "About %s"), "Über %s");
  EXPECT_EQ(LangString(350, "%s update information not found"), "%s update information not found");
  setStringLoader(nullptr);
  EXPECT_THAT(fileText(), ::testing::HasSubstr("350=%s update information not found\r\n"));
}

TEST(StringLoaderPathTest, TheLanguageFileLiesBesideTheExecutable) {
  const std::string dir = programDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(std::filesystem::is_directory(dir));
  EXPECT_EQ(TStringLoader::languageFilePath(),
            std::filesystem::path(dir + "Languages/English.ini"));
}

}  // namespace
}  // namespace rowsmith
