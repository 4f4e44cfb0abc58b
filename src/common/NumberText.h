#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace rowsmith {

// A number read from a database as text: integers in full, reals in the
// shortest form that reads back as the same number, "." as the point. The
// text is written into `scratch` and viewed there: the view, not scratch's
// size, is the text, so that scratch keeps its buffer from call to call.
// Every place that turns a read number into text goes through here, so that
// they agree (a run, its journal and its undo compare these texts).
//
// Threading: a pure function.
template <typename Number>
std::string_view numberText(Number number, std::string& scratch) {
  if (scratch.size() < 64) scratch.resize(64);
  char* begin = scratch.data();
  const char* end = std::to_chars(begin, begin + scratch.size(), number).ptr;
  return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

}  // namespace rowsmith
