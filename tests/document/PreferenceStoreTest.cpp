#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "common/Error.h"
#include "document/PreferenceStore.h"
#include "document/PreferenceTestFolder.h"
#include "document/Settings.h"

namespace rowsmith {
namespace {

using preference_test::readFile;
using preference_test::TestFolder;
using preference_test::writeFile;
using ::testing::HasSubstr;

constexpr auto kUser = PreferenceRoot::CurrentUser;
constexpr auto kMachine = PreferenceRoot::LocalMachine;
const std::string kJobKey = "SOFTWARE\\Morvane Software\\Rowsmith";

class PreferenceStoreTest : public ::testing::Test {
 protected:
  std::filesystem::path storeFolder() const { return m_folder.path() / "config" / "rowsmith"; }
  std::filesystem::path userFile() const { return storeFolder() / "HKEY_CURRENT_USER.reg"; }
  // Names of the files in the store's folder that were kept aside.
  std::vector<std::filesystem::path> keptAsideFiles() const {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(storeFolder())) {
      if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
        found.push_back(entry.path());
      }
    }
    return found;
  }

  TestFolder m_folder;
};

TEST_F(PreferenceStoreTest, TypedValuesSurviveASaveAndAFreshStore) {
  const std::string multiLine = "select *\r\nfrom \"t\"\twhere a = 'C:\\x'";
  {
    PreferenceStore store(storeFolder());
    store.writeText(kUser, kJobKey, "data source", "Provider=SQLite;Data Source=C:\\db \"x\"");
    store.writeText(kUser, kJobKey, "query", multiLine);
    store.writeText(kUser, kJobKey, "unicode", "Zürich – 東京");
    store.writeInteger(kUser, kJobKey, "preview rows", 1000);
    store.writeInteger(kUser, kJobKey, "negative", -2);
    store.writeText(kMachine, kJobKey, "rootDir", "/opt/rowsmith");
    store.save();
  }
  const std::string text = readFile(userFile());
  EXPECT_TRUE(text.starts_with("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n")) << text;
  EXPECT_THAT(text, HasSubstr("[HKEY_CURRENT_USER\\SOFTWARE\\Morvane Software\\Rowsmith]\n"));
  EXPECT_THAT(text,
              HasSubstr("\"data source\"=\"Provider=SQLite;Data Source=C:\\\\db \\\"x\\\"\"\n"));
  EXPECT_THAT(text, HasSubstr("\"preview rows\"=dword:000003e8\n"));
  EXPECT_THAT(text, HasSubstr("\"query\"=hex(1):73,65,6c,65,63,74,20,2a,0d,0a,"));

  PreferenceStore reopened(storeFolder());
  EXPECT_EQ(reopened.readText(kUser, kJobKey, "data source", ""),
            "Provider=SQLite;Data Source=C:\\db \"x\"");
  EXPECT_EQ(reopened.readText(kUser, kJobKey, "query", ""), multiLine);
  EXPECT_EQ(reopened.readText(kUser, kJobKey, "unicode", ""), "Zürich – 東京");
  EXPECT_EQ(reopened.readInteger(kUser, kJobKey, "preview rows", 0), 1000);
  EXPECT_EQ(reopened.readInteger(kUser, kJobKey, "negative", 0), -2);
  EXPECT_EQ(reopened.readText(kMachine, kJobKey, "rootDir", ""), "/opt/rowsmith");
  EXPECT_EQ(reopened.readText(kUser, kJobKey, "rootDir", "none"), "none");
  EXPECT_TRUE(reopened.keptAside().empty());
}

TEST_F(PreferenceStoreTest, NamesAreComparedWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  PreferenceStore store(storeFolder());
  store.writeText(kUser, "Software\\Morvane Software\\Rowsmith", "Data Source", "first");
  store.writeText(kUser, "SOFTWARE\\MORVANE SOFTWARE\\ROWSMITH\\", "data source", "second");
  store.save();

  PreferenceStore reopened(storeFolder());
  EXPECT_TRUE(reopened.keyExists(kUser, "software\\morvane software\\rowsmith"));
  const auto values = reopened.values(kUser, kJobKey);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "Data Source");
  EXPECT_EQ(values[0].data, "second");
  EXPECT_THAT(readFile(userFile()),
              HasSubstr("[HKEY_CURRENT_USER\\Software\\Morvane Software\\Rowsmith]"));
}

