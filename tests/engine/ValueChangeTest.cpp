// The rule that decides which filtered values a run writes back and which
// preview cells are marked as changed.
#include <gtest/gtest.h>

#include "engine/ValueChange.h"

namespace rowsmith {
namespace {

TEST(ValueChange, OnlyAResultThatDiffersFromTheStoredValueIsAChange) {
  struct Case {
    bool readNull;
    std::string readText;
    std::optional<std::string> result;
    bool changes;
  };
  const Case cases[] = {
      {false, "same", "same", false},
      {false, "5", "5", false},  // an integer read as text, given back
      {false, "", "", false},
      {true, "", std::nullopt, false},
      {true, "", "", true},  // NULL comes back as the empty string
      {false, "", std::nullopt, true},
      {false, "x", std::nullopt, true},
      {false, "same", "Same", true},
      {false, "same", "same ", true},
      {false, std::string("a\0b", 3), std::string("a\0c", 3), true},  // bytes after a zero
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.readText + (c.readNull ? " (NULL)" : "") + " -> " + c.result.value_or("NULL"));
    EXPECT_EQ(valueChanges(c.readNull, c.readText, c.result), c.changes);
  }
}

}  // namespace
}  // namespace rowsmith
