#include <gtest/gtest.h>

#include <string>

#include "localisation/TextPattern.h"

namespace rowsmith {
namespace {

TEST(TextPatternTest, PlaceholdersAreFilledInOrder) {
  EXPECT_EQ(formatPattern("%s update", {"Rowsmith"}), "Rowsmith update");
  EXPECT_EQ(formatPattern("%s date information found in invalid format %s", {"Rowsmith", "x "}),
            "Rowsmith date information found in invalid format x ");
  EXPECT_EQ(formatPattern("Processing row %d of %d", {"3", "10"}), "Processing row 3 of 10");
  EXPECT_EQ(formatPattern("100%% of %s", {"%s"}), "100% of %s");
}

TEST(TextPatternTest, AMistakenTranslationStaysReadable) {
  EXPECT_EQ(formatPattern("%s and %s", {"one"}), "one and ");
  EXPECT_EQ(formatPattern("no placeholder", {"unused"}), "no placeholder");
  EXPECT_EQ(formatPattern("50% off %x, %", {"a"}), "50% off %x, %");
}

}  // namespace
}  // namespace rowsmith
