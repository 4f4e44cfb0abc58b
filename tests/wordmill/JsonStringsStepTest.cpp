// json-strings { … }: string values of JSON rewritten with the layout and
// the other strings' escapes kept, minimal escaping of changed strings,
// values that are not JSON handed on whole, and PHP's json_decode as the
// judge.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FilterRun.h"
#include "PhpOracle.h"
#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill::test {
namespace {

const std::string kMove = R"(json-strings { replace "http://old.example" "https://new.example" })";
const std::string kXtoY = R"(json-strings { replace "x" "y" })";

// Page-builder data as PHP's json_encode writes it (escaped slashes and
// \u escapes), and settings written pretty-printed with both left as they are.
const std::string kBuilderData =
    R"([{"id":"a1b2c3","elType":"section","settings":{"background_image":{"url":)"
    R"("http:\/\/old.example\/wp-content\/uploads\/bg.jpg","id":41}},"elements":[{"id":"d4e5",)"
    R"("elType":"widget","widgetType":"text-editor","settings":{"editor":"<p>Caf\u00e9 \"Zur )"
    R"(Post\" \u2014 <a href=\"http:\/\/old.example\/menu\">Men\u00fc<\/a> )"
    R"(\ud83d\ude00<\/p>\n","ratio":0.75,"hidden":false,"link":null}}]}])";
const std::string kPrettySettings =
    "{\n    \"name\": \"Grüße\",\n    \"home\": \"http://old.example\",\n    \"paths\": [\n"
    "        \"http://old.example/a\",\n        \"/b\"\n    ],\n    \"n\": -0.0015\n}";

TEST(JsonStringsStep, RewritesStringValuesAndKeepsEverythingElse) {
  expectCases({
      {kMove, kBuilderData,
       R"([{"id":"a1b2c3","elType":"section","settings":{"background_image":{"url":)"
       R"("https://new.example/wp-content/uploads/bg.jpg","id":41}},"elements":[{"id":"d4e5",)"
       R"("elType":"widget","widgetType":"text-editor","settings":{"editor":"<p>Café \"Zur )"
       R"(Post\" — <a href=\"https://new.example/menu\">Menü</a> 😀</p>\n","ratio":0.75,)"
       R"("hidden":false,"link":null}}]}])"},
      {kMove, kPrettySettings,
       "{\n    \"name\": \"Grüße\",\n    \"home\": \"https://new.example\",\n    \"paths\": [\n"
       "        \"https://new.example/a\",\n        \"/b\"\n    ],\n    \"n\": -0.0015\n}"},
      {kXtoY, " [ \"x\" ,\r\n\t\"x\", 1.0e+2, -0, true, null, {}, [] ]\n",
       " [ \"y\" ,\r\n\t\"y\", 1.0e+2, -0, true, null, {}, [] ]\n"},
      {kMove, R"("http://old.example")", R"("https://new.example")"},
      // Keys only with `keys`; an unchanged key keeps its escapes.
      {"json-strings { upper }", R"({"x":"x"})", R"({"x":"X"})"},
      {"json-strings keys { upper }", R"({"x":{"y":"z"}})", R"({"X":{"Y":"Z"}})"},
      {"json-strings keys { replace \"x\" \"y\" }", R"({"caf\u00e9":"x"})", R"({"caf\u00e9":"y"})"},
      // A string that becomes NULL becomes JSON's null.
      {R"(json-strings { null-if "N/A" })", R"({"a":"N/A","b":["N/A"]})",
       R"({"a":null,"b":[null]})"},
      {R"(json-strings { null-if "N/A" })", R"( "N/A" )", " null "},
  });
}

TEST(JsonStringsStep, OnlyChangedStringsAreWrittenAgainWithMinimalEscapes) {
  expectCases({
      {kXtoY, R"(["caf\u00e9","x"])", R"(["caf\u00e9","y"])"},
      {kXtoY, R"(["caf\u00e9 x"])", "[\"café y\"]"},
      {kXtoY, R"(["a\/b x"])", R"(["a/b y"])"},
      {kXtoY, R"(["\ud83d\ude00 x"])", "[\"😀 y\"]"},
      // Control characters, the quote and the backslash are all that need escapes.
      {kXtoY, R"(["\"\\\b\f\n\r\t\u0001\u001F\u007f x"])",
       "[\"\\\"\\\\\\b\\f\\n\\r\\t\\u0001\\u001f\x7f y\"]"},
      {kXtoY, "[\"\u2028 x\"]", "[\"\u2028 y\"]"},
      {R"(json-strings { replace "x" "\"q\"\\" })", R"(["x"])", R"(["\"q\"\\"])"},
      {R"(json-strings { replace "x" "\t" })", R"(["x"])", R"(["\t"])"},
      // A lone surrogate cannot be written as UTF-8, so it keeps its escape;
      // bytes that are not UTF-8 are carried through.
      {kXtoY, R"(["\ud800 x \uDC01"])", R"(["\ud800 y \udc01"])"},
      {kXtoY, "[\"\xff x\"]", "[\"\xff y\"]"},
  });
}

