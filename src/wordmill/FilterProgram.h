#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterCompileError.h"

namespace rowsmith::wordmill {

class FilterStep;

// A compiled filter: the steps of one .fll file, applied in order to the
// whole of each value. Programs are only made by compile() and never change
// afterwards (apart from the count of values kept as they were), so one
// program serves any number of values.
//
// Threading: immutable; process() may be called from several threads at once.
class FilterProgram {
 public:
  // Compiles filter source. `path` is the filter file's path: it names the filter in
  // messages and anchors relative `pairs` files. Throws FilterCompileError (a rowsmith::Error)
  // whose message is "LINE:COLUMN: message".
  static std::shared_ptr<const FilterProgram> compile(std::string_view source,
                                                      const std::string& path);

  // Runs every step in order over one value and returns the output ("<NULL>" after
  // null-if-empty / null-if when they fire). Throws rowsmith::Error naming the filter
  // when a regex exceeds PCRE2's match limits. Safe to call from several threads at once.
  std::string process(std::string_view input) const;
  // The same, appending the output (or "<NULL>") to `output`.
  void processAppending(std::string_view input, std::string& output) const;

  FilterProgram(std::string path, std::vector<std::unique_ptr<const FilterStep>> steps);
  ~FilterProgram();
  FilterProgram(const FilterProgram&) = delete;
  FilterProgram& operator=(const FilterProgram&) = delete;

  const std::string& path() const noexcept { return m_path; }
  std::size_t stepCount() const noexcept { return m_steps.size(); }

  // How many values php-serialized and json-strings steps have left exactly
  // as they were since the program was compiled, because writing them back
  // would have broken them (serialized text that cannot be read, keys that
  // would fall together). Safe to read while other threads process values.
  std::uint64_t valuesKeptAsTheyWere() const;

 private:
  // Runs the first `count` steps over `input`; `result` then views the
  // value, which stays valid until this thread runs steps again. False when
  // a step made the value NULL.
  bool runSteps(std::size_t count, std::string_view input, std::string_view& result) const;

  std::string m_path;
  std::vector<std::unique_ptr<const FilterStep>> m_steps;
};

}  // namespace rowsmith::wordmill
