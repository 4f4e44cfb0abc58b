#pragma once

#include <string>

namespace rowsmith {

class TStringLoader;

// The loader that serves numbered texts to the whole program. The desktop
// program installs its loader when the main window is created and removes it
// when that window closes; outside that span (and in the headless runner)
// there is none.
//
// Threading: UI thread only.
void setStringLoader(TStringLoader* loader);
TStringLoader* stringLoader();

// The numbered text through the installed loader (TStringLoader::GetString),
// or defaultText when no loader is installed.
std::string LangString(int number, const std::string& defaultText);

}  // namespace rowsmith
