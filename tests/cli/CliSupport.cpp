#include "cli/CliSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

namespace rowsmith::cli_test {

namespace {

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

// The environment of the child: this process's, changed by `changes`.
std::vector<std::string> childEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) entries.emplace_back(*entry);
  for (const std::string& change : changes) {
    const std::string name = change.substr(0, change.find('='));
    std::erase_if(entries, [&](const std::string& entry) {
      return entry.compare(0, name.size() + 1, name + "=") == 0;
    });
    if (change.find('=') != std::string::npos) entries.push_back(change);
  }
  return entries;
}

std::vector<char*> pointers(std::vector<std::string>& words) {
  std::vector<char*> result;
  for (std::string& word : words) result.push_back(word.data());
  result.push_back(nullptr);
  return result;
}

// Runs in the child between fork and exec: only async-signal-safe calls on
// memory prepared before the fork.
[[noreturn]] void execChild(const char* program, char* const* argv, char* const* envp,
                            const char* workingDirectory, int in, int out, int err) {
  ::dup2(in, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  ::signal(SIGPIPE, SIG_DFL);
  if (*workingDirectory != '\0' && ::chdir(workingDirectory) != 0) ::_exit(126);
  ::execve(program, argv, envp);
  ::_exit(127);
}

}  // namespace

std::string runnerPath() { return std::string(ROWSMITH_BINARY_DIR) + "/rowsmith-run"; }

CliResult runRowsmith(const std::vector<std::string>& args, const std::string& input) {
  CliOptions options;
  options.input = input;
  return runRowsmith(args, options);
}

CliResult runRowsmith(const std::vector<std::string>& args, const CliOptions& options) {
  return runProgram(runnerPath(), args, options);
}

CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const CliOptions& options) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv = pointers(words);
  std::vector<std::string> environment = childEnvironment(options.environment);
  std::vector<char*> envp = pointers(environment);

  int in[2], out[2], err[2];
  check(::pipe2(in, O_CLOEXEC) == 0 && ::pipe2(out, O_CLOEXEC) == 0 && ::pipe2(err, O_CLOEXEC) == 0,
        "pipe");

  // A child that exits without reading its input must not end the test.
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &previous);

  const pid_t pid = ::fork();
  check(pid >= 0, "fork");
  if (pid == 0) {
    execChild(program.c_str(), argv.data(), envp.data(), options.workingDirectory.c_str(), in[0],
              out[1], err[1]);
  }
  ::close(in[0]);
  ::close(out[1]);
  ::close(err[1]);

  CliResult result;
  std::size_t written = 0;
  int stdinFd = in[1];
  if (options.input.empty()) {
    ::close(stdinFd);
    stdinFd = -1;
  } else {
    ::fcntl(stdinFd, F_SETFL, O_NONBLOCK);
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
  bool timedOut = false;
  int openOutputs = 2;
  int outFd = out[0], errFd = err[0];
  while (openOutputs > 0 || stdinFd >= 0) {
    pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {stdinFd, POLLOUT, 0}};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    const int ready = ::poll(fds, 3, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    check(ready >= 0, "poll");
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        (i == 0 ? outFd : errFd) = -1;
        --openOutputs;
      }
    }
    if (stdinFd >= 0 && fds[2].revents != 0) {
      const ssize_t n =
          ::write(stdinFd, options.input.data() + written, options.input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == options.input.size()) {
        ::close(stdinFd);
        stdinFd = -1;
      }
    }
  }
  if (timedOut) ::kill(pid, SIGKILL);
  for (int fd : {outFd, errFd, stdinFd}) {
    if (fd >= 0) ::close(fd);
  }

  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ::sigaction(SIGPIPE, &previous, nullptr);
  if (timedOut) {
    result.status = -1;
  } else if (WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.status = 128 + WTERMSIG(status);
  }
  return result;
}

}  // namespace rowsmith::cli_test
