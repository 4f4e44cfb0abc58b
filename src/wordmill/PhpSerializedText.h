#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace rowsmith::wordmill {

// Text in PHP's serialize format: N; b:1; i:-5; d:0.5; s:3:"abc";
// a:N:{key value ...} O:N:"Class":N:{name value ...}, nested to any depth,
// and the forms kept as they are (C:N:"Class":N:{payload}, E:N:"Enum:Case";,
// r:N; and R:N;). Lengths count bytes. Reads a value strictly and rewrites
// its strings, fixing their lengths; every other byte is copied.
//
// Besides the syntax the reader checks what PHP's unserialize checks on its
// own: the bytes of class names, and that references point at a value read
// before them (r: at an object).
//
// Threading: stateless; safe from any thread.
class PhpSerializedText {
 public:
  // Values nested deeper than this (arrays and objects, and serialized
  // values inside strings) are not read.
  static constexpr int kMaxDepth = 256;

  // What the editor did with one string.
  enum class Edit {
    kKeep,     // leave it as it is
    kReplace,  // write the text the editor gave instead, with its new length
    kNull,     // write N; in its place (never for a key)
    kFail,     // the whole value cannot be rewritten
  };
  // Called for each string value and, when keys are edited, for each string
  // array key, with its bytes and the depth it was found at; writes the new
  // text into `out` (empty when called) for kReplace.
  using StringEditor =
      std::function<Edit(std::string_view text, std::string& out, bool isKey, int depth)>;

  // Whether `text` is meant as serialized text: after any leading white
  // space it starts with the letter of a string, array, object or one of the
  // kept forms and a colon (s: a: O: C: E: S:), or it is a whole scalar
  // (N; b:1; i:5; d:0.5;).
  static bool looksSerialized(std::string_view text);

  // Whether `text` starts with a serialized value that PHP's unserialize
  // reads, at most kMaxDepth deep counting from `depth`. What follows the
  // value is not looked at: PHP ignores it too.
  static bool isValid(std::string_view text, int depth = 0);

  // Rewrites a text isValid accepts into `out` (appended): each string the
  // editor replaces gets its new bytes and length, everything else, what
  // follows the value included, is copied byte for byte. With `keys`, string keys of arrays go to
  // the editor too (never the property names of objects). False when the editor failed or when
  // edited keys of an array would fall together (as "1" and 1 do in PHP); `out` then holds a part
  // and must be dropped.
  static bool rewrite(std::string_view text, std::string& out, const StringEditor& editor,
                      bool keys, int depth = 0);
};

}  // namespace rowsmith::wordmill
