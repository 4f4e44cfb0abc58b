// php-serialized { … }: strings inside PHP-serialized values rewritten with
// their lengths fixed, serialized text inside strings, values kept when they
// cannot be read, and PHP's own unserialize as the judge.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "FilterRun.h"
#include "PhpOracle.h"
#include "wordmill/FilterProgram.h"
#include "wordmill/PhpSerializedText.h"
#include "wordmill/WordmillWindow.h"

namespace rowsmith::wordmill::test {
namespace {

using namespace std::string_literals;

const std::string kMove =
    R"(php-serialized { replace "http://old.example" "https://new.example" })";

// Options and post meta as WordPress and its plugins store them (made with
// PHP's serialize): a widget whose text holds quotes, a CR LF and what looks
// like serialized text; theme settings with an object, floats and null; an
// attachment's metadata serialized twice; plugin settings holding a
// serialized array in one of their strings.
const std::vector<std::string>& wordPressValues() {
  static const std::vector<std::string> values = {
      "a:3:{i:2;a:4:{s:5:\"title\";s:10:\"About \"us\"\";s:4:\"text\";s:78:\"<a "
      "href=\"http://old.example/about/\">About us</a>\r\nCafé — \"quoted\"; "
      "s:3:\"x\";\";s:6:\"filter\";b:1;s:6:\"visual\";b:0;}i:3;a:0:{}s:12:\"_multiwidget\";i:1;}",
      R"(a:7:{i:0;b:0;s:18:"nav_menu_locations";a:2:{s:7:"primary";i:2;s:6:"footer";i:3;})"
      R"(s:18:"custom_css_post_id";i:-1;s:12:"header_image";)"
      R"(s:56:"http://old.example/wp-content/uploads/2021/03/header.jpg";)"
      R"(s:17:"header_image_data";O:8:"stdClass":6:{s:13:"attachment_id";i:12;)"
      R"(s:3:"url";s:56:"http://old.example/wp-content/uploads/2021/03/header.jpg";)"
      R"(s:13:"thumbnail_url";s:64:"http://old.example/wp-content/uploads/2021/03/header-150x150.jpg";)"
      R"(s:6:"height";i:400;s:5:"width";i:1200;s:3:"alt";N;}s:5:"ratio";d:1.5;s:3:"big";d:1.0E+25;})",
      R"(s:215:"a:2:{s:5:"sizes";a:1:{s:9:"thumbnail";a:2:{s:4:"file";s:13:"a-150x150.png";)"
      R"(s:3:"url";s:32:"http://old.example/a-150x150.png";}}s:10:"image_meta";a:2:{)"
      R"(s:7:"caption";s:21:"Grüße aus Köln ✓";s:6:"credit";s:0:"";}}";)",
      R"(a:3:{s:7:"version";s:3:"2.1";s:8:"settings";s:134:"a:2:{s:4:"logo";)"
      R"(s:27:"http://old.example/logo.png";s:5:"links";a:2:{i:0;s:19:"http://old.example/";)"
      R"(i:1;s:21:"http://other.example/";}}";s:4:"home";s:18:"http://old.example";})",
  };
  return values;
}

TEST(PhpSerializedStep, RewritesEveryStringAndFixesItsLength) {
  expectCases({
      {kMove, R"(s:18:"http://old.example";)", R"(s:19:"https://new.example";)"},
      {R"(php-serialized { replace "Köln" "Cologne" })", R"(a:1:{i:0;s:5:"Köln";})",
       R"(a:1:{i:0;s:7:"Cologne";})"},
      // Lengths, not quotes, say where a string ends.
      {R"(php-serialized { replace "y" "yy" })", R"(a:1:{i:0;s:10:"x";}s:1:"y";})",
       R"(a:1:{i:0;s:11:"x";}s:1:"yy";})"},
      // Every other kind of value is copied as it is.
      {"php-serialized { upper }",
       R"(a:8:{i:0;N;i:1;b:1;i:-2;i:-7;i:3;d:0.1;i:4;d:-INF;i:5;d:1.0E+25;i:6;s:1:"a";i:7;R:2;})",
       R"(a:8:{i:0;N;i:1;b:1;i:-2;i:-7;i:3;d:0.1;i:4;d:-INF;i:5;d:1.0E+25;i:6;s:1:"A";i:7;R:2;})"},
      {"php-serialized { upper }", R"(C:11:"ArrayObject":21:{x:i:0;a:0:{};m:a:0:{}})",
       R"(C:11:"ArrayObject":21:{x:i:0;a:0:{};m:a:0:{}})"},
      {"php-serialized { upper }", R"(a:1:{i:0;E:11:"Suit:Hearts";})",
       R"(a:1:{i:0;E:11:"Suit:Hearts";})"},
      // Keys only with `keys`; class and property names never, private and
      // protected ones (with their NUL bytes) included.
      {"php-serialized { upper }", R"(a:1:{s:1:"k";s:1:"v";})", R"(a:1:{s:1:"k";s:1:"V";})"},
      {"php-serialized keys { upper }", R"(a:2:{s:1:"k";s:1:"v";i:1;s:1:"w";})",
       R"(a:2:{s:1:"K";s:1:"V";i:1;s:1:"W";})"},
      {"php-serialized keys { upper }",
       "O:3:\"Foo\":3:{s:8:\"\0Foo\0url\";s:1:\"a\";s:6:\"\0*\0url\";s:1:\"b\";s:1:\"c\";s:1:\"d\";}"s,
       "O:3:\"Foo\":3:{s:8:\"\0Foo\0url\";s:1:\"A\";s:6:\"\0*\0url\";s:1:\"B\";s:1:\"c\";s:1:\"D\";}"s},
      // A string that becomes NULL becomes PHP's null.
      {R"(php-serialized { null-if "N/A" })", R"(a:2:{i:0;s:3:"N/A";i:1;s:1:"x";})",
       R"(a:2:{i:0;N;i:1;s:1:"x";})"},
      // What follows the value stays as it is (PHP ignores it); an unchanged
      // string keeps its form.
      {"php-serialized { upper }", "s:1:\"a\";\r\n", "s:1:\"A\";\r\n"},
      {"php-serialized { upper }", R"(a:1:{i:0;s:1:"a";}}s:1:"b";)",
       R"(a:1:{i:0;s:1:"A";}}s:1:"b";)"},
      {R"(php-serialized { replace "b" "c" })", R"(a:01:{i:0;s:01:"a";})",
       R"(a:01:{i:0;s:01:"a";})"},
      {"php-serialized { upper }", R"(a:01:{i:0;s:01:"a";})", R"(a:01:{i:0;s:1:"A";})"},
      {"php-serialized { upper }", "i:5;", "i:5;"},
      {"php-serialized { upper }", "N;", "N;"},
  });
}

TEST(PhpSerializedStep, SerializedTextInsideAStringIsRewrittenToo) {
  const auto& values = wordPressValues();
  expectCases({
      {kMove, values[2],
       R"(s:216:"a:2:{s:5:"sizes";a:1:{s:9:"thumbnail";a:2:{s:4:"file";s:13:"a-150x150.png";)"
       R"(s:3:"url";s:33:"https://new.example/a-150x150.png";}}s:10:"image_meta";a:2:{)"
       R"(s:7:"caption";s:21:"Grüße aus Köln ✓";s:6:"credit";s:0:"";}}";)"},
      {kMove, values[3],
       R"(a:3:{s:7:"version";s:3:"2.1";s:8:"settings";s:136:"a:2:{s:4:"logo";)"
       R"(s:28:"https://new.example/logo.png";s:5:"links";a:2:{i:0;s:20:"https://new.example/";)"
       R"(i:1;s:21:"http://other.example/";}}";s:4:"home";s:19:"https://new.example";})"},
      // Three deep.
      {"php-serialized { upper }", R"(s:15:"s:8:"s:1:"a";";";)", R"(s:15:"s:8:"s:1:"A";";";)"},
  });
}

TEST(PhpSerializedStep, TextThatIsNotSerializedGoesThroughTheStepsWhole) {
  expectCases({
      {kMove, "See http://old.example/about", "See https://new.example/about"},
      {"php-serialized { upper }", "i:5 apples", "I:5 APPLES"},
      {"php-serialized { upper }", "x: b", "X: B"},
      {"php-serialized { upper }", "{\"a\":1}", "{\"A\":1}"},
      {"php-serialized { null-if-empty }", "", "<NULL>"},
  });
}

TEST(PhpSerializedStep, ValuesThatCannotBeReadAreKeptExactlyAndCounted) {
  struct Case {
    std::string filter, input;
  };
  const std::vector<Case> cases = {
      // A length left wrong by an earlier plain replace.
      {kMove, R"(a:1:{s:4:"home";s:18:"https://new.example";})"},
      {kMove, R"(a:2:{i:0;s:18:"http://old.example";)"},           // cut off
      {kMove, R"(a:3:{i:0;s:18:"http://old.example";i:1;i:2;})"},  // one element short
      {kMove, R"( s:18:"http://old.example";)"},                   // PHP refuses the space
      {kMove, R"(a:1:{i:0;S:18:"http:\2f/old.example";})"},        // escaped strings
      {kMove, R"(a:1:{d:1.5;s:18:"http://old.example";})"},        // a float key
      {kMove, R"(a:1:{i:0;b:2;})"},
      {"php-serialized keys { lower }", R"(a:2:{s:1:"a";i:1;s:1:"A";i:2;})"},  // keys fall together
      {R"(php-serialized keys { replace "one" "1" })", R"(a:2:{i:1;s:1:"x";s:3:"one";s:1:"y";})"},
      {R"(php-serialized keys { null-if "N/A" })", R"(a:1:{s:3:"N/A";i:1;})"},  // a NULL key
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter + " on " + c.input);
    const auto program = FilterProgram::compile(c.filter, "f.fll");
    EXPECT_EQ(program->process(c.input), c.input);
    EXPECT_EQ(program->valuesKeptAsTheyWere(), 1u);
  }
  // A broken serialized text inside a string stays as it is and counts; the
  // rest of its value is rewritten.
  const auto program = FilterProgram::compile(kMove, "f.fll");
  EXPECT_EQ(program->process(R"(a:2:{i:0;s:18:"http://old.example";)"
                             R"(i:1;s:25:"s:5:"http://old.example";";})"),
            R"(a:2:{i:0;s:19:"https://new.example";i:1;s:25:"s:5:"http://old.example";";})");
  EXPECT_EQ(program->valuesKeptAsTheyWere(), 1u);
}

TEST(PhpSerializedStep, NestingBeyondTheLimitIsKeptAndCounted) {
  const auto nested = [](int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "a:1:{i:0;";
    text += "s:1:\"a\";";
    for (int i = 0; i < depth; ++i) text += "}";
    return text;
  };
  const auto program = FilterProgram::compile("php-serialized { upper }", "f.fll");
  std::string expected = nested(200);
  expected.replace(expected.find("\"a\""), 3, "\"A\"");
  EXPECT_EQ(program->process(nested(200)), expected);
  EXPECT_EQ(program->process(nested(100000)), nested(100000));
  EXPECT_EQ(program->valuesKeptAsTheyWere(), 1u);
}

TEST(PhpSerializedStep, TheFilterWindowReportsTheValuesKept) {
  TempFolder folder;
  WordmillWindow window;
  ASSERT_TRUE(window.openFilter(folder.write("move.fll", kMove)));
  EXPECT_EQ(window.valuesKeptAsTheyWere(), 0u);
  ASSERT_EQ(window.compileFilter(), "");
  window.processStringWithCompiledFilter(R"(a:1:{i:0;s:5:"http://old.example";})");
  window.processStringWithCompiledFilter(wordPressValues()[0]);
  window.processStringWithCompiledFilter(R"(s:5:"abc";)");
  EXPECT_EQ(window.valuesKeptAsTheyWere(), 2u);
  // A new compile counts afresh.
  ASSERT_EQ(window.compileFilter(), "");
  EXPECT_EQ(window.valuesKeptAsTheyWere(), 0u);
}

TEST(PhpSerializedStep, PhpUnserializesWhatItWrites) {
  const auto program = FilterProgram::compile(kMove, "f.fll");
  std::vector<OracleRecord> records;
  for (const auto& value : wordPressValues()) {
    records.push_back({"serialized", "http://old.example", "https://new.example", value,
                       program->process(value)});
  }
  // A new address of the same length, a shorter one, and one that needs
  // more bytes than it has characters.
  for (const std::string with : {"http://new.example", "http://n.example", "http://ünï.example"}) {
    const auto other = FilterProgram::compile(
        R"(php-serialized { replace "http://old.example" ")" + with + R"(" })", "f.fll");
    for (const auto& value : wordPressValues()) {
      records.push_back({"serialized", "http://old.example", with, value, other->process(value)});
    }
  }
  expectPhpAgrees(records);
}

TEST(PhpSerializedStep, DamagedValuesNeverComeOutBroken) {
  // Every value damaged at random: a byte dropped, added or changed, the end
  // cut off. Where PHP still reads it, the step must read it the same way;
  // where PHP does not, the value must stay as it was, unless the damage
  // left it looking like plain text.
  const auto program = FilterProgram::compile(kMove, "f.fll");
  const std::string_view kDamage = "0\";:{}s9RrONbid.-E+a";
  std::mt19937 random(20240613);
  std::vector<OracleRecord> records;
  for (int round = 0; round < 400; ++round) {
    std::string value = wordPressValues()[random() % wordPressValues().size()];
    const std::size_t at = random() % value.size();
    switch (random() % 4) {
      case 0:
        value.erase(at, 1);
        break;
      case 1:
        value.insert(at, 1, kDamage[random() % kDamage.size()]);
        break;
      case 2:
        value[at] = kDamage[random() % kDamage.size()];
        break;
      default:
        value.resize(at);
    }
    records.push_back(
        {"damaged", "http://old.example", "https://new.example", value, program->process(value)});
  }
  const auto verdicts = askPhp(records);
  int kept = 0;
  for (std::size_t i = 0; i < verdicts.size() && i < records.size(); ++i) {
    const std::string& input = records[i].input;
    if (verdicts[i] == "ok") {
      kept += records[i].output == input;
    } else {
      EXPECT_TRUE(verdicts[i] == "whole" && !PhpSerializedText::looksSerialized(input))
          << verdicts[i] << "\ninput: " << input << "\noutput: " << records[i].output;
    }
  }
  // Most damage leaves text PHP cannot read, which stays as it was.
  EXPECT_GT(kept, 200);
}

}  // namespace
}  // namespace rowsmith::wordmill::test
