#pragma once

// Runs the real rowsmith-run (or another program) as a child process, the
// way a user's shell would, and captures what it prints.

#include <string>
#include <vector>

namespace rowsmith::cli_test {

struct CliResult {
  // The exit status; 128 + the signal number when a signal ended it; -1 when
  // it had to be killed after the timeout.
  int status = -1;
  std::string out;
  std::string err;
};

struct CliOptions {
  // Fed to standard input, which is then closed.
  std::string input;
  // Where the program starts; empty keeps the test's working folder.
  std::string workingDirectory;
  // "NAME=value" entries set in the program's environment (others are
  // inherited); "NAME" alone removes NAME.
  std::vector<std::string> environment;
  // Killed after this many seconds.
  int timeoutSeconds = 120;
};

// build/rowsmith-run of the build tree the tests belong to.
std::string runnerPath();

// Runs rowsmith-run with `args` (not including the program name).
CliResult runRowsmith(const std::vector<std::string>& args, const std::string& input = "");
CliResult runRowsmith(const std::vector<std::string>& args, const CliOptions& options);

// Runs any program with `args`; `program` is a path, not looked up in PATH.
CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const CliOptions& options);

}  // namespace rowsmith::cli_test
