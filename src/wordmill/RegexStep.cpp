#define PCRE2_CODE_UNIT_WIDTH 8
#include "wordmill/RegexStep.h"

#include <pcre2.h>

#include <utility>

#include "common/Error.h"
#include "wordmill/StepArgumentError.h"
#include "wordmill/Utf8.h"

namespace rowsmith::wordmill {

namespace {

std::string pcre2Message(int code) {
  PCRE2_UCHAR buffer[256];
  if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) {
    return "PCRE2 error " + std::to_string(code);
  }
  return reinterpret_cast<const char*>(buffer);
}

// Per-thread match state, reused for every value: match data big enough for
// the largest pattern seen on this thread, a match context with the limits,
// and a JIT stack that may grow to 1 MiB.
class MatchScratch {
 public:
  MatchScratch() {
    m_context = pcre2_match_context_create(nullptr);
    m_stack = pcre2_jit_stack_create(32 * 1024, 1024 * 1024, nullptr);
    if (!m_context || !m_stack) throw Error("out of memory for regex matching");
    pcre2_jit_stack_assign(m_context, nullptr, m_stack);
    pcre2_set_match_limit(m_context, RegexStep::kMatchLimit);
    pcre2_set_depth_limit(m_context, RegexStep::kMatchLimit);
    pcre2_set_heap_limit(m_context, 64 * 1024);  // KiB
  }
  ~MatchScratch() {
    pcre2_match_data_free(m_data);
    pcre2_jit_stack_free(m_stack);
    pcre2_match_context_free(m_context);
  }
  MatchScratch(const MatchScratch&) = delete;
  MatchScratch& operator=(const MatchScratch&) = delete;

  pcre2_match_data* data(std::uint32_t pairs) {
    if (pairs > m_pairs) {
      pcre2_match_data* bigger = pcre2_match_data_create(pairs, nullptr);
      if (!bigger) throw Error("out of memory for regex matching");
      pcre2_match_data_free(m_data);
      m_data = bigger;
      m_pairs = pairs;
    }
    return m_data;
  }
  pcre2_match_context* context() const { return m_context; }

 private:
  pcre2_match_data* m_data = nullptr;
  std::uint32_t m_pairs = 0;
  pcre2_match_context* m_context = nullptr;
  pcre2_jit_stack* m_stack = nullptr;
};

}  // namespace

void RegexStep::CodeDeleter::operator()(pcre2_real_code_8* code) const { pcre2_code_free(code); }

RegexStep::RegexStep(const std::string& pattern, std::string_view replacement, Options options,
                     std::string where)
    : m_firstOnly(options.firstOnly), m_pattern(pattern), m_where(std::move(where)) {
  std::uint32_t flags = PCRE2_UTF | PCRE2_UCP | PCRE2_MATCH_INVALID_UTF;
  if (options.ignoreCase) flags |= PCRE2_CASELESS;
  if (options.multiline) flags |= PCRE2_MULTILINE;
  if (options.dotall) flags |= PCRE2_DOTALL;
  if (options.extended) flags |= PCRE2_EXTENDED;
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  m_code.reset(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), flags,
                             &errorCode, &errorOffset, nullptr));
  if (!m_code) throw StepArgumentError(0, errorOffset, "bad regex: " + pcre2Message(errorCode));
  // Without JIT support the interpreter runs the same pattern, only slower.
  pcre2_jit_compile(m_code.get(), PCRE2_JIT_COMPLETE);

  std::uint32_t groups = 0;
  pcre2_pattern_info(m_code.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
  m_pairs = groups + 1;
  m_replacement = std::make_unique<RegexReplacement>(replacement, m_code.get(), groups);
}

RegexStep::~RegexStep() = default;

void RegexStep::failMatch(int code) const {
  const std::string head = m_where + ": regex \"" + m_pattern + "\" ";
  switch (code) {
    case PCRE2_ERROR_MATCHLIMIT:
    case PCRE2_ERROR_DEPTHLIMIT:
    case PCRE2_ERROR_HEAPLIMIT:
    case PCRE2_ERROR_JIT_STACKLIMIT:
      throw Error(head + "exceeded the match limit (" + pcre2Message(code) +
                  "); nested repeats such as (a+)+ backtrack without end, so make the pattern "
                  "more specific");
    default:
      throw Error(head + "failed: " + pcre2Message(code));
  }
}

StepResult RegexStep::apply(std::string_view in, std::string& out) const {
  thread_local MatchScratch scratch;
  pcre2_match_data* data = scratch.data(m_pairs);
  const auto* subject = reinterpret_cast<PCRE2_SPTR>(in.data());
  const std::size_t* ovector = pcre2_get_ovector_pointer(data);
  std::size_t copied = 0;
  std::size_t start = 0;
  std::uint32_t flags = 0;
  while (start <= in.size()) {
    const int rc =
        pcre2_match(m_code.get(), subject, in.size(), start, flags, data, scratch.context());
    if (rc == PCRE2_ERROR_NOMATCH) {
      if (flags == 0 || start >= in.size()) break;
      // No non-empty match where the empty one was: move on by one character.
      flags = 0;
      start += utf8::unitLength(in, start);
      continue;
    }
    if (rc < 0) failMatch(rc);
    const std::size_t begin = ovector[0];
    const std::size_t end = ovector[1];
    if (begin < copied || end < begin) break;  // only \K tricks get here; keep the rest as is
    out.append(in.substr(copied, begin - copied));
    m_replacement->expand(in, ovector, out);
    copied = end;
    if (m_firstOnly) break;
    start = end;
    flags = end == begin ? PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED : 0;
  }
  out.append(in.substr(copied));
  return StepResult::kValue;
}

}  // namespace rowsmith::wordmill
