#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith::wordmill {

// The replacement text of a `regex` step, parsed once: literal runs and
// references to captured groups. $1 to $99 (two digits when that group
// exists, else one), $0 the whole match, ${name} or ${12}, and $$ for a
// dollar sign. A group that took no part in the match gives empty text.
//
// Threading: immutable after construction; expand() is safe from any thread.
class RegexReplacement {
 public:
  // Resolves names and numbers against the compiled pattern (a pcre2_code*).
  // Throws StepArgumentError (text 1) at the offending "$".
  RegexReplacement(std::string_view text, const void* code, std::size_t groupCount);

  // Appends the replacement for one match; `ovector` holds the match's
  // offset pairs as PCRE2 left them.
  void expand(std::string_view subject, const std::size_t* ovector, std::string& out) const;

 private:
  struct Part {
    std::size_t literalBegin = 0;  // into m_literals
    std::size_t literalLength = 0;
    std::vector<std::size_t> groups;  // empty for a literal run; else the first set one counts
  };

  std::string m_literals;
  std::vector<Part> m_parts;
};

}  // namespace rowsmith::wordmill
