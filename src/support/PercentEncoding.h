#pragma once

#include <string>

namespace rowsmith {

// Appends a byte to a URL as "%" and two upper-case hexadecimal digits.
//
// Threading: a pure function; safe from any thread.
inline void appendPercentEncoded(std::string& url, char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto byte = static_cast<unsigned char>(c);
  url += '%';
  url += kHex[byte >> 4];
  url += kHex[byte & 0x0F];
}

}  // namespace rowsmith
