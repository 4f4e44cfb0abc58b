#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "wordmill/FilterStep.h"
#include "wordmill/RegexReplacement.h"

struct pcre2_real_code_8;

namespace rowsmith::wordmill {

// regex "pattern" "with" [ignore-case] [multiline] [dotall] [extended]
// [first]: PCRE2 in UTF-8 mode with Unicode properties (\w, \d, \b and
// [[:alpha:]] know every script), JIT-compiled. Bytes that are not valid
// UTF-8 never match and pass through unchanged. Every match is limited
// (match limit, depth, heap and JIT stack), so a pattern that backtracks
// without end stops with an error instead of hanging.
//
// Threading: immutable after construction; apply() is safe from several
// threads at once (match data and JIT stack are kept per thread).
class RegexStep : public FilterStep {
 public:
  struct Options {
    bool ignoreCase = false;
    bool multiline = false;
    bool dotall = false;
    bool extended = false;
    bool firstOnly = false;
  };

  // How many steps of the match engine one match may take.
  static constexpr unsigned kMatchLimit = 10'000'000;

  // `where` names the step in processing errors ("filter PATH, line N").
  // Throws StepArgumentError for a pattern PCRE2 rejects (text 0, at PCRE2's
  // offset) and for a bad replacement (text 1).
  RegexStep(const std::string& pattern, std::string_view replacement, Options options,
            std::string where);
  ~RegexStep() override;

  // Throws rowsmith::Error naming the filter when a limit is exceeded.
  StepResult apply(std::string_view in, std::string& out) const override;
  bool appendsOnly() const override { return true; }

 private:
  struct CodeDeleter {
    void operator()(pcre2_real_code_8* code) const;
  };

  [[noreturn]] void failMatch(int code) const;

  std::unique_ptr<pcre2_real_code_8, CodeDeleter> m_code;
  std::unique_ptr<RegexReplacement> m_replacement;
  std::uint32_t m_pairs = 1;  // ovector pairs a match needs
  bool m_firstOnly;
  std::string m_pattern;
  std::string m_where;
};

}  // namespace rowsmith::wordmill
