#pragma once

#include <filesystem>
#include <string>

#include "localisation/IniDocument.h"

namespace rowsmith {

// The language file: every text of the user interface can be replaced by the
// text stored for it there, and the file fills itself. When a window or a
// numbered request asks for a text the file does not hold, the built-in text
// is appended in escaped form and the file is saved at once, so that after one
// pass through the program it lists every translatable text.
//
// Texts are looked up in two ways:
//  - window texts: in the section of the window's class (setCurrentSection,
//    which is the first thing translating a window does), under the key
//    "component.Property" (TranslateProperty);
//  - numbered texts: in the section "global" under the number (GetString).
//
// When the file exists but cannot be read the loader is unavailable: it reads
// and writes nothing and every text keeps its built-in value. A stored value
// with a bad escape raises the rowsmith::Error of DecodeEscapes; a file that
// cannot be saved raises "Cannot create file %s" with the file's path, and the
// added line stays in memory so it is not added again.
//
// Threading: UI thread only; no locking.
class TStringLoader {
 public:
  // Opens the language file at path: creates its folder when missing (a
  // failure shows at the first save), reads the file when it exists.
  explicit TStringLoader(std::filesystem::path path);

  // The language file for a language: "Languages/" + language + ".ini"
  // among the program's shipped files (see resourcePath), beside the
  // executable when it exists nowhere yet.
  static std::filesystem::path languageFilePath(const std::string& language = kLanguage);
  static constexpr const char* kLanguage = "English";
  static constexpr const char* kGlobalSection = "global";

  const std::filesystem::path& path() const { return m_path; }
  bool unavailable() const { return m_unavailable; }
  const IniDocument& contents() const { return m_contents; }

  // The section in which TranslateProperty looks texts up: the class name of
  // the window being translated.
  void setCurrentSection(std::string section) { m_currentSection = std::move(section); }
  const std::string& currentSection() const { return m_currentSection; }

  // The text a component's string property should show. current is the
  // property's built-in text. A non-empty stored text replaces it; a missing
  // one is added to the file (unless current or the component name is empty).
  // An empty current text is looked up only for "Hint" and never written.
  std::string TranslateProperty(const std::string& componentName, const std::string& property,
                                const std::string& current);

  // The text for a cool bar band: its current text looked up as a key in the
  // section with an empty name; never written to the file.
  std::string TranslateBandText(const std::string& current) const;

  // The numbered text: its stored value, even when empty, or defaultText,
  // which is added to the file when the number is missing.
  std::string GetString(int number, const std::string& defaultText);

 private:
  void save();

  std::filesystem::path m_path;
  IniDocument m_contents;
  std::string m_currentSection;
  bool m_unavailable = false;
};

}  // namespace rowsmith