TEST(JsonStringsStep, ValuesThatAreNotJsonGoThroughTheStepsWhole) {
  // Block editor content: JSON inside HTML comments, addresses both plain
  // and with escaped slashes. Both replacements reach it whole.
  const std::string content =
      "<!-- wp:image {\"id\":41,\"url\":\"http:\\/\\/old.example\\/a.png\"} -->\n"
      "<figure><img src=\"http://old.example/a.png\"/></figure>\n<!-- /wp:image -->";
  const std::string moved =
      "<!-- wp:image {\"id\":41,\"url\":\"https:\\/\\/new.example\\/a.png\"} -->\n"
      "<figure><img src=\"https://new.example/a.png\"/></figure>\n<!-- /wp:image -->";
  expectCases({
      {"json-strings {\n  replace \"http://old.example\" \"https://new.example\"\n"
       "  replace \"http:\\/\\/old.example\" \"https:\\/\\/new.example\"\n}",
       content, moved},
      {"json-strings { upper }", "true", "TRUE"},
      {"json-strings { upper }", "null", "NULL"},
      {"json-strings { append \"!\" }", "12", "12!"},
      {kXtoY, R"({"a":"x",})", R"({"a":"y",})"},
      {kXtoY, R"({'a':'x'})", R"({'a':'y'})"},
      {kXtoY, R"(["x"] ["x"])", R"(["y"] ["y"])"},
      {kXtoY, R"(["x\u12"])", R"(["y\u12"])"},
      {kXtoY, "[\"x\ty\"]", "[\"y\ty\"]"},  // a raw tab is not allowed in a JSON string
      {"json-strings { null-if-empty }", "", "<NULL>"},
  });
}

TEST(JsonStringsStep, ValuesThatWouldLoseAMemberOrNestTooDeepAreKeptAndCounted) {
  const auto nested = [](int depth) {
    return std::string(static_cast<std::size_t>(depth), '[') + "\"x\"" +
           std::string(static_cast<std::size_t>(depth), ']');
  };
  struct Case {
    std::string filter, input;
  };
  const std::vector<Case> cases = {
      {"json-strings keys { lower }", R"({"a":1,"b":{"A":2,"a":3}})"},
      {R"(json-strings keys { null-if "N/A" })", R"({"N/A":1})"},
      {kXtoY, nested(300)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter + " on " + c.input.substr(0, 40));
    const auto program = FilterProgram::compile(c.filter, "f.fll");
    EXPECT_EQ(program->process(c.input), c.input);
    EXPECT_EQ(program->valuesKeptAsTheyWere(), 1u);
  }
  // Keys that were the same already stay as they are.
  EXPECT_EQ(runFilter("json-strings keys { upper }", R"({"a":1,"a":2})"), R"({"A":1,"A":2})");
  std::string deepButReadable = nested(200);
  deepButReadable[201] = 'y';
  EXPECT_EQ(runFilter(kXtoY, nested(200)), deepButReadable);
}

TEST(JsonStringsStep, PhpDecodesWhatItWrites) {
  std::vector<OracleRecord> records;
  const auto move = FilterProgram::compile(kMove, "f.fll");
  for (const auto& value : {kBuilderData, kPrettySettings}) {
    records.push_back(
        {"json", "http://old.example", "https://new.example", value, move->process(value)});
  }
  const auto xToY = FilterProgram::compile(kXtoY, "f.fll");
  for (const std::string value : {R"(["caf\u00e9 x", {"x": "\ud83d\ude00x"}])",
                                  R"(["\"\\\b\f\n\r\t\u0001\u001F\u007f\u2028 x"])"}) {
    records.push_back({"json", "x", "y", value, xToY->process(value)});
  }
  // JSON inside a serialized array, as plugins keep it in post meta.
  const std::string meta = "a:2:{s:4:\"data\";s:" + std::to_string(kBuilderData.size()) + ":\"" +
                           kBuilderData + "\";s:7:\"version\";s:5:\"3.1.4\";}";
  const auto both = FilterProgram::compile(
      R"(php-serialized { json-strings { replace "http://old.example" "https://new.example" } })",
      "f.fll");
  records.push_back(
      {"serialized-json", "http://old.example", "https://new.example", meta, both->process(meta)});
  expectPhpAgrees(records);
}

}  // namespace
}  // namespace rowsmith::wordmill::test
