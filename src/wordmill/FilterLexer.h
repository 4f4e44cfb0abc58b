#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterToken.h"

namespace rowsmith::wordmill {

// Splits filter source lines into tokens. Words are runs of characters up to
// white space, a double quote, a brace or "#"; "{" and "}" are tokens of
// their own; "#" outside a text starts a comment that runs to the end of the
// line. Texts are in double quotes with the
// escapes \\ \" \n \r \t and \xHH; any other backslash pair is kept as it
// stands, so regex patterns read as PCRE2 reads them.
//
// Threading: stateless; safe from any thread.
class FilterLexer {
 public:
  // Tokenises one line (without its line break). Throws FilterCompileError
  // for a text without its closing quote.
  static std::vector<FilterToken> tokenise(std::string_view line, int lineNumber);

  // Decodes the escapes of a text's inside (also used for the fields of a
  // pairs file). When `sourceOffsets` is given it receives, for each decoded
  // byte, the offset in `raw` of the character that gave it.
  static std::string decodeEscapes(std::string_view raw,
                                   std::vector<std::size_t>* sourceOffsets = nullptr);
};

}  // namespace rowsmith::wordmill
