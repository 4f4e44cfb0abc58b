// Which typed table names go into "select * from " as typed: only those
// that cannot be read as anything but one table.
#include <gtest/gtest.h>

#include "engine/TableReference.h"

namespace rowsmith {
namespace {

TEST(TableReference, OnlyPlainQualifiedOrQuotedNamesAreReferences) {
  const std::pair<const char*, bool> cases[] = {
      {"customer", true},
      {"_t$1", true},
      {"  customer ", true},
      {"public.customer", true},
      {"db.public.customer", true},
      {"\"customer data\"", true},
      {"public.\"customer \"\"data\"\"\"", true},
      {"[customer data]", true},
      {"`customer data`", true},
      {"kund\xC3\xA4r", true},
      {"customer data", false},
      {"a.b.c.d", false},
      {"1customer", false},
      {"customer,orders", false},
      {"customer;drop table customer", false},
      {"customer--", false},
      {"customer.", false},
      {"\"customer", false},
      {"\"a\"b", false},
      {"", false},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(TableReference::isTableReference(text), expected) << text;
}

}  // namespace
}  // namespace rowsmith
