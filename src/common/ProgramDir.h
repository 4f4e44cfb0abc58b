#pragma once

#include <string>

namespace rowsmith {

// The folder of the running executable, with a trailing "/". Files that ship
// beside the program (Languages/, help pages, documents) are found from here.
// Empty when the executable's path cannot be determined.
//
// Threading: safe from any thread.
std::string programDir();

}  // namespace rowsmith
