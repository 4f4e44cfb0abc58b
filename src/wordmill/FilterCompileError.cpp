#include "wordmill/FilterCompileError.h"

namespace rowsmith::wordmill {

FilterCompileError::FilterCompileError(int line, int column, const std::string& message)
    : Error(std::to_string(line) + ":" + std::to_string(column) + ": " + message,
            "FilterCompileError"),
      m_line(line),
      m_column(column),
      m_reason(message) {}

}  // namespace rowsmith::wordmill
