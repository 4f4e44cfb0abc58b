#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "wordmill/FilterProgram.h"

namespace rowsmith::wordmill::test {

// Compiles `source` as the filter at `path` and runs it over one value.
inline std::string runFilter(std::string_view source, std::string_view input,
                             const std::string& path = "test.fll") {
  return FilterProgram::compile(source, path)->process(input);
}

// One row of a case table: a filter, an input and the output it must give.
struct FilterCase {
  std::string source;
  std::string input;
  std::string expected;
};

inline std::ostream& operator<<(std::ostream& out, const FilterCase& c) {
  return out << "filter [" << c.source << "] on [" << c.input << "]";
}

// Runs every case of a table, naming the failing ones: each value on its
// own, and written onto the end of a buffer that already holds text, as the
// line filter writes one value after another.
inline void expectCases(const std::vector<FilterCase>& cases,
                        const std::string& path = "test.fll") {
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c));
    const auto program = FilterProgram::compile(c.source, path);
    EXPECT_EQ(program->process(c.input), c.expected);
    std::string buffer = "earlier value\n";
    program->processAppending(c.input, buffer);
    EXPECT_EQ(buffer, "earlier value\n" + c.expected);
  }
}

// A temporary folder, removed with everything in it at the end of the test.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() /
             ("rowsmith-wordmill-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }

  // Writes a file (folders created as needed) and returns its full path.
  std::string write(const std::string& name, std::string_view content) const {
    const auto file = m_path / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }

 private:
  std::filesystem::path m_path;
};

}  // namespace rowsmith::wordmill::test
