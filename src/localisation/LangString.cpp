#include "localisation/LangString.h"

#include "localisation/StringLoader.h"

namespace rowsmith {

namespace {
TStringLoader* installedLoader = nullptr;
}  // namespace

void setStringLoader(TStringLoader* loader) { installedLoader = loader; }

TStringLoader* stringLoader() { return installedLoader; }

std::string LangString(int number, const std::string& defaultText) {
  return installedLoader == nullptr ? defaultText : installedLoader->GetString(number, defaultText);
}

std::string LangString(const NumberedText& text) { return LangString(text.number, text.text); }

}  // namespace rowsmith
