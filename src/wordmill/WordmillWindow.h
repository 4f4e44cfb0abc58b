#pragma once

#include <cstdint>
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
  void processAppending(std::string_view input, std::string& output) override;
  void close() override;
  std::uint64_t valuesKeptAsTheyWere() const override;

  // The path last opened or saved (empty before either).
  std::string path() const override { return m_path; }
  // The text read by the last successful open or given by replaceText.
  std::string text() const override { return m_source; }
  void replaceText(const std::string& text) override;
  // A file that exists keeps its permission bits and must be writable; a
  // symbolic link is kept and the file it points to replaced. Saving under
  // another path drops the compiled program, since relative pairs files are
  // found from the filter's folder.
  void save(const std::string& path) override;
  bool isClosed() const override { return m_closed; }
  bool isCompiled() const { return m_program != nullptr; }

 private:
  // The compiled program; throws when the window cannot process text.
  const FilterProgram& program() const;

  std::string m_path;
  std::string m_source;
  bool m_opened = false;
  bool m_closed = false;
  std::shared_ptr<const FilterProgram> m_program;
};

}  // namespace rowsmith::wordmill
