#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "FilterRun.h"

namespace rowsmith::wordmill::test {

// One value for PHP to judge (see tests/wordmill/structured-oracle.php for the kinds).
struct OracleRecord {
  std::string kind;
  std::string find;
  std::string with;
  std::string input;
  std::string output;
};

// PHP's verdict on each record, in order: "ok" or what is wrong. PHP's
// command-line program (Debian's php-cli, see scripts/install-deps) must be
// on the PATH; without it the test fails.
inline std::vector<std::string> askPhp(const std::vector<OracleRecord>& records) {
  TempFolder folder;
  const std::string path = (folder.path() / "records").string();
  {
    std::ofstream file(path, std::ios::binary);
    for (const auto& record : records) {
      for (const std::string* field :
           {&record.kind, &record.find, &record.with, &record.input, &record.output}) {
        file << field->size() << '\n' << *field << '\n';
      }
    }
  }
  const std::string command =
      "php " + std::string(ROWSMITH_SOURCE_DIR) + "/tests/wordmill/structured-oracle.php " + path;
  std::vector<std::string> verdicts;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "cannot run " << command;
    return verdicts;
  }
  std::string output;
  char buffer[4096];
  while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, got);
  const int status = ::pclose(pipe);
  EXPECT_EQ(status, 0) << command << " failed; is php-cli installed (scripts/install-deps)?";
  for (std::size_t start = 0; start < output.size();) {
    const std::size_t end = output.find('\n', start);
    verdicts.push_back(output.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  EXPECT_EQ(verdicts.size(), records.size()) << output;
  return verdicts;
}

// Expects PHP to find every record right, naming the input of each one it
// does not.
inline void expectPhpAgrees(const std::vector<OracleRecord>& records) {
  const auto verdicts = askPhp(records);
  for (std::size_t i = 0; i < verdicts.size() && i < records.size(); ++i) {
    EXPECT_EQ(verdicts[i], "ok") << records[i].kind << " input: " << records[i].input
                                 << "\noutput: " << records[i].output;
  }
}

}  // namespace rowsmith::wordmill::test
