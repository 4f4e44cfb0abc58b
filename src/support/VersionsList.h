#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsmith {

// The update server's answer: lines of a product name, a comma and the
// release stamp of that product's latest version (a day number), for example
// "Rowsmith,37187.7920719907". Anything may follow the stamp after another
// comma.
//
// Threading: pure functions; safe from any thread.
class VersionsList {
 public:
  // The longest stamp field taken from a line.
  static constexpr std::size_t kMaxFieldLength = 255;

  // The text after the first comma of the first line whose text before that
  // comma is product (exactly, letter case included), at most kMaxFieldLength
  // bytes of it. Lines end at CR LF, CR or LF; a zero byte ends the answer;
  // lines without a comma are passed over. Nothing when no line matches.
  static std::optional<std::string> productField(std::string_view answer, std::string_view product);

  // The stamp of a field: the text before its first comma, if any.
  static std::string_view stampText(std::string_view field);

  // The number a stamp text stands for: leading blanks, an optional sign,
  // decimal digits with an optional "." and fraction digits (at least one
  // digit in all), an optional exponent ("E" or "e", an optional sign,
  // digits), and nothing after it. "." is the decimal point in every locale.
  // Nothing for any other text, including an empty one and one out of range.
  static std::optional<double> stampValue(std::string_view text);
};

}  // namespace rowsmith
