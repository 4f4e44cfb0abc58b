#include "localisation/IniDocument.h"

#include "common/AsciiCase.h"

namespace rowsmith {

namespace {

std::string_view keyOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  return equals == std::string_view::npos ? std::string_view{} : line.substr(0, equals);
}

std::string_view valueOf(std::string_view line) {
  const std::size_t equals = line.find('=');
  return equals == std::string_view::npos ? std::string_view{} : line.substr(equals + 1);
}

}  // namespace

IniDocument IniDocument::parse(std::string_view text) {
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    text = text.substr(0, nul);
  }
  IniDocument document;
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++pos;

    if (line.empty() || line.front() == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      document.m_sections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
      current = &document.m_sections.back();
    } else if (current != nullptr) {
      current->lines.emplace_back(line);
    }
  }
  return document;
}

std::string IniDocument::serialize() const {
  std::string text;
  for (const Section& section : m_sections) {
    text += '[';
    text += section.name;
    text += "]\r\n";
    for (const std::string& line : section.lines) {
      text += line;
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

std::optional<std::string_view> IniDocument::find(std::string_view section,
                                                  std::string_view key) const {
  const Section* found = findSection(section);
  if (found == nullptr) return std::nullopt;
  for (const std::string& line : found->lines) {
    if (equalsIgnoringAsciiCase(keyOf(line), key)) return valueOf(line);
  }
  return std::nullopt;
}

void IniDocument::append(std::string_view section, std::string_view key, std::string_view value) {
  Section* target = findSection(section);
  if (target == nullptr) {
    m_sections.push_back({std::string(section), {}});
    target = &m_sections.back();
  }
  std::string line(key);
  line += '=';
  line += value;
  target->lines.push_back(std::move(line));
}

IniDocument::Section* IniDocument::findSection(std::string_view name) {
  for (Section& section : m_sections) {
    if (equalsIgnoringAsciiCase(section.name, name)) return &section;
  }
  return nullptr;
}

const IniDocument::Section* IniDocument::findSection(std::string_view name) const {
  for (const Section& section : m_sections) {
    if (equalsIgnoringAsciiCase(section.name, name)) return &section;
  }
  return nullptr;
}

}  // namespace rowsmith
