#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace rowsmith::wordmill {

// One token of a filter source line: a bare word (a step name or an option),
// a text in double quotes with its escapes decoded, or a brace around the
// steps a structured step holds.
//
// Threading: a plain value.
struct FilterToken {
  enum class Kind { kWord, kText, kOpenBrace, kCloseBrace };

  Kind kind = Kind::kWord;
  // The word or brace as written, or the decoded text.
  std::string text;
  // Byte offset in the line of the token's first character (the opening
  // quote of a text).
  std::size_t offset = 0;
  // For texts: the byte offset in the line of the source character that
  // gave each decoded byte, and one more entry for the closing quote.
  std::vector<std::size_t> sourceOffsets;
};

}  // namespace rowsmith::wordmill
