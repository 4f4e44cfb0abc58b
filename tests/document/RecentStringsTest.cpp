#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "document/PreferenceStore.h"
#include "document/PreferenceTestFolder.h"
#include "document/RecentStrings.h"
#include "document/Settings.h"

namespace rowsmith {
namespace {

using preference_test::readFile;
using preference_test::TestFolder;
using ::testing::ElementsAre;

constexpr auto kUser = PreferenceRoot::CurrentUser;

std::vector<std::string> numbered(int count) {
  std::vector<std::string> names;
  for (int i = 1; i <= count; ++i) names.push_back("/jobs/job" + std::to_string(i) + ".rsm");
  return names;
}

TEST(RecentStringsTest, KeepsTheTenNewestNewestFirst) {
  TRecentStrings list;
  for (const std::string& name : numbered(11)) list.add(name);
  ASSERT_EQ(list.count(), 10u);
  EXPECT_EQ(list.at(0), "/jobs/job11.rsm");
  EXPECT_EQ(list.at(9), "/jobs/job2.rsm");
  EXPECT_EQ(list.indexOf("/jobs/job1.rsm"), -1);
}

TEST(RecentStringsTest, AddingAListedNameMovesItToTheTopAndKeepsTheOthersInOrder) {
  TRecentStrings list;
  for (const char* name : {"e", "d", "c", "b", "a"}) list.add(name);
  list.add(list.at(3));
  EXPECT_THAT(list.entries(), ElementsAre("d", "a", "b", "c", "e"));
  list.add("d");
  EXPECT_THAT(list.entries(), ElementsAre("d", "a", "b", "c", "e"));
}

TEST(RecentStringsTest, NamesThatDifferOnlyInCaseAreDifferentFiles) {
  TRecentStrings list;
  list.add("/Jobs/A.rsm");
  list.add("/jobs/a.rsm");
  EXPECT_THAT(list.entries(), ElementsAre("/jobs/a.rsm", "/Jobs/A.rsm"));
}

TEST(RecentStringsTest, AcceptsAnEmptyNameAndTrimsToANewCapacity) {
  TRecentStrings list;
  for (const char* name : {"c", "b", "", "a"}) list.add(name);
  EXPECT_THAT(list.entries(), ElementsAre("a", "", "b", "c"));
  list.setCapacity(2);
  EXPECT_THAT(list.entries(), ElementsAre("a", ""));
  list.add("z");
  EXPECT_THAT(list.entries(), ElementsAre("z", "a"));
}

class RecentStringsStoreTest : public ::testing::Test {
 protected:
  const std::string m_key = TSettings::registryName(6);
  TestFolder m_folder;
  PreferenceStore m_store{m_folder.path()};
};

TEST_F(RecentStringsStoreTest, LoadsItem9DownToItem0) {
  m_store.writeText(kUser, m_key, "Item_0", "X");
  m_store.writeText(kUser, m_key, "Item_1", "");
  m_store.writeText(kUser, m_key, "Item_2", "Y");
  m_store.writeText(kUser, m_key, "Item_4", "/a/Dup");
  m_store.writeText(kUser, m_key, "Item_6", "/a/Dup");
  m_store.writeText(kUser, m_key, "Item_7", "/a/dup");
  m_store.writeInteger(kUser, m_key, "Item_8", 5);
  m_store.writeText(kUser, m_key, "Item_10", "beyond the list");

  TRecentStrings list;
  list.add("replaced by the load");
  list.load(m_store, m_key);
  EXPECT_THAT(list.entries(), ElementsAre("X", "Y", "/a/Dup", "/a/dup"));
}

TEST_F(RecentStringsStoreTest, AMissingKeyLoadsAnEmptyList) {
  TRecentStrings list;
  list.add("x");
  list.load(m_store, TSettings::registryName(7));
  EXPECT_EQ(list.count(), 0u);
}

TEST_F(RecentStringsStoreTest, SavingRebuildsTheKeyWithExactlyTheEntries) {
  for (int n = 0; n < 10; ++n) m_store.writeText(kUser, m_key, "Item_" + std::to_string(n), "old");
  m_store.writeText(kUser, m_key, "Other", "lost at the next save");
  m_store.save();

  TRecentStrings list;
  for (const char* name : {"c", "b", "a"}) list.add(name);
  list.save(m_store, m_key);

  PreferenceStore reopened(m_folder.path());
  const auto values = reopened.values(kUser, m_key);
  ASSERT_EQ(values.size(), 3u);
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].name, "Item_" + std::to_string(i));
    EXPECT_EQ(values[i].type, PreferenceType::Text);
    EXPECT_EQ(values[i].data, list.at(i));
  }
  TRecentStrings loaded;
  loaded.load(reopened, m_key);
  EXPECT_EQ(loaded.entries(), list.entries());
}

TEST_F(RecentStringsStoreTest, SavingAnEmptyListLeavesNoKey) {
  m_store.writeText(kUser, m_key, "Item_0", "old");
  m_store.writeText(kUser, TSettings::registryName(7), "Item_0", "filter");
  m_store.save();

  TRecentStrings().save(m_store, m_key);
  PreferenceStore reopened(m_folder.path());
  EXPECT_FALSE(reopened.keyExists(kUser, m_key));
  EXPECT_TRUE(reopened.keyExists(kUser, TSettings::registryName(0)));
  EXPECT_EQ(reopened.readText(kUser, TSettings::registryName(7), "Item_0", ""), "filter");
}

TEST_F(RecentStringsStoreTest, AnEmptyEntryIsSavedAndDroppedAtTheNextLoad) {
  TRecentStrings list;
  list.add("b");
  list.add("");
  list.add("a");
  list.save(m_store, m_key);
  EXPECT_EQ(m_store.readText(kUser, m_key, "Item_1", "missing"), "");

  TRecentStrings loaded;
  loaded.load(PreferenceStore(m_folder.path()), m_key);
  EXPECT_THAT(loaded.entries(), ElementsAre("a", "b"));
}

}  // namespace
}  // namespace rowsmith
