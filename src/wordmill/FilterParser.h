#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterStep.h"

namespace rowsmith::wordmill {

// Turns filter source into its steps, one line at a time: a step name, its
// texts in double quotes, then its options as bare words. A structured step
// (php-serialized, json-strings) ends its line with "{"; the steps it holds
// follow, on that line or on lines of their own, up to the matching "}".
// Stops at the first fault with a FilterCompileError at its line and column.
//
// Threading: stateless apart from the filter path; safe from any thread.
class FilterParser {
 public:
  // `path` names the filter in messages and anchors relative pairs files.
  explicit FilterParser(std::string path) : m_path(std::move(path)) {}

  std::vector<std::unique_ptr<const FilterStep>> parse(std::string_view source) const;

  // The names of all steps, in the order the documentation lists them.
  static std::string stepNames();

 private:
  std::string m_path;
};

}  // namespace rowsmith::wordmill
