#pragma once

#include <string>

namespace rowsmith {

// The main window's title for a job: the settings file's name without its
// folder ("Untitled" before the job has a file), " (modified)" while it has
// unsaved changes, then " - Rowsmith by Morvane Software".
//
// Threading: a pure function.
std::string documentTitle(const std::string& fileName, bool modified);

}  // namespace rowsmith
