#pragma once

#include <string>

namespace rowsmith {

// Where a file that ships with the program lives. In the build tree and in a
// flat install it sits beside the executable (programDir() + relative); in a
// prefix install (bin/ and share/rowsmith/) it sits in ../share/rowsmith/.
// The first of the two that exists is returned, else the one beside the
// executable.
//
// Threading: safe from any thread.
std::string resourcePath(const std::string& relative);

}  // namespace rowsmith
