#include "wordmill/LiteralMatcher.h"

#include <algorithm>
#include <map>
#include <utility>

#include "wordmill/CaseFolding.h"
#include "wordmill/Utf8.h"

namespace rowsmith::wordmill {

LiteralMatcher::LiteralMatcher(const std::vector<std::string>& keys,
                               std::vector<std::string> replacements, Options options)
    : m_options(options), m_replacements(std::move(replacements)) {
  if (keys.size() == 1 && !options.ignoreCase && !options.wholeWord) {
    m_singleKey = keys.front();
    return;
  }
  // Build a plain trie first, then lay it out flat with sorted edges.
  std::vector<std::map<unsigned char, std::uint32_t>> children(1);
  std::vector<std::int32_t> keyOfNode(1, -1);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::string key = options.ignoreCase ? CaseFolding::fold(keys[k]) : keys[k];
    std::uint32_t node = 0;
    for (const char c : key) {
      const auto byte = static_cast<unsigned char>(c);
      auto found = children[node].find(byte);
      if (found == children[node].end()) {
        const auto next = static_cast<std::uint32_t>(children.size());
        children[node].emplace(byte, next);
        children.emplace_back();
        keyOfNode.push_back(-1);
        node = next;
      } else {
        node = found->second;
      }
    }
    if (node != 0 && keyOfNode[node] < 0) keyOfNode[node] = static_cast<std::int32_t>(k);
  }
  for (const auto& [byte, target] : children[0]) m_root[byte] = target;
  m_firstEdge.reserve(children.size() + 1);
  for (const auto& edges : children) {
    m_firstEdge.push_back(static_cast<std::uint32_t>(m_edgeBytes.size()));
    for (const auto& [byte, target] : edges) {
      m_edgeBytes.push_back(byte);
      m_edgeTargets.push_back(target);
    }
  }
  m_firstEdge.push_back(static_cast<std::uint32_t>(m_edgeBytes.size()));
  m_keyOfNode = std::move(keyOfNode);
}

std::uint32_t LiteralMatcher::child(std::uint32_t node, unsigned char byte) const noexcept {
  const std::uint32_t begin = m_firstEdge[node];
  const std::uint32_t end = m_firstEdge[node + 1];
  if (end - begin <= 8) {
    for (std::uint32_t e = begin; e < end; ++e) {
      if (m_edgeBytes[e] == byte) return m_edgeTargets[e];
    }
    return kNone;
  }
  const auto first = m_edgeBytes.begin() + begin;
  const auto last = m_edgeBytes.begin() + end;
  const auto found = std::lower_bound(first, last, byte);
  if (found == last || *found != byte) return kNone;
  return m_edgeTargets[static_cast<std::size_t>(found - m_edgeBytes.begin())];
}

bool LiteralMatcher::touchesWord(std::string_view in, std::size_t begin,
                                 std::size_t end) const noexcept {
  char32_t cp;
  if (begin > 0 && utf8::decodeBefore(in, begin, cp) != 0 && utf8::isWordChar(cp)) return true;
  if (end < in.size() && utf8::decode(in, end, cp) != 0 && utf8::isWordChar(cp)) return true;
  return false;
}

void LiteralMatcher::replaceOneKey(std::string_view in, std::string& out, bool firstOnly) const {
  const std::string& with = m_replacements.front();
  std::size_t copied = 0;
  for (std::size_t found = in.find(m_singleKey); found != std::string_view::npos;
       found = in.find(m_singleKey, copied)) {
    out.append(in.substr(copied, found - copied));
    out.append(with);
    copied = found + m_singleKey.size();
    if (firstOnly) break;
  }
  out.append(in.substr(copied));
}

void LiteralMatcher::replaceThroughTrie(std::string_view in, std::string& out,
                                        bool firstOnly) const {
  thread_local CaseFolding folding;
  std::string_view text = in;
  if (m_options.ignoreCase) {
    folding.run(in);
    text = folding.folded();
  }
  // Maps a position of `text` to the original, or npos when it falls inside
  // the folding of one character.
  const auto original = [&](std::size_t k) -> std::size_t {
    if (!m_options.ignoreCase) return k;
    return folding.startsCharacter(k) ? folding.originalOffset(k) : std::string_view::npos;
  };

  thread_local std::vector<std::pair<std::size_t, std::int32_t>> candidates;
  const std::size_t n = text.size();
  std::size_t copied = 0;
  std::size_t pos = 0;
  while (pos < n) {
    while (pos < n && m_root[static_cast<unsigned char>(text[pos])] == kNone) ++pos;
    if (pos >= n) break;
    const std::size_t begin = original(pos);
    if (begin == std::string_view::npos) {
      ++pos;
      continue;
    }
    candidates.clear();
    std::uint32_t node = m_root[static_cast<unsigned char>(text[pos])];
    for (std::size_t j = pos + 1;; ++j) {
      if (m_keyOfNode[node] >= 0) candidates.emplace_back(j, m_keyOfNode[node]);
      if (j >= n) break;
      node = child(node, static_cast<unsigned char>(text[j]));
      if (node == kNone) break;
    }
    bool replaced = false;
    for (auto c = candidates.rbegin(); c != candidates.rend(); ++c) {
      const std::size_t end = original(c->first);
      if (end == std::string_view::npos) continue;
      if (m_options.wholeWord && touchesWord(in, begin, end)) continue;
      out.append(in.substr(copied, begin - copied));
      out.append(m_replacements[static_cast<std::size_t>(c->second)]);
      copied = end;
      pos = c->first;
      replaced = true;
      break;
    }
    if (!replaced) {
      ++pos;
    } else if (firstOnly) {
      break;
    }
  }
  out.append(in.substr(copied));
}

}  // namespace rowsmith::wordmill