TEST_F(PreferenceStoreTest, AValueOfTheWrongTypeReadsAsTheFallback) {
  writeFile(userFile(),
            "REGEDIT4\r\n"
            "; written by hand\r\n"
            "[HKEY_CURRENT_USER\\K]\r\n"
            "\"number as text\"=\"12\"\r\n"
            "\"text as number\"=dword:0000000c\r\n"
            "\"expandable\"=hex(2):24,48,4f,4d,45,\\\r\n"
            "  2f,78,00\r\n"
            "\"binary\"=hex:01,02\r\n"
            "\"other type\"=hex(12):41,00\r\n"
            "@=\"default value\"\r\n");
  PreferenceStore store(storeFolder());
  ASSERT_TRUE(store.keptAside().empty());
  EXPECT_EQ(store.readInteger(kUser, "K", "number as text", 7), 7);
  EXPECT_EQ(store.readText(kUser, "K", "text as number", "fallback"), "fallback");
  EXPECT_EQ(store.readText(kUser, "K", "expandable", ""), "$HOME/x");
  EXPECT_EQ(store.readText(kUser, "K", "binary", "fallback"), "fallback");
  EXPECT_EQ(store.readText(kUser, "K", "", ""), "default value");

  // Values of types the program does not write survive a save unchanged.
  store.writeInteger(kUser, "K", "new", 1);
  store.save();
  const std::string text = readFile(userFile());
  EXPECT_THAT(text, HasSubstr("\"expandable\"=hex(2):24,48,4f,4d,45,2f,78,00\n"));
  EXPECT_THAT(text, HasSubstr("\"binary\"=hex:01,02\n"));
  EXPECT_THAT(text, HasSubstr("\"other type\"=hex(12):41,00\n"));
  EXPECT_THAT(text, HasSubstr("@=\"default value\"\n"));
}

TEST_F(PreferenceStoreTest, DeletingAKeyTakesItsSubkeysButNotItsSiblings) {
  PreferenceStore store(storeFolder());
  store.writeText(kUser, "A\\Recent", "Item_0", "x");
  store.writeText(kUser, "A\\Recent\\Deeper", "v", "x");
  store.writeText(kUser, "A\\Recent files", "Item_0", "kept");
  store.deleteKey(kUser, "a\\recent");
  store.save();

  PreferenceStore reopened(storeFolder());
  EXPECT_FALSE(reopened.keyExists(kUser, "A\\Recent"));
  EXPECT_FALSE(reopened.keyExists(kUser, "A\\Recent\\Deeper"));
  EXPECT_TRUE(reopened.keyExists(kUser, "A"));
  EXPECT_EQ(reopened.readText(kUser, "A\\Recent files", "Item_0", ""), "kept");
}

TEST_F(PreferenceStoreTest, ASaveKeepsWhatAnotherStoreSavedMeanwhile) {
  PreferenceStore first(storeFolder());
  PreferenceStore second(storeFolder());
  first.writeText(kUser, kJobKey, "query", "from first");
  first.writeText(kUser, "Gone", "v", "x");
  first.save();
  second.writeInteger(kUser, kJobKey, "preview rows", 5);
  second.deleteKey(kUser, "Gone");
  second.save();

  EXPECT_EQ(second.readText(kUser, kJobKey, "query", ""), "from first");
  PreferenceStore third(storeFolder());
  EXPECT_EQ(third.readText(kUser, kJobKey, "query", ""), "from first");
  EXPECT_EQ(third.readInteger(kUser, kJobKey, "preview rows", 0), 5);
  EXPECT_FALSE(third.keyExists(kUser, "Gone"));
}

