#pragma once

#include <string>

namespace rowsmith {

// An error message as the standard error box shows it: a full stop is
// appended when the last character sorts after the full stop (a letter or a
// digit, say), so "Cannot open file x.rsm" gains one and "Failed (3)" or a
// message already ending in "." does not.
//
// Threading: a pure function.
std::string messageWithFullStop(const std::string& message);

}  // namespace rowsmith
