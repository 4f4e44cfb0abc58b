#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::wordmill {

// Replaces literal keys in one pass over the text: at each position, left to
// right, the longest key that matches there is replaced, and scanning goes on
// after it (replaced text is never read again). The keys live in a byte trie
// whose root is a 256-entry table, so positions where no key can start cost
// one table look-up however many keys there are.
//
// With ignoreCase both keys and text are compared in full Unicode case
// folding; a match must then start and end on whole characters of the
// original text. With wholeWord a match must not touch a word character
// (letter, mark, digit, "_") on either side; shorter keys at the same
// position are tried when the longest one fails that test.
//
// Threading: immutable after construction; replace() may run on several
// threads at once (it keeps its folding scratch per thread).
class LiteralMatcher {
 public:
  struct Options {
    bool ignoreCase = false;
    bool wholeWord = false;
  };

  // keys[i] is replaced by replacements[i]; the keys must not be empty. Of
  // keys that are equal (after folding, with ignoreCase), the first counts.
  LiteralMatcher(const std::vector<std::string>& keys, std::vector<std::string> replacements,
                 Options options);

  // Writes `in` with its matches replaced to `out`; with firstOnly only the
  // first match is replaced.
  void replace(std::string_view in, std::string& out, bool firstOnly) const {
    if (!m_singleKey.empty()) {
      replaceOneKey(in, out, firstOnly);
    } else {
      replaceThroughTrie(in, out, firstOnly);
    }
  }

 private:
  static constexpr std::uint32_t kNone = 0;

  std::uint32_t child(std::uint32_t node, unsigned char byte) const noexcept;
  bool touchesWord(std::string_view in, std::size_t begin, std::size_t end) const noexcept;
  void replaceOneKey(std::string_view in, std::string& out, bool firstOnly) const;
  void replaceThroughTrie(std::string_view in, std::string& out, bool firstOnly) const;

  Options m_options;
  std::vector<std::string> m_replacements;
  std::string m_singleKey;  // set when one key is searched for as plain bytes
  std::array<std::uint32_t, 256> m_root{};
  std::vector<std::uint32_t> m_firstEdge;  // per node, plus one end entry
  std::vector<unsigned char> m_edgeBytes;
  std::vector<std::uint32_t> m_edgeTargets;
  std::vector<std::int32_t> m_keyOfNode;  // key index ending at the node, or -1
};

}  // namespace rowsmith::wordmill
