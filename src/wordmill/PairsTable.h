#pragma once

#include <string>
#include <vector>

namespace rowsmith::wordmill {

// The find/replacement pairs of a `pairs` step, read from a tab-separated
// UTF-8 file: one pair a line, the text to find, a tab, the replacement (may
// be empty). Blank lines and lines starting with "#" are skipped; a line
// break may end in CR; a leading byte-order mark is ignored. Fields take the
// same escapes as texts in a filter (\t for a tab, \x23 for a leading "#").
//
// Threading: a plain value.
class PairsTable {
 public:
  // Resolves `file` against the folder of `filterPath` (unless absolute) and
  // reads it. Throws StepArgumentError (text 0) naming the resolved path for
  // a file that cannot be read and for a malformed or repeated line.
  static PairsTable load(const std::string& file, const std::string& filterPath);

  // The path a relative `file` resolves to.
  static std::string resolve(const std::string& file, const std::string& filterPath);

  std::vector<std::string> keys;
  std::vector<std::string> replacements;
};

}  // namespace rowsmith::wordmill
