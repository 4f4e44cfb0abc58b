#pragma once

#include <string>

#include "common/Error.h"

namespace rowsmith::wordmill {

// The first fault found while compiling a filter. The message reads
// "LINE:COLUMN: message" (both counted from 1, the column in characters of the
// filter's source line); line() and column() give the position on its own.
//
// Threading: immutable after construction; safe to pass between threads.
class FilterCompileError : public Error {
 public:
  FilterCompileError(int line, int column, const std::string& message);

  int line() const noexcept { return m_line; }
  int column() const noexcept { return m_column; }
  // The message without its "LINE:COLUMN: " prefix.
  const std::string& reason() const noexcept { return m_reason; }

 private:
  int m_line;
  int m_column;
  std::string m_reason;
};

}  // namespace rowsmith::wordmill
