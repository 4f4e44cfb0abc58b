#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rowsmith {

// Whether a filter's result changes the stored value, and so whether a run
// writes it back (and the preview marks the cell as changed).
//
// `readText` is the field as the filter was given it (readFieldText) and
// `readNull` says whether the stored value was NULL; `result` is what the
// filter returned, std::nullopt for NULL. A result that is byte for byte the
// text read leaves the value alone: the stored value keeps its own type (the
// integer 5 in an SQLite column without a type stays an integer), and the
// row is neither written nor locked. A NULL that comes back as empty text is
// a change: the empty string is stored. Text that comes back as NULL is one
// too.
//
// Threading: a pure function; any thread.
bool valueChanges(bool readNull, std::string_view readText,
                  const std::optional<std::string>& result);
// The same with the result as text and whether it is NULL.
bool valueChanges(bool readNull, std::string_view readText, bool resultNull,
                  std::string_view result);

}  // namespace rowsmith
