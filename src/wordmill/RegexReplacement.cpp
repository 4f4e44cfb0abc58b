#define PCRE2_CODE_UNIT_WIDTH 8
#include "wordmill/RegexReplacement.h"

#include <pcre2.h>

#include "wordmill/StepArgumentError.h"

namespace rowsmith::wordmill {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

RegexReplacement::RegexReplacement(std::string_view text, const void* code,
                                   std::size_t groupCount) {
  const auto* pattern = static_cast<const pcre2_code*>(code);
  const auto fail = [](std::size_t at, const std::string& message) {
    throw StepArgumentError(1, at, message);
  };
  const auto checkGroup = [&](std::size_t at, std::size_t group) {
    if (group > groupCount) {
      fail(at, "the replacement refers to group " + std::to_string(group) +
                   " but the pattern has " + std::to_string(groupCount) +
                   (groupCount == 1 ? " group" : " groups"));
    }
  };
  const auto addLiteral = [&](std::string_view literal) {
    if (m_parts.empty() || !m_parts.back().groups.empty()) {
      m_parts.push_back(Part{m_literals.size(), 0, {}});
    }
    m_literals.append(literal);
    m_parts.back().literalLength += literal.size();
  };

  for (std::size_t i = 0; i < text.size();) {
    const std::size_t dollar = text.find('$', i);
    if (dollar == std::string_view::npos) {
      addLiteral(text.substr(i));
      break;
    }
    addLiteral(text.substr(i, dollar - i));
    const std::size_t next = dollar + 1;
    if (next < text.size() && text[next] == '$') {
      addLiteral("$");
      i = next + 1;
    } else if (next < text.size() && isDigit(text[next])) {
      std::size_t group = static_cast<std::size_t>(text[next] - '0');
      i = next + 1;
      if (i < text.size() && isDigit(text[i])) {
        const std::size_t twoDigits = group * 10 + static_cast<std::size_t>(text[i] - '0');
        if (twoDigits <= groupCount) {
          group = twoDigits;
          ++i;
        }
      }
      checkGroup(dollar, group);
      m_parts.push_back(Part{0, 0, {group}});
    } else if (next < text.size() && text[next] == '{') {
      const std::size_t close = text.find('}', next);
      if (close == std::string_view::npos) fail(dollar, "\"${\" without its closing \"}\"");
      const std::string name(text.substr(next + 1, close - next - 1));
      if (name.empty()) fail(dollar, "\"${}\" names no group");
      std::vector<std::size_t> groups;
      if (name.find_first_not_of("0123456789") == std::string::npos) {
        if (name.size() > 2) fail(dollar, "group numbers go up to 99");
        groups.push_back(std::stoul(name));
        checkGroup(dollar, groups.back());
      } else {
        PCRE2_SPTR first = nullptr;
        PCRE2_SPTR last = nullptr;
        const int entrySize = pcre2_substring_nametable_scan(
            pattern, reinterpret_cast<PCRE2_SPTR>(name.c_str()), &first, &last);
        if (entrySize <= 0) fail(dollar, "the pattern has no group named \"" + name + "\"");
        for (PCRE2_SPTR entry = first; entry <= last; entry += entrySize) {
          groups.push_back(static_cast<std::size_t>((entry[0] << 8) | entry[1]));
        }
      }
      m_parts.push_back(Part{0, 0, std::move(groups)});
      i = close + 1;
    } else {
      fail(dollar,
           "a \"$\" must be followed by a group number, {name} or another \"$\" "
           "(write $$ for a dollar sign)");
    }
  }
}

void RegexReplacement::expand(std::string_view subject, const std::size_t* ovector,
                              std::string& out) const {
  for (const Part& part : m_parts) {
    if (part.groups.empty()) {
      out.append(m_literals, part.literalBegin, part.literalLength);
      continue;
    }
    for (const std::size_t group : part.groups) {
      const std::size_t begin = ovector[2 * group];
      const std::size_t end = ovector[2 * group + 1];
      if (begin == PCRE2_UNSET) continue;
      if (end > begin) out.append(subject.substr(begin, end - begin));
      break;
    }
  }
}

}  // namespace rowsmith::wordmill
