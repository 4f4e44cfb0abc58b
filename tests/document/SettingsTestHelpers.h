#pragma once

// Helpers shared by the settings tests: building stream bytes by hand, the
// example job of the file format, and a temporary folder.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "document/Settings.h"

namespace rowsmith::settings_test {

// Builds stream bytes piece by piece, so that each test shows the bytes it
// feeds the reader.
class StreamBytes {
 public:
  StreamBytes& raw(std::string_view bytes) {
    m_bytes.append(bytes);
    return *this;
  }
  StreamBytes& byte(int value) {
    m_bytes.push_back(static_cast<char>(value));
    return *this;
  }
  // A name: length byte and bytes, no tag.
  StreamBytes& name(std::string_view text) { return byte(static_cast<int>(text.size())).raw(text); }
  StreamBytes& shortString(std::string_view text) { return byte(0x06).name(text); }
  StreamBytes& longString(std::string_view text) {
    byte(0x0C);
    for (int i = 0; i < 4; ++i) byte(static_cast<int>((text.size() >> (8 * i)) & 0xFF));
    return raw(text);
  }
  StreamBytes& int8(int value) { return byte(0x02).byte(value); }
  StreamBytes& int16(int value) { return byte(0x03).byte(value & 0xFF).byte((value >> 8) & 0xFF); }
  StreamBytes& int32(std::int32_t value) {
    byte(0x04);
    for (int i = 0; i < 4; ++i)
      byte(static_cast<int>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
    return *this;
  }
  // Signature, type name "TSettings" and the given object name.
  StreamBytes& header(std::string_view objectName = "") {
    return raw("TPF0").name("TSettings").name(objectName);
  }
  // Version 2 data block of a small job, after the property name.
  StreamBytes& dataBlock() {
    return int8(2)
        .shortString("DSN=Sales")
        .shortString("select 1")
        .int8(50)
        .byte(0x01)
        .shortString("A")
        .shortString("/f/a.fll")
        .byte(0x00)
        .shortString("T")
        .byte(0x09);
  }
  std::string str() const { return m_bytes; }

 private:
  std::string m_bytes;
};

// The example job of the file format and its 88 bytes.
inline TSettings exampleJob() {
  TSettings job;
  job.dataSource = "DSN=Sales";
  job.previewRows = 1000;
  job.columnNames = {"NAME", "CITY"};
  job.columnFilters = {"C:\\f\\upper.fll", ""};
  job.tableName = "CUSTOMER";
  job.useTable = true;
  return job;
}

inline std::string exampleJobBytes() {
  return StreamBytes()
      .header()
      .name("TSettings")
      .int8(2)
      .shortString("DSN=Sales")
      .shortString("")
      .int16(1000)
      .byte(0x01)
      .shortString("NAME")
      .shortString("C:\\f\\upper.fll")
      .shortString("CITY")
      .shortString("")
      .byte(0x00)
      .shortString("CUSTOMER")
      .byte(0x09)
      .byte(0x00)
      .byte(0x00)
      .str();
}

// Compares the fields a settings file carries.
inline void expectSameJob(const TSettings& actual, const TSettings& expected) {
  EXPECT_EQ(actual.dataSource, expected.dataSource);
  EXPECT_EQ(actual.query, expected.query);
  EXPECT_EQ(actual.tableName, expected.tableName);
  EXPECT_EQ(actual.useTable, expected.useTable);
  EXPECT_EQ(actual.previewRows, expected.previewRows);
  EXPECT_EQ(actual.columnNames, expected.columnNames);
  EXPECT_EQ(actual.columnFilters, expected.columnFilters);
}

inline std::string hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char c : bytes) {
    if (!text.empty()) text += ' ';
    text += digits[c >> 4];
    text += digits[c & 0xF];
  }
  return text;
}

// A fresh folder under the test temporary folder, removed with its contents.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = testing::TempDir() + "rowsmith-settings-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string file(std::string_view name) const { return (m_path / name).string(); }
  const std::filesystem::path& path() const { return m_path; }

  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  std::filesystem::path m_path;
};

inline void writeBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace rowsmith::settings_test
