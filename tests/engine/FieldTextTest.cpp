#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/Error.h"
#include "engine/FieldText.h"
#include "engine/db/ConnectionFactory.h"

namespace rowsmith {
namespace {

namespace fs = std::filesystem;

struct FieldCase {
  const char* expression;  // an SQLite expression giving the field's value
  const char* text;        // what readFieldText makes of it
  bool opaque;
};

// Values as SQLite really delivers them, one column each.
TEST(FieldTextTest, SqliteValuesReadAsText) {
  const FieldCase cases[] = {
      {"NULL", "", false},
      {"''", "", false},
      {"'plain text, with ''quotes'''", "plain text, with 'quotes'", false},
      {"'ünïcödé'", "ünïcödé", false},
      {"0", "0", false},
      {"-7", "-7", false},
      {"9223372036854775807", "9223372036854775807", false},
      {"-9223372036854775807 - 1", "-9223372036854775808", false},
      {"0.1", "0.1", false},
      {"-2.5", "-2.5", false},
      {"3.0", "3", false},
      {"1e300", "1e+300", false},
      {"1.0 / 3", "0.3333333333333333", false},
      {"x'00ff'", "BLOB", true},
      {"x''", "BLOB", true},
  };
  std::string select = "select ";
  for (const auto& c : cases) select += std::string(&c == cases ? "" : ", ") + c.expression;

  auto connection = db::connect("Provider=SQLite;Data Source=:memory:");
  auto recordSet = connection->open(select, db::OpenOptions{});
  ASSERT_EQ(recordSet->fieldCount(), static_cast<int>(std::size(cases)));
  for (int i = 0; i < recordSet->fieldCount(); ++i) {
    SCOPED_TRACE(cases[i].expression);
    EXPECT_EQ(readFieldText(*recordSet, i), cases[i].text);
    EXPECT_EQ(fieldIsOpaque(*recordSet, i), cases[i].opaque);
  }
}

TEST(FieldTextTest, UnreadableFieldsReadAsBlob) {
  auto connection = db::connect("Provider=SQLite;Data Source=:memory:");
  auto recordSet = connection->open("select 1 where 0", db::OpenOptions{});
  ASSERT_TRUE(recordSet->eof());
  EXPECT_EQ(readFieldText(*recordSet, 0), "BLOB");  // no current row
  EXPECT_TRUE(fieldIsOpaque(*recordSet, 0));
  EXPECT_EQ(readFieldText(*recordSet, 5), "BLOB");  // no such field
}

// The kinds SQLite never delivers (other backends do) come through a record
// set that holds one value.
class OneValue : public db::RecordSet {
 public:
  explicit OneValue(db::Value value) : m_value(std::move(value)) {}
  bool isOpen() const override { return true; }
  bool eof() const override { return false; }
  void moveFirst() override {}
  void moveNext() override {}
  void close() override {}
  int fieldCount() const override { return 1; }
  const std::string& fieldName(int) const override { return m_name; }
  db::DataType fieldType(int) const override { return db::DataType::Empty; }
  const db::Value& value(int) override { return m_value; }
  void setValue(int, std::optional<std::string_view>) override {}
  bool supportsUpdates() const override { return false; }
  long long recordCount() const override { return 1; }

 private:
  db::Value m_value;
  std::string m_name = "f";
};

TEST(FieldTextTest, OtherKindsReadInTheirUsualForm) {
  using Kind = db::Value::Kind;
  auto make = [](Kind kind, auto fill) {
    db::Value value;
    value.kind = kind;
    fill(value);
    return value;
  };
  const std::pair<db::Value, const char*> cases[] = {
      {make(Kind::Unsigned, [](auto& v) { v.unsignedInteger = 18446744073709551615u; }),
       "18446744073709551615"},
      {make(Kind::Boolean, [](auto& v) { v.boolean = true; }), "True"},
      {make(Kind::Boolean, [](auto& v) { v.boolean = false; }), "False"},
      {make(Kind::Decimal, [](auto& v) { v.text = "12345678901234567890.0001"; }),
       "12345678901234567890.0001"},
      {make(Kind::DateTime, [](auto& v) { v.text = "2024-02-29T13:45:00"; }),
       "2024-02-29T13:45:00"},
      {make(Kind::Real, [](auto& v) { v.real = 1234567.125; }), "1234567.125"},
  };
  for (const auto& [value, text] : cases) {
    OneValue recordSet(value);
    EXPECT_EQ(readFieldText(recordSet, 0), text);
    EXPECT_FALSE(fieldIsOpaque(recordSet, 0));
  }
}

}  // namespace
}  // namespace rowsmith
