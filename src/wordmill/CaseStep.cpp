#include "wordmill/CaseStep.h"

#include <utf8proc.h>

#include "wordmill/Utf8.h"

namespace rowsmith::wordmill {

namespace {

// Upper and title case mappings that give more than one character.
struct SpecialCase {
  char32_t letter;
  const char* upper;
  const char* title;
};

constexpr SpecialCase kSpecialCases[] = {
    {0x00DF, "SS", "Ss"},
    {0x0149, "\u02BCN", "\u02BCN"},
    {0x01F0, "J\u030C", "J\u030C"},
    {0x0390, "\u0399\u0308\u0301", "\u0399\u0308\u0301"},
    {0x03B0, "\u03A5\u0308\u0301", "\u03A5\u0308\u0301"},
    {0x0587, "\u0535\u0552", "\u0535\u0582"},
    {0xFB00, "FF", "Ff"},
    {0xFB01, "FI", "Fi"},
    {0xFB02, "FL", "Fl"},
    {0xFB03, "FFI", "Ffi"},
    {0xFB04, "FFL", "Ffl"},
    {0xFB05, "ST", "St"},
    {0xFB06, "ST", "St"},
};

const SpecialCase* specialCase(char32_t cp) {
  for (const auto& special : kSpecialCases) {
    if (special.letter == cp) return &special;
  }
  return nullptr;
}

bool isMark(char32_t cp) {
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(cp))) {
    case UTF8PROC_CATEGORY_MN:
    case UTF8PROC_CATEGORY_ME:
    case UTF8PROC_CATEGORY_MC:
      return true;
    default:
      return false;
  }
}

// A capital sigma at the end of a word lowers to the final form: a cased
// letter comes before it and none after it (combining marks skipped).
bool isFinalSigma(std::string_view in, std::size_t pos, std::size_t length) {
  char32_t cp = 0;
  bool casedBefore = false;
  for (std::size_t at = pos; at > 0;) {
    const std::size_t back = utf8::decodeBefore(in, at, cp);
    if (back == 0) break;
    at -= back;
    if (isMark(cp)) continue;
    casedBefore = utf8::isCased(cp);
    break;
  }
  if (!casedBefore) return false;
  for (std::size_t at = pos + length; at < in.size();) {
    const std::size_t forward = utf8::decode(in, at, cp);
    if (forward == 0) return true;
    at += forward;
    if (isMark(cp)) continue;
    return !utf8::isCased(cp);
  }
  return true;
}

void appendLower(std::string& out, std::string_view in, std::size_t pos, std::size_t length,
                 char32_t cp) {
  if (cp == 0x0130) {
    out.append("i\u0307");
  } else if (cp == 0x03A3) {
    utf8::append(out, isFinalSigma(in, pos, length) ? 0x03C2 : 0x03C3);
  } else {
    utf8::append(out, static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(cp))));
  }
}

void appendUpper(std::string& out, char32_t cp) {
  if (const SpecialCase* special = specialCase(cp)) {
    out.append(special->upper);
  } else {
    utf8::append(out, static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(cp))));
  }
}

void appendTitle(std::string& out, char32_t cp) {
  if (const SpecialCase* special = specialCase(cp)) {
    out.append(special->title);
  } else {
    utf8::append(out, static_cast<char32_t>(utf8proc_totitle(static_cast<utf8proc_int32_t>(cp))));
  }
}

bool isApostrophe(char32_t cp) { return cp == '\'' || cp == 0x2019; }

}  // namespace

StepResult CaseStep::apply(std::string_view in, std::string& out) const {
  out.reserve(in.size());
  bool inWord = false;
  for (std::size_t pos = 0; pos < in.size();) {
    const auto byte = static_cast<unsigned char>(in[pos]);
    char32_t cp = byte;
    std::size_t length = 1;
    if (byte >= 0x80) {
      length = utf8::decode(in, pos, cp);
      if (length == 0) {
        out.push_back(static_cast<char>(byte));
        inWord = false;
        ++pos;
        continue;
      }
    }
    Mode mode = m_mode;
    if (mode == Mode::kTitle) {
      if (utf8::isWordChar(cp)) {
        if (inWord) mode = Mode::kLower;
        inWord = true;
      } else if (!(inWord && isApostrophe(cp))) {
        inWord = false;
      }
    }
    if (byte < 0x80) {
      const bool lower = byte >= 'a' && byte <= 'z';
      const bool upper = byte >= 'A' && byte <= 'Z';
      char c = static_cast<char>(byte);
      if (mode == Mode::kLower && upper) c = static_cast<char>(byte + 32);
      if (mode != Mode::kLower && lower) c = static_cast<char>(byte - 32);
      out.push_back(c);
    } else if (mode == Mode::kUpper) {
      appendUpper(out, cp);
    } else if (mode == Mode::kLower) {
      appendLower(out, in, pos, length, cp);
    } else {
      appendTitle(out, cp);
    }
    pos += length;
  }
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
