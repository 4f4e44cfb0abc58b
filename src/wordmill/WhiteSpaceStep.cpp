#include "wordmill/WhiteSpaceStep.h"

#include "wordmill/Utf8.h"

namespace rowsmith::wordmill {

namespace {

bool isAsciiSpace(unsigned char byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

// Length of the white space character at pos, or 0 when there is none.
inline std::size_t spaceAt(std::string_view in, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(in[pos]);
  if (byte < 0x80) return isAsciiSpace(byte) ? 1 : 0;
  char32_t cp;
  const std::size_t length = utf8::decode(in, pos, cp);
  return length != 0 && utf8::isWhiteSpace(cp) ? length : 0;
}

// Length of the white space character that ends just before pos, or 0.
inline std::size_t spaceBefore(std::string_view in, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(in[pos - 1]);
  if (byte < 0x80) return isAsciiSpace(byte) ? 1 : 0;
  char32_t cp;
  const std::size_t length = utf8::decodeBefore(in, pos, cp);
  return length != 0 && utf8::isWhiteSpace(cp) ? length : 0;
}

}  // namespace

StepResult WhiteSpaceStep::apply(std::string_view in, std::string& out) const {
  if (m_mode == Mode::kCollapse) {
    out.reserve(in.size());
    std::size_t copied = 0;
    for (std::size_t pos = 0; pos < in.size();) {
      std::size_t length = spaceAt(in, pos);
      if (length == 0) {
        ++pos;
        continue;
      }
      out.append(in.substr(copied, pos - copied));
      while (length != 0) {
        pos += length;
        length = pos < in.size() ? spaceAt(in, pos) : 0;
      }
      out.push_back(' ');
      copied = pos;
    }
    out.append(in.substr(copied));
    return StepResult::kValue;
  }

  std::size_t begin = 0;
  if (m_mode != Mode::kTrimEnd) {
    for (std::size_t length; begin < in.size() && (length = spaceAt(in, begin)) != 0;) {
      begin += length;
    }
  }
  std::size_t end = in.size();
  if (m_mode != Mode::kTrimStart) {
    for (std::size_t length; end > begin && (length = spaceBefore(in, end)) != 0;) end -= length;
  }
  out.append(in.substr(begin, end - begin));
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
