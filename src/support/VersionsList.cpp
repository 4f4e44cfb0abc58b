#include "support/VersionsList.h"

#include <charconv>

namespace rowsmith {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The number of decimal digits at position i and after.
std::size_t digitsAt(std::string_view text, std::size_t i) {
  std::size_t count = 0;
  while (i + count < text.size() && isDigit(text[i + count])) ++count;
  return count;
}

}  // namespace

std::optional<std::string> VersionsList::productField(std::string_view answer,
                                                      std::string_view product) {
  answer = answer.substr(0, answer.find('\0'));
  while (!answer.empty()) {
    const std::size_t end = answer.find_first_of("\r\n");
    const std::string_view line = answer.substr(0, end);
    const std::size_t comma = line.find(',');
    if (comma != std::string_view::npos && line.substr(0, comma) == product) {
      return std::string(line.substr(comma + 1, kMaxFieldLength));
    }
    if (end == std::string_view::npos) break;
    const bool crLf = answer[end] == '\r' && end + 1 < answer.size() && answer[end + 1] == '\n';
    answer.remove_prefix(end + (crLf ? 2 : 1));
  }
  return std::nullopt;
}

std::string_view VersionsList::stampText(std::string_view field) {
  return field.substr(0, field.find(','));
}

std::optional<double> VersionsList::stampValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t start = i;

  const std::size_t whole = digitsAt(text, i);
  i += whole;
  std::size_t fraction = 0;
  if (i < text.size() && text[i] == '.') {
    fraction = digitsAt(text, i + 1);
    i += 1 + fraction;
  }
  if (whole + fraction == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t exponent = i + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const std::size_t digits = digitsAt(text, exponent);
    if (digits == 0) return std::nullopt;
    i = exponent + digits;
  }
  if (i != text.size()) return std::nullopt;

  // from_chars takes no "+" and no blanks: give it the unsigned part.
  double value = 0;
  const auto [end, error] = std::from_chars(text.data() + start, text.data() + i, value);
  if (error != std::errc() || end != text.data() + i) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace rowsmith
