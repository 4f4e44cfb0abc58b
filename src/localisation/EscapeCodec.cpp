#include "localisation/EscapeCodec.h"

#include "common/Error.h"

namespace rowsmith {

namespace {

// The letter of the two-character escape of a byte, or 0 when it has none.
char escapeLetter(unsigned char byte) {
  switch (byte) {
    case 7:
      return 'a';
    case 8:
      return 'b';
    case 9:
      return 't';
    case 10:
      return 'n';
    case 11:
      return 'v';
    case 12:
      return 'f';
    case 13:
      return 'r';
    case 27:
      return 'e';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

// The byte of a two-character escape's letter, or -1 when the letter is none.
int escapedByte(char letter) {
  switch (letter) {
    case 'a':
      return 7;
    case 'b':
      return 8;
    case 't':
      return 9;
    case 'n':
      return 10;
    case 'v':
      return 11;
    case 'f':
      return 12;
    case 'r':
      return 13;
    case 'e':
      return 27;
    case '\\':
      return '\\';
    default:
      return -1;
  }
}

bool isOctalDigit(char c) { return c >= '0' && c <= '7'; }

}  // namespace

std::string EncodeEscapes(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (const char letter = escapeLetter(byte)) {
      result += '\\';
      result += letter;
    } else if (byte < 32) {
      result += '\\';
      result += static_cast<char>('0' + ((byte >> 6) & 7));
      result += static_cast<char>('0' + ((byte >> 3) & 7));
      result += static_cast<char>('0' + (byte & 7));
    } else {
      result += c;
    }
  }
  return result;
}

std::string DecodeEscapes(std::string_view escaped) {
  enum class State { Plain, AfterBackslash, Octal };
  State state = State::Plain;
  unsigned value = 0;
  int digits = 0;
  std::string result;
  result.reserve(escaped.size());
  for (const char c : escaped) {
    switch (state) {
      case State::Plain:
        if (c == '\\') {
          state = State::AfterBackslash;
        } else {
          result += c;
        }
        break;
      case State::AfterBackslash:
        if (isOctalDigit(c)) {
          value = static_cast<unsigned>(c - '0');
          digits = 1;
          state = State::Octal;
        } else if (const int byte = escapedByte(c); byte >= 0) {
          result += static_cast<char>(byte);
          state = State::Plain;
        } else {
          result += '\\';
          result += c;
          state = State::Plain;
        }
        break;
      case State::Octal:
        if (!isOctalDigit(c)) throw Error(kOctalDigitsRequired);
        value = value * 8 + static_cast<unsigned>(c - '0');
        if (++digits == 3) {
          if (value > 255) throw Error(kOctalTooLarge);
          result += static_cast<char>(value);
          digits = 0;
          state = State::Plain;
        }
        break;
    }
  }
  if (state == State::AfterBackslash) throw Error(kTrailingBackslash);
  if (state == State::Octal) throw Error(kOctalUnfinished);
  return result;
}

}  // namespace rowsmith
