#pragma once

#include <string>

#include "localisation/NumberedTexts.h"

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
// The same for one of the program's numbered texts, with its built-in text.
std::string LangString(const NumberedText& text);

}  // namespace rowsmith