TEST_F(PreferenceStoreTest, StoreFilesAreReadableByTheirOwnerOnly) {
  writeFile(userFile(), "REGEDIT4\n");
  ::chmod(userFile().c_str(), 0644);
  PreferenceStore store(storeFolder());
  store.writeText(kUser, kJobKey, "data source", "Password=secret");
  store.writeText(kMachine, kJobKey, "rootDir", "/");
  store.save();
  for (const auto root : {kUser, kMachine}) {
    struct stat info {};
    ASSERT_EQ(::stat(store.filePath(root).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << store.filePath(root);
  }
}

TEST_F(PreferenceStoreTest, TheDefaultFolderFollowsXdgConfigHome) {
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string savedConfig = oldConfig ? oldConfig : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";

  ::setenv("XDG_CONFIG_HOME", (m_folder.path() / "xdg").c_str(), 1);
  EXPECT_EQ(PreferenceStore::defaultFolder(), m_folder.path() / "xdg" / "rowsmith");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", (m_folder.path() / "home").c_str(), 1);
  EXPECT_EQ(PreferenceStore::defaultFolder(), m_folder.path() / "home" / ".config" / "rowsmith");
  {
    PreferenceStore store;
    store.writeInteger(kUser, kJobKey, "useTable", 0);
    store.save();
  }
  EXPECT_TRUE(
      std::filesystem::exists(m_folder.path() / "home/.config/rowsmith/HKEY_CURRENT_USER.reg"));

  oldConfig ? ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST_F(PreferenceStoreTest, AFailedSaveReportsTheFileAndKeepsTheChanges) {
  // A folder below a regular file cannot be created, not even by root.
  writeFile(m_folder.path() / "blocker", "");
  const auto folder = m_folder.path() / "blocker" / "rowsmith";
  PreferenceStore store(folder);
  store.writeText(kUser, kJobKey, "query", "kept");
  try {
    store.save();
    FAIL() << "save should fail";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot create file " + (folder / "HKEY_CURRENT_USER.reg").string());
  }
  EXPECT_EQ(store.readText(kUser, kJobKey, "query", ""), "kept");
}

// The remembered job values that cannot be stored are reported by the
// name of the value, as the registry would report the first one it failed
// to set.
TEST_F(PreferenceStoreTest, SaveDefaultsThatCannotBeStoredNameTheValue) {
  writeFile(m_folder.path() / "blocker", "");
  PreferenceStore store(m_folder.path() / "blocker" / "rowsmith");
  TSettings settings;
  settings.dataSource = "DSN=Sales";
  try {
    settings.SaveDefaults(store);
    FAIL() << "SaveDefaults should fail";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'data source'");
  }
  EXPECT_EQ(store.readText(kUser, kJobKey, "data source", ""), "DSN=Sales");
}

TEST_F(PreferenceStoreTest, ControlCharactersInNamesAreRefused) {
  PreferenceStore store(storeFolder());
  EXPECT_THROW(store.writeText(kUser, "Key\nInjected]", "v", "x"), Error);
  EXPECT_THROW(store.writeInteger(kUser, kJobKey, "name\"=\n", 1), Error);
}

// Files that are not a store file: each is kept aside and its hive starts
// empty, so the remembered job values fall back to their defaults.
TEST_F(PreferenceStoreTest, ABadStoreFileIsKeptAsideAndDefaultsAreUsed) {
  const std::vector<std::string> badFiles = {
      "",
      "garbage\n",
      "\"preview rows\"=dword:00000005\n",
      "REGEDIT4\n\"preview rows\"=dword:00000005\n",
      "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"unterminated\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=\"bad \\q escape\"\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=dword:123456789\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=hex:0g\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=hex(123456789):00\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"=hex:01,\\\n",
      "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"a\"\n",
  };
  for (const std::string& bad : badFiles) {
    SCOPED_TRACE(bad);
    std::filesystem::remove_all(storeFolder());
    writeFile(userFile(), bad);

    PreferenceStore store(storeFolder());
    TSettings settings;
    settings.LoadDefaults(store);
    EXPECT_EQ(settings.previewRows, 1000);
    EXPECT_TRUE(settings.useTable);
    ASSERT_EQ(store.keptAside().size(), 1u);
    EXPECT_EQ(keptAsideFiles(), store.keptAside());
    EXPECT_EQ(readFile(store.keptAside()[0]), bad);
    EXPECT_FALSE(std::filesystem::exists(userFile()));

    settings.previewRows = 20;
    settings.SaveDefaults(store);
    EXPECT_EQ(PreferenceStore(storeFolder()).readInteger(kUser, kJobKey, "preview rows", 0), 20);
    EXPECT_EQ(readFile(store.keptAside()[0]), bad);
  }
}

TEST_F(PreferenceStoreTest, AnUnreadableStoreFileIsKeptAsideToo) {
  std::filesystem::create_directories(userFile());  // a folder where the file should be
  PreferenceStore store(storeFolder());
  ASSERT_EQ(store.keptAside().size(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(store.keptAside()[0]));
  store.writeInteger(kUser, kJobKey, "useTable", 0);
  store.save();
  EXPECT_TRUE(std::filesystem::is_regular_file(userFile()));
}

TEST_F(PreferenceStoreTest, LoadDefaultsOnAnEmptyStoreGivesTheDefaultsAndCreatesTheKey) {
  PreferenceStore store(storeFolder());
  TSettings settings;
  settings.dataSource = "old";
  settings.fileName = "/jobs/a.rsm";
  settings.columnNames = {"c"};
  settings.columnFilters = {""};
  settings.LoadDefaults(store);
  EXPECT_EQ(settings.dataSource, "");
  EXPECT_EQ(settings.query, "");
  EXPECT_EQ(settings.tableName, "");
  EXPECT_EQ(settings.previewRows, 1000);
  EXPECT_TRUE(settings.useTable);
  EXPECT_EQ(settings.fileName, "/jobs/a.rsm");
  EXPECT_EQ(settings.columnNames.size(), 1u);
  EXPECT_TRUE(store.keyExists(kUser, kJobKey));
}

TEST_F(PreferenceStoreTest, ValuesOfTheWrongTypeGiveTheirDefaults) {
  {
    PreferenceStore store(storeFolder());
    store.writeText(kUser, kJobKey, "preview rows", "50");
    store.writeText(kUser, kJobKey, "useTable", "0");
    store.writeInteger(kUser, kJobKey, "query", 3);
    store.save();
  }
  PreferenceStore store(storeFolder());
  TSettings settings;
  settings.LoadDefaults(store);
  EXPECT_EQ(settings.previewRows, 1000);
  EXPECT_TRUE(settings.useTable);
  EXPECT_EQ(settings.query, "");
}

TEST_F(PreferenceStoreTest, SaveDefaultsAndLoadDefaultsRoundTrip) {
  TSettings saved;
  saved.dataSource = "Provider=SQLite;Data Source=/tmp/a.db";
  saved.query = "select *\nfrom t";
  saved.tableName = "Customers";
  saved.useTable = false;
  saved.previewRows = -5;
  saved.fileName = "/jobs/never-stored.rsm";
  {
    PreferenceStore store(storeFolder());
    saved.SaveDefaults(store);  // saves at once: no explicit save here
  }
  const std::string text = readFile(userFile());
  EXPECT_THAT(text, HasSubstr("\"tableName\"=\"Customers\"\n"));
  EXPECT_THAT(text, HasSubstr("\"useTable\"=dword:00000000\n"));
  EXPECT_THAT(text, ::testing::Not(HasSubstr("never-stored")));

  PreferenceStore store(storeFolder());
  TSettings loaded;
  loaded.LoadDefaults(store);
  EXPECT_EQ(loaded.dataSource, saved.dataSource);
  EXPECT_EQ(loaded.query, saved.query);
  EXPECT_EQ(loaded.tableName, saved.tableName);
  EXPECT_EQ(loaded.useTable, false);
  EXPECT_EQ(loaded.previewRows, -5);
  EXPECT_EQ(loaded.fileName, "");
}

TEST(SettingsRegistryNameTest, NamesByIndex) {
  const std::string key = "SOFTWARE\\Morvane Software\\Rowsmith";
  const std::vector<std::pair<int, std::string>> cases = {
      {0, key},
      {1, "data source"},
      {2, "query"},
      {3, "preview rows"},
      {4, "tableName"},
      {5, "useTable"},
      {6, key + "\\Recent files"},
      {7, key + "\\Filters"},
      {8, ""},
      {-1, ""},
  };
  for (const auto& [index, name] : cases) EXPECT_EQ(TSettings::registryName(index), name) << index;
}

}  // namespace
}  // namespace rowsmith
