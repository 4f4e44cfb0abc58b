#pragma once

#include <string>
#include <string_view>

namespace rowsmith {

// The escaped form of the texts in a language file. Every text there sits on
// one line of an INI file, so control characters and the backslash are
// written as backslash escapes: \a \b \t \n \v \f \r \e, "\\" for one
// backslash, and a backslash with exactly three octal digits (\000 to \377)
// for any byte. Both functions work byte by byte; bytes 128 to 255 pass
// through unchanged, and a text may hold the byte 0.
//
// For every byte string s, DecodeEscapes(EncodeEscapes(s)) == s.
//
// Threading: pure functions; safe from any thread.

// The escaped form of a text. Never fails; the result holds no byte below 32.
std::string EncodeEscapes(std::string_view text);

// The text of an escaped form. A backslash before any other character is no
// escape: both characters are kept. Raises rowsmith::Error with one of these
// messages on a malformed octal escape or a trailing backslash.
std::string DecodeEscapes(std::string_view escaped);

inline constexpr const char* kOctalTooLarge = "\\OOO Maximum octal value is \\377";
inline constexpr const char* kOctalDigitsRequired =
    "\\OOO You must specify all 3 octal digits (Leading zeros are required)";
inline constexpr const char* kTrailingBackslash =
    "Trailing \\ needs to be followed by another \\ or 3 Octal digits";
inline constexpr const char* kOctalUnfinished = "\\OOO Expecting 3 trailing octal digits";

}  // namespace rowsmith
