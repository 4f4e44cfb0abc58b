#pragma once

#include <memory>
#include <string>

#include "wordmill/FilterServer.h"

namespace rowsmith::wordmill {

class FilterProgram;

// A filter window of the built-in engine: holds the text of one opened
// ".fll" file and, once compiled, its immutable program. Processing a value
// only runs the compiled program; nothing is re-read or re-compiled.
//
// Threading: used only by the thread that created its application object.
// The compiled program itself is immutable and may be shared.
class WordmillWindow : public FilterWindow {
 public:
  WordmillWindow();
  ~WordmillWindow() override;

  bool openFilter(const std::string& path) override;
  std::string compileFilter() override;
  std::string processStringWithCompiledFilter(const std::string& input) override;
  void close() override;

  // The path last opened (empty before the first successful open).
  const std::string& path() const { return m_path; }
  // The filter text read by the last successful open.
  const std::string& source() const { return m_source; }
  bool isCompiled() const { return m_program != nullptr; }
  bool isClosed() const { return m_closed; }

 private:
  std::string m_path;
  std::string m_source;
  bool m_opened = false;
  bool m_closed = false;
  std::shared_ptr<const FilterProgram> m_program;
};

}  // namespace rowsmith::wordmill
