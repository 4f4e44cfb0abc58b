#include "wordmill/CaseFolding.h"

#include <utf8proc.h>

#include "wordmill/Utf8.h"

namespace rowsmith::wordmill {

void CaseFolding::appendFolded(std::string& out, std::string_view text, std::size_t pos,
                               std::size_t& length) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (byte < 0x80) {
    out.push_back(static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 32 : byte));
    length = 1;
    return;
  }
  char32_t cp;
  length = utf8::decode(text, pos, cp);
  if (length == 0) {
    out.push_back(static_cast<char>(byte));
    length = 1;
    return;
  }
  utf8proc_int32_t folded[8];
  int boundary = 0;
  const utf8proc_ssize_t count = utf8proc_decompose_char(static_cast<utf8proc_int32_t>(cp), folded,
                                                         8, UTF8PROC_CASEFOLD, &boundary);
  if (count <= 0 || count > 8) {
    out.append(text.substr(pos, length));
    return;
  }
  for (utf8proc_ssize_t i = 0; i < count; ++i) utf8::append(out, static_cast<char32_t>(folded[i]));
}

std::string CaseFolding::fold(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t length = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += length) appendFolded(out, text, pos, length);
  return out;
}

void CaseFolding::run(std::string_view text) {
  m_folded.clear();
  m_origin.clear();
  m_start.clear();
  std::size_t length = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += length) {
    const std::size_t before = m_folded.size();
    appendFolded(m_folded, text, pos, length);
    for (std::size_t k = before; k < m_folded.size(); ++k) {
      m_origin.push_back(static_cast<std::uint32_t>(pos));
      m_start.push_back(k == before ? 1 : 0);
    }
  }
  m_origin.push_back(static_cast<std::uint32_t>(text.size()));
}

}  // namespace rowsmith::wordmill
