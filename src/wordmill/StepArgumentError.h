#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace rowsmith::wordmill {

// Raised by a step's constructor when one of its texts is unusable (a bad
// regex, an unreadable pairs file). It points into the text by index and
// byte offset of the decoded text, or at the whole text (kWholeText: the
// opening quote); the parser turns that into the line and column of the
// filter source.
//
// Threading: immutable; safe to pass between threads.
class StepArgumentError : public std::runtime_error {
 public:
  static constexpr std::size_t kWholeText = static_cast<std::size_t>(-1);

  StepArgumentError(std::size_t textIndex, std::size_t offset, const std::string& message)
      : std::runtime_error(message), m_textIndex(textIndex), m_offset(offset) {}

  std::size_t textIndex() const noexcept { return m_textIndex; }
  std::size_t offset() const noexcept { return m_offset; }

 private:
  std::size_t m_textIndex;
  std::size_t m_offset;
};

}  // namespace rowsmith::wordmill
