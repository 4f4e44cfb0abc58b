#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rowsmith {

// The contents of a language file: an INI file read and written as a whole.
//
// Reading splits the text into lines at CR LF, CR or LF; a byte 0 ends the
// text. Empty lines and lines starting with ";" are skipped and not kept.
// A line starting with "[" and ending with "]" opens a section named by what
// lies between the brackets, untrimmed. Every other line belongs to the
// section opened last; lines before the first section are dropped. A line's
// key is the text before its first "=", its value everything after it, both
// untrimmed; a line without "=" has an empty key and an empty value.
//
// Section names and keys are compared without regard to ASCII letter case;
// the first section of a name and, inside it, the first line of a key are the
// ones found. Sections with the same name are all kept, in file order.
// Writing gives each section as "[name]", its lines, and one empty line, each
// line ending in CR LF.
//
// Threading: a plain value; not shared between threads.
class IniDocument {
 public:
  struct Section {
    std::string name;
    std::vector<std::string> lines;
  };

  static IniDocument parse(std::string_view text);
  std::string serialize() const;

  // The value of the first line of key in the first section named section,
  // or nothing when there is none. The view is valid until the document
  // changes.
  std::optional<std::string_view> find(std::string_view section, std::string_view key) const;

  // Appends key=value at the end of the first section named section, adding
  // that section at the end of the document when there is none.
  void append(std::string_view section, std::string_view key, std::string_view value);

  const std::vector<Section>& sections() const { return m_sections; }

 private:
  Section* findSection(std::string_view name);
  const Section* findSection(std::string_view name) const;

  std::vector<Section> m_sections;
};

}  // namespace rowsmith
