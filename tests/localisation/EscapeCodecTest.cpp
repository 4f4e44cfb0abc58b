#include <gtest/gtest.h>

#include <random>

#include "common/Error.h"
#include "localisation/EscapeCodec.h"

namespace rowsmith {
namespace {

using namespace std::string_literals;

struct CodecCase {
  std::string text;
  std::string escaped;
};

// Texts whose escaped form is exactly as given, in both directions.
TEST(EscapeCodecTest, EncodesAndDecodesTheEscapeTable) {
  const std::vector<CodecCase> cases = {
      {"", ""},
      {"Line1\r\nLine2", "Line1\\r\\nLine2"},
      {"\a\b\t\n\v\f\r\x1b", "\\a\\b\\t\\n\\v\\f\\r\\e"},
      {"\\", "\\\\"},
      {"C:\\Temp", "C:\\\\Temp"},
      {"\0"s, "\\000"},
      {"\x01\x06\x0e\x1a\x1c\x1f", "\\001\\006\\016\\032\\034\\037"},
      {"\x7f\x80\xff", "\x7f\x80\xff"},
      {"Zürich \"quoted\" 100%", "Zürich \"quoted\" 100%"},
  };
  for (const auto& [text, escaped] : cases) {
    EXPECT_EQ(EncodeEscapes(text), escaped) << escaped;
    EXPECT_EQ(DecodeEscapes(escaped), text) << escaped;
  }
}

// Escaped forms that the encoder never writes but a translator may.
TEST(EscapeCodecTest, DecodesWhatTheEncoderDoesNotWrite) {
  const std::vector<CodecCase> cases = {
      {"C:\\Temp", "C:\\Temp"},  // backslash-T is no escape
      {"\\N", "\\N"},            // escape letters are case-sensitive
      {"\\9", "\\9"},            // 9 cannot start an octal escape
      {"\\x\\q\\\"", "\\x\\q\\\""},
      {"A", "\\101"},
      {"\xff", "\\377"},
      {"\b1", "\\0101"},  // an octal escape takes exactly three digits
      {"\\\\", "\\\\\\\\"},
  };
  for (const auto& [text, escaped] : cases) EXPECT_EQ(DecodeEscapes(escaped), text) << escaped;
}

TEST(EscapeCodecTest, ReportsMalformedEscapes) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\\400", "\\OOO Maximum octal value is \\377"},
      {"ok\\777", "\\OOO Maximum octal value is \\377"},
      {"\\08", "\\OOO You must specify all 3 octal digits (Leading zeros are required)"},
      {"\\0x", "\\OOO You must specify all 3 octal digits (Leading zeros are required)"},
      {"\\1\\", "\\OOO You must specify all 3 octal digits (Leading zeros are required)"},
      {"abc\\", "Trailing \\ needs to be followed by another \\ or 3 Octal digits"},
      {"\\", "Trailing \\ needs to be followed by another \\ or 3 Octal digits"},
      {"abc\\1", "\\OOO Expecting 3 trailing octal digits"},
      {"abc\\12", "\\OOO Expecting 3 trailing octal digits"},
  };
  for (const auto& [escaped, message] : cases) {
    try {
      DecodeEscapes(escaped);
      ADD_FAILURE() << escaped << " should fail";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), message) << escaped;
    }
  }
}

TEST(EscapeCodecTest, EveryByteStringSurvivesARoundTrip) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  std::mt19937 random(12345);
  std::vector<std::string> texts = {everyByte, "\\\\\\", "\\0\\00\\000"};
  for (int n = 0; n < 200; ++n) {
    std::string text(random() % 40, '\0');
    for (char& c : text) c = static_cast<char>(random() % 256);
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const std::string escaped = EncodeEscapes(text);
    for (const char c : escaped) ASSERT_GE(static_cast<unsigned char>(c), 32u);
    EXPECT_EQ(DecodeEscapes(escaped), text);
  }
}

}  // namespace
}  // namespace rowsmith
