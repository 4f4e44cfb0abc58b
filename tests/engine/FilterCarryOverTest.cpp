// Filters follow their columns by name when the sample's columns change.
#include <gtest/gtest.h>

#include "engine/FilterCarryOver.h"

namespace rowsmith {
namespace {

TEST(FilterCarryOverTest, FiltersFollowTheirColumnsByName) {
  const std::vector<std::string> oldNames = {"ID", "name", "Name", "email"};
  const std::vector<std::string> oldFilters = {"", "first.fll", "second.fll", "mail.fll"};
  // Reordered, renamed in case, a new column, a duplicate name, a dropped column.
  EXPECT_EQ(carryOverFilters(oldNames, oldFilters, {"EMAIL", "id", "city", "NAME", "name"}),
            (std::vector<std::string>{"mail.fll", "", "", "first.fll", "first.fll"}));
  EXPECT_EQ(carryOverFilters({}, {}, {"a"}), (std::vector<std::string>{""}));
  EXPECT_TRUE(carryOverFilters(oldNames, oldFilters, {}).empty());
}

}  // namespace
}  // namespace rowsmith
