#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace rowsmith::wordmill::utf8 {

// Small UTF-8 helpers shared by the filter steps. Every step treats a byte
// that does not start a valid UTF-8 sequence as one opaque unit and passes
// it through unchanged, so decoding never fails.
//
// Threading: free functions without state; safe from any thread.

// Decodes the code point that starts at text[pos] (pos < text.size()).
// Returns its length in bytes (1 to 4), or 0 when the bytes there are not
// valid UTF-8 (overlong forms, surrogates and values above U+10FFFF
// included); `cp` is then left untouched.
std::size_t decode(std::string_view text, std::size_t pos, char32_t& cp) noexcept;

// Decodes the code point that ends just before text[pos] (pos > 0).
// Returns its length, or 0 when the byte before pos is not the end of a
// valid sequence.
std::size_t decodeBefore(std::string_view text, std::size_t pos, char32_t& cp) noexcept;

// Length of the unit that starts at text[pos]: a whole code point, or one
// byte when the bytes there are not valid UTF-8.
std::size_t unitLength(std::string_view text, std::size_t pos) noexcept;

void append(std::string& out, char32_t cp);

// Unicode White_Space (tabs, line breaks, no-break and ideographic spaces).
bool isWhiteSpace(char32_t cp) noexcept;

// A character that belongs to a word: a letter, a combining mark, a digit
// or number, or a connector such as "_".
bool isWordChar(char32_t cp) noexcept;

// A letter that has case, for the final-sigma rule of lower-casing.
bool isCased(char32_t cp) noexcept;

// The 1-based column, in characters, of the byte at `byteOffset` of `line`.
int columnOf(std::string_view line, std::size_t byteOffset) noexcept;

// Whether the text is valid UTF-8 throughout.
bool isValid(std::string_view text) noexcept;

}  // namespace rowsmith::wordmill::utf8
