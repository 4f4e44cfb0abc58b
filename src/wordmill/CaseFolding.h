#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::wordmill {

// Full Unicode case folding (so "Straße" and "STRASSE" fold alike) that
// remembers where each folded byte came from, so a match found in the folded
// text maps back to the original. Bytes that are not valid UTF-8 fold to
// themselves.
//
// Threading: a scratch object; one per thread.
class CaseFolding {
 public:
  // Folds a whole text (used for keys).
  static std::string fold(std::string_view text);

  // Folds `text` into folded(); afterwards originalOffset(k) gives the byte
  // offset in `text` of the character whose folding holds folded byte k
  // (k == folded().size() gives text.size()), and startsCharacter(k) tells
  // whether folded byte k begins that character's folding.
  void run(std::string_view text);

  const std::string& folded() const noexcept { return m_folded; }
  std::size_t originalOffset(std::size_t k) const noexcept { return m_origin[k]; }
  bool startsCharacter(std::size_t k) const noexcept {
    return k == m_folded.size() || m_start[k] != 0;
  }

 private:
  static void appendFolded(std::string& out, std::string_view text, std::size_t pos,
                           std::size_t& length);

  std::string m_folded;
  std::vector<std::uint32_t> m_origin;
  std::vector<std::uint8_t> m_start;
};

}  // namespace rowsmith::wordmill
