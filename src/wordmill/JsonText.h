#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace rowsmith::wordmill {

// A JSON text (RFC 8259) whose strings are rewritten while every other byte
// stays as it is: white space, numbers, the escapes of strings that do not
// change. Bytes inside strings are taken as they come, so text that is not
// valid UTF-8 is carried through rather than refused.
//
// Threading: stateless; safe from any thread.
class JsonText {
 public:
  // Objects and arrays nested deeper than this are not read.
  static constexpr int kMaxDepth = 256;

  enum class Kind {
    kNotJson,  // not one JSON object, array or string
    kJson,
    kTooDeep,  // looked like JSON until it nested deeper than kMaxDepth
  };

  // What the editor did with one string.
  enum class Edit {
    kKeep,     // leave it as it is, escapes and all
    kReplace,  // write the text the editor gave instead, escaped again
    kNull,     // write null in its place (never for a key)
    kFail,     // the whole text cannot be rewritten
  };
  // Called for each string value and, when keys are edited, each object key,
  // with its decoded bytes; writes the new text into `out` (empty when
  // called) for kReplace.
  using StringEditor = std::function<Edit(std::string_view text, std::string& out, bool isKey)>;

  // Whether `text`, with JSON white space around it allowed, is exactly one
  // JSON object, array or string. A bare number, true, false or null is not
  // taken for JSON: as a column's value it is as likely to be plain text.
  static Kind classify(std::string_view text);

  // Rewrites a text classify() took for JSON into `out` (appended). With
  // `keys`, object keys go to the editor too. False when the editor failed
  // or two keys of an object would become one; `out` then holds a part and
  // must be dropped.
  static bool rewrite(std::string_view text, std::string& out, const StringEditor& editor,
                      bool keys);

  // Appends `text` as a JSON string in double quotes, escaping only what
  // JSON requires: the quote, the backslash and control characters (as \n,
  // \t, ... or \u00XX). A lone surrogate read from a \uXXXX escape is
  // escaped again the same way.
  static void appendQuoted(std::string_view text, std::string& out);
};

}  // namespace rowsmith::wordmill
