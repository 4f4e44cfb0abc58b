#include "localisation/StringLoader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "common/ResourcePath.h"
#include "localisation/EscapeCodec.h"

namespace rowsmith {

namespace {

// The whole file, or false when it exists but cannot be read.
bool readWholeFile(const std::filesystem::path& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

TStringLoader::TStringLoader(std::filesystem::path path) : m_path(std::move(path)) {
  const std::filesystem::path folder = m_path.parent_path();
  if (folder.empty()) {
    m_unavailable = true;
    return;
  }
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);

  std::error_code error;
  const auto status = std::filesystem::status(m_path, error);
  if (status.type() == std::filesystem::file_type::not_found) return;
  std::string text;
  if (error || std::filesystem::is_directory(status) || !readWholeFile(m_path, text)) {
    m_unavailable = true;
    return;
  }
  m_contents = IniDocument::parse(text);
}

std::filesystem::path TStringLoader::languageFilePath(const std::string& language) {
  return std::filesystem::path(resourcePath("Languages/" + language + ".ini"));
}

std::string TStringLoader::TranslateProperty(const std::string& componentName,
                                             const std::string& property,
                                             const std::string& current) {
  if (current.empty() && property != "Hint") return current;
  if (m_unavailable) return current;
  const std::string key = componentName + "." + property;
  if (const auto stored = m_contents.find(m_currentSection, key)) {
    std::string translated = DecodeEscapes(*stored);
    return translated.empty() ? current : translated;
  }
  if (!current.empty() && !componentName.empty()) {
    m_contents.append(m_currentSection, key, EncodeEscapes(current));
    save();
  }
  return current;
}

std::string TStringLoader::TranslateBandText(const std::string& current) const {
  if (m_unavailable) return current;
  if (const auto stored = m_contents.find("", current)) {
    std::string translated = DecodeEscapes(*stored);
    if (!translated.empty()) return translated;
  }
  return current;
}

std::string TStringLoader::GetString(int number, const std::string& defaultText) {
  if (m_unavailable) return defaultText;
  const std::string key = std::to_string(number);
  if (const auto stored = m_contents.find(kGlobalSection, key)) return DecodeEscapes(*stored);
  m_contents.append(kGlobalSection, key, EncodeEscapes(defaultText));
  save();
  return defaultText;
}

void TStringLoader::save() {
  // The file is replaced as a whole, so a failed save never leaves a
  // translator's file half written. A read-only file stays read-only.
  const std::string failure = "Cannot create file " + m_path.string();
  mode_t mode = 0644;
  struct stat info {};
  if (::stat(m_path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode) || ::access(m_path.c_str(), W_OK) != 0 ||
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
      throw Error(failure);
    }
    mode = info.st_mode & 07777;
  }
  try {
    writeFileAtomically(m_path, m_contents.serialize(), mode);
  } catch (const std::system_error&) {
    throw Error(failure);
  }
}

}  // namespace rowsmith
